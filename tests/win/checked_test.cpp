// The checked build against the mistakes a script makes with handles: each
// mistake reported in the words a script writer reads, read back from the log
// file, with the call skipped and every value around it unchanged; valid uses
// reported never. Live counts in both builds, and the leak report at unload.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <atomic>
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
  // A log of the process's own: the release and checked runs of a case may run at once.
  std::string log = "checked\\mistakes" + std::to_string(GetCurrentProcessId()) + ".log", previous;
  void SetUp() override {
    char value[MAX_PATH] = "";
    GetEnvironmentVariableA("KESTROM_VANDU_LOG", value, MAX_PATH);
    previous = value;
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("KESTROM_VANDU_LOG", log.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("KESTROM_VANDU_LOG", previous.empty() ? nullptr : previous.c_str());
    DeleteFileA(log.c_str());
  }
  // The reports, without the header line each run starts with.
  std::string reports() {
    const std::string all = read_file(log);
    return all.rfind("Kestrom_Vandu ", 0) == 0 ? all.substr(all.find('\n') + 1) : all;
  }
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
  const std::uint32_t many = checked().command("pVec3_MakeArray", "LL", {1000}), fewer = checked().command("pVec3_MakeArray", "LL", {999});
  // An element's handle kept past its array's Delete, and another array made of
  // the same size (where the heap would put it); one too large to keep out of reuse.
  const std::uint32_t old = checked().command("pVec3_MakeArray", "LL", {100}), stale = checked().command("pArray_Element", "LLL", {old, 5});
  checked().command("pArray_Delete", "L", {old});
  const std::uint32_t again = checked().command("pVec3_MakeArray", "LL", {100});
  const std::uint32_t huge = checked().command("pVec3_MakeArray", "LL", {2 << 20}), huge_stale = huge + 12;
  checked().command("pArray_Delete", "L", {huge});
  const std::uint32_t two = checked().command("pMat4_MakeArray", "LL", {2}), after = checked().command("pMat4_MakeArray", "LL", {2});
  const std::uint32_t floats = checked().command("pFloat_MakeArray", "LL", {10}), quads = checked().command("pVec4_MakeArray", "LL", {10});
  const struct {
    const char* mistake;
    std::function<std::uint32_t()> call;
    std::string report;
    std::uint32_t nothing = 0;
  } cases[] = {
      {"a variable never given a value", [&] { return checked().command("pVec3_Add", "LLL", {b, 0u, a}); },
       "pVec3_Add: argument 2 'a' is 0 - a variable never given a value, skipped"},
      {"a small number", [&] { return checked().command("pVec3_Add", "LLL", {5000u, a, a}); },
       "pVec3_Add: argument 1 'result' is 5000, not a handle, skipped"},
      {"a deleted value", [&] { return checked().command("pVec3_Length", "FL", {gone}); },
       "pVec3_Length (or pPlane_Length): argument 1 'v' is " + n_gone + ", which was deleted, skipped"},
      {"a Vec3 where a Mat4 is written", [&] { return checked().command("pMat4_Identity", "L", {a}); },
       "pMat4_Identity: argument 1 'm' is " + n_a + ", a Vec3 (12 bytes); this argument needs a Mat4 (64 bytes), skipped"},
      {"a row of a Mat4 where a Mat4 is read", [&] { return checked().command("pMat4_Transpose", "LL", {m, m + 32}); },
       "pMat4_Transpose: argument 2 'in' is " + std::to_string(m + 32) +
           ", 32 bytes into a Mat4 (64 bytes); this argument needs a Mat4 (64 bytes), skipped"},
      {"a float past the value", [&] { return checked().command("pVec3_GetElement", "FLL", {a, 5}); },
       "pMat4_GetElementIndex (or pVec2_GetElement, pVec3_GetElement, pVec4_GetElement): "
       "argument 2 'index' is 5: the Vec3 there has floats 0 to 2, skipped"},
      {"a negative float number", [&] { return checked().command("pVec3_GetElement", "FLL", {a, -1}); },
       "pMat4_GetElementIndex (or pVec2_GetElement, pVec3_GetElement, pVec4_GetElement): "
       "argument 2 'index' is -1: floats count from 0, skipped"},
      {"memory that cannot be read", [&] { return checked().command("pVec3_Dot", "FLL", {a, locked}); },
       "pVec3_Dot: argument 2 'b' is " + std::to_string(kvt::word(locked)) + ", which does not point at usable memory, skipped"},
      {"memory that cannot be written", [&] { return checked().command("pVec3_Cross", "LLL", {read_only, a, a}); },
       "pVec3_Cross: argument 1 'result' is " + std::to_string(kvt::word(read_only)) +
           ", which does not point at usable memory, skipped"},
      {"a Delete of another pool's value", [&] { return checked().command("pVec3_Delete", "L", {m}); },
       "pVec3_Delete: warning: argument 1 'h' is " + n_m + ", not a live Vec3: Delete ignores it"},
      {"an element where an array is wanted", [&] { return checked().command("pVec3_TransformCoordArray", "LLL", {many, many + 12, m}); },
       "pVec3_TransformCoordArray: argument 2 'in' is " + std::to_string(many + 12) + ", not an array, skipped"},
      {"an array of another kind", [&] { return checked().command("pVec3_TransformArray", "LLL", {many, many, m}); },
       "pVec3_TransformArray: argument 1 'out' is " + std::to_string(many) + ", a Vec3 array; this argument needs a Vec4 array, skipped"},
      {"arrays of different counts", [&] { return checked().command("pVec3_TransformCoordArray", "LLL", {many, fewer, m}); },
       "pVec3_TransformCoordArray: warning: the arrays' counts differ (1000 and 999): only the elements all of them have are used"},
      {"an element of a deleted array, its memory made again", [&] { return checked().command("pVec3_Set", "LFFF", {stale, 7.0f, 8.0f, 9.0f}); },
       "pVec3_Set: argument 1 'v' is " + std::to_string(stale) + ", an element of a deleted Vec3 array, skipped"},
      {"an element of an array too large to keep", [&] { return checked().command("pVec3_Length", "FL", {huge_stale}); },
       "pVec3_Length (or pPlane_Length): argument 1 'v' is " + std::to_string(huge_stale) + ", an element of a deleted Vec3 array, skipped"},
      {"one past the end of an array", [&] { return checked().command("pMat4_Copy", "LL", {two + 128, m}); },
       "pMat4_Copy: argument 1 'destination' is " + std::to_string(two + 128) + ", 0 bytes past the end of a Mat4 array of 2, skipped"},
      {"an array's bookkeeping", [&] { return checked().command("pVec4_GetX", "FL", {two - 4}); },
       "pVec4_GetX (or pVec2_GetX, pVec3_GetX, pQuat_GetX, pPlane_GetA): argument 1 'v' is " + std::to_string(two - 4) +
           ", 4 bytes before element 0 of a Mat4 array of 2, skipped"},
      {"an element of a smaller kind", [&] { return checked().command("pMat4_Identity", "L", {many}); },
       "pMat4_Identity: argument 1 'm' is " + std::to_string(many) + ", an element of a Vec3 array (12 bytes); this argument needs a Mat4 (64 bytes), skipped"},
      {"a float past an element", [&] { return checked().command("pVec3_GetElement", "FLL", {floats + 4, 1}); },
       "pMat4_GetElementIndex (or pVec2_GetElement, pVec3_GetElement, pVec4_GetElement): "
       "argument 2 'index' is 1: the element of a Float array there has floats 0 to 0, skipped"},
      {"an element number past the array", [&] { return checked().command("pFloat_ArraySet", "LLF", {floats, 10, 5.0f}); },
       "pFloat_ArraySet: argument 2 'index' is 10: the array has elements 0 to 9, skipped"},
      {"a negative element number", [&] { return checked().command("pFloat_ArrayGet", "FLL", {floats, -1}); },
       "pFloat_ArrayGet: argument 2 'index' is -1: the array has elements 0 to 9, skipped"},
      {"an array of another kind than the destination", [&] { return checked().command("pArray_Copy", "LL", {quads, many}); },
       "pArray_Copy: argument 2 'source' is " + std::to_string(many) + ", a Vec3 array; this argument needs a Vec4 array, as destination, skipped"},
      {"a pick among no array", [&] { return checked().command("pRay_HitTriangleArray", "LLLLL", {a, a, many + 12, 0u}); },
       "pRay_HitTriangleArray: argument 3 'corners' is " + std::to_string(many + 12) + ", not an array, skipped", 0xFFFFFFFFu},
  };
  const std::vector<unsigned char> before_a = around(a, 12), before_b = around(b, 12), before_m = around(m, 64);
  std::size_t seen = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), c.nothing) << c.mistake << ": skipped, a value command gives its nothing";
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
  EXPECT_EQ(kvt::as_pointer(again)[15], 0.0f) << "the array made after the Delete is untouched";
  EXPECT_EQ(checked().command("pArray_Count", "LL", {after}), 2u) << "the array after the one written past is whole";
  for (std::uint32_t h : {many, fewer, again, two, after, floats, quads}) checked().command("pArray_Delete", "L", {h});
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

