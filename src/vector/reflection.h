// Reflection about a normal or a plane's normal, refraction, point reflection
// through a centre, and component-wise reciprocals. Nothing is normalised.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Vec2_Reflect(kv::Handle result, kv::Handle v, kv::Handle n);
KV_EXPORT std::int32_t Vec3_Reflect(kv::Handle result, kv::Handle v, kv::Handle n);
KV_EXPORT std::int32_t Vec4_Reflect(kv::Handle result, kv::Handle v, kv::Handle n);
KV_EXPORT std::int32_t Vec3_ReflectPlane(kv::Handle result, kv::Handle v, kv::Handle plane);
KV_EXPORT std::int32_t Vec2_Refract(kv::Handle result, kv::Handle i, kv::Handle n, float eta);
KV_EXPORT std::int32_t Vec3_Refract(kv::Handle result, kv::Handle i, kv::Handle n, float eta);
KV_EXPORT std::int32_t Vec4_Refract(kv::Handle result, kv::Handle i, kv::Handle n, float eta);
KV_EXPORT std::int32_t Vec2_MirrorPoint(kv::Handle result, kv::Handle p, kv::Handle c);
KV_EXPORT std::int32_t Vec3_MirrorPoint(kv::Handle result, kv::Handle p, kv::Handle c);
KV_EXPORT std::int32_t Vec4_MirrorPoint(kv::Handle result, kv::Handle p, kv::Handle c);
KV_EXPORT std::int32_t Vec2_Inverse(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_Inverse(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_Inverse(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec2_Invert(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_Invert(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_Invert(kv::Handle result, kv::Handle v);
