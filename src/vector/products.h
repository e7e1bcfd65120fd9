// Dot and cross products, perpendiculars, lengths, distances, normalisation and
// scaling to a length. Scalar results are formed in double and rounded to single
// once, when they are returned.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::FloatBits Vec2_Dot(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_Dot(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec4_Dot(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec2_CCW(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Cross(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Perp(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_Perp(kv::Handle result, kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_Length(kv::Handle v);
KV_EXPORT kv::FloatBits Vec3_Length(kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_LengthSq(kv::Handle v);
KV_EXPORT kv::FloatBits Vec3_LengthSq(kv::Handle v);
KV_EXPORT kv::FloatBits Vec4_LengthSq(kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_LengthManhatten(kv::Handle v);
KV_EXPORT kv::FloatBits Vec3_LengthManhatten(kv::Handle v);
KV_EXPORT kv::FloatBits Vec4_LengthManhatten(kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_Dist(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_Dist(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec4_Dist(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec2_DistSq(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_DistSq(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec4_DistSq(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec2_DistManhatten(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec3_DistManhatten(kv::Handle a, kv::Handle b);
KV_EXPORT kv::FloatBits Vec4_DistManhatten(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Normalize(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_Normalize(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_Normalize(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec2_ScaleToLength(kv::Handle result, kv::Handle v, float length);
KV_EXPORT std::int32_t Vec3_ScaleToLength(kv::Handle result, kv::Handle v, float length);
KV_EXPORT std::int32_t Vec4_ScaleToLength(kv::Handle result, kv::Handle v, float length);
