#include "dx/quaternion.h"

#include <immintrin.h>

#include "dx/vector.h"
#include "dx/wide.h"
#include "frame/scalar_math.h"
#include "frame/tolerances.h"

namespace kv::dx {
namespace {

double dot(const Quat& a, const Quat& b) {
  return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w;
}
Quat negated(const Quat& q) { return {-q.x, -q.y, -q.z, -q.w}; }

// The functions below on quaternions in double, for the chains of squad and the
// barycentric blend, which round once at the end.
using Q = Quatd;

Q inverse(const Q& a) {
  const double norm = dot(a, a);
  return {-a.x / norm, -a.y / norm, -a.z / norm, a.w / norm};
}

// (t·x, t·y, t·z, 0) with t = acos(w) / √(1 − w²); t = 1 when w ≥ 1 or w = −1.
// The length of q is never used; w < −1 gives NaN.
Q ln(const Q& a) {
  const double t = a.w >= 1 || a.w == -1 ? 1.0 : sm::acos(a.w) / sm::sqrt(1 - a.w * a.w);
  return {t * a.x, t * a.y, t * a.z, 0};
}

// w is ignored: θ = |(x, y, z)|, (sin θ · v / θ, cos θ), or the identity for θ = 0.
Q exp(const Q& a) {
  const double theta = sm::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  if (theta == 0) return {0, 0, 0, 1};
  const double k = sm::sin(theta) / theta;
  return {k * a.x, k * a.y, k * a.z, sm::cos(theta)};
}

// The weights of q1 and q2 in slerp for their dot product d: with d < 0 the
// second weight is negated (the shorter arc); within 0.001 of parallel a straight
// blend, not renormalised. With θ = acos d: sin θ = √(1 − d²), and
// sin((1 − t)θ) = sin θ cos tθ − d sin tθ, so one sine and cosine of tθ give both.
struct Weights {
  double a, b;
};

Weights slerp_weights(double d, double t) {
  const double sign = d < 0 ? -1 : 1;
  d *= sign;
  if (!(1 - d > double(tolerance::kQuatSlerpStraight))) return {1 - t, sign * t};
  const double k = 1 / sm::sqrt(1 - d * d);
  const sm::SinCos st = sm::sincos(t * sm::acos(d));
  const double b = st.sin * k;
  return {st.cos - d * b, sign * b};
}

Q slerp(const Q& a, const Q& b, double t) {
  const Weights w = slerp_weights(dot(a, b), t);
  return {w.a * a.x + w.b * b.x, w.a * a.y + w.b * b.y, w.a * a.z + w.b * b.z, w.a * a.w + w.b * b.w};
}

}  // namespace

// The unit axis stays in double until each component is stored.
Quat* quaternion_rotation_axis(Quat* out, const Vec3* axis, float angle) {
  const Vec3d n = unit(widen(*axis));
  const double half = double(angle) / 2, s = sm::sin(half);
  *out = {float(s * n.c[0]), float(s * n.c[1]), float(s * n.c[2]), float(sm::cos(half))};
  return out;
}

Quat* quaternion_rotation_yaw_pitch_roll(Quat* out, float yaw, float pitch, float roll) {
  const double sy = sm::sin(yaw / 2.0), cy = sm::cos(yaw / 2.0), sp = sm::sin(pitch / 2.0), cp = sm::cos(pitch / 2.0);
  const double sr = sm::sin(roll / 2.0), cr = sm::cos(roll / 2.0);
  *out = narrow(Q{sy * cp * sr + cy * sp * cr, sy * cp * cr - cy * sp * sr, cy * cp * sr - sy * sp * cr,
                 cy * cp * cr + sy * sp * sr});
  return out;
}

Quat* quaternion_rotation_matrix(Quat* out, const Mat4* matrix) {
  double m[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m[i][j] = matrix->m[i][j];
  }
  *out = quaternion_of_rotation(m);
  return out;
}

// The trace decides the branch; otherwise the largest diagonal element (strict
// comparison, ties to the lower index) keeps the division away from zero.
Quat quaternion_of_rotation(const double m[3][3]) {
  const double trace = m[0][0] + m[1][1] + m[2][2] + 1;
  Q q;
  if (trace > 1) {
    const double s = 2 * sm::sqrt(trace);
    q = {(m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s, s / 4};
  } else {
    int k = 0;
    if (m[1][1] > m[k][k]) k = 1;
    if (m[2][2] > m[k][k]) k = 2;
    if (k == 0) {
      const double s = 2 * sm::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
      q = {s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] - m[2][1]) / s};
    } else if (k == 1) {
      const double s = 2 * sm::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
      q = {(m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s, (m[2][0] - m[0][2]) / s};
    } else {
      const double s = 2 * sm::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
      q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4, (m[0][1] - m[1][0]) / s};
    }
  }
  return narrow(q);
}

