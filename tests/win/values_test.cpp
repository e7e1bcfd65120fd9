// Values through the command table, as a script reaches them: pools behind
// MakeNew and Delete, and the vector construction, access and comparison commands.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/same_bits.h"

namespace {

using kvt::Plugin;

const Plugin& plugin() { return Plugin::get(); }
float* floats(std::uint32_t handle) { return kvt::as_pointer(handle); }
bool checked_build() { return std::getenv("KV_DLL") != nullptr; }

TEST(Values, FreshValuesOfEveryTypeAreZero) {
  const struct {
    const char* make;
    const char* release;
    int floats;
  } types[] = {{"pVec2_MakeNew", "pVec2_Delete", 2}, {"pVec3_MakeNew", "pVec3_Delete", 3},
               {"pVec4_MakeNew", "pVec4_Delete", 4}, {"pPlane_MakeNew", "pPlane_Delete", 4},
               {"pQuat_MakeNew", "pQuat_Delete", 4}, {"pMat4_MakeNew", "pMat4_Delete", 16},
               {"pFrustum_MakeNew", "pFrustum_Delete", 24}};
  for (const auto& t : types) {
    SCOPED_TRACE(t.make);
    const std::uint32_t v = plugin().command(t.make, "L", {});
    ASSERT_NE(v, 0u);
    for (int i = 0; i < t.floats; ++i) EXPECT_EQ(floats(v)[i], 0.0f) << i;
    for (int i = 0; i < t.floats; ++i) floats(v)[i] = 1.0f;
    plugin().command(t.release, "L", {v});
    const std::uint32_t again = plugin().command(t.make, "L", {});
    EXPECT_EQ(again == v, !checked_build()) << "freed storage comes back first (the checked build keeps it back)";
    for (int i = 0; i < t.floats; ++i) EXPECT_EQ(floats(again)[i], 0.0f) << i;
    plugin().command(t.release, "L", {again});
  }
}

TEST(Values, DeletingEverySecondOfAThousandLeavesTheRest) {
  std::vector<std::uint32_t> values;
  for (int i = 0; i < 1000; ++i) values.push_back(plugin().command("pVec2_MakeNew", "LFF", {float(i), 0.5f}));
  for (int i = 0; i < 1000; i += 2) plugin().command("pVec2_Delete", "L", {values[i]});
  for (int i = 1; i < 1000; i += 2) {
    ASSERT_EQ(plugin().command_float("pVec2_GetX", "FL", {values[i]}), float(i));
    ASSERT_EQ(plugin().command_float("pVec2_GetY", "FL", {values[i]}), 0.5f);
  }
  for (int i = 1; i < 1000; i += 2) plugin().command("pVec2_Delete", "L", {values[i]});
}

TEST(Values, DeleteIgnoresHandlesThatAreNotLiveValuesOfItsPool) {
  const std::uint32_t plane = plugin().command("pPlane_MakeNew", "L", {});
  const std::uint32_t quat = plugin().command("pQuat_MakeNew", "L", {});
  float local[4] = {};
  plugin().command("pVec4_Delete", "L", {plane});  // the same pool: released
  for (std::uint32_t bad : {0u, 5u, plane, quat, quat + 4, kvt::word(local)}) plugin().command("pVec4_Delete", "L", {bad});
  plugin().command("pQuat_Set", "LFFFF", {quat, 0.0f, 0.0f, 0.0f, 1.0f});
  EXPECT_EQ(plugin().command_float("pQuat_GetW", "FL", {quat}), 1.0f);
  plugin().command("pQuat_Delete", "L", {quat});
}

TEST(Values, ViewPortCopyMovesTwentyFourBytes) {
  unsigned char source[28], destination[28];
  for (int i = 0; i < 28; ++i) source[i] = static_cast<unsigned char>(i), destination[i] = 0xEE;
  plugin().command("pViewPort_Copy", "LL", {destination, source});
  for (int i = 0; i < 24; ++i) EXPECT_EQ(destination[i], i);
  for (int i = 24; i < 28; ++i) EXPECT_EQ(destination[i], 0xEE);
}

TEST(Values, ComponentCommandsReachEveryTypeThroughTheirRoutes) {
  const std::uint32_t v3 = plugin().command("pVec3_MakeNew", "LFFF", {1.0f, 2.0f, 3.0f});
  const std::uint32_t plane = plugin().command("pPlane_MakeNew", "L", {});
  plugin().command("pPlane_Set", "LFFFF", {plane, 0.0f, 1.0f, 0.0f, -5.0f});
  EXPECT_EQ(plugin().command_float("pVec3_GetZ", "FL", {v3}), 3.0f);
  EXPECT_EQ(plugin().command_float("pPlane_GetA", "FL", {plane}), 0.0f);
  EXPECT_EQ(plugin().command_float("pPlane_GetD", "FL", {plane}), -5.0f);
  plugin().command("pVec3_SetY", "LF", {v3, -2.5f});
  plugin().command("pVec3_SetElement", "LLF", {v3, 2, 9.0f});
  EXPECT_EQ(plugin().command_float("pVec3_GetElement", "FLL", {v3, 1}), -2.5f);
  EXPECT_EQ(plugin().command_float("pVec3_GetElement", "FLL", {v3, 2}), 9.0f);
  // A NaN with a payload comes back bit for bit.
  const std::uint32_t payload = 0x7FA00001u;
  plugin().command("pVec4_SetElement", "LLF", {plane, 3, kvt::as_float(payload)});
  EXPECT_EQ(plugin().command("pVec4_GetW", "FL", {plane}), payload);
  plugin().command("pVec3_Delete", "L", {v3});
  plugin().command("pPlane_Delete", "L", {plane});
}

// Every component getter and setter row, whatever type it is listed under, on a
// value whose components all differ: the keyword's letter names the component.
TEST(Values, EveryComponentRowReachesItsComponent) {
  const std::string letters = "XYZWABCD";
  int getters = 0, setters = 0;
  for (const auto& [number, row] : plugin().rows()) {
    const std::string& k = row.keyword;
    const std::size_t at = k.size() - 1;
    if (k.size() < 6 || letters.find(k[at]) == std::string::npos) continue;
    const int component = int(letters.find(k[at]) % 4);
    float v[4] = {1, 2, 3, 4};
    if (k.compare(at - 4, 4, "_Get") == 0 && row.letters == "FL") {
      EXPECT_EQ(plugin().command_float(k, "FL", {v}), v[component]) << number << " " << k;
      ++getters;
    } else if (k.compare(at - 4, 4, "_Set") == 0 && row.letters == "LF") {
      plugin().command(k, "LF", {v, 9.0f});
      for (int i = 0; i < 4; ++i) EXPECT_EQ(v[i], i == component ? 9.0f : float(i + 1)) << number << " " << k;
      ++setters;
    }
  }
  EXPECT_EQ(getters, 17);
  EXPECT_EQ(setters, 9);
}

TEST(Values, ComparisonsMinimaAndMaxima) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  float a[4] = {1, 5, nan, 0}, b[4] = {3, 2, 1, 1e-8f}, r[4];
  const struct {
    const char* keyword;
    std::uint32_t expected;
  } equal[] = {{"pVec2_IsEqual", 0}, {"pVec3_IsEqual", 0}, {"pVec4_IsEqual", 0}};
  for (const auto& e : equal) EXPECT_EQ(plugin().command(e.keyword, "LLL", {a, b}), e.expected) << e.keyword;
  float zero[2] = {0, 0}, close_by[2] = {1e-8f, 0};
  EXPECT_EQ(plugin().command("pVec2_IsEqual", "LLL", {zero, close_by}), 1u);
  plugin().command("pVec4_Minimize", "LLL", {r, a, b});
  EXPECT_EQ(r[0], 1.0f);
  EXPECT_EQ(r[1], 2.0f);
  EXPECT_TRUE(std::isnan(r[2])) << "NaN in a: the minimum keeps a";
  plugin().command("pVec4_Maximize", "LLL", {r, a, b});
  EXPECT_EQ(r[1], 5.0f);
  EXPECT_EQ(r[2], 1.0f) << "NaN in a: the maximum takes b";
  EXPECT_EQ(r[3], 1e-8f);
}

}  // namespace

