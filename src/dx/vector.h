// D3DX 9 vector functions: normalisation, transforms by a Mat4, Catmull-Rom,
// Hermite and barycentric points, and projection through a viewport.
//
// Each result is formed in double precision from the single inputs and rounded
// once when it is stored, which is what D3DX's extended-precision code gives
// within its last bit.
#pragma once

#include <emmintrin.h>

#include <cstddef>

#include "dx/matrix.h"
#include "dx/types.h"
#include "dx/wide.h"
#include "frame/scalar_math.h"

namespace kv::dx {

// v / |v|; a vector of length exactly 0 gives the zero vector, and a tiny one
// still gives a unit vector (no underflow in the squares).
template <int N>
inline Vec<N>* vec_normalize(Vec<N>* out, const Vec<N>* v) {
  static_assert(N == 2 || N == 3, "D3DX normalises Vec2 and Vec3 this way");
  *out = narrow(unit(widen(*v)));
  return out;
}

namespace detail {

// The product of a row with the matrix, in double, as two pairs of columns.
struct Row {
  __m128d xy, zw;
};

using lanes::low_pair;
using lanes::store_two;

// v·m with the missing components of a Vec2 or Vec3 taken as 0, and w as 1 when
// `translate` (a point) or 0 (a direction); a Vec4 is taken whole. Each sum adds
// v's component times the matrix element to what is there, in that operand order.
template <int N, bool translate>
inline Row row_times(const Vec<N>& v, const Mat4& m) {
  Row r = {_mm_setzero_pd(), _mm_setzero_pd()};
  if constexpr (N < 4 && translate) r = {low_pair(m.m[3]), low_pair(m.m[3] + 2)};
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) {
    const __m128d e = _mm_set1_pd(v.c[i]);
    r.xy = lanes::add_first(r.xy, lanes::mul_first(e, low_pair(m.m[i])));
    r.zw = lanes::add_first(r.zw, lanes::mul_first(e, low_pair(m.m[i] + 2)));
  }
  return r;
}

inline __m128 to_singles(const Row& r) { return _mm_movelh_ps(_mm_cvtpd_ps(r.xy), _mm_cvtpd_ps(r.zw)); }

// Stores the first N floats of v.
template <int N>
inline void store_first(float* out, __m128 v) {
  if constexpr (N == 4) {
    _mm_storeu_ps(out, v);
  } else {
    store_two(out, v);
    if constexpr (N == 3) _mm_store_ss(out + 2, _mm_movehl_ps(v, v));
  }
}

}  // namespace detail

// (x, y[, z], 1)·m for Vec2 and Vec3, v·m for Vec4: all four components.
template <int N>
inline Vec4* vec_transform(Vec4* out, const Vec<N>* v, const Mat4* m) {
  detail::store_first<4>(out->c, detail::to_singles(detail::row_times<N, true>(*v, *m)));
  return out;
}

// (x, y[, z], 1)·m with x, y[, z] times 1 / the product's w: one division where
// three were, in double, rounded once; w = 0 is not tested. Each component is
// ((m4j + x·m1j) + y·m2j) + z·m3j with every operand order pinned, the order
// the array kernels keep, so that they give these bits, NaNs included.
template <int N>
inline Vec<N>* vec_transform_coord(Vec<N>* out, const Vec<N>* v, const Mat4* m) {
  detail::Row p = detail::row_times<N, true>(*v, *m);
  const __m128d w = _mm_unpackhi_pd(p.zw, p.zw), inv = _mm_div_pd(_mm_set1_pd(1), w);
  p.xy = lanes::mul_first(p.xy, inv);
  p.zw = lanes::mul_first(p.zw, inv);
  detail::store_first<N>(out->c, detail::to_singles(p));
  return out;
}