void quaternion_to_axis_angle(const Quat* q, Vec3* axis, float* angle) {
  const Quat in = *q;
  if (axis) *axis = Vec3{{in.x, in.y, in.z}};
  if (angle) *angle = float(2 * sm::acos(in.w));
}

// x = b.w·a.x + b.x·a.w + b.y·a.z − b.z·a.y, and so on: the four products of each
// component summed left to right in double (each product of singles is exact
// there), two components per register.
Quat* quaternion_multiply_sse2(Quat* out, const Quat* q1, const Quat* q2) {
  const __m128 fa = _mm_loadu_ps(&q1->x), fb = _mm_loadu_ps(&q2->x);
  const __m128d a_xy = _mm_cvtps_pd(fa), a_zw = _mm_cvtps_pd(_mm_movehl_ps(fa, fa));
  const __m128d b_xy = _mm_cvtps_pd(fb), b_zw = _mm_cvtps_pd(_mm_movehl_ps(fb, fb));
  const __m128d bx = _mm_unpacklo_pd(b_xy, b_xy), by = _mm_unpackhi_pd(b_xy, b_xy);
  const __m128d bz = _mm_unpacklo_pd(b_zw, b_zw), bw = _mm_unpackhi_pd(b_zw, b_zw);
  const __m128d low = _mm_set_sd(-0.0), high = _mm_set_pd(-0.0, 0.0), both = _mm_set1_pd(-0.0);
  const __m128d a_wz = _mm_shuffle_pd(a_zw, a_zw, 1), a_yx = _mm_shuffle_pd(a_xy, a_xy, 1);
  __m128d xy = _mm_mul_pd(bw, a_xy);
  xy = _mm_add_pd(xy, _mm_mul_pd(bx, _mm_xor_pd(a_wz, high)));  // (a.w, −a.z)
  xy = _mm_add_pd(xy, _mm_mul_pd(by, a_zw));                    // (a.z, a.w)
  xy = _mm_add_pd(xy, _mm_mul_pd(bz, _mm_xor_pd(a_yx, low)));   // (−a.y, a.x)
  __m128d zw = _mm_mul_pd(bw, a_zw);
  zw = _mm_add_pd(zw, _mm_mul_pd(bx, _mm_xor_pd(a_yx, high)));  // (a.y, −a.x)
  zw = _mm_add_pd(zw, _mm_mul_pd(by, _mm_xor_pd(a_xy, both)));  // (−a.x, −a.y)
  zw = _mm_add_pd(zw, _mm_mul_pd(bz, _mm_xor_pd(a_wz, high)));  // (a.w, −a.z)
  _mm_storeu_ps(&out->x, _mm_movelh_ps(_mm_cvtpd_ps(xy), _mm_cvtpd_ps(zw)));
  return out;
}

