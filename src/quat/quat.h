// Helpers shared by the quaternion commands. A Quat is (x, y, z, w), w the
// scalar part; "q then r" is the rotation q followed by r, D3DX's
// quaternion_multiply(out, q, r) (the Hamilton product r·q).
#pragma once

#include "dx/quaternion.h"
#include "dx/types.h"
#include "frame/abi.h"
#include "vector/angles.h"
#include "vector/vec.h"

namespace kv::quat {

using dx::Quat;
using dx::Vec3;

inline Quat get(Handle h) { return load<Quat>(h); }
inline void put(Handle h, const Quat& q) { store(h, q); }

// A quaternion in double: the turns below are chained in double and rounded
// once, when the result is stored.
struct Qd {
  double x, y, z, w;
};

inline Qd wide(const Quat& q) { return {q.x, q.y, q.z, q.w}; }
inline Quat narrow(const Qd& q) { return {float(q.x), float(q.y), float(q.z), float(q.w)}; }

// q then r: the Hamilton product r·q.
inline Qd then(const Qd& q, const Qd& r) {
  return {r.w * q.x + r.x * q.w + r.y * q.z - r.z * q.y, r.w * q.y - r.x * q.z + r.y * q.w + r.z * q.x,
          r.w * q.z + r.x * q.y - r.y * q.x + r.z * q.w, r.w * q.w - r.x * q.x - r.y * q.y - r.z * q.z};
}

inline Qd normalized(const Qd& q) {
  const double n = sm::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}

// The rotation by angle about an axis, made unit length first; a zero axis gives
// (0, 0, 0, cos(angle/2)).
inline Qd about(const Vec3& axis, float angle) {
  const dx::Vec3d n = dx::unit(dx::widen(axis));
  const sm::SinCos half = sm::sincos(angle / 2.0);
  return {half.sin * n.c[0], half.sin * n.c[1], half.sin * n.c[2], half.cos};
}

// About the coordinate axis number i (0 for X, 1 for Y, 2 for Z).
inline Qd about_axis(int i, float angle) {
  Vec3 axis{{0, 0, 0}};
  axis.c[i] = 1;
  return about(axis, angle);
}

// rx(ax) then ry(ay) then rz(az), not renormalised.
inline Qd rotation_xyz(float ax, float ay, float az) {
  return then(then(about_axis(0, ax), about_axis(1, ay)), about_axis(2, az));
}

// The angles (ax, ay, az) in radians for which rotation_xyz gives q's rotation,
// whatever q's length.
inline dx::Vec3d euler_angles(const Quat& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w, xx = x * x, yy = y * y, zz = z * z, ww = w * w;
  return vec::euler_angles({ww + xx - yy - zz, 2 * (x * y + z * w), 2 * (x * z - y * w), 2 * (x * y - z * w),
                            ww - xx + yy - zz, 2 * (y * z + x * w), 2 * (x * z + y * w), 2 * (y * z - x * w),
                            ww - xx - yy + zz});
}

}  // namespace kv::quat
