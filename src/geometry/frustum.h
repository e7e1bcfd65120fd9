// Frustums: six planes in the order right, left, bottom, top, far, near (24
// floats), normals pointing into the volume, so that a point inside has a
// positive signed distance from all six.
#pragma once

#include "dx/types.h"
#include "frame/abi.h"

namespace kv::geometry {

struct Frustum {
  dx::Plane planes[6];  // right, left, bottom, top, far, near
};
enum PlaneIndex { Right, Left, Bottom, Top, Far, Near };

// The six planes of a view-projection matrix m (row vectors: clip = (x, y, z, 1)·m),
// from sums and differences of its columns: right and left share the right
// plane's scale factor, bottom and top the bottom plane's, far and near are each
// normalised. Symmetric projections give six unit normals; off-centre ones leave
// the left and top planes off unit length.
Frustum extract(const dx::Mat4& m);

}  // namespace kv::geometry

KV_EXPORT std::int32_t Frustum_SetRightPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetLeftPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetBottomPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetTopPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetFarPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetNearPlane(kv::Handle frustum, kv::Handle plane);
KV_EXPORT std::int32_t Frustum_SetPlanes(kv::Handle frustum, kv::Handle right, kv::Handle left, kv::Handle bottom,
                                         kv::Handle top, kv::Handle far, kv::Handle near);
KV_EXPORT std::int32_t Frustum_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Frustum_ExtractVP(kv::Handle frustum, kv::Handle matrix);
KV_EXPORT std::int32_t Frustum_Normalize(kv::Handle frustum);
