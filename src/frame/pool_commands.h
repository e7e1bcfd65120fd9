// MakeNew, Delete and LiveCount of every value type, and the viewport copy.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle Vec2_MakeNew();
KV_EXPORT kv::Handle Vec3_MakeNew();
KV_EXPORT kv::Handle Vec4_MakeNew();
KV_EXPORT kv::Handle Plane_MakeNew();
KV_EXPORT kv::Handle Quat_MakeNew();
KV_EXPORT kv::Handle Mat4_MakeNew();
KV_EXPORT kv::Handle Frustum_MakeNew();
KV_EXPORT std::int32_t Vec2_Delete(kv::Handle h);
KV_EXPORT std::int32_t Vec3_Delete(kv::Handle h);
KV_EXPORT std::int32_t Vec4_Delete(kv::Handle h);
KV_EXPORT std::int32_t Plane_Delete(kv::Handle h);
KV_EXPORT std::int32_t Quat_Delete(kv::Handle h);
KV_EXPORT std::int32_t Mat4_Delete(kv::Handle h);
KV_EXPORT std::int32_t Frustum_Delete(kv::Handle h);
KV_EXPORT std::int32_t Vec2_LiveCount();
KV_EXPORT std::int32_t Vec3_LiveCount();
KV_EXPORT std::int32_t Vec4_LiveCount();
KV_EXPORT std::int32_t Plane_LiveCount();
KV_EXPORT std::int32_t Quat_LiveCount();
KV_EXPORT std::int32_t Mat4_LiveCount();
KV_EXPORT std::int32_t Frustum_LiveCount();
KV_EXPORT std::int32_t ViewPort_LiveCount();
KV_EXPORT std::int32_t ViewPort_Copy(kv::Handle destination, kv::Handle source);
