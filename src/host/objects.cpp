#include "host/objects.h"

#include <cmath>

#include "dx/matrix.h"
#include "host/records.h"
#include "matrix/mat.h"
#include "quat/quat.h"
#include "vector/angles.h"

using namespace kv;
using dx::Mat4;
using dx::Quat;
using dx::Vec3;
using host::Record;

namespace {

std::int32_t get_field(Handle v, std::int32_t object, std::size_t offset) {
  const Record r = host::object_record(object);
  vec::put<3>(v, r ? host::read<Vec3>(r, offset) : Vec3{{0, 0, 0}});
  return 0;
}

std::int32_t set_field(Handle v, std::int32_t object, std::size_t offset) {
  if (const Record r = host::object_record(object)) host::write(r, offset, vec::get<3>(v));
  return 0;
}

Vec3 scaled(const Vec3& v, float unit) { return vec::map(v, [unit](float a) { return a * unit; }); }

// The rotation field, in degrees, turned into radians.
Vec3 rotation_of(Record r) { return scaled(host::read<Vec3>(r, host::kObjectRotation), vec::kDegToRad); }

// The rotation field from angles in radians, turned into degrees and rounded once.
void set_rotation(Record r, const dx::Vec3d& radians) {
  const double unit = vec::kRadToDeg;
  host::write(r, host::kObjectRotation,
              Vec3{{float(radians.c[0] * unit), float(radians.c[1] * unit), float(radians.c[2] * unit)}});
}

// The matrix the record gives, or the identity without an object.
template <class Build>
std::int32_t get_matrix(Handle m, std::int32_t object, Build build) {
  const Record r = host::object_record(object);
  mat::put(m, r ? build(r) : mat::identity());
  return 0;
}

Mat4 scaling(const Vec3& s) {
  Mat4 m{};
  m.m[0][0] = s.c[0], m.m[1][1] = s.c[1], m.m[2][2] = s.c[2], m.m[3][3] = 1;
  return m;
}

// Of the two Euler solutions of m's rotation, (x, y, z) and (x ± π, π − y, z ± π),
// the one with the smaller sum of magnitudes; ties keep the first.
dx::Vec3d smaller_euler_angles(const Mat4& m) {
  constexpr double kPi = 3.141592653589793;
  const dx::Vec3d first = mat::euler_angles(m);
  auto half_turn = [](double a) { return a > 0 ? a - kPi : a + kPi; };
  const dx::Vec3d second{{half_turn(first.c[0]), kPi - first.c[1], half_turn(first.c[2])}};
  auto size = [](const dx::Vec3d& a) { return std::fabs(a.c[0]) + std::fabs(a.c[1]) + std::fabs(a.c[2]); };
  return size(second) < size(first) ? second : first;
}

}  // namespace

// 1 when the host has the object, by the rule every object command uses for one
// that does not exist: its function bound and its record given.
KV_EXPORT std::int32_t Object_Exists(std::int32_t object) { return host::object_record(object) != nullptr; }

KV_EXPORT std::int32_t Vec3_GetObjectPosition(Handle v, std::int32_t o) { return get_field(v, o, host::kObjectPosition); }
KV_EXPORT std::int32_t Vec3_SetObjectPosition(Handle v, std::int32_t o) { return set_field(v, o, host::kObjectPosition); }
KV_EXPORT std::int32_t Vec3_GetObjectRotation(Handle v, std::int32_t o) { return get_field(v, o, host::kObjectRotation); }
KV_EXPORT std::int32_t Vec3_SetObjectRotation(Handle v, std::int32_t o) { return set_field(v, o, host::kObjectRotation); }
KV_EXPORT std::int32_t Vec3_GetObjectScale(Handle v, std::int32_t o) { return get_field(v, o, host::kObjectScale); }
KV_EXPORT std::int32_t Vec3_SetObjectScale(Handle v, std::int32_t o) { return set_field(v, o, host::kObjectScale); }

KV_EXPORT std::int32_t Mat4_GetObjectTranslation(Handle m, std::int32_t object) {
  return get_matrix(m, object, [](Record r) {
    Mat4 t = mat::identity();
    mat::set_row(t, 3, host::read<Vec3>(r, host::kObjectPosition));
    return t;
  });
}

