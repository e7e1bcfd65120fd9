// Vector construction, component access, copy, comparison, minimum and maximum.
#pragma once

#include "frame/abi.h"
#include "frame/tolerances.h"

KV_EXPORT kv::Handle Vec2_MakeNewEx(float x, float y);
KV_EXPORT kv::Handle Vec3_MakeNewEx(float x, float y, float z);
KV_EXPORT kv::Handle Vec4_MakeNewEx(float x, float y, float z, float w);
KV_EXPORT std::int32_t Vec2_Set(kv::Handle v, float x, float y);
KV_EXPORT std::int32_t Vec3_Set(kv::Handle v, float x, float y, float z);
KV_EXPORT std::int32_t Vec4_Set(kv::Handle v, float x, float y, float z, float w);
KV_EXPORT kv::FloatBits Vec4_GetX(kv::Handle v);
KV_EXPORT kv::FloatBits Vec4_GetY(kv::Handle v);
KV_EXPORT kv::FloatBits Vec4_GetZ(kv::Handle v);
KV_EXPORT kv::FloatBits Vec4_GetW(kv::Handle v);
KV_EXPORT std::int32_t Vec4_SetX(kv::Handle v, float value);
KV_EXPORT std::int32_t Vec4_SetY(kv::Handle v, float value);
KV_EXPORT std::int32_t Vec4_SetZ(kv::Handle v, float value);
KV_EXPORT std::int32_t Vec4_SetW(kv::Handle v, float value);
KV_EXPORT std::int32_t Vec2_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Vec3_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Vec4_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Vec2_IsEqual(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_IsEqual(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_IsEqual(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_IsEqualEps(kv::Handle a, kv::Handle b, float eps);
KV_EXPORT std::int32_t Vec3_IsEqualEps(kv::Handle a, kv::Handle b, float eps);
KV_EXPORT std::int32_t Vec4_IsEqualEps(kv::Handle a, kv::Handle b, float eps);
KV_EXPORT std::int32_t Vec2_Minimize(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Minimize(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Minimize(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec2_Maximize(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec3_Maximize(kv::Handle result, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Vec4_Maximize(kv::Handle result, kv::Handle a, kv::Handle b);
