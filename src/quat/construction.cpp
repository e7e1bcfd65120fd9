#include "quat/construction.h"

#include "frame/pool.h"
#include "dx/rotation.h"
#include "quat/quat.h"
#include "vector/angles.h"
#include "vector/construction.h"

using namespace kv;
using namespace kv::quat;

namespace {

std::int32_t fill(Handle h, const Quat& q) {
  put(h, q);
  return 0;
}

// 2·acos(w), w clamped to [−1, 1]: a unit quaternion whose w rounds to
// 1.0000001 (q·conj(q), say) turns by 0, not NaN. A zero q turns by π.
float angle_of(const Quat& q) { return float(2 * sm::acos(q.w > 1 ? 1 : q.w < -1 ? -1 : q.w)); }

std::int32_t euler(Handle out, Handle q, double unit) { return vec::put_angles(out, euler_angles(get(q)), unit); }

}  // namespace

KV_EXPORT Handle Quat_MakeNewEx(float x, float y, float z, float w) {
  const Handle h = frame::pool(frame::PoolId::Quat).make_new();
  if (h) put(h, {x, y, z, w});
  return h;
}

KV_EXPORT std::int32_t Quat_Identity(Handle q) { return fill(q, {0, 0, 0, 1}); }

// Exact, in the order x, y, z, w; −0 counts as 0, and (0, 0, 0, −1), the same
// rotation, is not the identity.
KV_EXPORT std::int32_t Quat_IsIdentity(Handle h) {
  const Quat q = get(h);
  return q.x == 0 && q.y == 0 && q.z == 0 && q.w == 1;
}

KV_EXPORT std::int32_t Quat_RotationX(Handle q, float angle) { return fill(q, narrow(about_axis(0, angle))); }
KV_EXPORT std::int32_t Quat_RotationY(Handle q, float angle) { return fill(q, narrow(about_axis(1, angle))); }
KV_EXPORT std::int32_t Quat_RotationZ(Handle q, float angle) { return fill(q, narrow(about_axis(2, angle))); }
KV_EXPORT std::int32_t Quat_RotationXYZ(Handle q, float ax, float ay, float az) { return fill(q, narrow(rotation_xyz(ax, ay, az))); }

KV_EXPORT std::int32_t Quat_RotationVecXYZ(Handle q, Handle angles) {
  const Vec3 a = vec::get<3>(angles);
  return fill(q, narrow(rotation_xyz(a.c[0], a.c[1], a.c[2])));
}

KV_EXPORT std::int32_t Quat_RotationYPR(Handle q, float yaw, float pitch, float roll) {
  Quat r;
  dx::quaternion_rotation_yaw_pitch_roll(&r, yaw, pitch, roll);
  return fill(q, r);
}

KV_EXPORT std::int32_t Quat_RotationAxis(Handle q, float x, float y, float z, float angle) {
  return fill(q, narrow(about({{x, y, z}}, angle)));
}
KV_EXPORT std::int32_t Quat_RotationAxisVec(Handle q, Handle axis, float angle) {
  return fill(q, narrow(about(vec::get<3>(axis), angle)));
}

KV_EXPORT std::int32_t Quat_RotationArc(Handle q, Handle from, Handle to) {
  return fill(q, narrow(dx::arc(dx::widen(vec::get<3>(from)), dx::widen(vec::get<3>(to)))));
}

// The rotation of Mat4_FaceLH for an object at the origin facing along dir.
KV_EXPORT std::int32_t Quat_LookRotation(Handle q, Handle dir, Handle up) {
  const dx::Basis b = dx::facing(dx::widen(vec::get<3>(dir)), dx::widen(vec::get<3>(up)));
  const double m[3][3] = {{b.right.c[0], b.right.c[1], b.right.c[2]},
                          {b.up.c[0], b.up.c[1], b.up.c[2]},
                          {b.look.c[0], b.look.c[1], b.look.c[2]}};
  return fill(q, dx::quaternion_of_rotation(m));
}

// The vectors' comparisons over four components: under 1.2e-8 apart, or within eps.
KV_EXPORT std::int32_t Quat_IsEqual(Handle a, Handle b) { return vec::equal_within(a, b, 4, tolerance::kIsEqual, true); }
KV_EXPORT std::int32_t Quat_IsEqualEps(Handle a, Handle b, float eps) { return vec::equal_within(a, b, 4, eps, false); }

// The rotation in m's upper 3×3, with the sign the trace branch gives.
KV_EXPORT std::int32_t Quat_FromMat4(Handle q, Handle m) {
  const dx::Mat4 matrix = load<dx::Mat4>(m);
  Quat r;
  dx::quaternion_rotation_matrix(&r, &matrix);
  return fill(q, r);
}

KV_EXPORT std::int32_t Quat_GetEulerRad(Handle out, Handle q) { return euler(out, q, 1); }
KV_EXPORT std::int32_t Quat_GetEulerDeg(Handle out, Handle q) { return euler(out, q, vec::kRadToDeg); }

// The axis (x, y, z of q, not normalised) into out's x, y, z and the angle
// 2·acos(w) into its w: out must hold four floats.
KV_EXPORT std::int32_t Quat_GetAxis(Handle out, Handle q) {
  const Quat r = get(q);
  vec::put<3>(out, {r.x, r.y, r.z});
  store_float(out, 3, angle_of(r));
  return 0;
}

KV_EXPORT FloatBits Quat_GetAxisEx(Handle axis, Handle q) {
  const Quat r = get(q);
  vec::put<3>(axis, {r.x, r.y, r.z});
  return bits_of(angle_of(r));
}
