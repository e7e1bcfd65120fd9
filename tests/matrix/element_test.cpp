#include "matrix/element.h"

#include <gtest/gtest.h>

#include "support/library.h"

namespace kv::test {
namespace {

TEST(ElementIndex, ReadsAndWritesOneFloatOfAnyValue) {
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = float(i) + 0.5f;
  EXPECT_EQ(Mat4_GetElementIndex(h(m), 12), bits(12.5f)) << "m41";
  EXPECT_EQ(Mat4_SetElementIndex(h(m), 6, -3), 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i == 6 ? -3.0f : float(i) + 0.5f) << i;

  float v3[3] = {1, 2, 3};
  EXPECT_EQ(Mat4_GetElementIndex(h(v3), 2), bits(3.0f)) << "z of a Vec3";
  Mat4_SetElementIndex(h(v3), 0, quiet_nan_with_payload());
  EXPECT_EQ(Mat4_GetElementIndex(h(v3), 0), 0x7FC12345u);
}

}  // namespace
}  // namespace kv::test
