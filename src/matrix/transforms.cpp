#include "matrix/transforms.h"

#include "dx/vector.h"
#include "matrix/mat.h"

using namespace kv;
using namespace kv::mat;

namespace {

enum Side { World, Local };

// in·R turns about the world axes; R·in about the matrix's own.
std::int32_t turn(Handle out, Handle in, const Mat4& r, Side side) {
  const Mat4 m = get(in);
  put(out, side == World ? product(m, r) : product(r, m));
  return 0;
}

template <Mat4* (*Rotation)(Mat4*, float)>
std::int32_t turn_about(Handle out, Handle in, float angle, Side side) {
  Mat4 r;
  Rotation(&r, angle);
  return turn(out, in, r, side);
}

std::int32_t turn_about_axis(Handle out, Handle in, const Vec3& axis, float angle, Side side) {
  Mat4 r;
  dx::matrix_rotation_axis(&r, &axis, angle);
  return turn(out, in, r, side);
}

// Three turns, X, then Y, then Z, each product rounded as it is formed: in·Rx·Ry·Rz
// about the world axes, Rz·Ry·Rx·in about the matrix's own (own X first).
std::int32_t turn_xyz(Handle out, Handle in, float ax, float ay, float az, Side side) {
  Mat4 m = get(in), r;
  dx::matrix_rotation_x(&r, ax);
  m = side == World ? product(m, r) : product(r, m);
  dx::matrix_rotation_y(&r, ay);
  m = side == World ? product(m, r) : product(r, m);
  dx::matrix_rotation_z(&r, az);
  m = side == World ? product(m, r) : product(r, m);
  put(out, m);
  return 0;
}

// The translation moves by distance along row k normalised, so the distance is
// in world units whatever the matrix's scale; each sum is rounded once.
std::int32_t move(Handle out, Handle in, int k, float distance) {
  Mat4 m = get(in);
  Vec3 d = row(m, k);
  dx::vec_normalize(&d, &d);
  for (int c = 0; c < 3; ++c) m.m[3][c] = float(m.m[3][c] + double(d.c[c]) * distance);
  put(out, m);
  return 0;
}

// Rows 1 to 3 scaled (along the matrix's own axes), or columns 1 to 3 of those
// rows (along the world axes, about the matrix's own position).
std::int32_t scale(Handle out, Handle in, const float (&s)[3], Side side) {
  Mat4 m = get(in);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m.m[r][c] *= s[side == Local ? r : c];
  }
  put(out, m);
  return 0;
}

// |(m1c, m2c, m3c)|: the length of column c, rounded once.
FloatBits column_length(Handle h, int c) {
  const Mat4 m = get(h);
  const vec::V<3> column{{m.m[0][c], m.m[1][c], m.m[2][c]}};
  return bits_of(float(vec::length(column)));
}

