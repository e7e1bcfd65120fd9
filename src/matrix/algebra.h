// Whole-matrix algebra: product (a·b applies a first), transposed product,
// transpose, inverse, determinant, decomposition into scaling, rotation and
// translation, and the Euler angles of a rotation matrix. Outputs may be inputs.
//
// A singular matrix (determinant exactly 0) leaves the inverse's output exactly
// as it was, and Mat4_InverseDet then returns 0.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Mat4_Mul(kv::Handle out, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Mat4_MulArray(kv::Handle out, kv::Handle in, kv::Handle m);
KV_EXPORT std::int32_t Mat4_MulTranspose(kv::Handle out, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Mat4_Transpose(kv::Handle out, kv::Handle in);
KV_EXPORT std::int32_t Mat4_Inverse(kv::Handle out, kv::Handle in);
KV_EXPORT kv::FloatBits Mat4_InverseDet(kv::Handle out, kv::Handle in);
KV_EXPORT std::int32_t Mat4_InverseTranspose(kv::Handle out, kv::Handle in);
KV_EXPORT kv::FloatBits Mat4_Determinant(kv::Handle m);
KV_EXPORT std::int32_t Mat4_Decompose(kv::Handle scale, kv::Handle rotation, kv::Handle translation, kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetEulerRad(kv::Handle out, kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetEulerDeg(kv::Handle out, kv::Handle m);
