// Picking and collision: where a ray origin + t·dir first meets a sphere, a box,
// a triangle or a plane (t ≥ 0, −1 for a miss; dir need not be unit length, and
// with a unit dir t is the distance), whether spheres and axis-aligned boxes
// touch, and the closest point of a triangle, a box or a ray to a point.
//
// A box is given by any two opposite corners, in any order, and is closed: its
// faces, edges and corners belong to it. Touching counts as a hit everywhere; a
// radius of 0 is a point, a negative radius never hits; a NaN never gives a hit.
// Everything cancelling is formed in double and rounded once.
#pragma once

#include <cstdint>

#include "frame/abi.h"
#include "frame/arrays.h"

namespace kv::geometry {

// Ray_HitTriangleArray's work on an array of corners: the nearest triangle's
// index or −1, its (t, u, v) to hit. The kernel is chosen by the processor at the
// first call; every kernel gives the same answers.
using TrianglesKernel = std::int32_t (*)(Handle origin, Handle dir, const frame::Array& corners, Handle hit);
extern TrianglesKernel triangles_kernel;
extern const TrianglesKernel triangles_sse2, triangles_avx;  // AVX only where dx::cpu_has_avx()

}  // namespace kv::geometry

KV_EXPORT kv::FloatBits Ray_HitSphere(kv::Handle origin, kv::Handle dir, kv::Handle centre, float radius);
KV_EXPORT kv::FloatBits Ray_HitAABB(kv::Handle origin, kv::Handle dir, kv::Handle corner1, kv::Handle corner2);
KV_EXPORT kv::FloatBits Ray_HitTriangle(kv::Handle origin, kv::Handle dir, kv::Handle a, kv::Handle b, kv::Handle c);
KV_EXPORT kv::FloatBits Ray_HitTriangleEx(kv::Handle origin, kv::Handle dir, kv::Handle a, kv::Handle b, kv::Handle c,
                                          kv::Handle uv);
KV_EXPORT kv::FloatBits Ray_HitPlane(kv::Handle origin, kv::Handle dir, kv::Handle plane);
KV_EXPORT std::int32_t Sphere_HitSphere(kv::Handle centre1, float radius1, kv::Handle centre2, float radius2);
KV_EXPORT std::int32_t AABB_HitAABB(kv::Handle a1, kv::Handle a2, kv::Handle b1, kv::Handle b2);
KV_EXPORT std::int32_t AABB_HitSphere(kv::Handle corner1, kv::Handle corner2, kv::Handle centre, float radius);
KV_EXPORT std::int32_t AABB_HasPoint(kv::Handle corner1, kv::Handle corner2, kv::Handle p);
KV_EXPORT std::int32_t Vec3_ClosestPointOnTriangle(kv::Handle out, kv::Handle p, kv::Handle a, kv::Handle b,
                                                   kv::Handle c);
KV_EXPORT std::int32_t Vec3_ClosestPointOnAABB(kv::Handle out, kv::Handle p, kv::Handle corner1, kv::Handle corner2);
KV_EXPORT std::int32_t Vec3_ClosestPointOnRay(kv::Handle out, kv::Handle p, kv::Handle origin, kv::Handle dir);
KV_EXPORT std::int32_t Ray_HitTriangleArray(kv::Handle origin, kv::Handle dir, kv::Handle corners, kv::Handle hit);
KV_EXPORT std::int32_t Ray_HitSphereArray(kv::Handle origin, kv::Handle dir, kv::Handle centres, kv::Handle radii, kv::Handle hit);
