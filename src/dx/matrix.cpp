#include "dx/matrix.h"

#include "dx/quaternion.h"
#include "dx/vector.h"
#include "frame/scalar_math.h"

namespace kv::dx {
namespace {

Mat4 identity() {
  Mat4 m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
  return m;
}

// Rotation about one coordinate axis: the cosines at (i, i) and (j, j), the sine
// at (i, j) and its negative at (j, i).
Mat4* axis_rotation(Mat4* out, float angle, int i, int j) {
  const double a = angle;
  Mat4 r = identity();
  const float c = float(sm::cos(a)), s = float(sm::sin(a));
  r.m[i][i] = c, r.m[j][j] = c, r.m[i][j] = s, r.m[j][i] = -s;
  *out = r;
  return out;
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {{float(double(a.c[1]) * b.c[2] - double(a.c[2]) * b.c[1]),
           float(double(a.c[2]) * b.c[0] - double(a.c[0]) * b.c[2]),
           float(double(a.c[0]) * b.c[1] - double(a.c[1]) * b.c[0])}};
}

double dot(const Vec3& a, const Vec3& b) {
  return double(a.c[0]) * b.c[0] + double(a.c[1]) * b.c[1] + double(a.c[2]) * b.c[2];
}

// The look-at matrix for a unit view direction z: right = norm(up × z),
// up' = norm(z × (up × z)); the axes are the columns, row 4 the eye moved to the origin.
Mat4* look_at(Mat4* out, const Vec3& eye, Vec3 z, const Vec3& up) {
  vec_normalize(&z, &z);
  Vec3 x = cross(up, z);
  Vec3 y = cross(z, x);
  vec_normalize(&x, &x);
  vec_normalize(&y, &y);
  const Vec3 axes[3] = {x, y, z};
  Mat4 r{};
  for (int a = 0; a < 3; ++a) {
    for (int row = 0; row < 3; ++row) r.m[row][a] = axes[a].c[row];
    r.m[3][a] = float(-dot(axes[a], eye));
  }
  r.m[3][3] = 1;
  *out = r;
  return out;
}

// The rotation matrix of q in double, not normalised: rows as in matrix_rotation_quaternion.
void rotation_of(double r[3][3], const Quat& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  r[0][0] = 1 - 2 * (y * y + z * z), r[0][1] = 2 * (x * y + z * w), r[0][2] = 2 * (x * z - y * w);
  r[1][0] = 2 * (x * y - z * w), r[1][1] = 1 - 2 * (x * x + z * z), r[1][2] = 2 * (y * z + x * w);
  r[2][0] = 2 * (x * z + y * w), r[2][1] = 2 * (y * z - x * w), r[2][2] = 1 - 2 * (x * x + y * y);
}

// The 2×2 minors of rows 0–1 (s) and rows 2–3 (c) of m, which the determinant and
// the adjugate share.
struct Minors {
  double a[4][4];
  double s[6], c[6];
  explicit Minors(const Mat4& m) {
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) a[i][j] = m.m[i][j];
    }
    s[0] = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    s[1] = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    s[2] = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    s[3] = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    s[4] = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    s[5] = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    c[5] = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    c[4] = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    c[3] = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    c[2] = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    c[1] = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    c[0] = a[2][0] * a[3][1] - a[3][0] * a[2][1];
  }
  double determinant() const { return s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] + s[5] * c[0]; }
};

}  // namespace

Mat4* matrix_rotation_x(Mat4* out, float angle) { return axis_rotation(out, angle, 1, 2); }
Mat4* matrix_rotation_y(Mat4* out, float angle) { return axis_rotation(out, angle, 2, 0); }
Mat4* matrix_rotation_z(Mat4* out, float angle) { return axis_rotation(out, angle, 0, 1); }

Mat4* matrix_rotation_axis(Mat4* out, const Vec3* axis, float angle) {
  Vec3 n;
  vec_normalize(&n, axis);
  const double x = n.c[0], y = n.c[1], z = n.c[2];
  const double c = sm::cos(angle), s = sm::sin(angle), k = 1 - c;
  Mat4 r = identity();
  r.m[0][0] = float(k * x * x + c), r.m[0][1] = float(k * x * y + s * z), r.m[0][2] = float(k * x * z - s * y);
  r.m[1][0] = float(k * y * x - s * z), r.m[1][1] = float(k * y * y + c), r.m[1][2] = float(k * y * z + s * x);
  r.m[2][0] = float(k * z * x + s * y), r.m[2][1] = float(k * z * y - s * x), r.m[2][2] = float(k * z * z + c);
  *out = r;
  return out;
}

Mat4* matrix_rotation_yaw_pitch_roll(Mat4* out, float yaw, float pitch, float roll) {
  const double sy = sm::sin(yaw), cy = sm::cos(yaw), sp = sm::sin(pitch), cp = sm::cos(pitch);
  const double sr = sm::sin(roll), cr = sm::cos(roll);
  Mat4 r = identity();
  r.m[0][0] = float(sr * sp * sy + cr * cy), r.m[0][1] = float(sr * cp), r.m[0][2] = float(sr * sp * cy - cr * sy);
  r.m[1][0] = float(cr * sp * sy - sr * cy), r.m[1][1] = float(cr * cp), r.m[1][2] = float(cr * sp * cy + sr * sy);
  r.m[2][0] = float(cp * sy), r.m[2][1] = float(-sp), r.m[2][2] = float(cp * cy);
  *out = r;
  return out;
}

