// The tangent, binormal and normal of a textured triangle, for normal mapping.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Vec3_VertexTBN(kv::Handle tangent, kv::Handle binormal, kv::Handle normal, kv::Handle p0,
                                      kv::Handle uv0, kv::Handle p1, kv::Handle uv1, kv::Handle p2, kv::Handle uv2);
