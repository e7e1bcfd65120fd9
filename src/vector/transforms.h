// Vectors transformed by a Mat4 (as homogeneous rows, as points divided by w, as
// directions) and a Vec3 rotated by a Quat.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Vec2_Transform(kv::Handle out4, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec2_TransformCoord(kv::Handle out, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec2_TransformNormal(kv::Handle out, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec3_Transform(kv::Handle out4, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformCoord(kv::Handle out, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformNormal(kv::Handle out, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec4_Transform(kv::Handle out, kv::Handle v, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformQuat(kv::Handle out, kv::Handle v, kv::Handle q);