std::int32_t translation_vec(Handle out, Handle m) {
  vec::put<3>(out, row(get(m), 3));
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Mat4_RotateX(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_x>(o, i, a, World); }
KV_EXPORT std::int32_t Mat4_RotateY(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_y>(o, i, a, World); }
KV_EXPORT std::int32_t Mat4_RotateZ(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_z>(o, i, a, World); }
KV_EXPORT std::int32_t Mat4_RotateLocalX(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_x>(o, i, a, Local); }
KV_EXPORT std::int32_t Mat4_RotateLocalY(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_y>(o, i, a, Local); }
KV_EXPORT std::int32_t Mat4_RotateLocalZ(Handle o, Handle i, float a) { return turn_about<dx::matrix_rotation_z>(o, i, a, Local); }
KV_EXPORT std::int32_t Mat4_RotateXYZ(Handle o, Handle i, float x, float y, float z) { return turn_xyz(o, i, x, y, z, World); }
KV_EXPORT std::int32_t Mat4_RotateLocalXYZ(Handle o, Handle i, float x, float y, float z) { return turn_xyz(o, i, x, y, z, Local); }

KV_EXPORT std::int32_t Mat4_RotateAxis(Handle o, Handle i, float x, float y, float z, float angle) {
  return turn_about_axis(o, i, {{x, y, z}}, angle, World);
}
KV_EXPORT std::int32_t Mat4_RotateAxisVec(Handle o, Handle i, Handle axis, float angle) {
  return turn_about_axis(o, i, vec::get<3>(axis), angle, World);
}
KV_EXPORT std::int32_t Mat4_RotateLocalAxis(Handle o, Handle i, float x, float y, float z, float angle) {
  return turn_about_axis(o, i, {{x, y, z}}, angle, Local);
}
KV_EXPORT std::int32_t Mat4_RotateLocalAxisVec(Handle o, Handle i, Handle axis, float angle) {
  return turn_about_axis(o, i, vec::get<3>(axis), angle, Local);
}

KV_EXPORT std::int32_t Mat4_MoveRight(Handle o, Handle i, float distance) { return move(o, i, 0, distance); }
KV_EXPORT std::int32_t Mat4_MoveUp(Handle o, Handle i, float distance) { return move(o, i, 1, distance); }
KV_EXPORT std::int32_t Mat4_MoveForward(Handle o, Handle i, float distance) { return move(o, i, 2, distance); }

KV_EXPORT std::int32_t Mat4_ScaleLocal(Handle o, Handle i, float sx, float sy, float sz) { return scale(o, i, {sx, sy, sz}, Local); }
KV_EXPORT std::int32_t Mat4_ScaleGlobal(Handle o, Handle i, float sx, float sy, float sz) { return scale(o, i, {sx, sy, sz}, World); }

// Rows 1 to 3 rescaled to the lengths given: each row times s / |row|, that
// factor rounded to single. A zero row gives non-finite elements.
KV_EXPORT std::int32_t Mat4_SetScale(Handle o, Handle i, float sx, float sy, float sz) {
  Mat4 m = get(i);
  const float s[3] = {sx, sy, sz};
  for (int r = 0; r < 3; ++r) {
    const float f = float(s[r] / vec::length(row(m, r)));
    for (int c = 0; c < 3; ++c) m.m[r][c] *= f;
  }
  put(o, m);
  return 0;
}

// Columns 1 to 3 of the upper 3×3 made unit length (a zero column stays zero);
// row 4 and m14, m24, m34 are left as they are.
KV_EXPORT std::int32_t Mat4_RemoveScaling(Handle o, Handle i) {
  Mat4 m = get(i);
  for (int c = 0; c < 3; ++c) {
    Vec3 column{{m.m[0][c], m.m[1][c], m.m[2][c]}};
    dx::vec_normalize(&column, &column);
    for (int r = 0; r < 3; ++r) m.m[r][c] = column.c[r];
  }
  put(o, m);
  return 0;
}

KV_EXPORT FloatBits Mat4_GetScaleX(Handle m) { return column_length(m, 0); }
KV_EXPORT std::int32_t Mat4_GetScaleVec(Handle out, Handle m) {
  vec::put<3>(out, {{float_of(column_length(m, 0)), float_of(column_length(m, 1)), float_of(column_length(m, 2))}});
  return 0;
}
KV_EXPORT FloatBits Mat4_GetScaleY(Handle m) { return column_length(m, 1); }
KV_EXPORT FloatBits Mat4_GetScaleZ(Handle m) { return column_length(m, 2); }

// Row 4 becomes (x, y, z, 1).
KV_EXPORT std::int32_t Mat4_SetTranslation(Handle o, Handle i, float x, float y, float z) {
  Mat4 m = get(i);
  m.m[3][0] = x, m.m[3][1] = y, m.m[3][2] = z, m.m[3][3] = 1;
  put(o, m);
  return 0;
}

KV_EXPORT FloatBits Mat4_GetTranslationX(Handle m) { return load_bits(m, 12); }
KV_EXPORT FloatBits Mat4_GetTranslationY(Handle m) { return load_bits(m, 13); }
KV_EXPORT FloatBits Mat4_GetTranslationZ(Handle m) { return load_bits(m, 14); }
KV_EXPORT std::int32_t Mat4_GetTranslationVec(Handle o, Handle m) { return translation_vec(o, m); }
