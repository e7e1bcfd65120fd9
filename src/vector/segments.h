// Segment and angle queries: the point of a segment closest to a point, the
// distance from a point to a segment, and the angle between two vectors.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Vec2_GetClosestPointOnLineSeg(kv::Handle out, kv::Handle p, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_GetClosestPointOnLineSeg(kv::Handle out, kv::Handle p, kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec2_GetDistFromLineSeg(kv::Handle p, kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_GetDistFromLineSeg(kv::Handle p, kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec2_GetAngleBetween(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_GetAngleBetween(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec4_GetAngleBetween(kv::Handle a, kv::Handle b);