// The same sums four components at a time, in double: with A1 = (a.w, −a.z, a.y,
// −a.x), A2 = (a.z, a.w, −a.x, −a.y), A3 = (−a.y, a.x, a.w, −a.z), the product is
// b.w·a + b.x·A1 + b.y·A2 + b.z·A3, summed in that order. Fused multiply-adds
// give the same bits: each product of two singles is exact in double.
struct Terms {
  __m256d b[4], a[4];  // the product is Σ b[k]·a[k], summed in this order
};

inline __attribute__((always_inline, target("avx"))) Terms four_wide_terms(const Quat* q1, const Quat* q2) {
  const __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(&q1->x)), b = _mm256_cvtps_pd(_mm_loadu_ps(&q2->x));
  const __m256d b_xy = _mm256_permute2f128_pd(b, b, 0x00), b_zw = _mm256_permute2f128_pd(b, b, 0x11);
  const __m256d zwxy = _mm256_permute2f128_pd(a, a, 0x01);
  return {{_mm256_permute_pd(b_zw, 15), _mm256_permute_pd(b_xy, 0), _mm256_permute_pd(b_xy, 15), _mm256_permute_pd(b_zw, 0)},
          {a, _mm256_xor_pd(_mm256_permute_pd(zwxy, 5), _mm256_setr_pd(0.0, -0.0, 0.0, -0.0)),
           _mm256_xor_pd(zwxy, _mm256_setr_pd(0.0, 0.0, -0.0, -0.0)),
           _mm256_xor_pd(_mm256_permute_pd(a, 5), _mm256_setr_pd(-0.0, 0.0, 0.0, -0.0))}};
}

__attribute__((target("avx"))) Quat* quaternion_multiply_avx(Quat* out, const Quat* q1, const Quat* q2) {
  const Terms t = four_wide_terms(q1, q2);
  __m256d sum = _mm256_mul_pd(t.b[0], t.a[0]);
  for (int k = 1; k < 4; ++k) sum = _mm256_add_pd(sum, _mm256_mul_pd(t.b[k], t.a[k]));
  _mm_storeu_ps(&out->x, _mm256_cvtpd_ps(sum));
  return out;
}

__attribute__((target("avx,fma"))) Quat* quaternion_multiply_fma(Quat* out, const Quat* q1, const Quat* q2) {
  const Terms t = four_wide_terms(q1, q2);
  __m256d sum = _mm256_mul_pd(t.b[0], t.a[0]);
  for (int k = 1; k < 4; ++k) sum = _mm256_fmadd_pd(t.b[k], t.a[k], sum);
  _mm_storeu_ps(&out->x, _mm256_cvtpd_ps(sum));
  return out;
}

namespace {

Quat* choose_multiply(Quat* out, const Quat* q1, const Quat* q2) {
  quaternion_multiply_kernel = cpu_has_fma()   ? quaternion_multiply_fma
                               : cpu_has_avx() ? quaternion_multiply_avx
                                               : quaternion_multiply_sse2;
  return quaternion_multiply_kernel(out, q1, q2);
}

}  // namespace

QuaternionMultiplyKernel quaternion_multiply_kernel = choose_multiply;

Quat* quaternion_normalize(Quat* out, const Quat* q) {
  const Q a = widen(*q);
  const double length = sm::sqrt(dot(a, a));
  *out = narrow(Q{a.x / length, a.y / length, a.z / length, a.w / length});
  return out;
}

Quat* quaternion_inverse(Quat* out, const Quat* q) { return &(*out = narrow(inverse(widen(*q)))); }
Quat* quaternion_ln(Quat* out, const Quat* q) { return &(*out = narrow(ln(widen(*q)))); }
Quat* quaternion_exp(Quat* out, const Quat* q) { return &(*out = narrow(exp(widen(*q)))); }