// The mistake matrix, generated from the command table's signatures: every export
// of the checked DLL, each argument, each mistake it can have (0, a small number,
// a deleted handle, one deleted before a MakeNew of its store, each smaller kind,
// an offset inside a value off a float, freed memory, a row, column or float
// number one past each end of its range). Each is named in exactly one line of
// the log, by its argument, and the call is skipped: its result the declared
// "nothing", every value and the bookkeeping around it as it was, no value made
// or lost. Then the same exports with every valid handle: no line at all.
struct Matrix {
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  const char* kinds[8] = {"Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort"};
  const int sizes[8] = {8, 12, 16, 16, 16, 64, 96, 24};
  std::map<std::string, std::uint32_t> values;  // a live value of each kind
  const std::string pid = std::to_string(GetCurrentProcessId());
  std::string logs[2] = {"checked\\matrix1-" + pid + ".log", "checked\\matrix2-" + pid + ".log"};
  std::size_t seen[2] = {0, 0};
  int turn = 0;

  Matrix() {
    for (const std::string& l : logs) DeleteFileA(l.c_str());
  }
  ~Matrix() {
    for (const std::string& l : logs) DeleteFileA(l.c_str());
  }
  int bytes_of(const kv::test::Param& p) const {
    for (int t = 0; t < 8; ++t) {
      if (p.kind == kinds[t]) return p.extent.empty() || !std::isdigit(p.extent[0]) ? sizes[t] : std::stoi(p.extent);
    }
    return 4;  // a Value: float 0, the index being 0
  }
  std::uint32_t live(const std::string& kind) { return checked().command("p" + kind + "_LiveCount", "L", {}); }
  const char* arrays[5] = {"Vec2", "Vec3", "Vec4", "Mat4", "Float"};
  const int array_sizes[5] = {8, 12, 16, 64, 4};
  std::uint32_t array(const std::string& kind, std::uint32_t count = 3) {
    return checked().command("p" + kind + "_MakeArray", "LL", {count});
  }
  // The lines a call adds to the log, each call to a log of its own so that no
  // report repeats the one before.
  std::vector<std::string> lines_of(const std::function<std::uint32_t()>& call, std::uint32_t* result) {
    turn ^= 1;
    SetEnvironmentVariableA("KESTROM_VANDU_LOG", logs[turn].c_str());
    *result = call();
    std::ifstream in(logs[turn], std::ios::binary);
    in.seekg(std::streamoff(seen[turn]));
    std::vector<std::string> added;
    for (std::string line; std::getline(in, line); seen[turn] += line.size() + 1) {
      if (line.compare(0, 14, "Kestrom_Vandu ") != 0) added.push_back(line.substr(0, line.size() - 1));
    }
    return added;
  }
};