KV_EXPORT std::int32_t Mat4_SetObjectTranslation(Handle m, std::int32_t object) {
  if (const Record r = host::object_record(object)) host::write(r, host::kObjectPosition, mat::row(mat::get(m), 3));
  return 0;
}

KV_EXPORT std::int32_t Mat4_GetObjectRotation(Handle m, std::int32_t object) {
  return get_matrix(m, object, [](Record r) {
    const Vec3 a = rotation_of(r);
    return mat::rotation_xyz(a.c[0], a.c[1], a.c[2]);
  });
}

// m's upper 3×3 taken as a pure rotation: a scaled m gives distorted angles.
KV_EXPORT std::int32_t Mat4_SetObjectRotation(Handle m, std::int32_t object) {
  if (const Record r = host::object_record(object)) set_rotation(r, smaller_euler_angles(mat::get(m)));
  return 0;
}

KV_EXPORT std::int32_t Mat4_GetObjectScale(Handle m, std::int32_t object) {
  return get_matrix(m, object, [](Record r) { return scaling(host::read<Vec3>(r, host::kObjectScale)); });
}

// The lengths of rows 1, 2 and 3 (Mat4_GetScaleX and its kin measure columns).
KV_EXPORT std::int32_t Mat4_SetObjectScale(Handle m, std::int32_t object) {
  if (const Record r = host::object_record(object)) {
    const Mat4 matrix = mat::get(m);
    Vec3 s;
    for (int k = 0; k < 3; ++k) s.c[k] = float(vec::length(mat::row(matrix, k)));
    host::write(r, host::kObjectScale, s);
  }
  return 0;
}

// m decomposed into scale, rotation and position; the fields whose flags are not
// 0 take their part. A zero scale fails the decomposition: scale and position are
// written as it leaves them, the rotation field keeps its angles.
KV_EXPORT std::int32_t Mat4_SetObjectTransforms(Handle m, std::int32_t object, std::int32_t scale_flag,
                                                std::int32_t rotation_flag, std::int32_t position_flag) {
  const Record r = host::object_record(object);
  if (!r) return 0;
  const Mat4 matrix = mat::get(m);
  Vec3 scale, position;
  Quat rotation;
  const bool decomposed = dx::matrix_decompose(&scale, &rotation, &position, &matrix);
  if (scale_flag != 0) host::write(r, host::kObjectScale, scale);
  if (position_flag != 0) host::write(r, host::kObjectPosition, position);
  if (rotation_flag != 0 && decomposed) set_rotation(r, quat::euler_angles(rotation));
  return 0;
}

KV_EXPORT std::int32_t Quat_GetObjectRotation(Handle q, std::int32_t object) {
  const Record r = host::object_record(object);
  Quat rotation{0, 0, 0, 1};
  if (r) {
    const Vec3 a = rotation_of(r);
    rotation = quat::narrow(quat::rotation_xyz(a.c[0], a.c[1], a.c[2]));
  }
  quat::put(q, rotation);
  return 0;
}

KV_EXPORT std::int32_t Quat_SetObjectRotation(Handle q, std::int32_t object) {
  if (const Record r = host::object_record(object)) set_rotation(r, quat::euler_angles(quat::get(q)));
  return 0;
}

// The host's world matrix, the selector passed through; the identity when the
// host function is not bound. A missing object is the host's to handle.
KV_EXPORT std::int32_t Mat4_GetObjectWorldEx(Handle m, std::int32_t object, std::int32_t selector) {
  if (host::slots.get_world_matrix) {
    host::slots.get_world_matrix(object, selector, at<Mat4>(m));
  } else {
    mat::put_identity(m);
  }
  return 0;
}

KV_EXPORT std::int32_t Mat4_GetObjectWorld(Handle m, std::int32_t object) { return Mat4_GetObjectWorldEx(m, object, 0); }

KV_EXPORT std::int32_t Mat4_SetObjectWorld(Handle m, std::int32_t object) {
  if (host::slots.set_world_matrix) host::slots.set_world_matrix(object, at<Mat4>(m));
  return 0;
}
