#include "dx/matrix.h"

#include <immintrin.h>

#include <cmath>
#include <utility>

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

// The look-at matrix for the view direction `view`: z = norm(view), right
// x = norm(up × z), up' y = z × x; the axes are the columns, row 4 the eye moved
// to the origin. The axes stay in double until each element is stored, so row 4
// is formed from the exact axes. A zero view or up along it gives zero axes.
Mat4* look_at(Mat4* out, const Vec3& eye, const Vec3d& view, const Vec3& up) {
  const Vec3d z = unit(view), x = unit(cross(widen(up), z)), y = cross(z, x);
  const Vec3d axes[3] = {x, y, z};
  Mat4 r{};
  for (int a = 0; a < 3; ++a) {
    for (int row = 0; row < 3; ++row) r.m[row][a] = float(axes[a].c[row]);
    r.m[3][a] = float(-dot(axes[a], widen(eye)));
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

// The determinant and the adjugate by 2×2 minors, in double, two lanes at a
// time: s_k are the minors of rows 0–1 and c_k those of rows 2–3, paired as
// (s0, s1), (s2, s3), (s4, s5).
struct Pairs {
  __m128d lo, mid, hi;
};

#define KV_INLINE inline __attribute__((always_inline))

KV_INLINE __m128d pair(double a, double b) { return _mm_set_pd(b, a); }
KV_INLINE __m128d broadcast_low(__m128d v) { return _mm_unpacklo_pd(v, v); }
KV_INLINE __m128d broadcast_high(__m128d v) { return _mm_unpackhi_pd(v, v); }
KV_INLINE __m128d swapped(__m128d v) { return _mm_shuffle_pd(v, v, 1); }
KV_INLINE __m128d middle(__m128d v01, __m128d v23) { return _mm_shuffle_pd(v01, v23, 1); }  // (v1, v2)

// A row in double, as the pairs (x0, x1) and (x2, x3).
struct Row {
  __m128d lo, hi;
  explicit Row(const float* f) {
    const __m128 v = _mm_loadu_ps(f);
    lo = _mm_cvtps_pd(v), hi = _mm_cvtps_pd(_mm_movehl_ps(v, v));
  }
};

// Minors of two rows p, q: (p0q1 − q0p1, p0q2 − q0p2), (p0q3 − q0p3, p1q2 − q1p2),
// (p1q3 − q1p3, p2q3 − q2p3).
KV_INLINE Pairs minors(const Row& p, const Row& q) {
  return {_mm_sub_pd(_mm_mul_pd(broadcast_low(p.lo), middle(q.lo, q.hi)),
                     _mm_mul_pd(broadcast_low(q.lo), middle(p.lo, p.hi))),
          _mm_sub_pd(_mm_mul_pd(p.lo, swapped(q.hi)), _mm_mul_pd(q.lo, swapped(p.hi))),
          _mm_sub_pd(_mm_mul_pd(middle(p.lo, p.hi), broadcast_high(q.hi)),
                     _mm_mul_pd(middle(q.lo, q.hi), broadcast_high(p.hi)))};
}

// s0c5 − s1c4 + s2c3 + s3c2 − s4c1 + s5c0.
KV_INLINE double determinant_of(const Pairs& s, const Pairs& c) {
  const __m128d t = _mm_add_pd(_mm_add_pd(_mm_mul_pd(s.lo, _mm_mul_pd(swapped(c.hi), pair(1, -1))),
                                          _mm_mul_pd(s.mid, swapped(c.mid))),
                               _mm_mul_pd(s.hi, _mm_mul_pd(swapped(c.lo), pair(-1, 1))));
  return _mm_cvtsd_f64(_mm_add_sd(t, _mm_unpackhi_pd(t, t)));
}

// Two columns of the adjugate, from two rows p, q of the matrix and the minors k
// of the other two rows: with Q_j = (q_j, −p_j), rows 0 to 3 are Q1k5 − Q2k4 + Q3k3,
// −Q0k5 + Q2k2 − Q3k1, Q0k4 − Q1k2 + Q3k0, −Q0k3 + Q1k1 − Q2k0.
KV_INLINE void adjugate_half(__m128d out[4], const Row& p, const Row& q, const Pairs& k) {
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d p_lo = _mm_xor_pd(p.lo, sign), p_hi = _mm_xor_pd(p.hi, sign);
  const __m128d Q0 = _mm_unpacklo_pd(q.lo, p_lo), Q1 = _mm_unpackhi_pd(q.lo, p_lo);
  const __m128d Q2 = _mm_unpacklo_pd(q.hi, p_hi), Q3 = _mm_unpackhi_pd(q.hi, p_hi);
  // The k_i are broadcast where they are used: the eight registers of the 32-bit
  // target then hold Q, k and one product.
  out[0] = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(Q1, broadcast_high(k.hi)), _mm_mul_pd(Q2, broadcast_low(k.hi))),
                      _mm_mul_pd(Q3, broadcast_high(k.mid)));
  out[1] = _mm_sub_pd(_mm_sub_pd(_mm_mul_pd(Q2, broadcast_low(k.mid)), _mm_mul_pd(Q0, broadcast_high(k.hi))),
                      _mm_mul_pd(Q3, broadcast_high(k.lo)));
  out[2] = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(Q0, broadcast_low(k.hi)), _mm_mul_pd(Q1, broadcast_low(k.mid))),
                      _mm_mul_pd(Q3, broadcast_low(k.lo)));
  out[3] = _mm_sub_pd(_mm_sub_pd(_mm_mul_pd(Q1, broadcast_high(k.lo)), _mm_mul_pd(Q0, broadcast_high(k.mid))),
                      _mm_mul_pd(Q2, broadcast_low(k.lo)));
}

