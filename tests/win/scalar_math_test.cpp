// The library's scalar functions must give the same bits whatever x87 control
// word the caller left, and leave that word as they found it.
#include "frame/scalar_math.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

std::uint16_t control_word() {
  std::uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

void set_control_word(std::uint16_t cw) { asm volatile("fldcw %0" : : "m"(cw)); }

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

struct Probe {
  const char* name;
  double (*fn)(double, double);
  double x, y;
};

const Probe kProbes[] = {
    {"acos near one", [](double x, double) { return kv::sm::acos(x); }, 0.99999f, 0},
    {"asin", [](double x, double) { return kv::sm::asin(x); }, -0.3f, 0},
    {"sin", [](double x, double) { return kv::sm::sin(x); }, 2.5f, 0},
    {"cos", [](double x, double) { return kv::sm::cos(x); }, 1e4f, 0},
    {"tan", [](double x, double) { return kv::sm::tan(x); }, 1.2f, 0},
    {"atan2", [](double y, double x) { return kv::sm::atan2(y, x); }, 0.7f, -0.2f},
    {"sqrt", [](double x, double) { return kv::sm::sqrt(x); }, 3.0f, 0},
};

TEST(ScalarMath, GivesTheSameBitsUnderEveryX87ControlWord) {
  const std::uint16_t saved = control_word();
  for (const Probe& p : kProbes) {
    set_control_word(0x027F);
    const std::uint64_t reference = bits(p.fn(p.x, p.y));
    for (std::uint16_t cw : {0x007F, 0x027F, 0x037F}) {
      set_control_word(cw);
      const std::uint64_t got = bits(p.fn(p.x, p.y));
      const std::uint16_t after = control_word();
      set_control_word(saved);
      EXPECT_EQ(got, reference) << p.name << " under " << std::hex << cw;
      EXPECT_EQ(after, cw) << p.name;
    }
  }
  set_control_word(saved);
}

}  // namespace
