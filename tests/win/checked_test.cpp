// The checked build against the mistakes a script makes with handles: each
// mistake reported in the words a script writer reads, read back from the log
// file, with the call skipped and every value around it unchanged; valid uses
// reported never. Live counts in both builds, and the leak report at unload.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/table_file.h"

namespace {

using kvt::Plugin;

const Plugin& checked() {
  static Plugin plugin("checked\\Kestrom_Vandu.dll");
  return plugin;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reports go to a log file of the test's own while it runs.
class Checked : public ::testing::Test {
 protected:
  std::string log = "checked\\mistakes.log", previous;
  void SetUp() override {
    char value[MAX_PATH] = "";
    GetEnvironmentVariableA("KESTROM_VANDU_LOG", value, MAX_PATH);
    previous = value;
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("KESTROM_VANDU_LOG", log.c_str());
  }
  void TearDown() override { SetEnvironmentVariableA("KESTROM_VANDU_LOG", previous.empty() ? nullptr : previous.c_str()); }
  std::string reports() { return read_file(log); }
  std::uint32_t make(const char* type) { return checked().command(std::string("p") + type + "_MakeNew", "L", {}); }
};

// A value's bytes and the element headers around it, to see that nothing was written.
std::vector<unsigned char> around(std::uint32_t h, int bytes) {
  const unsigned char* p = kvt::as_pointer<unsigned char>(h);
  return std::vector<unsigned char>(p - 16, p + bytes + 16);
}

TEST_F(Checked, EachMistakeIsNamedAndSkipped) {
  const std::uint32_t a = make("Vec3"), b = make("Vec3"), m = make("Mat4"), gone = make("Vec3");
  checked().command("pVec3_Set", "LFFF", {a, 1.0f, 2.0f, 3.0f});
  checked().command("pVec3_Delete", "L", {gone});
  void* locked = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
  void* read_only = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
  const std::string n_a = std::to_string(a), n_m = std::to_string(m), n_gone = std::to_string(gone);
  const struct {
    const char* mistake;
    std::function<std::uint32_t()> call;
    std::string report;
  } cases[] = {
      {"a variable never given a value", [&] { return checked().command("pVec3_Add", "LLL", {b, 0u, a}); },
       "pVec3_Add (Vec3_Add): argument 2 'a' is 0 — a variable that was never given a value?"},
      {"a small number", [&] { return checked().command("pVec3_Add", "LLL", {5u, a, a}); },
       "pVec3_Add (Vec3_Add): argument 1 'result' is 5, not a handle"},
      {"a deleted value", [&] { return checked().command("pVec3_Length", "FL", {gone}); },
       "pVec3_Length (or pPlane_Length) (Vec3_Length): argument 1 'v' is " + n_gone + ", which was deleted"},
      {"a Vec3 where a Mat4 is written", [&] { return checked().command("pMat4_Identity", "L", {a}); },
       "pMat4_Identity (Mat4_Identity): argument 1 'm' is " + n_a + ", a Vec3 (12 bytes); this argument needs a Mat4 (64 bytes)"},
      {"a row of a Mat4 where a Mat4 is read", [&] { return checked().command("pMat4_Transpose", "LL", {m, m + 32}); },
       "pMat4_Transpose (Mat4_Transpose): argument 2 'in' is " + std::to_string(m + 32) +
           ", 32 bytes into a Mat4 (64 bytes); this argument needs a Mat4 (64 bytes)"},
      {"a float past the value", [&] { return checked().command("pVec3_GetElement", "FLL", {a, 5}); },
       "pMat4_GetElementIndex (or pVec2_GetElement, pVec3_GetElement, pVec4_GetElement) (Mat4_GetElementIndex): "
       "argument 1 'h' is " + n_a + ", a Vec3 (12 bytes); this argument needs 24 bytes"},
      {"a negative float number", [&] { return checked().command("pVec3_GetElement", "FLL", {a, -1}); },
       "pMat4_GetElementIndex (or pVec2_GetElement, pVec3_GetElement, pVec4_GetElement) (Mat4_GetElementIndex): "
       "argument 2 'index' is -1, before the value's first float"},
      {"memory that cannot be read", [&] { return checked().command("pVec3_Dot", "FLL", {a, locked}); },
       "pVec3_Dot (Vec3_Dot): argument 2 'b' is " + std::to_string(kvt::word(locked)) + ", which does not point at usable memory"},
      {"memory that cannot be written", [&] { return checked().command("pVec3_Cross", "LLL", {read_only, a, a}); },
       "pVec3_Cross (Vec3_Cross): argument 1 'result' is " + std::to_string(kvt::word(read_only)) +
           ", which does not point at usable memory"},
      {"a Delete of another pool's value", [&] { return checked().command("pVec3_Delete", "L", {m}); },
       "pVec3_Delete (Vec3_Delete): warning: argument 1 'h' is " + n_m + ", not a live Vec3: Delete ignores it"},
  };
  const std::vector<unsigned char> before_a = around(a, 12), before_b = around(b, 12), before_m = around(m, 64);
  std::size_t seen = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 0u) << c.mistake << ": skipped, a value command gives 0";
    const std::string log = reports();
    ASSERT_GT(log.size(), seen) << c.mistake << ": no report";
    EXPECT_EQ(log.substr(seen, log.find('\r', seen) - seen), c.report) << c.mistake;
    seen = log.find('\n', seen) + 1;
  }
  EXPECT_EQ(around(a, 12), before_a);
  EXPECT_EQ(around(b, 12), before_b);
  EXPECT_EQ(around(m, 64), before_m) << "the Mat4 is still alive and untouched";
  EXPECT_EQ(checked().command_float("pMat4_GetElement", "FLLL", {m, 1, 1}), 0.0f);
  VirtualFree(locked, 0, MEM_RELEASE), VirtualFree(read_only, 0, MEM_RELEASE);
  for (std::uint32_t h : {a, b}) checked().command("pVec3_Delete", "L", {h});
  checked().command("pMat4_Delete", "L", {m});
}

