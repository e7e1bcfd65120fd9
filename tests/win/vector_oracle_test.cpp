// The commands that rely on D3DX or follow its conventions, called through their
// exports and compared with Wine's d3dx9_43.dll on random inputs, each with the
// counterpart the command table names: the command must hand its handles and
// floats to the math in D3DX's order and store what it gives.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/table_file.h"
#include "support/ulp.h"

namespace {

using kv::test::Param;

std::size_t floats_of(const std::string& kind) {
  return kind == "Vec2" ? 2 : kind == "Vec3" ? 3 : kind == "Mat4" ? 16 : 4;
}

// The counterparts the command table names for commands that store a value, whose
// arguments are the export's own, reordered: no argument built from others, no
// null, no optional or viewport handle.
bool plain(const kv::test::Oracle& o, const kv::test::Signature& sig) {
  const std::vector<Param>& params = sig.params;
  if (!sig.result.empty()) return false;
  for (const std::string& a : o.args) {
    if (a == "0" || a.find('(') != std::string::npos) return false;
  }
  for (const Param& p : params) {
    if (p.optional || p.kind == "ViewPort") return false;
  }
  return true;
}

TEST(VectorOracle, CommandsBackedByD3dxAgreeWithWinesD3dx) {
  HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  ASSERT_NE(d3dx, nullptr);
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  std::mt19937 rng(11);
  // Float arguments as scripts pass weights and angles: well inside 0..1, so that no
  // blend extrapolates and every result is well conditioned.
  std::uniform_real_distribution<float> value(-10, 10), param(0.05f, 1);
  int compared = 0;
  for (const auto& [command, oracle] : table.oracles) {
    const std::vector<Param>& params = table.sigs.at(command).params;
    if (!plain(oracle, table.sigs.at(command))) continue;
    const void* ours = kvt::Plugin::get().address(command);
    const void* theirs = reinterpret_cast<const void*>(GetProcAddress(d3dx, oracle.function.c_str()));
    ASSERT_TRUE(ours && theirs) << command;
    ++compared;
    for (int draw = 0; draw < 2000; ++draw) {
      float a[16] = {}, b[16] = {};
      std::vector<std::vector<float>> inputs(params.size());
      std::map<std::string, std::uint32_t> words;
      for (std::size_t i = 0; i < params.size(); ++i) {
        const Param& p = params[i];
        if (i == 0) continue;  // the output: a for ours, b for theirs
        if (!p.is_handle()) {
          words[p.name] = kvt::word(param(rng));
          continue;
        }
        std::vector<float>& v = inputs[i];
        v.resize(floats_of(p.kind));
        for (float& f : v) f = value(rng);
        if (v.size() == 16) v[3] = v[7] = v[11] = 0, v[15] = value(rng) > 0 ? 1.5f : 2.5f;  // w far from 0
        words[p.name] = kvt::word(v.data());
      }
      std::vector<std::uint32_t> our_words{kvt::word(a)}, their_words{kvt::word(b)};
      for (std::size_t i = 1; i < params.size(); ++i) our_words.push_back(words[params[i].name]);
      for (std::size_t i = 1; i < oracle.args.size(); ++i) their_words.push_back(words[oracle.args[i]]);
      kvt::call_raw(ours, our_words.data(), std::uint32_t(our_words.size()), kvt::CallEnv{});
      kvt::call_raw(theirs, their_words.data(), std::uint32_t(their_words.size()), kvt::CallEnv{});  // stdcall: the thunk restores esp
      for (std::size_t i = 0; i < floats_of(params[0].kind); ++i) {
        ASSERT_TRUE(kv::test::close_in_ulps(b[i], a[i], 4, 4 * 100 * 1.2e-7f)) << command << " [" << i << "]";
      }
    }
  }
  EXPECT_EQ(compared, 52);
}

}  // namespace