namespace {

// The process's committed private memory, region by region.
std::size_t committed() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION m;
  for (const char* at = nullptr; VirtualQuery(at, &m, sizeof m) == sizeof m; at = static_cast<const char*>(m.BaseAddress) + m.RegionSize) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
    if (static_cast<const char*>(m.BaseAddress) + m.RegionSize < at) break;
  }
  return total;
}

// Arrays at scale: 16M Vec3 values in one; a request the address space cannot
// serve gives 0 and leaves the arrays there are as they were; making and freeing
// arrays of random sizes keeps the committed memory where the first round left it.
TEST(Values, ArraysAtScale) {
  const std::uint32_t kept = plugin().command("pFloat_MakeArray", "LL", {3});
  plugin().command("pFloat_ArraySet", "LLF", {kept, 2, 7.5f});
  const std::uint32_t big = plugin().command("pVec3_MakeArray", "LL", {16 << 20});
  ASSERT_NE(big, 0u);
  EXPECT_EQ(plugin().command("pArray_Count", "LL", {big}), 16u << 20);
  const std::uint32_t last = plugin().command("pArray_Element", "LLL", {big, (16 << 20) - 1});
  plugin().command("pVec3_Set", "LFFF", {last, 1.0f, 2.0f, 3.0f});
  EXPECT_EQ(floats(big)[3 * (16 << 20) - 1], 3.0f);
  plugin().command("pArray_Delete", "L", {big});
  const std::uint32_t live = plugin().command("pArray_LiveCount", "L", {});
  EXPECT_EQ(plugin().command("pMat4_MakeArray", "LL", {30000000}), 0u) << "1.9 GB: more than the process can have";
  EXPECT_EQ(plugin().command("pArray_LiveCount", "L", {}), live);
  EXPECT_EQ(plugin().command_float("pFloat_ArrayGet", "FLL", {kept, 2}), 7.5f);
  std::uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const char* kinds[] = {"pVec2_MakeArray", "pVec3_MakeArray", "pVec4_MakeArray", "pMat4_MakeArray", "pFloat_MakeArray"};
  std::size_t after_first = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::uint32_t> made;
    for (int i = 0; i < 40; ++i) made.push_back(plugin().command(kinds[next() % 5], "LL", {1 + next() % (next() % 3 ? 1000 : 200000)}));
    for (const std::uint32_t a : made) plugin().command("pArray_Delete", "L", {a});
    if (round == 0) after_first = committed();
  }
  EXPECT_LE(committed(), after_first + after_first / 10) << "the soak kept its memory";
  plugin().command("pArray_Delete", "L", {kept});
}

