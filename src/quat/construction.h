// Making rotation quaternions: identity, about the coordinate axes, X then Y then
// Z, yaw-pitch-roll, about an axis, from a matrix's rotation; and reading a
// rotation back: the identity test, Euler angles, axis and angle. Radians
// everywhere but Quat_GetEulerDeg's output.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle Quat_MakeNewEx(float x, float y, float z, float w);
KV_EXPORT std::int32_t Quat_Identity(kv::Handle q);
KV_EXPORT std::int32_t Quat_IsIdentity(kv::Handle q);
KV_EXPORT std::int32_t Quat_RotationX(kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotationY(kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotationZ(kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotationXYZ(kv::Handle q, float ax, float ay, float az);
KV_EXPORT std::int32_t Quat_RotationVecXYZ(kv::Handle q, kv::Handle angles);
KV_EXPORT std::int32_t Quat_RotationYPR(kv::Handle q, float yaw, float pitch, float roll);
KV_EXPORT std::int32_t Quat_RotationAxis(kv::Handle q, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Quat_RotationAxisVec(kv::Handle q, kv::Handle axis, float angle);
KV_EXPORT std::int32_t Quat_FromMat4(kv::Handle q, kv::Handle m);
KV_EXPORT std::int32_t Quat_GetEulerRad(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_GetEulerDeg(kv::Handle out, kv::Handle q);
KV_EXPORT std::int32_t Quat_GetAxis(kv::Handle out, kv::Handle q);
KV_EXPORT kv::FloatBits Quat_GetAxisEx(kv::Handle axis, kv::Handle q);
KV_EXPORT std::int32_t Quat_RotationArc(kv::Handle q, kv::Handle from, kv::Handle to);
KV_EXPORT std::int32_t Quat_LookRotation(kv::Handle q, kv::Handle dir, kv::Handle up);
KV_EXPORT std::int32_t Quat_IsEqual(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Quat_IsEqualEps(kv::Handle a, kv::Handle b, float eps);
