// Matrix, quaternion and frustum commands through their exports: against Wine's
// d3dx9_43.dll doing the same work, or against the floor of an export call.
#include <cstdint>
#include <random>

#include "bench.h"
#include "harness/plugin.h"

namespace {

constexpr long kCalls = 2000000;
constexpr int kInputs = 64;

// Well-conditioned affine matrices and unit quaternions, all elements non-zero.
struct Inputs {
  float m[kInputs][16], q[kInputs][4];
  Inputs() {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int i = 0; i < kInputs; ++i) {
      for (int k = 0; k < 16; ++k) m[i][k] = (k % 5 == 0 ? 2.0f : 0.0f) + 0.5f * u(rng);
      m[i][3] = m[i][7] = m[i][11] = 0, m[i][15] = 1;
      double n = 0;
      for (float& c : q[i]) c = u(rng), n += double(c) * c;
      for (float& c : q[i]) c = float(c / std::sqrt(n));
    }
  }
};

template <class Fn>
Fn oracle(const char* name) {
  static HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  return reinterpret_cast<Fn>(GetProcAddress(d3dx, name));
}

template <class Body>
double time_calls(Body body) {
  return kvb::best_ns_per_op(kCalls, [&] {
    for (long i = 0; i < kCalls; ++i) body(int(i % kInputs), int((i + 1) % kInputs));
  });
}

}  // namespace

void bench_commands(const kvt::Plugin& plugin, double floor) {
  static Inputs in;
  static float out[16];
  volatile std::uint32_t sink = 0;
  using Three = std::int32_t (*)(float*, const float*, const float*);
  using Two = std::int32_t (*)(float*, const float*);
  using Get = std::uint32_t (*)(const float*);
  using GetElement = std::uint32_t (*)(const float*, std::int32_t, std::int32_t);
  using One = std::int32_t (*)(float*);
  using MatMat = float*(__stdcall*)(float*, const float*, const float*);
  using Inv = float*(__stdcall*)(float*, float*, const float*);
  auto mul = reinterpret_cast<Three>(plugin.address("Mat4_Mul"));
  auto inverse = reinterpret_cast<Two>(plugin.address("Mat4_Inverse"));
  auto d3dx_mul = oracle<MatMat>("D3DXMatrixMultiply");
  auto d3dx_inverse = oracle<Inv>("D3DXMatrixInverse");
  kvb::report("Mat4_Mul", time_calls([&](int i, int j) { mul(out, in.m[i], in.m[j]); }), "D3DXMatrixMultiply",
              time_calls([&](int i, int j) { d3dx_mul(out, in.m[i], in.m[j]); }), 2.5);
  kvb::report("Mat4_Inverse", time_calls([&](int i, int) { inverse(out, in.m[i]); }), "D3DXMatrixInverse",
              time_calls([&](int i, int) { d3dx_inverse(out, nullptr, in.m[i]); }), 2);

  auto get_element = reinterpret_cast<GetElement>(plugin.address("Mat4_GetElement"));
  auto get_translation = reinterpret_cast<Get>(plugin.address("Mat4_GetTranslationX"));
  auto copy = reinterpret_cast<Two>(plugin.address("Mat4_Copy"));
  auto identity = reinterpret_cast<One>(plugin.address("Mat4_Identity"));
  kvb::report_floor("Mat4_GetElement", time_calls([&](int i, int) { sink = get_element(in.m[i], 2, 3); }), floor, 2);
  kvb::report_floor("Mat4_GetTranslationX", time_calls([&](int i, int) { sink = get_translation(in.m[i]); }), floor, 2);
  kvb::report_floor("Mat4_Copy", time_calls([&](int i, int) { copy(out, in.m[i]); }), floor, 2);
  kvb::report_floor("Mat4_Identity", time_calls([&](int, int) { identity(out); }), floor, 2);

  using Slerp = std::int32_t (*)(float*, const float*, const float*, float);
  using D3dxSlerp = float*(__stdcall*)(float*, const float*, const float*, float);
  auto slerp = reinterpret_cast<Slerp>(plugin.address("Quat_SLerp"));
  auto d3dx_slerp = oracle<D3dxSlerp>("D3DXQuaternionSlerp");
  kvb::report("Quat_SLerp", time_calls([&](int i, int j) { slerp(out, in.q[i], in.q[j], 0.3f); }),
              "D3DXQuaternionSlerp", time_calls([&](int i, int j) { d3dx_slerp(out, in.q[i], in.q[j], 0.3f); }), 2);
  auto quat_mul = reinterpret_cast<Three>(plugin.address("Quat_Mul"));
  auto conjugate = reinterpret_cast<Two>(plugin.address("Quat_Conjugate"));
  auto magnitude = reinterpret_cast<Get>(plugin.address("Quat_Magnitude"));
  kvb::report_floor("Quat_Mul", time_calls([&](int i, int j) { quat_mul(out, in.q[i], in.q[j]); }), floor, 2.5);
  kvb::report_floor("Quat_Conjugate", time_calls([&](int i, int) { conjugate(out, in.q[i]); }), floor, 2.5);
  kvb::report_floor("Quat_Magnitude", time_calls([&](int i, int) { sink = magnitude(in.q[i]); }), floor, 2.5);
}