TEST_F(Checked, ValidUsesAreNeverReported) {
  const std::uint32_t m = make("Mat4"), v = make("Vec3"), q = make("Quat");
  float outside[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 1, 2, 3, 1}, out[4];
  checked().command("pMat4_RotationXYZ", "LFFF", {m, 0.1f, 0.2f, 0.3f});
  checked().command("pVec3_Normalize", "LL", {m + 16, m + 32});      // a Vec3 row of a Mat4
  checked().command("pMat4_Mul", "LLL", {outside, outside, m});        // memory of the script's own, aliased
  checked().command("pVec3_Add", "LLL", {v, v, v});                    // every argument the same
  checked().command("pVec3_Project", "LLLLL", {v, v, 0, 0, 0});       // optional handles of 0
  checked().command("pVec3_VertexTBN", "LLLLLLLLL", {0, 0, v, outside, 0, outside + 4, 0, outside + 8, 0});
  checked().command("pVec4_GetX", "FL", {v + 8});                      // the last float of a Vec3
  checked().command("pQuat_GetEulerRad", "LL", {q, q});                // a Vec3 written over the Quat it reads
  EXPECT_EQ(checked().command_float("pVec3_GetElement", "FLL", {v, 2}), kvt::as_float(kvt::as_pointer<std::uint32_t>(v)[2]));
  EXPECT_TRUE(checked().command("pVec3_Delete", "L", {v}) == 0u);
  EXPECT_EQ(reports(), "");
  out[0] = checked().command_float("pMat4_GetElement", "FLLL", {m, 1, 1});
  EXPECT_NE(out[0], 0.0f) << "the call went ahead";
  checked().command("pMat4_Delete", "L", {m});
  checked().command("pQuat_Delete", "L", {q});
}

