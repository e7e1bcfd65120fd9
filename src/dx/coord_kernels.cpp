// vec_transform_coord over many points: four points per step, their x, y and z
// gathered into lanes, each component the same sums in the same order as one
// point at a time, so every point gets the single transform's bits.
#include <immintrin.h>

#include "dx/cpu.h"
#include "dx/vector.h"

namespace kv::dx {
namespace {

// The AVX forms of lanes::mul_first and add_first.
__attribute__((target("avx"))) inline __m256d mul_first(__m256d a, __m256d b) {
  __m256d r;
  asm("vmulpd %2, %1, %0" : "=x"(r) : "x"(a), "xm"(b));
  return r;
}
__attribute__((target("avx"))) inline __m256d add_first(__m256d a, __m256d b) {
  __m256d r;
  asm("vaddpd %2, %1, %0" : "=x"(r) : "x"(a), "xm"(b));
  return r;
}

// Two points per double register: the lows and the highs of four.
template <int N>
void coords_sse2(Vec<N>* out, const Vec<N>* in, std::size_t count, const Mat4* m) {
  __m128d e[4][4];  // m in double, each element in both lanes, read before out is written
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) e[i][c] = _mm_set1_pd(m->m[i][c]);
  }
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const lanes::Four<N> p = lanes::gather<N>(in[k].c);
    lanes::Four<N> q;
    __m128d half[2][N];
#pragma GCC unroll 4
    for (int h = 0; h < 2; ++h) {
      __m128d x[N], r[4];
#pragma GCC unroll 4
      for (int i = 0; i < N; ++i) x[i] = _mm_cvtps_pd(h ? _mm_movehl_ps(p.c[i], p.c[i]) : p.c[i]);
#pragma GCC unroll 4
      for (int c = 0; c < 4; ++c) {
        r[c] = e[3][c];
  #pragma GCC unroll 4
        for (int i = 0; i < N; ++i) r[c] = lanes::add_first(r[c], lanes::mul_first(x[i], e[i][c]));
      }
      const __m128d inv = _mm_div_pd(_mm_set1_pd(1), r[3]);
#pragma GCC unroll 4
      for (int i = 0; i < N; ++i) half[h][i] = lanes::mul_first(r[i], inv);
    }
#pragma GCC unroll 4
    for (int i = 0; i < N; ++i) q.c[i] = _mm_movelh_ps(_mm_cvtpd_ps(half[0][i]), _mm_cvtpd_ps(half[1][i]));
    lanes::scatter<N>(out[k].c, q);
  }
  for (; k < count; ++k) vec_transform_coord<N>(out + k, in + k, m);
}

// lanes::scatter for the AVX kernels, with fewer shuffles: points 0 to 2 each
// stored as four floats, the fourth overwritten by the next point's store, and
// point 3 as its x and y from the upper half and then its z, so that nothing past
// the four points is written.
template <int N>
__attribute__((target("avx"))) inline void scatter_avx(float* f, const lanes::Four<N>& q) {
  if constexpr (N == 2) {
    lanes::scatter<2>(f, q);
  } else {
    const __m128 lo = _mm_unpacklo_ps(q.c[0], q.c[1]), hi = _mm_unpackhi_ps(q.c[0], q.c[1]), z = q.c[2];
    _mm_storeu_ps(f, _mm_shuffle_ps(lo, z, _MM_SHUFFLE(0, 0, 1, 0)));
    _mm_storeu_ps(f + 3, _mm_shuffle_ps(lo, z, _MM_SHUFFLE(1, 1, 3, 2)));
    _mm_storeu_ps(f + 6, _mm_shuffle_ps(hi, z, _MM_SHUFFLE(2, 2, 1, 0)));
    _mm_storeh_pi(reinterpret_cast<__m64*>(f + 9), hi);
    _mm_store_ss(f + 11, _mm_shuffle_ps(z, z, _MM_SHUFFLE(3, 3, 3, 3)));
  }
}

