#include "matrix/transforms.h"

#include "dx/vector.h"
#include "matrix/mat.h"

using namespace kv;
using namespace kv::mat;

namespace {

enum Side { World, Local };

// in·R turns about the world axes; R·in about the matrix's own. The rotation and
// the product in double, each element rounded once.
dx::Mat4d turned(const dx::Mat4d& m, const dx::Mat4d& r, Side side) {
  return side == World ? dx::product(m, r) : dx::product(r, m);
}

std::int32_t turn(Handle out, Handle in, const dx::Mat4d& r, Side side) {
  put(out, dx::narrow(turned(dx::widen(get(in)), r, side)));
  return 0;
}

// Three turns, X, then Y, then Z: in·Rx·Ry·Rz about the world axes, Rz·Ry·Rx·in
// about the matrix's own (own X first).
std::int32_t turn_xyz(Handle out, Handle in, float ax, float ay, float az, Side side) {
  dx::Mat4d m = dx::widen(get(in));
  m = turned(m, dx::rotation_about(0, ax), side);
  m = turned(m, dx::rotation_about(1, ay), side);
  put(out, dx::narrow(turned(m, dx::rotation_about(2, az), side)));
  return 0;
}

// The translation moves by distance along row k made unit length, so the
// distance is in world units whatever the matrix's scale; in double, each sum
// rounded once. A zero row does not move it.
std::int32_t move(Handle out, Handle in, int k, float distance) {
  Mat4 m = get(in);
  const dx::Vec3d d = dx::unit(dx::widen(row(m, k)));
  for (int c = 0; c < 3; ++c) m.m[3][c] = float(m.m[3][c] + d.c[c] * distance);
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

KV_EXPORT std::int32_t Mat4_RotateX(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(0, a), World); }
KV_EXPORT std::int32_t Mat4_RotateY(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(1, a), World); }
KV_EXPORT std::int32_t Mat4_RotateZ(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(2, a), World); }
KV_EXPORT std::int32_t Mat4_RotateLocalX(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(0, a), Local); }
KV_EXPORT std::int32_t Mat4_RotateLocalY(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(1, a), Local); }
KV_EXPORT std::int32_t Mat4_RotateLocalZ(Handle o, Handle i, float a) { return turn(o, i, dx::rotation_about(2, a), Local); }
KV_EXPORT std::int32_t Mat4_RotateXYZ(Handle o, Handle i, float x, float y, float z) { return turn_xyz(o, i, x, y, z, World); }
KV_EXPORT std::int32_t Mat4_RotateLocalXYZ(Handle o, Handle i, float x, float y, float z) { return turn_xyz(o, i, x, y, z, Local); }

KV_EXPORT std::int32_t Mat4_RotateAxis(Handle o, Handle i, float x, float y, float z, float angle) {
  return turn(o, i, dx::rotation_about({{x, y, z}}, angle), World);
}
KV_EXPORT std::int32_t Mat4_RotateAxisVec(Handle o, Handle i, Handle axis, float angle) {
  return turn(o, i, dx::rotation_about(vec::get<3>(axis), angle), World);
}
KV_EXPORT std::int32_t Mat4_RotateLocalAxis(Handle o, Handle i, float x, float y, float z, float angle) {
  return turn(o, i, dx::rotation_about({{x, y, z}}, angle), Local);
}
KV_EXPORT std::int32_t Mat4_RotateLocalAxisVec(Handle o, Handle i, Handle axis, float angle) {
  return turn(o, i, dx::rotation_about(vec::get<3>(axis), angle), Local);
}

KV_EXPORT std::int32_t Mat4_MoveRight(Handle o, Handle i, float distance) { return move(o, i, 0, distance); }
KV_EXPORT std::int32_t Mat4_MoveUp(Handle o, Handle i, float distance) { return move(o, i, 1, distance); }
KV_EXPORT std::int32_t Mat4_MoveForward(Handle o, Handle i, float distance) { return move(o, i, 2, distance); }

KV_EXPORT std::int32_t Mat4_ScaleLocal(Handle o, Handle i, float sx, float sy, float sz) { return scale(o, i, {sx, sy, sz}, Local); }
KV_EXPORT std::int32_t Mat4_ScaleGlobal(Handle o, Handle i, float sx, float sy, float sz) { return scale(o, i, {sx, sy, sz}, World); }

// Rows 1 to 3 rescaled to the lengths given: each row times s / |row|, in double,
// each element rounded once. A zero row gives non-finite elements.
KV_EXPORT std::int32_t Mat4_SetScale(Handle o, Handle i, float sx, float sy, float sz) {
  Mat4 m = get(i);
  const float s[3] = {sx, sy, sz};
  for (int r = 0; r < 3; ++r) {
    const double f = s[r] / vec::length(row(m, r));
    for (int c = 0; c < 3; ++c) m.m[r][c] = float(m.m[r][c] * f);
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
