// Vector commands through their exports, against the floor of calling the
// cheapest export (Vec4_GetX, one load) in the same run: the goal is to stay
// within twice that floor for Vec3_Add, Vec3_Dot and Vec3_Length.
#include <cstdio>

#include "bench.h"
#include "harness/plugin.h"

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
  for (const auto& r : rows) {
    const double times = r.ns / floor;
    if (r.goal > 0) {
      std::printf("%-44s %8.1f ns  %6.2fx the floor  (goal within %.0fx: %s)\n", r.name, r.ns, times, r.goal,
                  times <= r.goal ? "met" : "MISSED");
    } else {
      std::printf("%-44s %8.1f ns  %6.2fx the floor\n", r.name, r.ns, times);
    }
  }
}