Mat4* matrix_rotation_quaternion(Mat4* out, const Quat* q) {
  double rot[3][3];
  rotation_of(rot, *q);
  Mat4 r = identity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r.m[i][j] = float(rot[i][j]);
  }
  *out = r;
  return out;
}

float matrix_determinant(const Mat4* m) { return float(Minors(*m).determinant()); }

Mat4* matrix_inverse(Mat4* out, float* determinant, const Mat4* m) {
  const Minors n(*m);
  const double det = n.determinant();
  if (det == 0) return nullptr;
  const auto& a = n.a;
  const auto& s = n.s;
  const auto& c = n.c;
  const double adj[4][4] = {
      {a[1][1] * c[5] - a[1][2] * c[4] + a[1][3] * c[3], -a[0][1] * c[5] + a[0][2] * c[4] - a[0][3] * c[3],
       a[3][1] * s[5] - a[3][2] * s[4] + a[3][3] * s[3], -a[2][1] * s[5] + a[2][2] * s[4] - a[2][3] * s[3]},
      {-a[1][0] * c[5] + a[1][2] * c[2] - a[1][3] * c[1], a[0][0] * c[5] - a[0][2] * c[2] + a[0][3] * c[1],
       -a[3][0] * s[5] + a[3][2] * s[2] - a[3][3] * s[1], a[2][0] * s[5] - a[2][2] * s[2] + a[2][3] * s[1]},
      {a[1][0] * c[4] - a[1][1] * c[2] + a[1][3] * c[0], -a[0][0] * c[4] + a[0][1] * c[2] - a[0][3] * c[0],
       a[3][0] * s[4] - a[3][1] * s[2] + a[3][3] * s[0], -a[2][0] * s[4] + a[2][1] * s[2] - a[2][3] * s[0]},
      {-a[1][0] * c[3] + a[1][1] * c[1] - a[1][2] * c[0], a[0][0] * c[3] - a[0][1] * c[1] + a[0][2] * c[0],
       -a[3][0] * s[3] + a[3][1] * s[1] - a[3][2] * s[0], a[2][0] * s[3] - a[2][1] * s[1] + a[2][2] * s[0]}};
  Mat4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = float(adj[i][j] / det);
  }
  if (determinant) *determinant = float(det);
  *out = r;
  return out;
}

bool matrix_decompose(Vec3* scale, Quat* rotation, Vec3* translation, const Mat4* m) {
  const Mat4 in = *m;
  Vec3 s;
  for (int i = 0; i < 3; ++i) {
    const double x = in.m[i][0], y = in.m[i][1], z = in.m[i][2];
    s.c[i] = float(sm::sqrt(x * x + y * y + z * z));
  }
  *scale = s;
  *translation = Vec3{{in.m[3][0], in.m[3][1], in.m[3][2]}};
  if (s.c[0] == 0 || s.c[1] == 0 || s.c[2] == 0) return false;
  Mat4 unscaled = identity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) unscaled.m[i][j] = in.m[i][j] / s.c[i];
  }
  quaternion_rotation_matrix(rotation, &unscaled);
  return true;
}

Mat4* matrix_look_at_lh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up) {
  const Vec3 z{{at->c[0] - eye->c[0], at->c[1] - eye->c[1], at->c[2] - eye->c[2]}};
  return look_at(out, *eye, z, *up);
}

Mat4* matrix_look_at_rh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up) {
  const Vec3 z{{eye->c[0] - at->c[0], eye->c[1] - at->c[1], eye->c[2] - at->c[2]}};
  return look_at(out, *eye, z, *up);
}

Mat4* matrix_affine_transformation(Mat4* out, float scaling, const Vec3* centre, const Quat* rotation,
                                   const Vec3* translation) {
  double rot[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  if (rotation) rotation_of(rot, *rotation);
  const double c[3] = {centre ? centre->c[0] : 0.0, centre ? centre->c[1] : 0.0, centre ? centre->c[2] : 0.0};
  const double t[3] = {translation ? translation->c[0] : 0.0, translation ? translation->c[1] : 0.0,
                       translation ? translation->c[2] : 0.0};
  Mat4 r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r.m[i][j] = float(scaling * rot[i][j]);
  }
  for (int j = 0; j < 3; ++j) r.m[3][j] = float(c[j] - (c[0] * rot[0][j] + c[1] * rot[1][j] + c[2] * rot[2][j]) + t[j]);
  r.m[3][3] = 1;
  *out = r;
  return out;
}

Mat4* matrix_affine_transformation_2d(Mat4* out, float scaling, const Vec2* centre, float angle,
                                      const Vec2* translation) {
  const double s = sm::sin(angle), c = sm::cos(angle);
  const double cx = centre ? centre->c[0] : 0.0, cy = centre ? centre->c[1] : 0.0;
  const double tx = translation ? translation->c[0] : 0.0, ty = translation ? translation->c[1] : 0.0;
  Mat4 r = identity();
  r.m[0][0] = float(scaling * c), r.m[0][1] = float(scaling * s);
  r.m[1][0] = float(-scaling * s), r.m[1][1] = float(scaling * c);
  r.m[3][0] = float(cy * s - cx * c + cx + tx);
  r.m[3][1] = float(-cx * s - cy * c + cy + ty);
  *out = r;
  return out;
}

}  // namespace kv::dx
