// A host object's position, rotation (degrees, X then Y then Z) and scale as
// vectors, matrices and quaternions, read from and written to the host's object
// record, and its world matrix through the host. Without such an object (or with
// the host's functions not bound) getters give zeros or the identity and setters
// change nothing.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Object_Exists(std::int32_t object);
KV_EXPORT std::int32_t Vec3_GetObjectPosition(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Vec3_SetObjectPosition(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Vec3_GetObjectRotation(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Vec3_SetObjectRotation(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Vec3_GetObjectScale(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Vec3_SetObjectScale(kv::Handle v, std::int32_t object);
KV_EXPORT std::int32_t Mat4_GetObjectTranslation(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_SetObjectTranslation(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_GetObjectRotation(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_SetObjectRotation(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_GetObjectScale(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_SetObjectScale(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_SetObjectTransforms(kv::Handle m, std::int32_t object, std::int32_t scale_flag,
                                                std::int32_t rotation_flag, std::int32_t position_flag);
KV_EXPORT std::int32_t Quat_GetObjectRotation(kv::Handle q, std::int32_t object);
KV_EXPORT std::int32_t Quat_SetObjectRotation(kv::Handle q, std::int32_t object);
KV_EXPORT std::int32_t Mat4_GetObjectWorld(kv::Handle m, std::int32_t object);
KV_EXPORT std::int32_t Mat4_GetObjectWorldEx(kv::Handle m, std::int32_t object, std::int32_t selector);
KV_EXPORT std::int32_t Mat4_SetObjectWorld(kv::Handle m, std::int32_t object);
