// Planes (a, b, c, d): the points with a·x + b·y + c·z + d = 0, normal (a, b, c),
// signed distance a·x + b·y + c·z + d (a true distance once the normal is unit
// length). Planes live in the Vec4 pool and share its component commands.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle Plane_MakeNewEx(float a, float b, float c, float d);
KV_EXPORT std::int32_t Plane_FromPointNormal(kv::Handle out, kv::Handle point, kv::Handle normal);
KV_EXPORT std::int32_t Plane_FromPoints(kv::Handle out, kv::Handle p1, kv::Handle p2, kv::Handle p3);
KV_EXPORT std::int32_t Plane_Normalize(kv::Handle out, kv::Handle plane);
KV_EXPORT std::int32_t Plane_Transform(kv::Handle out, kv::Handle plane, kv::Handle matrix);
KV_EXPORT kv::FloatBits Plane_DotCoord(kv::Handle plane, kv::Handle point);
KV_EXPORT kv::FloatBits Plane_DotNormal(kv::Handle plane, kv::Handle vector);
KV_EXPORT std::int32_t Plane_IntersectLine(kv::Handle out, kv::Handle plane, kv::Handle p1, kv::Handle p2);
KV_EXPORT std::int32_t Plane_IntersectLineSeg(kv::Handle out, kv::Handle plane, kv::Handle p1, kv::Handle p2);
KV_EXPORT std::int32_t Plane_Raycast(kv::Handle hit, kv::Handle normal_out, kv::Handle plane, kv::Handle origin,
                                     kv::Handle direction);
KV_EXPORT std::int32_t Plane_Inverse(kv::Handle out, kv::Handle plane);
