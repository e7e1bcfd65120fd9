// Float comparisons for tests: distance in units in the last place, +0 and −0
// equal, NaN matching only NaN, with an absolute limit for values near zero.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kv::test {

// Floats mapped onto integers in the order of their values, so that neighbours
// differ by one and +0 and −0 coincide.
inline std::int64_t ordered(float f) {
  std::int32_t i;
  std::memcpy(&i, &f, 4);
  return i < 0 ? std::int64_t(INT32_MIN) - i : i;
}

inline std::int64_t ulp_distance(float a, float b) { return std::llabs(ordered(a) - ordered(b)); }

// Passes when both are NaN, when they are within `ulps`, or when both lie within
// `near_zero` of each other (for results formed by cancellation).
inline ::testing::AssertionResult close_in_ulps(float expected, float got, int ulps, float near_zero = 0) {
  if (std::isnan(expected) || std::isnan(got)) {
    if (std::isnan(expected) && std::isnan(got)) return ::testing::AssertionSuccess();
  } else if (ulp_distance(expected, got) <= ulps || std::fabs(double(expected) - got) <= near_zero) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "expected " << ::testing::PrintToString(expected) << ", got "
                                       << ::testing::PrintToString(got) << " (" << ulp_distance(expected, got)
                                       << " ulps, budget " << ulps << ")";
}

// Every float of two values of `count` floats, component by component.
inline ::testing::AssertionResult floats_close(const float* expected, const float* got, int count, int ulps,
                                               float near_zero = 0) {
  for (int i = 0; i < count; ++i) {
    auto r = close_in_ulps(expected[i], got[i], ulps, near_zero);
    if (!r) return r << " at float " << i;
  }
  return ::testing::AssertionSuccess();
}

template <class T>
inline ::testing::AssertionResult values_close(const T& expected, const T& got, int ulps, float near_zero = 0) {
  static_assert(sizeof(T) % sizeof(float) == 0);
  float e[sizeof(T) / 4], g[sizeof(T) / 4];
  std::memcpy(e, &expected, sizeof(T));
  std::memcpy(g, &got, sizeof(T));
  return floats_close(e, g, int(sizeof(T) / 4), ulps, near_zero);
}

}  // namespace kv::test