// vec_transform_coord on each of count points (out may be in), four at a time
// in double lanes. The kernel is chosen by the processor at the first call and
// every kernel gives the bits of vec_transform_coord.
struct CoordKernels {
  void (*two)(Vec2* out, const Vec2* in, std::size_t count, const Mat4* m);
  void (*three)(Vec3* out, const Vec3* in, std::size_t count, const Mat4* m);
};
extern CoordKernels coord_kernels;
extern const CoordKernels coord_kernels_sse2, coord_kernels_avx, coord_kernels_fma;  // AVX, FMA where the cpu_has_ says

template <int N>
inline void vec_transform_coord_many(Vec<N>* out, const Vec<N>* in, std::size_t count, const Mat4* m) {
  if constexpr (N == 2) {
    coord_kernels.two(out, in, count, m);
  } else {
    coord_kernels.three(out, in, count, m);
  }
}

// (x, y[, z], 0)·m: the upper 2×2 or 3×3 only, nothing normalised.
template <int N>
inline Vec<N>* vec_transform_normal(Vec<N>* out, const Vec<N>* v, const Mat4* m) {
  detail::store_first<N>(out->c, detail::to_singles(detail::row_times<N, false>(*v, *m)));
  return out;
}

// The uniform Catmull-Rom point: v1 at s = 0, v2 at s = 1, no clamping.
template <int N>
inline Vec<N>* vec_catmull_rom(Vec<N>* out, const Vec<N>* v0, const Vec<N>* v1, const Vec<N>* v2, const Vec<N>* v3,
                              float s) {
  const double t = s, t2 = t * t, t3 = t2 * t;
  const double w0 = -t3 + 2 * t2 - t, w1 = 3 * t3 - 5 * t2 + 2, w2 = -3 * t3 + 4 * t2 + t, w3 = t3 - t2;
  Vec<N> r;
  for (int i = 0; i < N; ++i) {
    r.c[i] = float(0.5 * (w0 * v0->c[i] + w1 * v1->c[i] + w2 * v2->c[i] + w3 * v3->c[i]));
  }
  *out = r;
  return out;
}

// The cubic Hermite point from v1 (tangent t1) to v2 (tangent t2).
template <int N>
inline Vec<N>* vec_hermite(Vec<N>* out, const Vec<N>* v1, const Vec<N>* t1, const Vec<N>* v2, const Vec<N>* t2,
                           float s) {
  const double u = s, u2 = u * u, u3 = u2 * u;
  const double h1 = 2 * u3 - 3 * u2 + 1, h2 = u3 - 2 * u2 + u, h3 = -2 * u3 + 3 * u2, h4 = u3 - u2;
  Vec<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = float(h1 * v1->c[i] + h2 * t1->c[i] + h3 * v2->c[i] + h4 * t2->c[i]);
  *out = r;
  return out;
}

// v1 + f (v2 − v1) + g (v3 − v1); no division, so f + g = 0 gives v1.
template <int N>
inline Vec<N>* vec_barycentric(Vec<N>* out, const Vec<N>* v1, const Vec<N>* v2, const Vec<N>* v3, float f, float g) {
  Vec<N> r;
  for (int i = 0; i < N; ++i) {
    const double a = v1->c[i];
    r.c[i] = float(a + double(f) * (double(v2->c[i]) - a) + double(g) * (double(v3->c[i]) - a));
  }
  *out = r;
  return out;
}

// A projection made once for many points: M = world·view·projection in double (a
// null matrix counting as the identity), or its inverse, and the viewport.
struct Projector {
  Mat4d m;
  Viewport viewport;
  bool has_viewport;
};
Projector projector(const Viewport* viewport, const Mat4* projection, const Mat4* view, const Mat4* world, bool inverse);
Vec3 project(const Projector& p, const Vec3& v);
Vec3 unproject(const Projector& p, const Vec3& v);

// Object space to the viewport: M = world·view·projection (a null matrix counts
// as the identity), the point taken through M with the division by w, then
// mapped to the viewport; a null viewport gives the projected point itself.
Vec3* vec3_project(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                   const Mat4* world);

// The way back: viewport to normalised coordinates, then through the inverse of
// M. A singular M cannot be inverted, and M itself is used.
Vec3* vec3_unproject(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                     const Mat4* world);

}  // namespace kv::dx
