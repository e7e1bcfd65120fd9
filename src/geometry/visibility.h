// Visibility against a frustum's six planes, as they are stored (nothing is
// normalised): planes are visited right, left, bottom, top, far, near, and a test
// stops at the first plane that decides it. A non-positive signed distance is
// the outer side. A NaN never rejects: the test forms then keep the object and
// the intersect forms count it as inner.
//
// Test forms answer 1 (not rejected) or 0 (wholly outside one plane); intersect
// forms −1 (outside), 1 (wholly inside) or 0 (crossing). On a plane exactly, a
// box corner is not in front for the test form and not behind for the intersect
// form; a sphere touching a plane from outside is rejected, from inside is inside.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/types.h"
#include "frame/abi.h"
#include "geometry/frustum.h"

namespace kv::geometry {

// Frustum_TestSphereArray's work on n spheres (a multiple of 8): 1.0 or 0.0 into
// keep as Frustum_TestSphere answers, and how many are 1. The kernel is chosen by
// the processor at the first call; every kernel gives the same answers.
using SpheresKernel = std::int32_t (*)(float* keep, const Frustum& f, const dx::Vec3* centres, const float* radii, std::size_t n);
extern SpheresKernel spheres_kernel;
extern const SpheresKernel spheres_sse2, spheres_avx;  // AVX only where dx::cpu_has_avx()

}  // namespace kv::geometry

KV_EXPORT kv::FloatBits Frustum_TestPoint(kv::Handle f, float x, float y, float z);
KV_EXPORT std::int32_t Frustum_TestSphere(kv::Handle f, float x, float y, float z, float r);
KV_EXPORT kv::FloatBits Frustum_TestSphereEx(kv::Handle f, float x, float y, float z, float r);
KV_EXPORT std::int32_t Frustum_IntersectSphere(kv::Handle f, float x, float y, float z, float r);
KV_EXPORT kv::FloatBits Frustum_PointDepth(kv::Handle f, float x, float y, float z);
KV_EXPORT kv::FloatBits Frustum_SphereDepth(kv::Handle f, float x, float y, float z, float r);
KV_EXPORT std::int32_t Frustum_TestAABB(kv::Handle f, float x1, float y1, float z1, float x2, float y2, float z2);
KV_EXPORT std::int32_t Frustum_TestAABC(kv::Handle f, float x, float y, float z, float size);
KV_EXPORT std::int32_t Frustum_IntersectAABB(kv::Handle f, float x1, float y1, float z1, float x2, float y2, float z2);
KV_EXPORT std::int32_t Frustum_IntersectAABC(kv::Handle f, float x, float y, float z, float size);
KV_EXPORT std::int32_t Frustum_TestSphereArray(kv::Handle results, kv::Handle f, kv::Handle centres, kv::Handle radii);
KV_EXPORT std::int32_t Frustum_TestAABBArray(kv::Handle results, kv::Handle f, kv::Handle lows, kv::Handle highs);
