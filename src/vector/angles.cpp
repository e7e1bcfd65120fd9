#include "vector/angles.h"

#include "frame/scalar_math.h"
#include "vector/vec.h"

namespace kv::vec {

float wrap(double x, double period) {
  const double r = sm::fmod(x, period);  // exact, with the sign of x
  return float(r < 0 ? r + period : r);
}

namespace {

template <int N>
std::int32_t scale(Handle result, const V<N>& v, float factor) {
  put(result, map(v, [factor](float c) { return c * factor; }));
  return 0;
}

template <int N>
std::int32_t wrap_all(Handle result, Handle v, double period) {
  put(result, map(get<N>(v), [period](float c) { return wrap(c, period); }));
  return 0;
}

// The angle of a 2D direction, atan2(y, x), times the unit, rounded once.
FloatBits angle_of(const V<2>& v, double unit) { return bits_of(float(sm::atan2(v.y(), v.x()) * unit)); }

// (pitch, yaw, 0) of a unit direction: pitch = asin(−y), turning toward −y; yaw =
// atan2(x, z), from +z toward +x; each scaled to the unit and wrapped into one
// turn in double, rounded once. The direction is read whole before the store.
std::int32_t direction_angles(Handle result, Handle direction, double unit, double period) {
  const V<3> d = get<3>(direction);
  const double pitch = sm::asin(-double(d.y())), yaw = sm::atan2(d.x(), d.z());
  put<3>(result, {wrap(pitch * unit, period), wrap(yaw * unit, period), 0});
  return 0;
}

// The unit direction for a pitch and a yaw in radians (degrees times the single
// π/180, in double).
std::int32_t direction_of(Handle result, double pitch, double yaw) {
  const double p = -pitch, cos_p = sm::cos(p);
  put<3>(result, {float(sm::sin(yaw) * cos_p), float(sm::sin(p)), float(sm::cos(yaw) * cos_p)});
  return 0;
}

std::int32_t direction_of_degrees(Handle result, float pitch, float yaw) {
  return direction_of(result, double(pitch) * kDegToRad, double(yaw) * kDegToRad);
}

std::int32_t direction_2d(Handle result, double angle) {
  put<2>(result, {float(sm::cos(angle)), float(sm::sin(angle))});
  return 0;
}

}  // namespace

std::int32_t put_angles(Handle out, const dx::Vec3d& radians, double unit) {
  put<3>(out, {float(radians.c[0] * unit), float(radians.c[1] * unit), float(radians.c[2] * unit)});
  return 0;
}

}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_DegToRad(Handle r, Handle v) { return scale(r, get<2>(v), kDegToRad); }
KV_EXPORT std::int32_t Vec3_DegToRad(Handle r, Handle v) { return scale(r, get<3>(v), kDegToRad); }
KV_EXPORT std::int32_t Vec4_DegToRad(Handle r, Handle v) { return scale(r, get<4>(v), kDegToRad); }
KV_EXPORT std::int32_t Vec3_DegToRadEx(Handle r, float x, float y, float z) { return scale<3>(r, {x, y, z}, kDegToRad); }
KV_EXPORT std::int32_t Vec2_RadToDeg(Handle r, Handle v) { return scale(r, get<2>(v), kRadToDeg); }
KV_EXPORT std::int32_t Vec3_RadToDeg(Handle r, Handle v) { return scale(r, get<3>(v), kRadToDeg); }
KV_EXPORT std::int32_t Vec4_RadToDeg(Handle r, Handle v) { return scale(r, get<4>(v), kRadToDeg); }
KV_EXPORT std::int32_t Vec3_RadToDegEx(Handle r, float x, float y, float z) { return scale<3>(r, {x, y, z}, kRadToDeg); }

KV_EXPORT std::int32_t Vec2_WrapDegrees(Handle r, Handle v) { return wrap_all<2>(r, v, 360); }
KV_EXPORT std::int32_t Vec3_WrapDegrees(Handle r, Handle v) { return wrap_all<3>(r, v, 360); }
KV_EXPORT std::int32_t Vec4_WrapDegrees(Handle r, Handle v) { return wrap_all<4>(r, v, 360); }
KV_EXPORT std::int32_t Vec2_WrapRadians(Handle r, Handle v) { return wrap_all<2>(r, v, kTurn); }
KV_EXPORT std::int32_t Vec3_WrapRadians(Handle r, Handle v) { return wrap_all<3>(r, v, kTurn); }
KV_EXPORT std::int32_t Vec4_WrapRadians(Handle r, Handle v) { return wrap_all<4>(r, v, kTurn); }

// atan2(y, x) in (−π, π], and in degrees, not wrapped.
KV_EXPORT FloatBits Vec2_AxisToRad(Handle v) { return angle_of(get<2>(v), 1); }
KV_EXPORT FloatBits Vec2_AxisToDeg(Handle v) { return angle_of(get<2>(v), kRadToDeg); }
KV_EXPORT std::int32_t Vec2_RadToAxis(Handle r, float angle) { return direction_2d(r, angle); }
KV_EXPORT std::int32_t Vec2_DegToAxis(Handle r, float angle) { return direction_2d(r, double(angle) * kDegToRad); }

KV_EXPORT std::int32_t Vec3_AxisToRad(Handle r, Handle d) { return direction_angles(r, d, 1, kTurn); }
KV_EXPORT std::int32_t Vec3_AxisToDeg(Handle r, Handle d) { return direction_angles(r, d, kRadToDeg, 360); }
KV_EXPORT std::int32_t Vec3_RadToAxis(Handle r, Handle angles) {
  const V<2> a = get<2>(angles);
  return direction_of(r, a.x(), a.y());
}
KV_EXPORT std::int32_t Vec3_RadToAxisEx(Handle r, float pitch, float yaw) { return direction_of(r, pitch, yaw); }
KV_EXPORT std::int32_t Vec3_DegToAxis(Handle r, Handle angles) {
  const V<2> a = get<2>(angles);
  return direction_of_degrees(r, a.x(), a.y());
}
KV_EXPORT std::int32_t Vec3_DegToAxisEx(Handle r, float pitch, float yaw) { return direction_of_degrees(r, pitch, yaw); }