KV_INLINE Mat4* inverse_pairs(Mat4* out, float* determinant, const Mat4* m) {
  const Mat4 in = *m;
  const Pairs s = minors(Row(in.m[0]), Row(in.m[1])), c = minors(Row(in.m[2]), Row(in.m[3]));
  const double det = determinant_of(s, c);
  if (det == 0) return nullptr;
  __m128d left[4], right[4];
  adjugate_half(left, Row(in.m[0]), Row(in.m[1]), c);
  adjugate_half(right, Row(in.m[2]), Row(in.m[3]), s);
  const __m128d inv = _mm_set1_pd(1 / det);  // one division; the extra rounding stays far below single precision
  Mat4 r;
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    const __m128 row = _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(left[i], inv)), _mm_cvtpd_ps(_mm_mul_pd(right[i], inv)));
    _mm_storeu_ps(r.m[i], row);
  }
  if (determinant) *determinant = float(det);
  *out = r;
  return out;
}

}  // namespace

Mat4d widen(const Mat4& m) {
  Mat4d r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[i][j];
  }
  return r;
}

Mat4 narrow(const Mat4d& m) {
  Mat4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = float(m.m[i][j]);
  }
  return r;
}

Mat4d product(const Mat4d& a, const Mat4d& b) {
  Mat4d r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  }
  return r;
}

bool inverse(Mat4d* out, const Mat4d& m) {
  Mat4d a = m, r = widen(identity());
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int row = col + 1; row < 4; ++row) {
      if (std::fabs(a.m[row][col]) > std::fabs(a.m[pivot][col])) pivot = row;
    }
    if (a.m[pivot][col] == 0) return false;
    for (int j = 0; j < 4; ++j) std::swap(a.m[col][j], a.m[pivot][j]), std::swap(r.m[col][j], r.m[pivot][j]);
    const double scale = 1 / a.m[col][col];
    for (int j = 0; j < 4; ++j) a.m[col][j] *= scale, r.m[col][j] *= scale;
    for (int row = 0; row < 4; ++row) {
      if (row == col) continue;
      const double f = a.m[row][col];
      for (int j = 0; j < 4; ++j) a.m[row][j] -= f * a.m[col][j], r.m[row][j] -= f * r.m[col][j];
    }
  }
  *out = r;
  return true;
}