TEST_F(Checked, EveryMistakeInEveryArgumentIsNamedAndSkipped) {
  Matrix m;
  for (const char* k : m.kinds) m.values[k] = make(k);
  for (const char* k : m.arrays) m.values[std::string(k) + "[]"] = m.array(k);
  m.values["Array"] = m.values["Vec3[]"];
  const std::uint32_t triangle = m.array("Vec3");  // one triangle
  m.values["Mesh"] = checked().command("pMesh_Make", "LL", {triangle});
  // Memory used once (as a checker might remember it), then freed.
  void* freed = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  checked().command("pMat4_Identity", "L", {freed});
  VirtualFree(freed, 0, MEM_RELEASE);
  int cases = 0, valid = 0;
  for (const auto& [name, sig] : m.table.sigs) {
    const void* fn = checked().address(name);
    const bool deletes = name.find("_Delete") != std::string::npos;
    std::vector<std::uint32_t> good;
    for (const auto& p : sig.params) {
      good.push_back(p.is_handle() ? m.values[p.kind == "Value" ? "Mat4" : p.kind]
                     : p.is_float() ? kvt::word(0.5f) : p.kind == "Row" || p.kind == "Column" || p.kind == "Object" ? 1 : 0);
      if (p.rule.rfind("=", 0) == 0) good.back() = p.is_float() ? kvt::word(std::stof(p.rule.substr(1))) : std::uint32_t(std::stoi(p.rule.substr(1)));
      static float direction[3] = {0.25f, 1, -0.5f};  // memory of our own that no other call writes
      if (p.rule == "~direction") good.back() = kvt::word(direction);
    }
    auto call = [&](const std::vector<std::uint32_t>& w) { return kvt::call_raw(fn, w.data(), std::uint32_t(w.size()), {}).result; };
    for (std::size_t k = 0; k < sig.params.size(); ++k) {
      const kv::test::Param& p = sig.params[k];
      const std::string pool = p.kind == "Plane" ? "Vec4" : p.kind == "Value" ? "Mat4" : p.kind;
      // Each mistake: the word, and the argument the report must name.
      std::vector<std::pair<std::uint32_t, std::size_t>> mistakes;
      const std::uint32_t gone_array = m.array("Vec3");
      checked().command("pArray_Delete", "L", {gone_array});
      if (p.kind == "Mesh") {  // not a live mesh
        const std::uint32_t gone = checked().command("pMesh_Make", "LL", {triangle});
        checked().command("pMesh_Delete", "L", {gone});
        mistakes = {{gone, k}, {5, k}, {m.values["Vec3[]"], k}, {m.values["Vec3"], k}, {kvt::word(freed), k}, {m.values["Mesh"] + 16, k}};
        if (!p.optional) mistakes.push_back({0, k});
      } else if (p.is_array()) {  // not the handle an array of its kind was made under
        mistakes = {{gone_array, k}, {5, k}, {m.values["Vec3[]"] + 12, k}, {m.values["Vec3"], k}, {kvt::word(freed), k}, {m.values["Mesh"], k}};
        if (p.kind != "Array" || !p.extent.empty()) mistakes.push_back({m.values[p.kind == "Vec2[]" ? "Vec3[]" : "Vec2[]"], k});
        if (!p.optional) mistakes.push_back({0, k});
      } else if (p.is_handle()) {
        const std::uint32_t gone = make(pool.c_str());
        checked().command("p" + pool + "_Delete", "L", {gone});
        const std::uint32_t gone_before_make = make(pool.c_str());
        checked().command("p" + pool + "_Delete", "L", {gone_before_make});
        make(pool.c_str());  // the next value of the store: the freed slot must stay named
        mistakes = {{gone, k}, {5, k}, {gone_before_make, k}, {kvt::word(freed), k}};
        for (int t = 0; t < 8 && !deletes; ++t) {
          if (m.sizes[t] < m.bytes_of(p)) mistakes.push_back({m.values[m.kinds[t]], k});
        }
        // An element of a deleted array, past a live one's end, in its bookkeeping,
        // and an element of each kind smaller than the argument needs; a mesh.
        mistakes.insert(mistakes.end(), {{gone_array + 12, k}, {m.values["Mesh"], k}});
        if (!deletes) {
          mistakes.insert(mistakes.end(), {{m.values["Mat4"] + 2, k}, {m.values["Mat4[]"] + 3 * 64, k}, {m.values["Vec3[]"] + 3 * 12 + 8, k},
                                           {m.values["Vec3[]"] - 8, k}});
          for (int a = 0; a < 5; ++a) {
            if (m.array_sizes[a] < m.bytes_of(p)) mistakes.push_back({m.values[std::string(m.arrays[a]) + "[]"] + std::uint32_t(m.array_sizes[a]), k});
          }
        }
        if (!p.optional) mistakes.push_back({0, k});  // last: a Delete of 0 writes nothing, and the log goes on where it was
      } else if (p.kind == "Row" || p.kind == "Column") {
        mistakes = {{0, k}, {5, k}};
      } else if (p.kind == "Index") {
        mistakes = {{std::uint32_t(-1), k}, {16, k}};  // the handle beside it is a Mat4: floats 0 to 15
      } else if (p.kind == "Element") {
        mistakes = {{std::uint32_t(-1), k}, {3, k}};  // the arrays have 3 elements
      }
      if (p.rule.rfind("=", 0) == 0) {  // a range of its own: just below it and just above it
        const std::string lo = p.rule.substr(1, p.rule.find("..") - 1), hi = p.rule.substr(p.rule.find("..") + 2);
        mistakes = p.is_float() ? std::vector<std::pair<std::uint32_t, std::size_t>>{{kvt::word(std::nextafter(std::stof(lo), -1e30f)), k},
                                                                                      {kvt::word(std::nextafter(std::stof(hi), 1e30f)), k},
                                                                                      {kvt::word(NAN), k}}
                                : std::vector<std::pair<std::uint32_t, std::size_t>>{{std::uint32_t(std::stoi(lo) - 1), k}, {std::uint32_t(std::stoi(hi) + 1), k}};
      }
      if (p.rule == "~direction") {  // no length, or not finite
        static float still[3] = {0, 0, 0}, lost[3] = {0, NAN, 0};
        mistakes.insert(mistakes.end(), {{kvt::word(still), k}, {kvt::word(lost), k}});
      }
      // An element of a Float array is one float: float 1 of it is past it.
      std::vector<std::uint32_t> handle_at = good;
      if (p.kind == "Index") {
        for (std::size_t h = 0; h < sig.params.size(); ++h) {
          if (sig.params[h].extent == p.name) handle_at[h] = m.values["Float[]"] + 4, mistakes.push_back({1, k});
        }
      }
      for (const auto& [word, named] : mistakes) {
        std::vector<std::uint32_t> w = word == 1 && p.kind == "Index" ? handle_at : good;
        w[k] = word;
        std::map<std::string, std::uint32_t> counts;
        std::vector<std::vector<unsigned char>> before;
        for (const char* kind : m.kinds) counts[kind] = m.live(kind), before.push_back(around(m.values[kind], 96));
        counts["Array"] = m.live("Array");
        for (const char* kind : m.arrays) before.push_back(around(m.values[std::string(kind) + "[]"], 3 * 64));
        std::uint32_t result;
        const std::vector<std::string> added = m.lines_of([&] { return call(w); }, &result);
        const std::string where = name + " argument " + std::to_string(k + 1) + " = " + std::to_string(std::int32_t(word));
        ++cases;
        if (deletes && word == 0) {
          EXPECT_TRUE(added.empty()) << where << ": Delete 0 raises nothing";
          continue;
        }
        ASSERT_EQ(added.size(), 1u) << where;
        const std::string arg = "argument " + std::to_string(named + 1) + " '" + sig.params[named].name + "'";
        EXPECT_NE(added[0].find(arg), std::string::npos) << where << ": " << added[0];
        EXPECT_EQ(added[0].find("warning") != std::string::npos, deletes) << where << ": " << added[0];
        EXPECT_EQ(result, deletes ? result : m.table.nothing_word(sig.result)) << where << ": the skipped call's nothing";
        for (int t = 0; t < 8; ++t) {
          EXPECT_EQ(m.live(m.kinds[t]), counts[m.kinds[t]]) << where;
          EXPECT_TRUE(around(m.values[m.kinds[t]], 96) == before[t]) << where << ": a value changed";
        }
        EXPECT_EQ(m.live("Array"), counts["Array"]) << where;
        for (int a = 0; a < 5; ++a) {
          EXPECT_TRUE(around(m.values[std::string(m.arrays[a]) + "[]"], 3 * 64) == before[8 + a]) << where << ": an array changed";
        }
      }
      // The valid half: every kind large enough, a row of a Mat4 with enough of it left,
      // an array's element, memory of our own; for an array, each array it takes.
      if (!p.is_handle() || deletes) continue;
      static float own[32];
      std::vector<std::uint32_t> fits;
      if (p.kind == "Mesh") {
        fits = {m.values["Mesh"]};
      } else if (p.is_array()) {
        for (const char* k : m.arrays) {
          if ((p.kind == "Array" && p.extent.empty()) || p.kind == std::string(k) + "[]") fits.push_back(m.values[std::string(k) + "[]"]);
        }
        // An array that must match another (or that another must match): the kind of that one.
        if (!p.extent.empty() || std::any_of(sig.params.begin(), sig.params.end(), [&](const auto& q) { return q.extent == p.name; })) {
          fits = {m.values["Vec3[]"]};
        }
      } else {
        fits = {m.values["Frustum"] + 96 - std::uint32_t(m.bytes_of(p) + 3) / 4 * 4, kvt::word(own)};
        for (int t = 0; t < 8; ++t) {
          if (m.sizes[t] >= m.bytes_of(p)) fits.push_back(m.values[m.kinds[t]]);
        }
        for (int a = 0; a < 5; ++a) {  // the last element of each array whose elements are large enough
          if (m.array_sizes[a] >= m.bytes_of(p)) fits.push_back(m.values[std::string(m.arrays[a]) + "[]"] + 2 * std::uint32_t(m.array_sizes[a]));
        }
      }
      if (p.rule == "~direction") fits = {good[k]};  // a direction
      if (p.optional) fits.push_back(0);
      for (const std::uint32_t word : fits) {
        std::vector<std::uint32_t> w = good;
        w[k] = word;
        std::uint32_t result;
        EXPECT_TRUE(m.lines_of([&] { return call(w); }, &result).empty()) << name << " argument " << k + 1 << " valid";
        ++valid;
      }
    }
  }
  EXPECT_GT(cases, 3000);
  EXPECT_GT(valid, 3000);
  for (const char* k : m.kinds) {
    const std::uint32_t n = m.live(k), h = make(k);
    EXPECT_NE(h, 0u);
    checked().command(std::string("p") + (std::string(k) == "Plane" ? "Vec4" : k) + "_Delete", "L", {h});
    EXPECT_EQ(m.live(k), n) << "MakeNew and Delete still sound after the matrix";
  }
}

