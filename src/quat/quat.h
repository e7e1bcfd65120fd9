// Helpers shared by the quaternion commands. A Quat is (x, y, z, w), w the
// scalar part; "q then r" is the rotation q followed by r, D3DX's
// quaternion_multiply(out, q, r) (the Hamilton product r·q).
#pragma once

#include "dx/quaternion.h"
#include "dx/rotation.h"
#include "dx/types.h"
#include "frame/abi.h"
#include "vector/angles.h"
#include "vector/vec.h"

namespace kv::quat {

using dx::Quat;
using dx::Vec3;

inline Quat get(Handle h) { return load<Quat>(h); }
inline void put(Handle h, const Quat& q) { store(h, q); }

// Turns are chained in double and rounded once, when the result is stored.
using dx::narrow;
using dx::normalized;
using dx::Quatd;
using dx::then;
using dx::widen;

// The rotation by angle about an axis, made unit length first; a zero axis gives
// (0, 0, 0, cos(angle/2)).
inline Quatd about(const Vec3& axis, float angle) {
  const dx::Vec3d n = dx::unit(widen(axis));
  const sm::SinCos half = sm::sincos(angle / 2.0);
  return {half.sin * n.c[0], half.sin * n.c[1], half.sin * n.c[2], half.cos};
}

// About the coordinate axis number i (0 for X, 1 for Y, 2 for Z).
inline Quatd about_axis(int i, float angle) {
  Vec3 axis{{0, 0, 0}};
  axis.c[i] = 1;
  return about(axis, angle);
}

// rx(ax) then ry(ay) then rz(az), not renormalised.
inline Quatd rotation_xyz(float ax, float ay, float az) {
  return then(then(about_axis(0, ax), about_axis(1, ay)), about_axis(2, az));
}

// The angles (ax, ay, az) in radians for which rotation_xyz gives q's rotation,
// whatever q's length.
inline dx::Vec3d euler_angles(const Quat& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w, xx = x * x, yy = y * y, zz = z * z, ww = w * w;
  return dx::euler_angles({ww + xx - yy - zz, 2 * (x * y + z * w), 2 * (x * z - y * w), 2 * (x * y - z * w),
                            ww - xx + yy - zz, 2 * (y * z + x * w), 2 * (x * z + y * w), 2 * (y * z - x * w),
                            ww - xx - yy + zz});
}

}  // namespace kv::quat