// The bytes the command table says each export touches through each handle are
// enough: the handle's bytes end where a page the program may not touch begins,
// and the export runs without a fault (a fault fails the run at once).
TEST(CheckedExtents, EveryHandleArgumentTouchesNoMoreThanTheTableSays) {
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  char* pages = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
  const std::size_t sizes[] = {8, 12, 16, 16, 16, 64, 96, 24};
  const char* kinds[] = {"Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort"};
  static float arena[16][32];
  int checked_arguments = 0;
  for (const auto& [name, sig] : table.sigs) {
    const void* fn = Plugin::get().address(name);
    if (name.find("_Delete") != std::string::npos) continue;
    for (std::size_t k = 0; k < sig.params.size(); ++k) {
      const kv::test::Param& edge = sig.params[k];
      if (!edge.is_handle()) continue;
      std::size_t bytes = 4 * 2;  // a Value touches up to float `index`, here 1
      for (int t = 0; t < 8; ++t) bytes = edge.kind == kinds[t] ? sizes[t] : bytes;
      if (!edge.extent.empty() && std::isdigit(edge.extent[0])) bytes = std::stoul(edge.extent);
      std::vector<std::uint32_t> words;
      for (std::size_t i = 0; i < sig.params.size(); ++i) {
        const kv::test::Param& p = sig.params[i];
        if (i == k) words.push_back(kvt::word(pages + 4096 - bytes));
        else if (p.is_handle()) words.push_back(kvt::word(arena[i]));
        else if (p.is_float()) words.push_back(kvt::word(0.5f));
        else words.push_back(p.kind == "Row" || p.kind == "Column" || p.kind == "Index" ? 1 : 0);
      }
      std::memset(pages, 0, 4096);
      std::fill(&arena[0][0], &arena[0][0] + 16 * 32, 0.25f);
      kvt::call_raw(fn, words.data(), std::uint32_t(words.size()), kvt::CallEnv{});
      ++checked_arguments;
    }
  }
  EXPECT_GT(checked_arguments, 700);
  VirtualFree(pages, 0, MEM_RELEASE);
}

// Both builds count the values alive in each pool; Planes and Vec4s share one.
TEST(LiveCount, CountsEachPoolInBothBuilds) {
  for (const Plugin* dll : {static_cast<const Plugin*>(&Plugin::get()), &checked()}) {
    const std::uint32_t before = dll->command("pVec4_LiveCount", "L", {});
    const std::uint32_t plane = dll->command("pPlane_MakeNew", "L", {}), v = dll->command("pVec4_MakeNew", "L", {});
    EXPECT_EQ(dll->command("pPlane_LiveCount", "L", {}), before + 2);
    EXPECT_EQ(dll->command("pVec4_LiveCount", "L", {}), before + 2);
    dll->command("pPlane_Delete", "L", {v});
    dll->command("pVec4_Delete", "L", {plane});
    EXPECT_EQ(dll->command("pVec4_LiveCount", "L", {}), before);
    const char* types[] = {"Vec2", "Vec3", "Mat4", "Quat", "Frustum", "ViewPort"};
    for (const char* type : types) {
      const std::string make = std::string("p") + type + "_MakeNew", count = std::string("p") + type + "_LiveCount";
      const std::uint32_t n = dll->command(count, "L", {});
      const std::uint32_t h = dll->command(make, "L", {});
      EXPECT_EQ(dll->command(count, "L", {}), n + 1) << type;
      dll->command(std::string("p") + type + "_Delete", "L", {h});
      EXPECT_EQ(dll->command(count, "L", {}), n) << type;
    }
  }
}

// A copy of the checked DLL, loaded on its own, left with live values and unloaded.
TEST_F(Checked, UnloadReportsTheValuesLeftAlive) {
  ASSERT_TRUE(CopyFileA("checked\\Kestrom_Vandu.dll", "checked\\leaks.dll", FALSE));
  const Plugin copy("checked\\leaks.dll");
  for (int i = 0; i < 3; ++i) copy.command("pVec3_MakeNew", "L", {});
  copy.command("pMat4_MakeNew", "L", {});
  FreeLibrary(copy.module());
  EXPECT_EQ(reports(), "Kestrom_Vandu checked build: values still alive at unload: 3 Vec3, 1 Mat4\r\n");
  DeleteFileA("checked\\leaks.dll");
}

}  // namespace