// The message boxes the checked build shows during a call, each answered OK from
// another thread: their texts, one per line.
std::string answer_boxes(const std::function<void()>& call) {
  std::string texts;
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      if (HWND box = FindWindowA(nullptr, "Kestrom_Vandu checked build")) {
        char s[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, s, sizeof s);
        texts += std::string(s) + "\n";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box)) Sleep(1);
      }
      Sleep(2);
    }
  });
  call();
  done = true;
  watcher.join();
  return texts;
}

// The log at volume: one header line per run, plain ASCII, a report repeated
// written once and then counted; a log that cannot be written said once in a
// box, the reports then in boxes; Delete of 0 says nothing at all.
TEST_F(Checked, TheLogStaysReadableAtVolume) {
  const std::uint32_t v = make("Vec3"), m = make("Mat4");
  for (int i = 0; i < 10003; ++i) checked().command("pVec3_Add", "LLL", {v, 0u, v});
  checked().command("pMat4_SetElement", "LLLF", {m, 0, 1, 1.0f});
  checked().command("pVec3_Delete", "L", {0u});
  checked().command("pMat4_Delete", "L", {m});
  const std::string all = read_file(log);
  EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](char c) { return (unsigned char)c < 128; })) << "plain ASCII";
  const std::string header = all.substr(0, all.find('\r'));
  EXPECT_EQ(header.rfind(std::string("Kestrom_Vandu ") + KV_VERSION + " checked build, 20", 0), 0u) << header;
  EXPECT_NE(header.find(", process " + std::to_string(GetCurrentProcessId()) + " kv_wine_tests.exe"), std::string::npos) << header;
  EXPECT_EQ(reports(),
            "pVec3_Add: argument 2 'a' is 0 - a variable never given a value, skipped\r\n"
            "  (the line above 10000 more times)\r\n"
            "  (the line above 2 more times)\r\n"
            "pMat4_SetElement: argument 2 'row' is 0: rows are 1 to 4, skipped\r\n");
  SetEnvironmentVariableA("KESTROM_VANDU_LOG", "no such folder\\reports.log");
  const std::string said = answer_boxes([&] { checked().command("pVec3_Add", "LLL", {v, 5u, v}); });
  EXPECT_EQ(said.rfind("Kestrom_Vandu checked build: cannot write the log file no such folder\\reports.log (", 0), 0u) << said;
  EXPECT_NE(said.find("); reports will show here instead.\npVec3_Add: argument 2 'a' is 5, not a handle, skipped"),
            std::string::npos) << "said once, then the report in a box: " << said;
  const std::string next = answer_boxes([&] { checked().command("pVec3_Add", "LLL", {v, v, 5u}); });
  EXPECT_EQ(next.rfind("pVec3_Add: argument 3 'b' is 5, not a handle, skipped", 0), 0u) << next;
  EXPECT_EQ(answer_boxes([&] { checked().command("pVec3_Delete", "L", {0u}); }), "") << "Delete 0 raises nothing";
  SetEnvironmentVariableA("KESTROM_VANDU_LOG", log.c_str());
  checked().command("pVec3_Delete", "L", {v});
}