// The cosines at (j, j) and (k, k), the sine at (j, k) and its negative at (k, j),
// with j, k the axes after i in turn: X turns y toward z, Y z toward x, Z x toward y.
Mat4d rotation_about(int i, float angle) {
  const int j = (i + 1) % 3, k = (i + 2) % 3;
  const double c = sm::cos(angle), s = sm::sin(angle);
  Mat4d r = widen(identity());
  r.m[j][j] = c, r.m[k][k] = c, r.m[j][k] = s, r.m[k][j] = -s;
  return r;
}

// The unit axis stays in double, and 1 − cos is formed as 2·sin²(angle/2), which
// keeps its precision at small angles.
Mat4d rotation_about(const Vec3& axis, float angle) {
  const Vec3d n = unit(widen(axis));
  const double x = n.c[0], y = n.c[1], z = n.c[2];
  const double half = sm::sin(double(angle) / 2);
  const double c = sm::cos(angle), s = sm::sin(angle), k = 2 * half * half;
  Mat4d r = widen(identity());
  r.m[0][0] = k * x * x + c, r.m[0][1] = k * x * y + s * z, r.m[0][2] = k * x * z - s * y;
  r.m[1][0] = k * y * x - s * z, r.m[1][1] = k * y * y + c, r.m[1][2] = k * y * z + s * x;
  r.m[2][0] = k * z * x + s * y, r.m[2][1] = k * z * y - s * x, r.m[2][2] = k * z * z + c;
  return r;
}

Mat4* matrix_rotation_x(Mat4* out, float angle) { return &(*out = narrow(rotation_about(0, angle))); }
Mat4* matrix_rotation_y(Mat4* out, float angle) { return &(*out = narrow(rotation_about(1, angle))); }
Mat4* matrix_rotation_z(Mat4* out, float angle) { return &(*out = narrow(rotation_about(2, angle))); }
Mat4* matrix_rotation_axis(Mat4* out, const Vec3* axis, float angle) { return &(*out = narrow(rotation_about(*axis, angle))); }

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

float matrix_determinant(const Mat4* m) {
  const Row r0(m->m[0]), r1(m->m[1]), r2(m->m[2]), r3(m->m[3]);
  return float(determinant_of(minors(r0, r1), minors(r2, r3)));
}

namespace {

Mat4* choose_inverse(Mat4* out, float* determinant, const Mat4* m) {
  matrix_inverse_kernel = cpu_has_avx() ? matrix_inverse_avx : matrix_inverse_sse2;
  return matrix_inverse_kernel(out, determinant, m);
}

}  // namespace

InverseKernel matrix_inverse_kernel = choose_inverse;

Mat4* matrix_inverse_sse2(Mat4* out, float* determinant, const Mat4* m) { return inverse_pairs(out, determinant, m); }

