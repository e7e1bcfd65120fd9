#include "frame/pool.h"

#include <gtest/gtest.h>

#include <vector>

#include "frame/pool_commands.h"
#include "support/library.h"
#include "vector/construction.h"

namespace kv::test {
namespace {

using frame::PoolId;
using frame::pool;

class PoolTest : public Library {};

// Walks the pool from its first element and checks that the count matches:
// any corruption of the links shows here.
std::size_t walk(PoolId id) {
  std::size_t n = 0;
  for (Handle v = pool(id).first(); v; v = pool(id).next(v)) ++n;
  return n;
}

struct TypeCase {
  const char* name;
  Handle (*make)();
  std::int32_t (*release)(Handle);
  PoolId id;
  int floats;
};

const TypeCase kTypes[] = {
    {"Vec2", Vec2_MakeNew, Vec2_Delete, PoolId::Vec2, 2},
    {"Vec3", Vec3_MakeNew, Vec3_Delete, PoolId::Vec3, 3},
    {"Vec4", Vec4_MakeNew, Vec4_Delete, PoolId::Vec4, 4},
    {"Plane", Plane_MakeNew, Plane_Delete, PoolId::Vec4, 4},
    {"Quat", Quat_MakeNew, Quat_Delete, PoolId::Quat, 4},
    {"Mat4", Mat4_MakeNew, Mat4_Delete, PoolId::Mat4, 16},
    {"Frustum", Frustum_MakeNew, Frustum_Delete, PoolId::Frustum, 24},
};

TEST_F(PoolTest, EveryTypeMakesZeroFilledValuesAndReleasesThem) {
  for (const TypeCase& t : kTypes) {
    SCOPED_TRACE(t.name);
    // Dirty a value, release it, and take the same storage back: it must read zero again.
    Handle first = t.make();
    ASSERT_NE(first, 0u);
    for (int i = 0; i < t.floats; ++i) at(first)[i] = 7.0f;
    EXPECT_EQ(t.release(first), 0);
    Handle again = t.make();
    EXPECT_EQ(again, first) << "freed storage is reused first";
    for (int i = 0; i < t.floats; ++i) EXPECT_EQ(bits(at(again)[i]), 0u) << "float " << i;
    EXPECT_EQ(pool(t.id).count(), 1u);
    t.release(again);
    EXPECT_EQ(pool(t.id).count(), 0u);
  }
}

TEST_F(PoolTest, DeletingEverySecondValueLeavesTheOthersIntact) {
  std::vector<Handle> values;
  for (int i = 0; i < 1000; ++i) values.push_back(Vec2_MakeNewEx(float(i), float(-i)));
  for (int i = 0; i < 1000; i += 2) Vec2_Delete(values[i]);
  for (int i = 1; i < 1000; i += 2) {
    ASSERT_EQ(at(values[i])[0], float(i));
    ASSERT_EQ(at(values[i])[1], float(-i));
  }
  EXPECT_EQ(pool(PoolId::Vec2).count(), 500u);
  EXPECT_EQ(walk(PoolId::Vec2), 500u);
}

TEST_F(PoolTest, PlaneAndVec4ShareOnePoolButQuatDoesNot) {
  Handle plane = Plane_MakeNew(), vec = Vec4_MakeNew(), quat = Quat_MakeNew();
  Vec4_Delete(plane);
  Plane_Delete(vec);
  EXPECT_EQ(pool(PoolId::Vec4).count(), 0u);
  // Same element size, other pool: the Quat stays alive and its pool intact.
  Vec4_Delete(quat);
  Plane_Delete(quat);
  EXPECT_EQ(pool(PoolId::Quat).count(), 1u);
  EXPECT_TRUE(pool(PoolId::Quat).holds(quat));
  Quat_Delete(quat);
  EXPECT_EQ(pool(PoolId::Quat).count(), 0u);
}

TEST_F(PoolTest, NewValuesLinkInAfterTheCurrentElement) {
  Handle a = Vec3_MakeNew(), b = Vec3_MakeNew(), c = Vec3_MakeNew();
  Vec3_Delete(b);  // a becomes current
  Handle d = Vec3_MakeNew();
  EXPECT_EQ(pool(PoolId::Vec3).next(a), d);
  EXPECT_EQ(pool(PoolId::Vec3).next(d), c);
  Vec3_Delete(a);  // the first one: no current element is left
  Handle e = Vec3_MakeNew();
  EXPECT_EQ(pool(PoolId::Vec3).first(), e);
  EXPECT_EQ(pool(PoolId::Vec3).next(e), d);
  EXPECT_EQ(pool(PoolId::Vec3).last(), c);
  EXPECT_EQ(walk(PoolId::Vec3), 3u);
}

TEST_F(PoolTest, DeleteIgnoresWhatIsNotALiveValueOfThatPool) {
  Handle keep = Vec3_MakeNewEx(1, 2, 3);
  Handle gone = Vec3_MakeNew();
  Vec3_Delete(gone);
  Handle vec2 = Vec2_MakeNew();
  float local[8] = {};
  const struct {
    const char* name;
    Handle handle;
  } cases[] = {
      {"null", 0},
      {"small integer", 5},
      {"deleted already", gone},
      {"inside a value", keep + 4},
      {"just before a value", keep - 4},
      {"a Vec2", vec2},
      {"stack memory", h(local + 1)},
      {"all ones", ~Handle{0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Vec3_Delete(c.handle);
    EXPECT_EQ(pool(PoolId::Vec3).count(), 1u);
    EXPECT_EQ(walk(PoolId::Vec3), 1u);
    EXPECT_TRUE(pool(PoolId::Vec3).holds(keep));
  }
  EXPECT_EQ(pool(PoolId::Vec2).count(), 1u);
  EXPECT_EQ(at(keep)[2], 3.0f);
}

TEST_F(PoolTest, DeletingAHandleWhoseBlockWasReleasedIsIgnored) {
  // Enough values for several blocks; once all are deleted the blocks go back to
  // the heap, and the stale handles must not be read.
  std::vector<Handle> values;
  for (int i = 0; i < 5000; ++i) values.push_back(Mat4_MakeNew());
  for (Handle v : values) Mat4_Delete(v);
  for (Handle v : values) Mat4_Delete(v);
  EXPECT_EQ(pool(PoolId::Mat4).count(), 0u);
  EXPECT_NE(Mat4_MakeNew(), 0u);
}

TEST_F(PoolTest, NoMemoryMakesNothingAndChangesNothing) {
  Handle first = Vec3_MakeNewEx(1, 2, 3);
  // The first value's block has room for many more: no heap request is needed.
  platform::fake::set_allocation_budget(0);
  std::vector<Handle> more;
  for (int i = 0; i < 100; ++i) more.push_back(Vec3_MakeNew());
  for (Handle v : more) EXPECT_NE(v, 0u);
  // A type whose store has no block yet cannot get one.
  EXPECT_EQ(Mat4_MakeNew(), 0u);
  EXPECT_EQ(Vec4_MakeNewEx(1, 2, 3, 4), 0u);
  EXPECT_EQ(pool(PoolId::Mat4).count(), 0u);
  EXPECT_EQ(pool(PoolId::Vec4).count(), 0u);
  platform::fake::set_allocation_budget(-1);
  EXPECT_NE(Mat4_MakeNew(), 0u);
  EXPECT_EQ(at(first)[1], 2.0f);
}

TEST_F(PoolTest, EmptyBlocksGoBackToTheHeap) {
  const long before = platform::fake::live_allocations();
  std::vector<Handle> values;
  for (int i = 0; i < 20000; ++i) values.push_back(Vec3_MakeNew());
  EXPECT_GT(platform::fake::live_allocations(), before + 20);
  for (Handle v : values) Vec3_Delete(v);
  // One empty block is kept back, and the block index may have grown.
  EXPECT_LE(platform::fake::live_allocations(), before + 2);
}

TEST_F(PoolTest, ViewPortCopyMovesExactlyTwentyFourBytes) {
  unsigned char source[32], destination[32];
  for (int i = 0; i < 32; ++i) source[i] = static_cast<unsigned char>(i + 1), destination[i] = 0xEE;
  EXPECT_EQ(ViewPort_Copy(h(destination), h(source)), 0);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(destination[i], i + 1);
  for (int i = 24; i < 32; ++i) EXPECT_EQ(destination[i], 0xEE);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(source[i], i + 1);
}

}  // namespace
}  // namespace kv::test
