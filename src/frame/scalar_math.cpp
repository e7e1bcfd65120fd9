// Double-precision elementary functions in the manner of the classic fdlibm
// algorithms: argument reduction, then minimax polynomials or rational
// approximations with their published coefficients. Errors stay within a unit or
// two in the last place of a double, far below the rounding to single precision
// that every caller applies.
#include "frame/scalar_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace kv::sm {
namespace {

#if defined(__i386__)
// Runs the runtime's x87 code under round-to-nearest, double precision and all
// exceptions masked (control word 0x027F), then puts the caller's word back. The
// empty asm statements pin the call between the two loads of the control word.
template <class Fn>
double runtime(Fn fn, double x, double y) {
  unsigned short saved;
  const unsigned short wanted = 0x027F;
  asm volatile("fnstcw %0" : "=m"(saved));
  asm volatile("fldcw %0" : : "m"(wanted) : "memory");
  asm volatile("" : "+x"(x), "+x"(y) : : "memory");
  double r = fn(x, y);
  asm volatile("" : "+x"(r) : : "memory");
  asm volatile("fldcw %0" : : "m"(saved) : "memory");
  return r;
}
#else
template <class Fn>
double runtime(Fn fn, double x, double y) {
  return fn(x, y);
}
#endif

constexpr double kPiOver2 = 1.57079632679489655800e+00;  // π/2 rounded
constexpr double kPiOver2Low = 6.12323399573676603587e-17;  // π/2 − kPiOver2
constexpr double kPi = 3.14159265358979311600e+00;
constexpr double kPiLow = 1.2246467991473531772e-16;

// Below this, x − n·π/2 is reduced exactly enough with a two-part π/2.
constexpr double kReductionLimit = 823550.0;  // about 2^19 · π/2
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kPiOver2High = 1.57079632673412561417e+00;  // 33 bits: n·kPiOver2High is exact
constexpr double kPiOver2Tail = 6.07710050650619224932e-11;

// The helpers are folded into their callers: on the 32-bit target a double
// returned from a call would go through the x87 stack.
#define KV_KERNEL inline __attribute__((always_inline))

// sin and cos on [−π/4, π/4].
KV_KERNEL double sin_kernel(double r) {
  if (std::fabs(r) < 0x1p-27) return r;  // sin r = r to double precision; keeps −0
  const double z = r * r;
  const double p = -1.66666666666666324348e-01 +
                   z * (8.33333333332248946124e-03 +
                        z * (-1.98412698298579493134e-04 +
                             z * (2.75573137070700676789e-06 +
                                  z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10))));
  return r + r * z * p;
}

KV_KERNEL double cos_kernel(double r) {
  const double z = r * r;
  const double p = 4.16666666666666019037e-02 +
                   z * (-1.38888888888741095749e-03 +
                        z * (2.48015872894767294178e-05 +
                             z * (-2.75573143513906633035e-07 +
                                  z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11))));
  const double half = 0.5 * z, w = 1.0 - half;
  return w + (((1.0 - w) - half) + z * z * p);
}

// x = n·π/2 + r with |r| ≤ π/4 (about); false when x is beyond the reduction.
KV_KERNEL bool reduce(double x, double& r, int& quadrant) {
  if (!(std::fabs(x) < kReductionLimit)) return false;
  if (std::fabs(x) <= 0.785398163397448279) {
    r = x, quadrant = 0;
    return true;
  }
  const int k = _mm_cvtsd_si32(_mm_set_sd(x * kTwoOverPi));  // nearest, by the SSE rounding mode
  const double n = k;
  r = (x - n * kPiOver2High) - n * kPiOver2Tail;
  quadrant = k & 3;
  return true;
}

// The fdlibm rational approximation of (asin(x) − x) / x³ in t = x².
KV_KERNEL double asin_ratio(double t) {
  const double p = t * (1.66666666666666657415e-01 +
                        t * (-3.25565818622400915405e-01 +
                             t * (2.01212532134862925881e-01 +
                                  t * (-4.00555345006794114027e-02 +
                                       t * (7.91534994289814532176e-04 + t * 3.47933107596021167570e-05)))));
  const double q = 1.0 + t * (-2.40339491173441421878e+00 +
                              t * (2.02094576023350569471e+00 +
                                   t * (-6.88283971605453293030e-01 + t * 7.70381505559019352791e-02)));
  return p / q;
}

