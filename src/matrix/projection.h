// Camera matrices: perspective projections (from the near window, a vertical
// field of view in degrees, or off-centre), orthographic projections (centred
// with a zoom, or off-centre), each left- and right-handed; look-at view
// matrices; and the 3D and 2D affine builders. Depth runs from 0 at the near
// plane to 1 at the far plane; the view looks along +z (LH) or −z (RH).
//
// Mind the argument orders: the centred builders take near and far first, the
// off-centre ones left, right, bottom, top, near, far.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Mat4_PerspectiveLH(kv::Handle m, float zn, float zf, float w, float h);
KV_EXPORT std::int32_t Mat4_PerspectiveRH(kv::Handle m, float zn, float zf, float w, float h);
KV_EXPORT std::int32_t Mat4_PerspectiveFOVLH(kv::Handle m, float zn, float zf, float fov_degrees, float aspect);
KV_EXPORT std::int32_t Mat4_PerspectiveFOVRH(kv::Handle m, float zn, float zf, float fov_degrees, float aspect);
KV_EXPORT std::int32_t Mat4_PerspectiveOffCenterLH(kv::Handle m, float l, float r, float b, float t, float zn, float zf);
KV_EXPORT std::int32_t Mat4_PerspectiveOffCenterRH(kv::Handle m, float l, float r, float b, float t, float zn, float zf);
KV_EXPORT std::int32_t Mat4_OrthoLH(kv::Handle m, float zn, float zf, float w, float h, float zoom);
KV_EXPORT std::int32_t Mat4_OrthoRH(kv::Handle m, float zn, float zf, float w, float h, float zoom);
KV_EXPORT std::int32_t Mat4_OrthoOffCenterLH(kv::Handle m, float l, float r, float b, float t, float zn, float zf);
KV_EXPORT std::int32_t Mat4_OrthoOffCenterRH(kv::Handle m, float l, float r, float b, float t, float zn, float zf);
KV_EXPORT std::int32_t Mat4_LookAtLH(kv::Handle m, kv::Handle eye, kv::Handle at, kv::Handle up);
KV_EXPORT std::int32_t Mat4_LookAtRH(kv::Handle m, kv::Handle eye, kv::Handle at, kv::Handle up);
KV_EXPORT std::int32_t Mat4_FaceLH(kv::Handle m, kv::Handle position, kv::Handle target, kv::Handle up);
KV_EXPORT std::int32_t Mat4_FaceRH(kv::Handle m, kv::Handle position, kv::Handle target, kv::Handle up);
KV_EXPORT std::int32_t Mat4_Affine(kv::Handle m, float scaling, kv::Handle centre, kv::Handle rotation,
                                   kv::Handle translation);
KV_EXPORT std::int32_t Mat4_Affine2D(kv::Handle m, float scaling, kv::Handle centre, float angle,
                                     kv::Handle translation);
