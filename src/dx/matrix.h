// D3DX 9 matrix functions: products, rotations, inverse, determinant,
// decomposition, look-at and affine transformations.
#pragma once

#include "dx/cpu.h"
#include "dx/types.h"

namespace kv::dx {

// a·b: a applied first, then b. Each element is the four products summed in
// double and rounded once; out may be a or b. Products of two singles are exact
// in double, so every kernel gives the same bits: the AVX one where the processor
// and the system offer it, the SSE2 one elsewhere, chosen at the first call.
using MultiplyKernel = Mat4* (*)(Mat4* out, const Mat4* a, const Mat4* b);
extern MultiplyKernel matrix_multiply_kernel;
Mat4* matrix_multiply_sse2(Mat4* out, const Mat4* a, const Mat4* b);
Mat4* matrix_multiply_avx(Mat4* out, const Mat4* a, const Mat4* b);  // only where cpu_has_avx()

inline Mat4* matrix_multiply(Mat4* out, const Mat4* a, const Mat4* b) { return matrix_multiply_kernel(out, a, b); }

// The transpose of a·b.
inline Mat4* matrix_multiply_transpose(Mat4* out, const Mat4* a, const Mat4* b) {
  Mat4 p;
  matrix_multiply(&p, a, b);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) out->m[r][c] = p.m[c][r];
  }
  return out;
}

// A 4×4 in double: rotations and the products that chain them, rounded once
// when stored.
struct Mat4d {
  double m[4][4];
};
Mat4d widen(const Mat4& m);
Mat4 narrow(const Mat4d& m);
Mat4d product(const Mat4d& a, const Mat4d& b);
// The inverse by elimination with partial pivoting; false, out untouched, when a
// pivot is exactly 0.
bool inverse(Mat4d* out, const Mat4d& m);
// The rotation about coordinate axis i (0 for X, 1 for Y, 2 for Z), and about the
// direction of axis (the zero axis: diag(cos, cos, cos, 1)).
Mat4d rotation_about(int i, float angle);
Mat4d rotation_about(const Vec3& axis, float angle);

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
// The AVX kernel gives the SSE2 kernel's bits, four lanes at a time.
using InverseKernel = Mat4* (*)(Mat4* out, float* determinant, const Mat4* m);
extern InverseKernel matrix_inverse_kernel;
Mat4* matrix_inverse_sse2(Mat4* out, float* determinant, const Mat4* m);
Mat4* matrix_inverse_avx(Mat4* out, float* determinant, const Mat4* m);  // only where cpu_has_avx()
inline Mat4* matrix_inverse(Mat4* out, float* determinant, const Mat4* m) {
  return matrix_inverse_kernel(out, determinant, m);
}
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
