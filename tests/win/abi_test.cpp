// Every export called as an MSVC-built Direct3D 9 host may call it: with the stack
// 4, 8 or 12 bytes off 16-byte alignment, under the x87 control words such hosts
// leave (single, double and extended precision), under MXCSR with and without
// flush-to-zero and denormals-are-zero, with handles 4, 8 or 12 bytes off 16-byte
// alignment. Results and stored values must be bit-identical to a plain call, and
// the control word, MXCSR and an empty x87 stack must be as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/table_file.h"

namespace {

// Each export with its arguments (H a handle, I a small integer, F a float), from
// its signature in the command table, and, for an export that makes a value, the
// export that releases it.
struct AbiCase {
  std::string name;
  std::string args;
  std::string release;
};

std::vector<AbiCase> cases() {
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  std::vector<AbiCase> all;
  for (const auto& [name, sig] : table.sigs) {
    AbiCase c{name, "", ""};
    for (const kv::test::Param& p : sig.params) c.args += p.is_handle() ? 'H' : p.is_float() ? 'F' : 'I';
    if (name.find("_MakeNew") != std::string::npos) c.release = name.substr(0, name.find('_')) + "_Delete";
    if (name.find("_MakeArray") != std::string::npos) c.release = "Array_Delete";
    all.push_back(c);
  }
  return all;
}

constexpr int kRegionFloats = 32;  // room for a frustum
constexpr int kMaxHandles = 10;

// Handle regions in one 16-byte-aligned arena, `offset` bytes past alignment.
struct Arena {
  alignas(16) float floats[kMaxHandles][kRegionFloats + 4];
  float* region(int i, int offset) { return floats[i] + offset / 4; }
};

// Deterministic, varied inputs of normal magnitude; equal pairs now and then so
// that comparisons see both answers.
float input(int region, int i) {
  const float v = static_cast<float>((region * 7 + i * 13) % 17 - 8) * 0.375f + 0.0625f * static_cast<float>(i % 3);
  return v == 0.0f ? 1.5f : v;
}

struct Outcome {
  std::uint32_t result = 0;
  std::vector<float> stored;  // the regions after the call, or the made value
};

Outcome run(const AbiCase& c, const void* fn, const void* release, const kvt::CallEnv& env, int offset, kvt::CallOutcome* out) {
  Arena arena;
  std::memset(&arena, 0, sizeof arena);
  std::vector<std::uint32_t> words;
  int handles = 0, floats = 0;
  for (const char* a = c.args.c_str(); *a; ++a) {
    if (*a == 'H') {
      float* r = arena.region(handles, offset);
      for (int i = 0; i < kRegionFloats; ++i) r[i] = input(handles, i);
      words.push_back(kvt::word(r));
      ++handles;
    } else if (*a == 'I') {
      words.push_back(1);
    } else {
      words.push_back(kvt::word(input(9, floats++) * 1.25f));
    }
  }
  *out = kvt::call_raw(fn, words.data(), static_cast<std::uint32_t>(words.size()), env);
  Outcome r;
  if (release) {
    EXPECT_NE(out->result, 0u) << c.name;
    if (!out->result) return r;
    const float* made = kvt::as_pointer(out->result);
    r.stored.assign(made, made + (floats > 2 ? floats : 2));
    kvt::call(release, {out->result});
    return r;
  }
  r.result = out->result;
  for (int h = 0; h < handles; ++h) r.stored.insert(r.stored.end(), arena.region(h, offset), arena.region(h, offset) + kRegionFloats);
  return r;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Abi, EveryExportGivesTheSameBitsWhateverTheCallersStateAndLeavesItAsFound) {
  const kvt::Plugin& plugin = kvt::Plugin::get();
  const std::vector<AbiCase> all = cases();
  ASSERT_FALSE(all.empty()) << "every export has a signature: the command table test checks it";
  for (const AbiCase& c : all) {
    SCOPED_TRACE(c.name);
    const void* fn = plugin.address(c.name);
    const void* release = c.release.empty() ? nullptr : plugin.address(c.release);
    ASSERT_NE(fn, nullptr);
    kvt::CallOutcome out;
    const Outcome plain = run(c, fn, release, kvt::CallEnv{}, 0, &out);
    for (std::uint32_t misalign : {4u, 8u, 12u}) {
      for (std::uint32_t control : {0x007Fu, 0x027Fu, 0x037Fu}) {
        for (std::uint32_t mxcsr : {0x1F80u, 0x9FC0u}) {
          for (int offset : {4, 8, 12}) {
            const kvt::CallEnv env{control, mxcsr, misalign};
            const Outcome r = run(c, fn, release, env, offset, &out);
            const std::string where = "stack -" + std::to_string(misalign) + ", x87 " + std::to_string(control) +
                                      ", mxcsr " + std::to_string(mxcsr) + ", handles +" + std::to_string(offset);
            EXPECT_EQ(r.result, plain.result) << where;
            EXPECT_TRUE(same_bits(r.stored, plain.stored)) << where;
            EXPECT_EQ(out.x87_control & 0xFFFF, control) << where;
            EXPECT_EQ(out.mxcsr & ~0x3Fu, mxcsr) << where << " (exception flags aside)";
            EXPECT_EQ(out.x87_tags(), 0xFFFF) << where << ": x87 stack not empty";
          }
        }
      }
    }
  }
}

}  // namespace
