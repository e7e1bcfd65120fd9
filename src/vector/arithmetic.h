// Component-wise arithmetic: vector ⊕ vector, vector ⊕ scalar, vector ⊕ values,
// and the reversed scalar ⊕ vector and values ⊕ vector, for Vec2, Vec3 and Vec4.
// Each component is one IEEE single operation; a result handle may be any input.
#pragma once

#include "frame/abi.h"


KV_EXPORT std::int32_t Vec2_Add(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Add(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Add(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Sub(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Sub(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Sub(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Mul(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Mul(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Mul(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Div(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Div(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Div(kv::Handle result, kv::Handle a, kv::Handle b);

KV_EXPORT std::int32_t Vec2_AddScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec3_AddScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec4_AddScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec2_SubScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec3_SubScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec4_SubScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec2_MulScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec3_MulScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec4_MulScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec2_DivScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec3_DivScalar(kv::Handle result, kv::Handle v, float s);
KV_EXPORT std::int32_t Vec4_DivScalar(kv::Handle result, kv::Handle v, float s);

KV_EXPORT std::int32_t Vec2_AddValue(kv::Handle result, kv::Handle v, float x, float y);
KV_EXPORT std::int32_t Vec3_AddValue(kv::Handle result, kv::Handle v, float x, float y, float z);
KV_EXPORT std::int32_t Vec4_AddValue(kv::Handle result, kv::Handle v, float x, float y, float z, float w);
KV_EXPORT std::int32_t Vec2_SubValue(kv::Handle result, kv::Handle v, float x, float y);
KV_EXPORT std::int32_t Vec3_SubValue(kv::Handle result, kv::Handle v, float x, float y, float z);
KV_EXPORT std::int32_t Vec4_SubValue(kv::Handle result, kv::Handle v, float x, float y, float z, float w);
KV_EXPORT std::int32_t Vec2_MulValue(kv::Handle result, kv::Handle v, float x, float y);
KV_EXPORT std::int32_t Vec3_MulValue(kv::Handle result, kv::Handle v, float x, float y, float z);
KV_EXPORT std::int32_t Vec4_MulValue(kv::Handle result, kv::Handle v, float x, float y, float z, float w);
KV_EXPORT std::int32_t Vec2_DivValue(kv::Handle result, kv::Handle v, float x, float y);
KV_EXPORT std::int32_t Vec3_DivValue(kv::Handle result, kv::Handle v, float x, float y, float z);
KV_EXPORT std::int32_t Vec4_DivValue(kv::Handle result, kv::Handle v, float x, float y, float z, float w);

KV_EXPORT std::int32_t Vec2_ScalarSub(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec3_ScalarSub(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec4_ScalarSub(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec2_ScalarDiv(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec3_ScalarDiv(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec4_ScalarDiv(kv::Handle result, float s, kv::Handle v);
KV_EXPORT std::int32_t Vec2_ValueSub(kv::Handle result, float x, float y, kv::Handle v);
KV_EXPORT std::int32_t Vec3_ValueSub(kv::Handle result, float x, float y, float z, kv::Handle v);
KV_EXPORT std::int32_t Vec4_ValueSub(kv::Handle result, float x, float y, float z, float w, kv::Handle v);
KV_EXPORT std::int32_t Vec2_ValueDiv(kv::Handle result, float x, float y, kv::Handle v);
KV_EXPORT std::int32_t Vec3_ValueDiv(kv::Handle result, float x, float y, float z, kv::Handle v);
KV_EXPORT std::int32_t Vec4_ValueDiv(kv::Handle result, float x, float y, float z, float w, kv::Handle v);