// atan on [0, ∞) by the fdlibm table of breakpoints atan(0.5), atan(1), atan(1.5), π/2.
KV_KERNEL double atan_positive(double x) {
  static const double high[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01, 9.82793723247329054082e-01,
                                1.57079632679489655800e+00};
  static const double low[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17, 1.39033110312309984516e-17,
                               6.12323399573676603587e-17};
  int id;
  if (x < 0.4375) {
    id = -1;
  } else if (x < 0.6875) {
    id = 0, x = (2.0 * x - 1.0) / (2.0 + x);
  } else if (x < 1.1875) {
    id = 1, x = (x - 1.0) / (x + 1.0);
  } else if (x < 2.4375) {
    id = 2, x = (x - 1.5) / (1.0 + 1.5 * x);
  } else {
    id = 3, x = -1.0 / x;
  }
  const double z = x * x, w = z * z;
  const double s1 = z * (3.33333333333329318027e-01 +
                         w * (1.42857142725034663711e-01 +
                              w * (9.09088713343650656196e-02 +
                                   w * (6.66107313738753120669e-02 +
                                        w * (4.97687799461593236017e-02 + w * 1.62858201153657823623e-02)))));
  const double s2 = w * (-1.99999999998764832476e-01 +
                         w * (-1.11111104054623557880e-01 +
                              w * (-7.69187620504482999495e-02 +
                                   w * (-5.83357013379057348645e-02 + w * -3.65315727442169155270e-02))));
  if (id < 0) return x - x * (s1 + s2);
  return high[id] - ((x * (s1 + s2) - low[id]) - x);
}

}  // namespace

SinCos sincos(double x) {
  double r;
  int quadrant;
  if (!reduce(x, r, quadrant)) {
    return {runtime([](double a, double) { return std::sin(a); }, x, 0),
            runtime([](double a, double) { return std::cos(a); }, x, 0)};
  }
  const double s = sin_kernel(r), c = cos_kernel(r);
  switch (quadrant) {
    case 0: return {s, c};
    case 1: return {c, -s};
    case 2: return {-s, -c};
    default: return {-c, s};
  }
}

KV_SSE_CALL double sin(double x) {
  double r;
  int quadrant;
  if (!reduce(x, r, quadrant)) return runtime([](double a, double) { return std::sin(a); }, x, 0);
  switch (quadrant) {
    case 0: return sin_kernel(r);
    case 1: return cos_kernel(r);
    case 2: return -sin_kernel(r);
    default: return -cos_kernel(r);
  }
}

KV_SSE_CALL double cos(double x) {
  double r;
  int quadrant;
  if (!reduce(x, r, quadrant)) return runtime([](double a, double) { return std::cos(a); }, x, 0);
  switch (quadrant) {
    case 0: return cos_kernel(r);
    case 1: return -sin_kernel(r);
    case 2: return -cos_kernel(r);
    default: return sin_kernel(r);
  }
}

KV_SSE_CALL double tan(double x) {
  double r;
  int quadrant;
  if (!reduce(x, r, quadrant)) return runtime([](double a, double) { return std::tan(a); }, x, 0);
  const double s = sin_kernel(r), c = cos_kernel(r);
  return quadrant & 1 ? -c / s : s / c;  // within four double ULPs: a quotient of two kernels
}

KV_SSE_CALL double asin(double x) {
  const double a = std::fabs(x);
  if (!(a <= 1.0)) return (x - x) / (x - x);  // NaN, for |x| > 1 and NaN alike
  if (a < 0.5) return x + x * asin_ratio(x * x);
  // asin(a) = π/2 − 2·asin(√((1 − a) / 2))
  const double t = (1.0 - a) * 0.5, s = sqrt(t);
  const double r = kPiOver2 - (2.0 * (s + s * asin_ratio(t)) - kPiOver2Low);
  return std::copysign(r, x);
}

KV_SSE_CALL double acos(double x) {
  const double a = std::fabs(x);
  if (!(a <= 1.0)) return (x - x) / (x - x);
  if (a < 0.5) return kPiOver2 - (x + (x * asin_ratio(x * x) - kPiOver2Low));
  // acos(a) = 2·asin(√((1 − a) / 2)), and acos(−a) = π − acos(a)
  const double t = (1.0 - a) * 0.5, s = sqrt(t);
  const double half = s + s * asin_ratio(t);
  return x > 0 ? 2.0 * half : kPi - (2.0 * half - kPiLow);
}

KV_SSE_CALL double atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  const bool y_negative = std::signbit(y), x_negative = std::signbit(x);
  if (y == 0) return x_negative ? std::copysign(kPi, y) : y;  // ±0 and ±π by the signs of the zeros
  if (x == 0) return y_negative ? -kPiOver2 : kPiOver2;
  if (std::isinf(x) || std::isinf(y)) return runtime([](double a, double b) { return std::atan2(a, b); }, y, x);
  // |y / x| of two singles never overflows a double; atan of it, placed by quadrant.
  const double z = atan_positive(std::fabs(y / x));
  if (!x_negative) return y_negative ? -z : z;
  const double r = kPi - (z - kPiLow);
  return y_negative ? -r : r;
}

// Every remainder is exactly representable, so any correct algorithm gives the
// same bits; the runtime's runs under our own control word.
KV_SSE_CALL double fmod(double x, double y) {
  return runtime([](double a, double b) { return std::fmod(a, b); }, x, y);
}

}  // namespace kv::sm
