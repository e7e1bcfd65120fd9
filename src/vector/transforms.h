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

// A point through world·view·projection to a ViewPort value, and back (the plain
// forms with the identity as world matrix).
KV_EXPORT std::int32_t Vec3_Project(kv::Handle out, kv::Handle point, kv::Handle viewport, kv::Handle projection,
                                    kv::Handle view);
KV_EXPORT std::int32_t Vec3_ProjectEx(kv::Handle out, kv::Handle point, kv::Handle viewport, kv::Handle projection,
                                      kv::Handle view, kv::Handle world);
KV_EXPORT std::int32_t Vec3_UnProject(kv::Handle out, kv::Handle point, kv::Handle viewport, kv::Handle projection,
                                      kv::Handle view);
KV_EXPORT std::int32_t Vec3_UnProjectEx(kv::Handle out, kv::Handle point, kv::Handle viewport, kv::Handle projection,
                                        kv::Handle view, kv::Handle world);
KV_EXPORT std::int32_t Vec2_TransformCoordArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformCoordArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformNormalArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Vec4_TransformArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Vec3_TransformQuatArray(kv::Handle out, kv::Handle in, kv::Handle q);
KV_EXPORT std::int32_t Vec3_ProjectArray(kv::Handle out, kv::Handle in, kv::Handle viewport, kv::Handle projection,
                                         kv::Handle view, kv::Handle world);
KV_EXPORT std::int32_t Vec3_UnProjectArray(kv::Handle out, kv::Handle in, kv::Handle viewport, kv::Handle projection,
                                           kv::Handle view, kv::Handle world);