Quat* quaternion_slerp(Quat* out, const Quat* q1, const Quat* q2, float t) {
  const __m128 f1 = _mm_loadu_ps(&q1->x), f2 = _mm_loadu_ps(&q2->x);
  const __m128d a_xy = _mm_cvtps_pd(f1), a_zw = _mm_cvtps_pd(_mm_movehl_ps(f1, f1));
  const __m128d b_xy = _mm_cvtps_pd(f2), b_zw = _mm_cvtps_pd(_mm_movehl_ps(f2, f2));
  const __m128d products = _mm_add_pd(_mm_mul_pd(a_xy, b_xy), _mm_mul_pd(a_zw, b_zw));
  const Weights w = slerp_weights(_mm_cvtsd_f64(_mm_add_sd(products, _mm_unpackhi_pd(products, products))), t);
  const __m128d ka = _mm_set1_pd(w.a), kb = _mm_set1_pd(w.b);
  const __m128d xy = _mm_add_pd(_mm_mul_pd(ka, a_xy), _mm_mul_pd(kb, b_xy));
  const __m128d zw = _mm_add_pd(_mm_mul_pd(ka, a_zw), _mm_mul_pd(kb, b_zw));
  _mm_storeu_ps(&out->x, _mm_movelh_ps(_mm_cvtpd_ps(xy), _mm_cvtpd_ps(zw)));
  return out;
}

// The three slerps in double, rounded once.
Quat* quaternion_squad(Quat* out, const Quat* q1, const Quat* a, const Quat* b, const Quat* c, float t) {
  const Q outer = slerp(widen(*q1), widen(*c), t), inner = slerp(widen(*a), widen(*b), t);
  *out = narrow(slerp(outer, inner, 2.0 * t * (1.0 - t)));
  return out;
}

namespace {

// q · Exp(−¼ (Ln(q⁻¹ · next) + Ln(q⁻¹ · previous))), in D3DX product order: the
// inner control point of squad at q, in double, rounded once.
Quat control_point(const Quat& q_single, const Quat& previous, const Quat& next) {
  const Q q = widen(q_single), inv = inverse(q);
  const Q ln_next = ln(then(inv, widen(next))), ln_previous = ln(then(inv, widen(previous)));
  const Q sum{-0.25 * (ln_next.x + ln_previous.x), -0.25 * (ln_next.y + ln_previous.y),
              -0.25 * (ln_next.z + ln_previous.z), -0.25 * (ln_next.w + ln_previous.w)};
  return narrow(then(q, exp(sum)));
}

}  // namespace

// Signs are chosen first so that neighbours lie on the same hemisphere (q1 never
// flips, each later one follows the one before it); the inputs are read before
// any output is stored.
void quaternion_squad_setup(Quat* a_out, Quat* b_out, Quat* c_out, const Quat* q0, const Quat* q1, const Quat* q2,
                            const Quat* q3) {
  const Quat p1 = *q1;
  const Quat p0 = dot(*q0, p1) < 0 ? negated(*q0) : *q0;
  const Quat p2 = dot(p1, *q2) < 0 ? negated(*q2) : *q2;
  const Quat p3 = dot(p2, *q3) < 0 ? negated(*q3) : *q3;
  const Quat a = control_point(p1, p0, p2);
  const Quat b = control_point(p2, p1, p3);
  *a_out = a;
  *b_out = b;
  *c_out = p2;
}

// Slerp(Slerp(q1, q2, f + g), Slerp(q1, q3, f + g), g / (f + g)). When f + g = 0
// both inner points are q1 and so is the result for any finite weight; D3DX's
// 0 / 0 would make it NaN, so q1 is returned instead.
Quat* quaternion_barycentric(Quat* out, const Quat* q1, const Quat* q2, const Quat* q3, float f, float g) {
  const double sum = double(f) + double(g);
  if (sum == 0) {
    *out = *q1;
    return out;
  }
  const Q a = slerp(widen(*q1), widen(*q2), sum), b = slerp(widen(*q1), widen(*q3), sum);
  *out = narrow(slerp(a, b, g / sum));
  return out;
}

}  // namespace kv::dx
