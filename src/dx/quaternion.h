// D3DX 9 quaternion functions. A quaternion is (x, y, z, w), w the scalar part;
// quaternion_multiply(out, q1, q2) is the rotation q1 followed by q2 (the
// Hamilton product q2·q1). Nothing is normalised unless the name says so.
#pragma once

#include "dx/cpu.h"
#include "dx/types.h"

namespace kv::dx {

// (sin(θ/2)·n, cos(θ/2)) with n the normalised axis; a zero axis gives (0, 0, 0, cos(θ/2)).
Quat* quaternion_rotation_axis(Quat* out, const Vec3* axis, float angle);
// The rotation of matrix_rotation_yaw_pitch_roll: roll, then pitch, then yaw.
Quat* quaternion_rotation_yaw_pitch_roll(Quat* out, float yaw, float pitch, float roll);
// The rotation held in the upper 3×3 of m, not normalised.
Quat* quaternion_rotation_matrix(Quat* out, const Mat4* m);
// The same from a 3×3 in double, rounded once.
Quat quaternion_of_rotation(const double m[3][3]);
// axis = (x, y, z) as it is, angle = 2·acos(w); a null pointer skips that output.
void quaternion_to_axis_angle(const Quat* q, Vec3* axis, float* angle);

// Each component's four products summed in double, rounded once; the AVX kernel
// gives the SSE2 kernel's bits and is chosen at the first call where it runs.
using QuaternionMultiplyKernel = Quat* (*)(Quat* out, const Quat* q1, const Quat* q2);
extern QuaternionMultiplyKernel quaternion_multiply_kernel;
Quat* quaternion_multiply_sse2(Quat* out, const Quat* q1, const Quat* q2);
Quat* quaternion_multiply_avx(Quat* out, const Quat* q1, const Quat* q2);  // only where cpu_has_avx()
Quat* quaternion_multiply_fma(Quat* out, const Quat* q1, const Quat* q2);  // only where cpu_has_fma()
inline Quat* quaternion_multiply(Quat* out, const Quat* q1, const Quat* q2) {
  return quaternion_multiply_kernel(out, q1, q2);
}
// q / |q|; a zero quaternion gives NaN in every component (0 / 0).
Quat* quaternion_normalize(Quat* out, const Quat* q);
// conj(q) / |q|²; a zero quaternion gives NaN in every component.
Quat* quaternion_inverse(Quat* out, const Quat* q);
Quat* quaternion_ln(Quat* out, const Quat* q);
Quat* quaternion_exp(Quat* out, const Quat* q);
// Along the shorter arc from q1 (t = 0) to q2 (t = 1); plain interpolation when
// they are within 0.001 of parallel. Inputs are not normalised, t not clamped.
Quat* quaternion_slerp(Quat* out, const Quat* q1, const Quat* q2, float t);
Quat* quaternion_squad(Quat* out, const Quat* q1, const Quat* a, const Quat* b, const Quat* c, float t);
void quaternion_squad_setup(Quat* a_out, Quat* b_out, Quat* c_out, const Quat* q0, const Quat* q1, const Quat* q2,
                            const Quat* q3);
Quat* quaternion_barycentric(Quat* out, const Quat* q1, const Quat* q2, const Quat* q3, float f, float g);

}  // namespace kv::dx