// The SSE2 kernel's arithmetic, four lanes at a time: the low 128-bit half of
// each register does the work of rows 1–2 and the high half that of rows 3–4, so
// every value is formed by the same operations in the same order, bit for bit.
__attribute__((target("avx"))) Mat4* matrix_inverse_avx(Mat4* out, float* determinant, const Mat4* m) {
  const __m256d r0 = _mm256_cvtps_pd(_mm_loadu_ps(m->m[0])), r1 = _mm256_cvtps_pd(_mm_loadu_ps(m->m[1]));
  const __m256d r2 = _mm256_cvtps_pd(_mm_loadu_ps(m->m[2])), r3 = _mm256_cvtps_pd(_mm_loadu_ps(m->m[3]));
  // Minors of rows 1–2 (low halves: s) and of rows 3–4 (high halves: c).
  const __m256d pl = _mm256_permute2f128_pd(r0, r2, 0x20), ph = _mm256_permute2f128_pd(r0, r2, 0x31);
  const __m256d ql = _mm256_permute2f128_pd(r1, r3, 0x20), qh = _mm256_permute2f128_pd(r1, r3, 0x31);
  const __m256d p_mid = _mm256_shuffle_pd(pl, ph, 5), q_mid = _mm256_shuffle_pd(ql, qh, 5);
  const __m256d lo = _mm256_sub_pd(_mm256_mul_pd(_mm256_unpacklo_pd(pl, pl), q_mid), _mm256_mul_pd(_mm256_unpacklo_pd(ql, ql), p_mid));
  const __m256d mid = _mm256_sub_pd(_mm256_mul_pd(pl, _mm256_shuffle_pd(qh, qh, 5)), _mm256_mul_pd(ql, _mm256_shuffle_pd(ph, ph, 5)));
  const __m256d hi = _mm256_sub_pd(_mm256_mul_pd(p_mid, _mm256_unpackhi_pd(qh, qh)), _mm256_mul_pd(q_mid, _mm256_unpackhi_pd(ph, ph)));
  const Pairs s{_mm256_castpd256_pd128(lo), _mm256_castpd256_pd128(mid), _mm256_castpd256_pd128(hi)};
  const Pairs c{_mm256_extractf128_pd(lo, 1), _mm256_extractf128_pd(mid, 1), _mm256_extractf128_pd(hi, 1)};
  const double det = determinant_of(s, c);
  if (det == 0) return nullptr;
  // Columns of the rows (r2, −r1, r4, −r3), and each minor paired as (c, c | s, s).
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d n0 = _mm256_xor_pd(r0, sign), n2 = _mm256_xor_pd(r2, sign);
  const __m256d a = _mm256_unpacklo_pd(r1, n0), b = _mm256_unpackhi_pd(r1, n0);
  const __m256d cc = _mm256_unpacklo_pd(r3, n2), d = _mm256_unpackhi_pd(r3, n2);
  const __m256d Q0 = _mm256_permute2f128_pd(a, cc, 0x20), Q2 = _mm256_permute2f128_pd(a, cc, 0x31);
  const __m256d Q1 = _mm256_permute2f128_pd(b, d, 0x20), Q3 = _mm256_permute2f128_pd(b, d, 0x31);
  const __m256d k01 = _mm256_permute2f128_pd(lo, lo, 1), k23 = _mm256_permute2f128_pd(mid, mid, 1);
  const __m256d k45 = _mm256_permute2f128_pd(hi, hi, 1);
  const __m256d k0 = _mm256_unpacklo_pd(k01, k01), k1 = _mm256_unpackhi_pd(k01, k01);
  const __m256d k2 = _mm256_unpacklo_pd(k23, k23), k3 = _mm256_unpackhi_pd(k23, k23);
  const __m256d k4 = _mm256_unpacklo_pd(k45, k45), k5 = _mm256_unpackhi_pd(k45, k45);
  const __m256d inv = _mm256_set1_pd(1 / det);
  const __m256d rows[4] = {
      _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(Q1, k5), _mm256_mul_pd(Q2, k4)), _mm256_mul_pd(Q3, k3)),
      _mm256_sub_pd(_mm256_sub_pd(_mm256_mul_pd(Q2, k2), _mm256_mul_pd(Q0, k5)), _mm256_mul_pd(Q3, k1)),
      _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(Q0, k4), _mm256_mul_pd(Q1, k2)), _mm256_mul_pd(Q3, k0)),
      _mm256_sub_pd(_mm256_sub_pd(_mm256_mul_pd(Q1, k1), _mm256_mul_pd(Q0, k3)), _mm256_mul_pd(Q2, k0))};
  __m128 r[4];
  for (int i = 0; i < 4; ++i) r[i] = _mm256_cvtpd_ps(_mm256_mul_pd(rows[i], inv));
  if (determinant) *determinant = float(det);
  for (int i = 0; i < 4; ++i) _mm_storeu_ps(out->m[i], r[i]);
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
  // The rows over their lengths, in double: the quaternion is rounded once.
  double unscaled[3][3];
  for (int i = 0; i < 3; ++i) {
    const double x = in.m[i][0], y = in.m[i][1], z = in.m[i][2], length = sm::sqrt(x * x + y * y + z * z);
    for (int j = 0; j < 3; ++j) unscaled[i][j] = in.m[i][j] / length;
  }
  *rotation = quaternion_of_rotation(unscaled);
  return true;
}

Mat4* matrix_look_at_lh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up) {
  return look_at(out, *eye, difference(*at, *eye), *up);
}

Mat4* matrix_look_at_rh(Mat4* out, const Vec3* eye, const Vec3* at, const Vec3* up) {
  return look_at(out, *eye, difference(*eye, *at), *up);
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
