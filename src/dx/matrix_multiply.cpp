// The matrix product kernels and the choice between them.
#include <immintrin.h>

#include "dx/cpu.h"
#include "dx/matrix.h"
#include "dx/vector.h"

namespace kv::dx {
namespace {

// Picks the kernel at the first product and hands that product to it; later
// products go straight to the kernel.
Mat4* choose_kernel(Mat4* out, const Mat4* a, const Mat4* b) {
  matrix_multiply_kernel = cpu_has_avx() ? matrix_multiply_avx : matrix_multiply_sse2;
  return matrix_multiply_kernel(out, a, b);
}

}  // namespace

MultiplyKernel matrix_multiply_kernel = choose_kernel;

// Two columns at a time, so that the rows of b and the sums fit the eight SSE
// registers of the 32-bit target.
Mat4* matrix_multiply_sse2(Mat4* out, const Mat4* a, const Mat4* b) {
  Mat4 r;
#pragma GCC unroll 2
  for (int half = 0; half < 4; half += 2) {
    __m128d bk[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) bk[k] = detail::low_pair(b->m[k] + half);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      const __m128 row = _mm_loadu_ps(a->m[i]);
      const __m128d a01 = _mm_cvtps_pd(row), a23 = _mm_cvtps_pd(_mm_movehl_ps(row, row));
      __m128d sum = _mm_mul_pd(_mm_unpacklo_pd(a01, a01), bk[0]);
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpackhi_pd(a01, a01), bk[1]));
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpacklo_pd(a23, a23), bk[2]));
      sum = _mm_add_pd(sum, _mm_mul_pd(_mm_unpackhi_pd(a23, a23), bk[3]));
      detail::store_two(r.m[i] + half, _mm_cvtpd_ps(sum));
    }
  }
  *out = r;
  return out;
}

// A whole row of four double sums per register: each element of a's row is
// broadcast as a single, widened, and multiplies a row of b held in double.
__attribute__((target("avx"))) Mat4* matrix_multiply_avx(Mat4* out, const Mat4* a, const Mat4* b) {
  __m256d bk[4];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) bk[k] = _mm256_cvtps_pd(_mm_loadu_ps(b->m[k]));
  __m128 rows[4];
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    __m256d sum = _mm256_mul_pd(_mm256_cvtps_pd(_mm_broadcast_ss(&a->m[i][0])), bk[0]);
#pragma GCC unroll 3
    for (int k = 1; k < 4; ++k) sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_cvtps_pd(_mm_broadcast_ss(&a->m[i][k])), bk[k]));
    rows[i] = _mm256_cvtpd_ps(sum);
  }
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) _mm_storeu_ps(out->m[i], rows[i]);
  return out;
}

}  // namespace kv::dx
