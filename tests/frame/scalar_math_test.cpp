#include "frame/scalar_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace kv::test {
namespace {

// Distance in units in the last place of a double.
std::int64_t double_ulps(double a, double b) {
  std::int64_t i, j;
  std::memcpy(&i, &a, 8);
  std::memcpy(&j, &b, 8);
  if (i < 0) i = INT64_MIN - i;
  if (j < 0) j = INT64_MIN - j;
  return i > j ? i - j : j - i;
}

struct Function {
  const char* name;
  double (*ours)(double);
  double (*reference)(double);
  double lo, hi;
  std::int64_t budget = 2;
};

// Against the host C library over the ranges the commands use, arguments drawn as
// singles (as every command receives them).
TEST(ScalarMath, StaysWithinAFewDoubleUlpsOfTheCLibrary) {
  const Function functions[] = {
      {"sin", [](double x) { return sm::sin(x); }, [](double x) { return std::sin(x); }, -100, 100},
      {"cos", [](double x) { return sm::cos(x); }, [](double x) { return std::cos(x); }, -100, 100},
      {"sin, large", [](double x) { return sm::sin(x); }, [](double x) { return std::sin(x); }, -8e5, 8e5},
      {"tan", [](double x) { return sm::tan(x); }, [](double x) { return std::tan(x); }, -1.5, 1.5, 4},
      {"asin", [](double x) { return sm::asin(x); }, [](double x) { return std::asin(x); }, -1, 1},
      {"acos", [](double x) { return sm::acos(x); }, [](double x) { return std::acos(x); }, -1, 1},
      {"atan2(x, 1)", [](double x) { return sm::atan2(x, 1); }, [](double x) { return std::atan2(x, 1.0); }, -50, 50},
      {"atan2(1, x)", [](double x) { return sm::atan2(1, x); }, [](double x) { return std::atan2(1.0, x); }, -50, 50},
      {"atan2(-x, -3)", [](double x) { return sm::atan2(-x, -3); }, [](double x) { return std::atan2(-x, -3.0); },
       -50, 50},
  };
  std::mt19937 rng(1);
  for (const Function& f : functions) {
    std::uniform_real_distribution<float> draw(float(f.lo), float(f.hi));
    std::int64_t worst = 0;
    double at = 0;
    for (int i = 0; i < 200000; ++i) {
      const double x = draw(rng);
      const std::int64_t d = double_ulps(f.ours(x), f.reference(x));
      if (d > worst) worst = d, at = x;
    }
    EXPECT_LE(worst, f.budget) << f.name << " at " << at;
  }
}

TEST(ScalarMath, EdgeValues) {
  const double inf = INFINITY;
  const struct {
    const char* name;
    double got, expected;
  } cases[] = {
      {"sqrt 2.25", sm::sqrt(2.25), 1.5},
      {"sin 0", sm::sin(0.0), 0.0},
      {"sin -0 keeps the sign", std::copysign(1.0, sm::sin(-0.0)), -1.0},
      {"cos 0", sm::cos(0.0), 1.0},
      {"asin 1", sm::asin(1.0), M_PI / 2},
      {"asin -1", sm::asin(-1.0), -M_PI / 2},
      {"acos 1", sm::acos(1.0), 0.0},
      {"acos -1", sm::acos(-1.0), M_PI},
      {"acos 0", sm::acos(0.0), M_PI / 2},
      {"atan2 +0, -1", sm::atan2(0.0, -1.0), M_PI},
      {"atan2 -0, -1", sm::atan2(-0.0, -1.0), -M_PI},
      {"atan2 1, 0", sm::atan2(1.0, 0.0), M_PI / 2},
      {"atan2 -1, -0", sm::atan2(-1.0, -0.0), -M_PI / 2},
      {"atan2 1, -inf", sm::atan2(1.0, -inf), M_PI},
      {"sin 1e7 (the runtime's)", sm::sin(1e7), std::sin(1e7)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
  EXPECT_TRUE(std::signbit(sm::atan2(-0.0, 1.0)));
  for (double bad : {1.5, -1.0000001, double(NAN)}) {
    EXPECT_TRUE(std::isnan(sm::asin(bad))) << bad;
    EXPECT_TRUE(std::isnan(sm::acos(bad))) << bad;
  }
  EXPECT_TRUE(std::isnan(sm::sin(inf)));
  const sm::SinCos sc = sm::sincos(2.5);
  EXPECT_EQ(sc.sin, sm::sin(2.5));
  EXPECT_EQ(sc.cos, sm::cos(2.5));
}

}  // namespace
}  // namespace kv::test