// Pools are single-threaded: the checked build names a command called from another
// thread than the first command's, once per thread however many there are, and
// lets it run. Twenty threads, alive together, call in turn (alternating two
// commands, so that no report repeats the one before), twice over.
TEST_F(Checked, ASecondThreadIsNamedOnce) {
  const std::uint32_t v = make("Vec3");
  std::thread([&] {
    for (int i = 0; i < 3; ++i) checked().command("pVec3_Set", "LFFF", {v, 1.0f, 2.0f, 3.0f});
  }).join();
  const std::string line = reports();
  EXPECT_EQ(line.rfind("pVec3_Set: called from a second thread (id ", 0), 0u) << line;
  EXPECT_NE(line.find("): the pools are not thread-safe\r\n"), std::string::npos) << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
  EXPECT_EQ(checked().command_float("pVec3_GetY", "FL", {v}), 2.0f) << "the call ran";
  constexpr int kThreads = 20;
  std::atomic<int> turn{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 2; ++round) {
        while (turn.load() != round * kThreads + i) std::this_thread::yield();
        if (i % 2) checked().command("pVec3_Set", "LFFF", {v, 1.0f, 2.0f, 3.0f}); else checked().command("pVec3_GetX", "FL", {v});
        ++turn;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const std::string all = reports();
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 1 + kThreads) << all;
  checked().command("pVec3_Delete", "L", {v});
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
