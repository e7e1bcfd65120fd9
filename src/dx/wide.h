// Values in double. A command that works in double widens its single inputs
// (exactly), forms its result without rounding in between and narrows it once,
// when it is stored: Wide<N> for vectors, Quatd for quaternions (the 4×4 is
// Mat4d, in dx/matrix.h), with the operations they share. Products of two singles
// and differences of two singles are exact in double.
#pragma once

#include <emmintrin.h>

#include "dx/types.h"
#include "frame/scalar_math.h"

namespace kv::dx {

template <int N>
struct Wide {
  double c[N];
};
using Vec3d = Wide<3>;

template <int N>
inline Wide<N> widen(const Vec<N>& v) {
  Wide<N> w;
  for (int i = 0; i < N; ++i) w.c[i] = v.c[i];
  return w;
}

template <int N>
inline Vec<N> narrow(const Wide<N>& w) {
  Vec<N> v;
  for (int i = 0; i < N; ++i) v.c[i] = float(w.c[i]);
  return v;
}

// a − b, component by component.
template <int N>
inline Wide<N> difference(const Vec<N>& a, const Vec<N>& b) {
  Wide<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = double(a.c[i]) - b.c[i];
  return r;
}
template <int N>
inline Wide<N> difference(const Wide<N>& a, const Wide<N>& b) {
  Wide<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = a.c[i] - b.c[i];
  return r;
}

// Σ a_i·b_i, summed from the first component.
template <int N>
inline double dot(const Wide<N>& a, const Wide<N>& b) {
  double sum = a.c[0] * b.c[0];
  for (int i = 1; i < N; ++i) sum += a.c[i] * b.c[i];
  return sum;
}

inline Vec3d cross(const Vec3d& a, const Vec3d& b) {
  return {{a.c[1] * b.c[2] - a.c[2] * b.c[1], a.c[2] * b.c[0] - a.c[0] * b.c[2], a.c[0] * b.c[1] - a.c[1] * b.c[0]}};
}

template <int N>
inline double length(const Wide<N>& v) {
  return sm::sqrt(dot(v, v));
}

// v / |v|; the zero vector stays zero.
template <int N>
inline Wide<N> unit(const Wide<N>& v) {
  const double l = length(v);
  Wide<N> r{};
  if (l == 0) return r;
  for (int i = 0; i < N; ++i) r.c[i] = v.c[i] / l;
  return r;
}

// a·s + b·t, component by component.
template <int N>
inline Wide<N> combine(const Wide<N>& a, double s, const Wide<N>& b, double t) {
  Wide<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = a.c[i] * s + b.c[i] * t;
  return r;
}

// a + t (b − a); t is not clamped.
template <int N>
inline Wide<N> lerp(const Wide<N>& a, const Wide<N>& b, double t) {
  Wide<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = a.c[i] + t * (b.c[i] - a.c[i]);
  return r;
}

// from + t·step.
template <int N>
inline Wide<N> along(const Wide<N>& from, const Wide<N>& step, double t) {
  Wide<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = from.c[i] + t * step.c[i];
  return r;
}

template <int N>
inline bool has_nan(const Wide<N>& v) {
  bool nan = false;
  for (int i = 0; i < N; ++i) nan |= v.c[i] != v.c[i];
  return nan;
}

// The sign of the sum of the terms, exactly: the sum grown term by term as an
// expansion, doubles that add up to it without rounding (each TwoSum exact), the
// largest last, whose last non-zero part has the sum's sign. For terms such as
// products of two floats, which are exact and far from overflow.
template <int N>
inline int exact_sign(const double (&terms)[N]) {
  double e[N];
  int n = 0;
  for (const double b : terms) {
    double q = b;
    for (int k = 0; k < n; ++k) {
      const double sum = q + e[k], bv = sum - q;
      e[k] = (q - (sum - bv)) + (e[k] - bv);
      q = sum;
    }
    e[n++] = q;
  }
  for (int k = n - 1; k >= 0; --k) {
    if (e[k] != 0) return e[k] > 0 ? 1 : -1;
  }
  return 0;
}

// A quaternion (x, y, z, w) in double, w the scalar part.
struct Quatd {
  double x, y, z, w;
};

inline Quatd widen(const Quat& q) { return {q.x, q.y, q.z, q.w}; }
inline Quat narrow(const Quatd& q) { return {float(q.x), float(q.y), float(q.z), float(q.w)}; }
inline double dot(const Quatd& a, const Quatd& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// q then r: the rotation q followed by r, D3DX's product (the Hamilton product r·q).
inline Quatd then(const Quatd& q, const Quatd& r) {
  return {r.w * q.x + r.x * q.w + r.y * q.z - r.z * q.y, r.w * q.y - r.x * q.z + r.y * q.w + r.z * q.x,
          r.w * q.z + r.x * q.y - r.y * q.x + r.z * q.w, r.w * q.w - r.x * q.x - r.y * q.y - r.z * q.z};
}

// q / |q|; a zero q gives NaN.
inline Quatd normalized(const Quatd& q) {
  const double n = sm::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}

// The same in SSE registers, for the commands whose cost is a few dozen cycles
// (the picking queries, the matrix product): loads that take any 4-byte
// alignment (a handle may be), and a Vec3 in double as the pair (x, y) and z,
// which saves a conversion and a subtraction against three lanes of one.
namespace lanes {

// Two floats to and from memory through the 64-bit moves of the integer unit.
inline __m128 load_two(const float* f) { return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(f))); }
inline void store_two(float* f, __m128 v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(f), _mm_castps_si128(v)); }
inline __m128d low_pair(const float* f) { return _mm_cvtps_pd(load_two(f)); }

