// A host camera's view and projection matrices, position and axes, its
// projection set, points projected to its viewport and back, and its frustum. For an absent
// camera (or the host's function not bound) the getters give the identity or
// (0, 0, 0) and Mat4_SetCameraProjection writes nothing.
#pragma once

#include "dx/types.h"
#include "frame/abi.h"
#include "host/records.h"

KV_EXPORT std::int32_t Mat4_GetCameraView(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Mat4_GetCameraProjection(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Mat4_GetCameraViewProj(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Mat4_SetCameraProjection(kv::Handle m, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_GetCameraPosition(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_GetCameraLook(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_GetCameraUp(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_GetCameraRight(kv::Handle out, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_ProjectCamera(kv::Handle out, kv::Handle point, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_ProjectCameraEx(kv::Handle out, kv::Handle point, std::int32_t camera, kv::Handle world);
KV_EXPORT std::int32_t Vec3_UnProjectCamera(kv::Handle out, kv::Handle point, std::int32_t camera);
KV_EXPORT std::int32_t Vec3_UnProjectCameraEx(kv::Handle out, kv::Handle point, std::int32_t camera, kv::Handle world);
KV_EXPORT std::int32_t Frustum_ExtractCamera(kv::Handle frustum, std::int32_t camera);

namespace kv::host {

// view × projection of a camera record (row vectors: the view first), or the
// identity without a camera.
dx::Mat4 camera_view_projection(Record camera);

}  // namespace kv::host
