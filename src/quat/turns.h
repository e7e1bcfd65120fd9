// Turning an existing rotation: world turns apply the new rotation after q
// (q then r), local turns before it (r then q), about q's own axes. The single-
// axis turns and Quat_RotateLocalXYZ (after each step) renormalise; Quat_RotateXYZ
// and the axis turns do not. Radians; out may be q.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Quat_RotateX(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateY(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateZ(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateLocalX(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateLocalY(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateLocalZ(kv::Handle out, kv::Handle q, float angle);
KV_EXPORT std::int32_t Quat_RotateXYZ(kv::Handle out, kv::Handle q, float ax, float ay, float az);
KV_EXPORT std::int32_t Quat_RotateLocalXYZ(kv::Handle out, kv::Handle q, float ax, float ay, float az);
KV_EXPORT std::int32_t Quat_RotateAxis(kv::Handle out, kv::Handle q, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Quat_RotateAxisVec(kv::Handle out, kv::Handle q, kv::Handle axis, float angle);
KV_EXPORT std::int32_t Quat_RotateLocalAxis(kv::Handle out, kv::Handle q, float x, float y, float z, float angle);
KV_EXPORT std::int32_t Quat_RotateLocalAxisVec(kv::Handle out, kv::Handle q, kv::Handle axis, float angle);
