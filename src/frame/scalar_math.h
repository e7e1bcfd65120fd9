// The scalar functions every command uses (square root, sine, cosine, tangent,
// arc sine, arc cosine, two-argument arc tangent), in double precision, computed
// with SSE2 arithmetic only.
//
// A Direct3D 9 host leaves the x87 unit in single precision, and the C runtime of
// the target computes these functions on the x87 unit: called as they are, they
// would lose half their bits. Ours give the same bits whatever x87 control word
// the caller left, the same bits on every build, and leave the x87 unit alone
// (arguments beyond a million radians, infinities and NaN go to the runtime under
// a control word of our own, which is put back afterwards).
#pragma once

#include <emmintrin.h>

// On the 32-bit target, doubles cross these calls in SSE registers rather than
// through the x87 stack.
#if defined(__i386__)
#define KV_SSE_CALL __attribute__((sseregparm))
#else
#define KV_SSE_CALL
#endif

namespace kv::sm {

// Correctly rounded, by the SSE2 instruction.
inline double sqrt(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }

KV_SSE_CALL double sin(double x);
KV_SSE_CALL double cos(double x);
KV_SSE_CALL double tan(double x);
KV_SSE_CALL double asin(double x);
KV_SSE_CALL double acos(double x);
KV_SSE_CALL double atan2(double y, double x);
// The exact remainder of x / y, truncated toward zero, with the sign of x.
KV_SSE_CALL double fmod(double x, double y);

// Sine and cosine of one angle, with one argument reduction.
struct SinCos {
  double sin, cos;
};
SinCos sincos(double x);

}  // namespace kv::sm
