// Bounds of a set of points: the smallest box and the smallest sphere holding
// every point of a Vec3 array.
#pragma once

#include "dx/types.h"
#include "frame/abi.h"

namespace kv::geometry {
// The smallest box of n points, as Vec3_ArrayAABB gives it: points with a NaN
// component left out, (0, 0, 0) for both corners when none is left.
void points_aabb(const dx::Vec3* points, std::uint32_t n, dx::Vec3& lo, dx::Vec3& hi);
}  // namespace kv::geometry

KV_EXPORT std::int32_t Vec3_ArrayAABB(kv::Handle lo, kv::Handle hi, kv::Handle points);
KV_EXPORT kv::FloatBits Vec3_ArrayBoundingSphere(kv::Handle centre, kv::Handle points);
