// Interpolation between two vectors (Lerp, NLerp, SLerp, Cerp) and over a patch of
// four corners (BiLerp, BiCerp), for Vec2, Vec3 and Vec4. Parameters are not
// clamped: values outside 0..1 extrapolate.
#pragma once

#include "frame/abi.h"

#define KV_INTERPOLATION(N)                                                                          \
  KV_EXPORT std::int32_t Vec##N##_Lerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);     \
  KV_EXPORT std::int32_t Vec##N##_NLerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);    \
  KV_EXPORT std::int32_t Vec##N##_SLerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);    \
  KV_EXPORT std::int32_t Vec##N##_Cerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);     \
  KV_EXPORT std::int32_t Vec##N##_BiLerp(kv::Handle out, kv::Handle p0, kv::Handle p1, kv::Handle p2, \
                                         kv::Handle p3, float u, float v);                        \
  KV_EXPORT std::int32_t Vec##N##_BiCerp(kv::Handle out, kv::Handle p0, kv::Handle p1, kv::Handle p2, \
                                         kv::Handle p3, float u, float v);
KV_INTERPOLATION(2)
KV_INTERPOLATION(3)
KV_INTERPOLATION(4)
#undef KV_INTERPOLATION