// m in double, each element across the four lanes, for the AVX kernels.
__attribute__((target("avx"))) inline void widen_matrix(__m256d (&e)[4][4], const Mat4* m) {
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) e[i][c] = _mm256_set1_pd(m->m[i][c]);
  }
}

// Four points' components in double, a point per lane.
template <int N>
__attribute__((target("avx"))) inline void widen_points(__m256d (&x)[N], const Vec<N>* p) {
  const lanes::Four<N> f = lanes::gather<N>(p->c);
#pragma GCC unroll 3
  for (int i = 0; i < N; ++i) x[i] = _mm256_cvtps_pd(f.c[i]);
}

// Four points per double register.
template <int N>
__attribute__((target("avx"))) void coords_avx(Vec<N>* out, const Vec<N>* in, std::size_t count, const Mat4* m) {
  __m256d e[4][4];
  widen_matrix(e, m);
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    __m256d x[N], r[4];
    widen_points<N>(x, in + k);
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) {
      r[c] = e[3][c];
#pragma GCC unroll 4
      for (int i = 0; i < N; ++i) r[c] = add_first(r[c], mul_first(x[i], e[i][c]));
    }
    const __m256d inv = _mm256_div_pd(_mm256_set1_pd(1), r[3]);
    lanes::Four<N> q;
#pragma GCC unroll 4
    for (int i = 0; i < N; ++i) q.c[i] = _mm256_cvtpd_ps(mul_first(r[i], inv));
    scatter_avx<N>(out[k].c, q);
  }
  for (; k < count; ++k) vec_transform_coord<N>(out + k, in + k, m);
}

// With fused multiply-adds, as the AVX kernel otherwise. A float times a float is
// exact in double, so the fused r + x·m rounds the very sum the other kernels
// round: the same bits, but for which NaN comes out (a fused step passes on the
// product's operands' NaN before the sum's), so four points with a NaN among
// their results are done again by the AVX kernel.
template <int N>
__attribute__((target("avx,fma"))) void coords_fma(Vec<N>* out, const Vec<N>* in, std::size_t count, const Mat4* m) {
  __m256d e[4][4];
  widen_matrix(e, m);
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    __m256d x[N], r[4];
    widen_points<N>(x, in + k);
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) {
      r[c] = e[3][c];
#pragma GCC unroll 4
      for (int i = 0; i < N; ++i) r[c] = _mm256_fmadd_pd(x[i], e[i][c], r[c]);
    }
    const __m256d inv = _mm256_div_pd(_mm256_set1_pd(1), r[3]);
    lanes::Four<N> q;
#pragma GCC unroll 4
    for (int i = 0; i < N; ++i) q.c[i] = _mm256_cvtpd_ps(_mm256_mul_pd(r[i], inv));
    __m128 any = q.c[0];  // NaN where any of the point's results is
#pragma GCC unroll 2
    for (int i = 1; i < N; ++i) any = _mm_add_ps(any, q.c[i]);
    if (__builtin_expect(_mm_movemask_ps(_mm_cmpunord_ps(any, any)), 0)) {
      coords_avx<N>(out + k, in + k, 4, m);
    } else {
      scatter_avx<N>(out[k].c, q);
    }
  }
  for (; k < count; ++k) vec_transform_coord<N>(out + k, in + k, m);
}

template <int N>
void choose(Vec<N>* out, const Vec<N>* in, std::size_t count, const Mat4* m) {
  coord_kernels = cpu_has_fma() ? coord_kernels_fma : cpu_has_avx() ? coord_kernels_avx : coord_kernels_sse2;
  vec_transform_coord_many<N>(out, in, count, m);
}

}  // namespace

const CoordKernels coord_kernels_sse2 = {coords_sse2<2>, coords_sse2<3>};
const CoordKernels coord_kernels_avx = {coords_avx<2>, coords_avx<3>};
const CoordKernels coord_kernels_fma = {coords_fma<2>, coords_fma<3>};
CoordKernels coord_kernels = {choose<2>, choose<3>};

}  // namespace kv::dx
