// Vector commands through their exports, against the floor of calling the
// cheapest export (Vec4_GetX, one load) in the same run: the goal is to stay
// within twice that floor for Vec3_Add, Vec3_Dot and Vec3_Length.
#include <cstdio>

#include "bench.h"
#include "harness/plugin.h"

namespace {

// Vec3_TransformCoord through its export against Wine's D3DXVec3TransformCoord
// called the same way (the goal: ours faster), and Vec3_TransformQuat and
// Vec3_SLerp beside them for scale.
void bench_transforms(const kvt::Plugin& plugin, float (*a)[4], float (*b)[4]) {
  using Slerp = std::int32_t (*)(float*, const float*, const float*, float);
  using Three = std::int32_t (*)(float*, const float*, const float*);
  using Coord = float*(__stdcall*)(float*, const float*, const float*);
  auto slerp = reinterpret_cast<Slerp>(plugin.address("Vec3_SLerp"));
  auto coord = reinterpret_cast<Three>(plugin.address("Vec3_TransformCoord"));
  auto by_quat = reinterpret_cast<Three>(plugin.address("Vec3_TransformQuat"));
  auto oracle = kvt::function_at<Coord>(GetProcAddress(LoadLibraryA("d3dx9_43.dll"), "D3DXVec3TransformCoord"));
  static float m[16] = {0.8f, 0.1f, 0.2f, 0, -0.1f, 0.9f, 0.1f, 0, 0.2f, -0.1f, 0.7f, 0, 3, 4, 5, 1};
  static float q[4] = {0.1f, 0.2f, 0.3f, 0.927362f};
  float out[4];
  const long n = 4000000;
  const double theirs = kvb::best_ns_per_op(n, [&] {
    for (long i = 0; i < n; ++i) oracle(out, a[i & 63], m);
  });
  const struct {
    const char* name;
    double ns;
  } rows[] = {
      {"Vec3_TransformCoord", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) coord(out, a[i & 63], m);
       })},
      {"Vec3_TransformQuat", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) by_quat(out, a[i & 63], q);
       })},
      {"Vec3_SLerp", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) slerp(out, a[i & 63], b[i & 63], 0.3f);
       })},
  };
  kvb::report(rows[0].name, rows[0].ns, "D3DXVec3TransformCoord", theirs, 1);
  for (int i = 1; i < 3; ++i) {
    std::printf("%-44s %8.1f ns  %-22s %8.1f ns  %6.1fx  (no goal)\n", rows[i].name, rows[i].ns,
                "D3DXVec3TransformCoord", theirs, theirs / rows[i].ns);
  }
}

}  // namespace

void bench_vectors(const kvt::Plugin& plugin) {
  using Unary = std::uint32_t (*)(const float*);
  using Binary = std::uint32_t (*)(const float*, const float*);
  using Ternary = std::int32_t (*)(float*, const float*, const float*);
  using Store = std::int32_t (*)(float*, const float*);
  auto get_x = reinterpret_cast<Unary>(plugin.address("Vec4_GetX"));
  auto add = reinterpret_cast<Ternary>(plugin.address("Vec3_Add"));
  auto dot = reinterpret_cast<Binary>(plugin.address("Vec3_Dot"));
  auto length = reinterpret_cast<Unary>(plugin.address("Vec3_Length"));
  auto normalize = reinterpret_cast<Store>(plugin.address("Vec3_Normalize"));
  const long n = 10000000;
  static float a[64][4], b[64][4], out[4];
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 4; ++j) a[i][j] = float(i + j + 1), b[i][j] = float(i - j) * 0.5f;
  }
  volatile std::uint32_t sink = 0;
  const double floor = kvb::best_ns_per_op(n, [&] {
    for (long i = 0; i < n; ++i) sink = get_x(a[i & 63]);
  });
  const struct {
    const char* name;
    double ns;
    double goal;
  } rows[] = {
      {"Vec3_Add", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) add(out, a[i & 63], b[i & 63]);
       }), 2},
      {"Vec3_Dot", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) sink = dot(a[i & 63], b[i & 63]);
       }), 2},
      {"Vec3_Length", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) sink = length(a[i & 63]);
       }), 2},
      {"Vec3_Normalize", kvb::best_ns_per_op(n, [&] {
         for (long i = 0; i < n; ++i) normalize(out, a[i & 63]);
       }), 0},
  };
  std::printf("%-44s %8.1f ns  (the floor: one export call and one load)\n", "Vec4_GetX", floor);
  bench_transforms(plugin, a, b);
  for (const auto& r : rows) kvb::report_floor(r.name, r.ns, floor, r.goal);
}
