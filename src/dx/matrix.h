// D3DX 9 matrix functions: products, rotations, inverse, determinant,
// decomposition, look-at and affine transformations.
#pragma once

#include <emmintrin.h>

#include "dx/types.h"

namespace kv::dx {

// a·b: a applied first, then b. Each element is the four products summed in
// double and rounded once; out may be a or b. Two columns at a time, so that the
// rows of b and the sums fit the eight SSE registers of the 32-bit target.
inline Mat4* matrix_multiply(Mat4* out, const Mat4* a, const Mat4* b) {
  Mat4 r;
#pragma GCC unroll 2
  for (int half = 0; half < 4; half += 2) {
    __m128d bk[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) bk[k] = _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(b->m[k] + half))));
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      const __m128 row = _mm_loadu_ps(a->m[i]);
      const __m128d a01 = _mm_cvtps_pd(row), a23 = _mm_cvtps_pd(_mm_movehl_ps(row, row));
      __m128d sum = _mm_mul_pd(_mm_unpacklo_pd(a01, a01), bk[0]);
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpackhi_pd(a01, a01), bk[1]));
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpacklo_pd(a23, a23), bk[2]));
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpackhi_pd(a23, a23), bk[3]));
      _mm_store_sd(reinterpret_cast<double*>(r.m[i] + half), _mm_castps_pd(_mm_cvtpd_ps(sum)));
    }
  }
  *out = r;
  return out;
}

// The transpose of a·b.
inline Mat4* matrix_multiply_transpose(Mat4* out, const Mat4* a, const Mat4* b) {
  Mat4 p;
  matrix_multiply(&p, a, b);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) out->m[r][c] = p.m[c][r];
  }
  return out;
}

Mat4* matrix_rotation_x(Mat4* out, float angle);
Mat4* matrix_rotation_y(Mat4* out, float angle);
Mat4* matrix_rotation_z(Mat4* out, float angle);
// Rotation by angle about the direction of axis (normalised first); a zero axis
// gives diag(cos, cos, cos, 1).
Mat4* matrix_rotation_axis(Mat4* out, const Vec3* axis, float angle);
// Rz(roll)·Rx(pitch)·Ry(yaw): roll first, then pitch, then yaw.
Mat4* matrix_rotation_yaw_pitch_roll(Mat4* out, float yaw, float pitch, float roll);
// The rotation of q, which is not normalised first.
Mat4* matrix_rotation_quaternion(Mat4* out, const Quat* q);

float matrix_determinant(const Mat4* m);
// The adjugate over the determinant. A determinant of exactly 0 returns null and
// leaves *out and *determinant untouched; otherwise *determinant (when given) is
// stored, then *out.
Mat4* matrix_inverse(Mat4* out, float* determinant, const Mat4* m);
// Scale = lengths of rows 1 to 3, translation = row 4, both stored first; a zero
// scale fails and leaves *rotation untouched, otherwise rotation = the quaternion
// of the rows divided by their scales. A mirror is not detected.
bool matrix_decompose(Vec3* scale, Quat* rotation, Vec3* translation, const Mat4* m);

// View matrices for an eye at `eye` looking at `at`, left- and right-handed.
Mat4* matrix_look_at_lh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up);
Mat4* matrix_look_at_rh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up);
// Scaling, then rotation about centre, then translation; a null centre or
// translation counts as zero, a null rotation as none.
Mat4* matrix_affine_transformation(Mat4* out, float scaling, const Vec3* centre, const Quat* rotation,
                                   const Vec3* translation);
Mat4* matrix_affine_transformation_2d(Mat4* out, float scaling, const Vec2* centre, float angle,
                                      const Vec2* translation);

}  // namespace kv::dx
