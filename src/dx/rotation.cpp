#include "dx/rotation.h"

#include <cmath>

#include "frame/tolerances.h"

namespace kv::dx {

// The pitch is atan2(−m13, |(m23, m33)|): the arc sine of −m13 for a rotation,
// but never outside ±π/2, never NaN for a rotation rounded to single, and exact
// at the pole, where the arc sine of a length a hair off 1 is off by its square
// root. Away from the pole, ax = atan2(m23, m33) and az = atan2(m12, m11). Near
// it (cos ay below 2^-7) those two are ill-determined apart, while ax − az (pitch
// up) or ax + az (pitch down) is not: it comes from m21, m22, m31, m32 for every
// pitch, and az is made from it and ax, so the angles rebuild the rotation. At
// the pole itself (cos ay below 2^-20, where ax is noise) that turn is split
// evenly between ax and az.
Vec3d euler_angles(const RotationElements& e) {
  constexpr double kPi = 3.141592653589793;
  const double across = sm::sqrt(e.m23 * e.m23 + e.m33 * e.m33);
  const double ay = sm::atan2(-e.m13, across);
  const double cos_ay = across / sm::sqrt(e.m13 * e.m13 + across * across);
  if (!(cos_ay < tolerance::kEulerNearPole)) return {{sm::atan2(e.m23, e.m33), ay, sm::atan2(e.m12, e.m11)}};
  const double up = e.m13 <= 0 ? 1 : -1;
  const double turn = up > 0 ? sm::atan2(e.m21 - e.m32, e.m22 + e.m31) : sm::atan2(-(e.m21 + e.m32), e.m22 - e.m31);
  const double ax = cos_ay < tolerance::kEulerPole ? turn / 2 : sm::atan2(e.m23, e.m33);
  double az = up * (ax - turn);
  if (az > kPi) az -= 2 * kPi;
  if (az <= -kPi) az += 2 * kPi;
  return {{ax, ay, az}};
}

Basis facing(const Vec3d& look, Vec3d up) {
  const Vec3d z = unit(look);
  if (z.c[0] == 0 && z.c[1] == 0 && z.c[2] == 0) return {{{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}};
  const Vec3d across = cross(up, z);
  if (sm::sqrt(dot(across, across)) <= tolerance::kUpParallel * sm::sqrt(dot(up, up))) {
    int least = 0;
    for (int i = 1; i < 3; ++i) {
      if (std::fabs(z.c[i]) < std::fabs(z.c[least])) least = i;
    }
    up = {{0, 0, 0}};
    up.c[least] = 1;
  }
  const Vec3d x = unit(cross(up, z));
  return {x, cross(z, x), z};
}

Quatd arc(const Vec3d& f, const Vec3d& t) {
  const double lengths = sm::sqrt(dot(f, f) * dot(t, t)), along = dot(f, t);
  if (lengths == 0) return {0, 0, 0, 1};
  Vec3d axis = cross(f, t);
  // Each product of two singles is exact in double, so the cross product is zero
  // exactly when the directions are parallel; opposite ones then have w = 0, which
  // the rounding of |f|·|t| may leave a hair off.
  const bool parallel = axis.c[0] == 0 && axis.c[1] == 0 && axis.c[2] == 0;
  double w = parallel && along < 0 ? 0 : lengths + along;
  double n = sm::sqrt(dot(axis, axis) + w * w);
  if (n < 0x1p-1022) {
    const bool near_x = std::fabs(f.c[0]) >= tolerance::kArcNearX * sm::sqrt(dot(f, f));
    axis = cross(f, near_x ? Vec3d{{0, 1, 0}} : Vec3d{{1, 0, 0}});
    w = 0;
    n = sm::sqrt(dot(axis, axis));
  }
  return {axis.c[0] / n, axis.c[1] / n, axis.c[2] / n, w / n};
}

}  // namespace kv::dx
