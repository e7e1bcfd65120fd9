#include "frame/scalar_math.h"

#include <emmintrin.h>

#include <cmath>

namespace kv::sm {
namespace {

#if defined(__i386__)
// Runs the runtime's x87 code under round-to-nearest, double precision and all
// exceptions masked (control word 0x027F), then puts the caller's word back. The
// empty asm statements pin the call between the two loads of the control word.
template <class Fn>
double under_double_precision(Fn fn, double x, double y) {
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
double under_double_precision(Fn fn, double x, double y) {
  return fn(x, y);
}
#endif

}  // namespace

// SSE2 square root: correctly rounded and independent of the x87 unit.
double sqrt(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }

double sin(double x) {
  return under_double_precision([](double a, double) { return std::sin(a); }, x, 0);
}
double cos(double x) {
  return under_double_precision([](double a, double) { return std::cos(a); }, x, 0);
}
double tan(double x) {
  return under_double_precision([](double a, double) { return std::tan(a); }, x, 0);
}
double asin(double x) {
  return under_double_precision([](double a, double) { return std::asin(a); }, x, 0);
}
double acos(double x) {
  return under_double_precision([](double a, double) { return std::acos(a); }, x, 0);
}
double atan2(double y, double x) {
  return under_double_precision([](double a, double b) { return std::atan2(a, b); }, y, x);
}

}  // namespace kv::sm
