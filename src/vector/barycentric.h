// Triangles a, b, c: the point of two barycentric parameters (D3DX), the weights of
// a point (always a Vec3: x for a, y for b, z for c), and the weighted sum of three
// vectors with such weights.
#pragma once

#include "frame/abi.h"

#define KV_BARYCENTRIC(N)                                                                                  \
  KV_EXPORT std::int32_t Vec##N##_BaryCentric(kv::Handle out, kv::Handle a, kv::Handle b, kv::Handle c,   \
                                              float f, float g);                                           \
  KV_EXPORT std::int32_t Vec##N##_BaryCentricWeights(kv::Handle weights, kv::Handle p, kv::Handle a,       \
                                                     kv::Handle b, kv::Handle c);                          \
  KV_EXPORT std::int32_t Vec##N##_WeightedAvg3(kv::Handle out, kv::Handle a, kv::Handle b, kv::Handle c,  \
                                               kv::Handle weights);
KV_BARYCENTRIC(2)
KV_BARYCENTRIC(3)
KV_BARYCENTRIC(4)
#undef KV_BARYCENTRIC
