// Cubic curve segments through or near four vectors: Catmull-Rom and Hermite (the
// D3DX forms), Cubic and Bezier. Catmull-Rom, Cubic and Bezier run from p1 (at 0)
// to p2 (at 1); the parameter is not clamped.
#pragma once

#include "frame/abi.h"

#define KV_CURVES(N)                                                                                      \
  KV_EXPORT std::int32_t Vec##N##_CatmullRom(kv::Handle out, kv::Handle p0, kv::Handle p1, kv::Handle p2, \
                                             kv::Handle p3, float s);                                     \
  KV_EXPORT std::int32_t Vec##N##_Hermite(kv::Handle out, kv::Handle a, kv::Handle ta, kv::Handle b,      \
                                          kv::Handle tb, float s);                                        \
  KV_EXPORT std::int32_t Vec##N##_Cubic(kv::Handle out, kv::Handle p0, kv::Handle p1, kv::Handle p2,      \
                                        kv::Handle p3, float t);                                          \
  KV_EXPORT std::int32_t Vec##N##_Bezier(kv::Handle out, kv::Handle p0, kv::Handle p1, kv::Handle p2,     \
                                         kv::Handle p3, float t);
KV_CURVES(2)
KV_CURVES(3)
KV_CURVES(4)
#undef KV_CURVES
