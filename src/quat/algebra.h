// Quaternion algebra and interpolation: product (a then b), conjugate, inverse,
// normalisation, length, logarithm and exponential, spherical interpolation,
// squad with its set-up, and barycentric interpolation. Outputs may be inputs.
// A zero quaternion normalises and inverts to NaN; BaryCentric with f + g = 0
// gives q1.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Quat_Mul(kv::Handle out, kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Quat_Conjugate(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_Inverse(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_Normalize(kv::Handle out, kv::Handle q);
KV_EXPORT kv::FloatBits Quat_Magnitude(kv::Handle q);
KV_EXPORT std::int32_t Quat_Log(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_Exp(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_SLerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);
KV_EXPORT std::int32_t Quat_SquadSetup(kv::Handle a_out, kv::Handle b_out, kv::Handle c_out, kv::Handle q0,
                                       kv::Handle q1, kv::Handle q2, kv::Handle q3);
KV_EXPORT std::int32_t Quat_Squad(kv::Handle out, kv::Handle q1, kv::Handle a, kv::Handle b, kv::Handle c, float t);
KV_EXPORT std::int32_t Quat_BaryCentric(kv::Handle out, kv::Handle q1, kv::Handle q2, kv::Handle q3, float f,
                                        float g);