// Meshes at scale: a mesh of half a million triangles costs at most 80 bytes a
// triangle of committed memory (the native test holds the build's peak to twice
// that); one the address space cannot hold gives 0 and leaves everything as it
// was; making and freeing meshes keeps the committed memory where the first round
// left it.
TEST(Values, MeshesAtScale) {
  constexpr int n = 500;  // a 500 × 500 grid of cells, two triangles each, corners raised at random
  std::uint32_t seed = 3;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const std::uint32_t corners = plugin().command("pVec3_MakeArray", "LL", {6 * n * n});
  float* f = floats(corners);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      const int at[6][2] = {{i, j}, {i + 1, j}, {i, j + 1}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
      for (const auto& c : at) *f++ = float(c[0]), *f++ = float(next() % 100) / 300, *f++ = float(c[1]);
    }
  }
  const std::size_t before = committed();
  const std::uint32_t mesh = plugin().command("pMesh_Make", "LL", {corners});
  ASSERT_NE(mesh, 0u);
  const double triangles = 2.0 * n * n;
  EXPECT_LE(double(committed() - before) / triangles, 80) << "bytes a triangle";
  plugin().command("pMesh_Delete", "L", {mesh});
  plugin().command("pArray_Delete", "L", {corners});
  // The largest array the address space holds: a mesh of its triangles needs more.
  const std::uint32_t live = plugin().command("pMesh_LiveCount", "L", {});
  std::uint32_t huge = 0;
  for (int count = 60000000; !huge && count > 0; count -= 3000000) huge = plugin().command("pVec3_MakeArray", "LL", {count});
  ASSERT_NE(huge, 0u);
  const std::size_t with_huge = committed();
  EXPECT_EQ(plugin().command("pMesh_Make", "LL", {huge}), 0u);
  EXPECT_EQ(plugin().command("pMesh_LiveCount", "L", {}), live);
  EXPECT_LE(committed(), with_huge + with_huge / 100) << "nothing kept of the failed make";
  plugin().command("pArray_Delete", "L", {huge});
  std::size_t after_first = 0;
  for (int round = 0; round < 10; ++round) {
    std::vector<std::uint32_t> made;
    for (int i = 0; i < 8; ++i) {
      const std::uint32_t count = 3 * (1 + next() % (next() % 3 ? 1000 : 60000));
      const std::uint32_t points = plugin().command("pVec3_MakeArray", "LL", {count});
      for (std::uint32_t k = 0; k < 3 * count; ++k) floats(points)[k] = float(next() % 1000) / 10;
      made.push_back(plugin().command("pMesh_Make", "LL", {points}));
      plugin().command("pArray_Delete", "L", {points});
    }
    for (const std::uint32_t m : made) plugin().command("pMesh_Delete", "L", {m});
    if (round == 0) after_first = committed();
  }
  // The checked build holds up to 16 MiB of freed arrays and as much of freed meshes out of reuse.
  const std::size_t held = checked_build() ? 32u << 20 : 0;
  EXPECT_LE(committed(), after_first + after_first / 10 + held) << "the soak kept its memory";
  EXPECT_EQ(plugin().command("pMesh_LiveCount", "L", {}), live);
}

// Every whole-array command gives each element the bits of its single command,
// through the DLL (the sweep: support/same_bits.h).
TEST(Values, EveryArrayElementGetsTheBitsOfTheSingleCommand) {
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  const auto run = [](const std::string& name, const std::vector<kv::test::surface::Word>& args) {
    std::vector<std::uint32_t> words(args.begin(), args.end());
    return kvt::call_raw(plugin().address(name), words.data(), std::uint32_t(words.size()), kvt::CallEnv{}).result;
  };
  kv::test::surface::Lcg rng(29);
  EXPECT_EQ(kv::test::same_bits::sweep(table, run, rng, "the DLL"), 9);
}

}  // namespace
