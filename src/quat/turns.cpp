#include "quat/turns.h"

#include "quat/quat.h"

using namespace kv;
using namespace kv::quat;

namespace {

enum Side { World, Local };

// q then r about the world axes, r then q about q's own; in double, rounded once.
Quatd turned(Handle q, const Quatd& r, Side side) { return side == World ? then(widen(get(q)), r) : then(r, widen(get(q))); }

std::int32_t single(Handle out, Handle q, int axis, float angle, Side side) {
  put(out, narrow(normalized(turned(q, about_axis(axis, angle), side))));
  return 0;
}

std::int32_t by_axis(Handle out, Handle q, const Vec3& axis, float angle, Side side) {
  put(out, narrow(turned(q, about(axis, angle), side)));
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Quat_RotateX(Handle o, Handle q, float a) { return single(o, q, 0, a, World); }
KV_EXPORT std::int32_t Quat_RotateY(Handle o, Handle q, float a) { return single(o, q, 1, a, World); }
KV_EXPORT std::int32_t Quat_RotateZ(Handle o, Handle q, float a) { return single(o, q, 2, a, World); }
KV_EXPORT std::int32_t Quat_RotateLocalX(Handle o, Handle q, float a) { return single(o, q, 0, a, Local); }
KV_EXPORT std::int32_t Quat_RotateLocalY(Handle o, Handle q, float a) { return single(o, q, 1, a, Local); }
KV_EXPORT std::int32_t Quat_RotateLocalZ(Handle o, Handle q, float a) { return single(o, q, 2, a, Local); }

// q then rx then ry then rz, not renormalised.
KV_EXPORT std::int32_t Quat_RotateXYZ(Handle o, Handle q, float ax, float ay, float az) {
  put(o, narrow(then(widen(get(q)), rotation_xyz(ax, ay, az))));
  return 0;
}

// rx then q, ry then that, rz then that: own X first, then the new own Y, then
// the new own Z, made unit length (once: each turn keeps the length).
KV_EXPORT std::int32_t Quat_RotateLocalXYZ(Handle o, Handle q, float ax, float ay, float az) {
  const Quatd r = then(about_axis(2, az), then(about_axis(1, ay), then(about_axis(0, ax), widen(get(q)))));
  put(o, narrow(normalized(r)));
  return 0;
}

KV_EXPORT std::int32_t Quat_RotateAxis(Handle o, Handle q, float x, float y, float z, float angle) {
  return by_axis(o, q, {{x, y, z}}, angle, World);
}
KV_EXPORT std::int32_t Quat_RotateAxisVec(Handle o, Handle q, Handle axis, float angle) {
  return by_axis(o, q, vec::get<3>(axis), angle, World);
}
KV_EXPORT std::int32_t Quat_RotateLocalAxis(Handle o, Handle q, float x, float y, float z, float angle) {
  return by_axis(o, q, {{x, y, z}}, angle, Local);
}
KV_EXPORT std::int32_t Quat_RotateLocalAxisVec(Handle o, Handle q, Handle axis, float angle) {
  return by_axis(o, q, vec::get<3>(axis), angle, Local);
}