// a·b and a + b, computed as the instruction with a as its first operand, whose
// NaN is the one passed on when both are NaN. The compiler may swap the operands
// of a plain product or sum, so code paths that must give the same bits, NaN
// included, take these.
inline __m128d mul_first(__m128d a, __m128d b) {
  asm("mulpd %1, %0" : "+x"(a) : "xm"(b));
  return a;
}
inline __m128d add_first(__m128d a, __m128d b) {
  asm("addpd %1, %0" : "+x"(a) : "xm"(b));
  return a;
}

// x, y, z in three lanes (the fourth 0), read without touching memory past z.
inline __m128 three(const float* f) { return _mm_movelh_ps(load_two(f), _mm_load_ss(f + 2)); }

struct Pair {
  __m128d xy, z;
  Pair operator-(const Pair& q) const { return {_mm_sub_pd(xy, q.xy), _mm_sub_sd(z, q.z)}; }
};

inline Pair pair(const float* f) { return {low_pair(f), _mm_cvtss_sd(_mm_setzero_pd(), _mm_load_ss(f + 2))}; }

inline double dot(const Pair& p, const Pair& q) {
  const __m128d xy = _mm_mul_pd(p.xy, q.xy);
  return _mm_cvtsd_f64(_mm_add_sd(_mm_add_sd(xy, _mm_unpackhi_pd(xy, xy)), _mm_mul_sd(p.z, q.z)));
}

// P × Q. With u = (P.x·Q.z − Q.x·P.z, P.y·Q.z − Q.y·P.z), the cross is
// (u.y, −u.x, P.x·Q.y − P.y·Q.x). Swapping P and Q negates every product
// difference, so P × Q is −(Q × P) to the bit.
inline Pair cross(const Pair& p, const Pair& q) {
  const __m128d pz = _mm_unpacklo_pd(p.z, p.z), qz = _mm_unpacklo_pd(q.z, q.z);
  const __m128d u = _mm_sub_pd(_mm_mul_pd(p.xy, qz), _mm_mul_pd(q.xy, pz));
  const __m128d xy = _mm_xor_pd(_mm_shuffle_pd(u, u, 1), _mm_set_pd(-0.0, 0.0));
  const __m128d pq = _mm_mul_pd(p.xy, _mm_shuffle_pd(q.xy, q.xy, 1));
  return {xy, _mm_sub_sd(pq, _mm_unpackhi_pd(pq, pq))};
}

// Four Vec2 or Vec3 points' components, one float lane per point, from and to
// memory as N whole registers (for Vec3: x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3).
template <int N>
struct Four {
  __m128 c[N];
};

template <int N>
inline Four<N> gather(const float* f) {
  if constexpr (N == 2) {
    const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 4);
    return {{_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))}};
  } else {
    const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 4), c = _mm_loadu_ps(f + 8);
    const __m128 u = _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 0, 3, 2));  // x2 y2 z2 x3
    const __m128 v = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 2, 1));  // y0 z0 y1 z1
    const __m128 w = _mm_shuffle_ps(b, c, _MM_SHUFFLE(3, 2, 3, 3));  // y2 y2 y3 z3
    const __m128 s = _mm_shuffle_ps(u, w, _MM_SHUFFLE(3, 3, 2, 2));  // z2 z2 z3 z3
    return {{_mm_shuffle_ps(a, u, _MM_SHUFFLE(3, 0, 3, 0)), _mm_shuffle_ps(v, w, _MM_SHUFFLE(2, 0, 2, 0)),
             _mm_shuffle_ps(v, s, _MM_SHUFFLE(2, 0, 3, 1))}};
  }
}

// The inverse of gather.
template <int N>
inline void scatter(float* f, const Four<N>& q) {
  const __m128 lo = _mm_unpacklo_ps(q.c[0], q.c[1]), hi = _mm_unpackhi_ps(q.c[0], q.c[1]);  // x0 y0 x1 y1, x2 y2 x3 y3
  if constexpr (N == 2) {
    _mm_storeu_ps(f, lo), _mm_storeu_ps(f + 4, hi);
  } else {
    const __m128 z = q.c[2];
    const __m128 z0x1 = _mm_shuffle_ps(z, lo, _MM_SHUFFLE(2, 2, 0, 0));  // z0 z0 x1 x1
    const __m128 y1z1 = _mm_shuffle_ps(lo, z, _MM_SHUFFLE(1, 1, 3, 3));  // y1 y1 z1 z1
    const __m128 z2x3 = _mm_shuffle_ps(z, hi, _MM_SHUFFLE(2, 2, 2, 2));  // z2 z2 x3 x3
    const __m128 y3z3 = _mm_shuffle_ps(hi, z, _MM_SHUFFLE(3, 3, 3, 3));  // y3 y3 z3 z3
    _mm_storeu_ps(f, _mm_shuffle_ps(lo, z0x1, _MM_SHUFFLE(2, 0, 1, 0)));
    _mm_storeu_ps(f + 4, _mm_shuffle_ps(y1z1, hi, _MM_SHUFFLE(1, 0, 2, 0)));
    _mm_storeu_ps(f + 8, _mm_shuffle_ps(z2x3, y3z3, _MM_SHUFFLE(2, 0, 2, 0)));
  }
}

}  // namespace lanes
}  // namespace kv::dx
