// Whole-matrix construction: sixteen values, copy, identity, scaling,
// translation, rotations about the coordinate axes, an arbitrary axis, yaw-pitch-
// roll, from three basis rows or from a quaternion. Angles in radians; every
// builder writes all sixteen elements, so nothing of the old contents survives.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle Mat4_MakeNewEx(float m11, float m12, float m13, float m14, float m21, float m22, float m23,
                                    float m24, float m31, float m32, float m33, float m34, float m41, float m42,
                                    float m43, float m44);
KV_EXPORT std::int32_t Mat4_Set(kv::Handle m, float m11, float m12, float m13, float m14, float m21, float m22,
                                float m23, float m24, float m31, float m32, float m33, float m34, float m41,
                                float m42, float m43, float m44);
KV_EXPORT std::int32_t Mat4_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Mat4_Identity(kv::Handle m);
KV_EXPORT std::int32_t Mat4_IsIdentity(kv::Handle m);
KV_EXPORT std::int32_t Mat4_IsEqual(kv::Handle a, kv::Handle b);
KV_EXPORT std::int32_t Mat4_IsEqualEps(kv::Handle a, kv::Handle b, float eps);
KV_EXPORT std::int32_t Mat4_Scaling(kv::Handle m, float sx, float sy, float sz);
KV_EXPORT std::int32_t Mat4_Translation(kv::Handle m, float x, float y, float z);
KV_EXPORT std::int32_t Mat4_RotationX(kv::Handle m, float angle);
KV_EXPORT std::int32_t Mat4_RotationY(kv::Handle m, float angle);
KV_EXPORT std::int32_t Mat4_RotationZ(kv::Handle m, float angle);
KV_EXPORT std::int32_t Mat4_RotationXYZ(kv::Handle m, float ax, float ay, float az);
KV_EXPORT std::int32_t Mat4_RotationVecXYZ(kv::Handle m, kv::Handle angles);
KV_EXPORT std::int32_t Mat4_RotationYPR(kv::Handle m, float yaw, float pitch, float roll);
KV_EXPORT std::int32_t Mat4_RotationAxis(kv::Handle m, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Mat4_RotationAxisVec(kv::Handle m, kv::Handle axis, float angle);
KV_EXPORT std::int32_t Mat4_FromBasis(kv::Handle m, kv::Handle right, kv::Handle up, kv::Handle look);
KV_EXPORT std::int32_t Mat4_FromQuat(kv::Handle m, kv::Handle q);
