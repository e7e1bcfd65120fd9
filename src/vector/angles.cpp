#include "vector/angles.h"

#include "frame/scalar_math.h"
#include "vector/vec.h"

namespace kv::vec {

float wrap(float x, double period) {
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

float atan2_single(const V<2>& v) { return float(sm::atan2(v.y(), v.x())); }

// (pitch, yaw, 0) of a unit direction: pitch = asin(−y), turning toward −y; yaw =
// atan2(x, z), from +z toward +x; each rounded to single, then scaled to the unit
// and wrapped into one turn. The direction is read whole before the store.
std::int32_t direction_angles(Handle result, Handle direction, float unit, double period) {
  const V<3> d = get<3>(direction);
  const float pitch = float(sm::asin(-double(d.y()))), yaw = float(sm::atan2(d.x(), d.z()));
  put<3>(result, {wrap(pitch * unit, period), wrap(yaw * unit, period), 0});
  return 0;
}

// The unit direction for a pitch and a yaw in radians.
std::int32_t direction_of(Handle result, float pitch, float yaw) {
  const float p = -pitch;
  const double cos_p = sm::cos(p);
  put<3>(result, {float(sm::sin(yaw) * cos_p), float(sm::sin(p)), float(sm::cos(yaw) * cos_p)});
  return 0;
}

std::int32_t direction_of_degrees(Handle result, float pitch, float yaw) {
  return direction_of(result, pitch * kDegToRad, yaw * kDegToRad);
}

std::int32_t direction_2d(Handle result, float angle) {
  put<2>(result, {float(sm::cos(angle)), float(sm::sin(angle))});
  return 0;
}

}  // namespace

std::int32_t put_angles(Handle out, float x, float y, float z, float unit) {
  put<3>(out, {x * unit, y * unit, z * unit});
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
KV_EXPORT FloatBits Vec2_AxisToRad(Handle v) { return bits_of(atan2_single(get<2>(v))); }
KV_EXPORT FloatBits Vec2_AxisToDeg(Handle v) { return bits_of(atan2_single(get<2>(v)) * kRadToDeg); }
KV_EXPORT std::int32_t Vec2_RadToAxis(Handle r, float angle) { return direction_2d(r, angle); }
KV_EXPORT std::int32_t Vec2_DegToAxis(Handle r, float angle) { return direction_2d(r, angle * kDegToRad); }

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
