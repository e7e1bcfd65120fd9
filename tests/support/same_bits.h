// The rule every command that maps an array (out!:X[], in:Y[], then the single
// command's other arguments) keeps: out[i] is, bit for bit, the single command
// (the name without Array, or its Ex form, whichever takes the same arguments) on
// in[i], and so with out = in. Inputs and every other argument (matrices,
// quaternions, viewports) draw NaN with any payload and sign, infinities and
// denormals; now and then the points and matrix put each transformed x on a
// rounding midpoint of floats, or an argument is an element of out or in;
// optional handles are 0 now and then. Shared by the
// native suite (on every kernel) and the Win32 one (through the DLL).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/surface.h"
#include "support/table_file.h"

namespace kv::test::same_bits {

using surface::Word;

// Any float a script may hold, NaN with any payload and either sign among them.
inline float any(surface::Lcg& rng) {
  if (!rng.one_in(3)) return rng.any_float();
  const std::uint32_t b = 0x7F800001u | (rng.bits() & 0x803FFFFFu) | (rng.one_in(2) ? 0x400000u : 0);
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}

inline std::uint32_t bits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

inline std::size_t bytes_of(const std::string& kind) {
  const std::string k = kind.substr(0, kind.find('['));
  return k == "Float" ? 4 : surface::value_bytes(k);
}

// Runs the sweep with `call(export, words)` and returns how many commands it held
// to the rule.
template <class Call>
int sweep(const TableFile& table, Call call, surface::Lcg& rng, const std::string& path) {
  int commands = 0;
  for (const auto& [name, sig] : table.sigs) {
    const auto& p = sig.params;
    if (sig.family != "arrays" || p.size() < 3 || !p[0].written || !p[0].is_array() || !p[1].is_array()) continue;
    std::string single = name.substr(0, name.size() - 5);  // the form with the same arguments
    if (!table.sigs.count(single) || table.sigs.at(single).params.size() != p.size()) single += "Ex";
    EXPECT_TRUE(table.sigs.count(single)) << name;
    ++commands;
    const std::size_t in_bytes = bytes_of(p[1].kind), out_bytes = bytes_of(p[0].kind);
    const auto make = [&](const std::string& kind, std::uint32_t n) {
      return Word(call(kind.substr(0, kind.size() - 2) + "_MakeArray", {Word(n)}));
    };
    for (const std::uint32_t count : {1u, 2u, 3u, 7u, 8u, 100u, 1000u, name == "Vec3_TransformCoordArray" ? 1000000u : 5u}) {
      const Word in = make(p[1].kind, count), out = make(p[0].kind, count);
      float* f = reinterpret_cast<float*>(in);
      // Midpoints: points (a, a + 1, …) with a in [2^23, 2^24) and a matrix whose
      // x column is (s, s, 0, 0) and w column (0, 0, 0, s): x / w is 2a + 1, odd
      // and above 2^24, halfway between two floats (for 8, 100 and 1000 elements).
      const bool midpoints = count == 8 || count == 100 || count == 1000;
      const std::size_t width = in_bytes / 4;
      float a = 0;
      for (std::size_t i = 0; i < count * width; ++i) {
        if (i % width == 0) a = float((1 << 23) + rng.below(1 << 23));
        f[i] = midpoints ? (i % width == 0 ? a : i % width == 1 ? a + 1 : 0) : rng.one_in(4) ? any(rng) : float(rng.below(2001)) / 100 - 10;
      }
      std::vector<float> extras(24 * p.size());
      std::vector<Word> args = {out, in};
      for (std::size_t k = 2; k < p.size(); ++k) {
        float* e = &extras[24 * k];
        for (int i = 0; i < 24; ++i) e[i] = rng.one_in(12) ? any(rng) : float(rng.below(2001)) / 400 - 2.5f;
        if (midpoints && p[k].kind == "Mat4") {
          const float s = 1 + float(rng.below(1 << 20)) / float(1 << 20);
          for (int i = 0; i < 16; ++i) e[i] = 0;
          e[0] = e[4] = e[15] = s, e[5] = e[10] = 1;
        }
        args.push_back(p[k].optional && rng.one_in(3) ? 0 : Word(e));
      }
      // Now and then an argument of an element's size is an element of out or in
      // (its value, read before anything is stored, copied for the single commands).
      std::vector<Word> one = args;
      for (std::size_t k = 2; k < p.size(); ++k) {
        const bool in_out = surface::value_bytes(p[k].kind) == out_bytes, in_in = surface::value_bytes(p[k].kind) == in_bytes;
        if (!(in_out || in_in) || !rng.one_in(3)) continue;
        float* o = reinterpret_cast<float*>(out);
        for (std::size_t i = 0; i < count * out_bytes / 4; ++i) o[i] = float(rng.below(2001)) / 400 - 2.5f;
        const bool to_out = in_out && (!in_in || rng.one_in(2));
        args[k] = to_out ? out + rng.below(count) * out_bytes : in + rng.below(count) * in_bytes;
        std::memcpy(&extras[24 * k], reinterpret_cast<void*>(args[k]), surface::value_bytes(p[k].kind));
      }
      call(name, args);
      std::vector<float> expected(out_bytes / 4);
      for (std::uint32_t i = 0; i < count; ++i) {
        one[0] = Word(expected.data()), one[1] = in + i * in_bytes;
        call(single, one);
        const float* got = reinterpret_cast<const float*>(out + i * out_bytes);
        for (std::size_t c = 0; c < out_bytes / 4; ++c) {
          if (bits(expected[c]) == bits(got[c])) continue;
          ADD_FAILURE() << name << " element " << i << " of " << count << ", float " << c << ", " << path << ": "
                        << std::hex << bits(got[c]) << " where the single command gives " << bits(expected[c]);
          return commands;
        }
      }
      if (in_bytes == out_bytes) {  // out = in: the same answers
        one[0] = one[1] = in;
        call(name, one);
        EXPECT_EQ(std::memcmp(reinterpret_cast<void*>(in), reinterpret_cast<void*>(out), count * out_bytes), 0)
            << name << " in place, " << count << ", " << path;
      }
      call("Array_Delete", {in}), call("Array_Delete", {out});
    }
  }
  return commands;
}

}  // namespace kv::test::same_bits
