// Changing a transform a step at a time: turns about the world axes (in·R, the
// position turns too) and about the matrix's own axes (R·in, the position stays),
// moves along its own rows, scaling along its own or the world axes, and its
// translation. Angles in radians; out may be in.
//
// Rows and columns differ on purpose: Mat4_SetScale rescales rows, while
// Mat4_GetScaleX/Y/Z and Mat4_RemoveScaling measure columns.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Mat4_RotateX(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateY(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateZ(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateXYZ(kv::Handle out, kv::Handle in, float ax, float ay, float az);
KV_EXPORT std::int32_t Mat4_RotateAxis(kv::Handle out, kv::Handle in, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Mat4_RotateAxisVec(kv::Handle out, kv::Handle in, kv::Handle axis, float angle);
KV_EXPORT std::int32_t Mat4_RotateLocalX(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateLocalY(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateLocalZ(kv::Handle out, kv::Handle in, float angle);
KV_EXPORT std::int32_t Mat4_RotateLocalXYZ(kv::Handle out, kv::Handle in, float ax, float ay, float az);
KV_EXPORT std::int32_t Mat4_RotateLocalAxis(kv::Handle out, kv::Handle in, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Mat4_RotateLocalAxisVec(kv::Handle out, kv::Handle in, kv::Handle axis, float angle);

KV_EXPORT std::int32_t Mat4_MoveRight(kv::Handle out, kv::Handle in, float distance);
KV_EXPORT std::int32_t Mat4_MoveUp(kv::Handle out, kv::Handle in, float distance);
KV_EXPORT std::int32_t Mat4_MoveForward(kv::Handle out, kv::Handle in, float distance);

KV_EXPORT std::int32_t Mat4_ScaleLocal(kv::Handle out, kv::Handle in, float sx, float sy, float sz);
KV_EXPORT std::int32_t Mat4_ScaleGlobal(kv::Handle out, kv::Handle in, float sx, float sy, float sz);
KV_EXPORT std::int32_t Mat4_SetScale(kv::Handle out, kv::Handle in, float sx, float sy, float sz);
KV_EXPORT std::int32_t Mat4_RemoveScaling(kv::Handle out, kv::Handle in);
KV_EXPORT kv::FloatBits Mat4_GetScaleX(kv::Handle m);
KV_EXPORT kv::FloatBits Mat4_GetScaleY(kv::Handle m);
KV_EXPORT kv::FloatBits Mat4_GetScaleZ(kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetScaleVec(kv::Handle out, kv::Handle m);  // the three column lengths

KV_EXPORT std::int32_t Mat4_SetTranslation(kv::Handle out, kv::Handle in, float x, float y, float z);
KV_EXPORT kv::FloatBits Mat4_GetTranslationX(kv::Handle m);
KV_EXPORT kv::FloatBits Mat4_GetTranslationY(kv::Handle m);
KV_EXPORT kv::FloatBits Mat4_GetTranslationZ(kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetTranslationVec(kv::Handle out, kv::Handle m);
