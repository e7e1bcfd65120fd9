// Matrix, quaternion and frustum commands through their exports: against Wine's
// d3dx9_43.dll doing the same work, or against the floor of an export call.
#include <cstdint>
#include <cstdio>
#include <random>

#include "bench.h"
#include "harness/plugin.h"

namespace {

// Where the benchmarks put what they read, so that the reads are not optimised away.
volatile std::uint32_t sink;

constexpr long kCalls = 2000000;
constexpr int kInputs = 64;  // a power of two

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
  return kvt::function_at<Fn>(GetProcAddress(d3dx, name));
}

// Calls body(i, j) over the inputs.
template <class Body>
auto calls(Body body) {
  return [body] {
    for (long i = 0; i < kCalls; ++i) body(int(i & (kInputs - 1)), int((i + 1) & (kInputs - 1)));
  };
}

// Ours against Wine's d3dx9_43 doing the same work, timed in alternation.
template <class Ours, class Theirs>
void versus(const char* name, Ours ours, const char* reference, Theirs theirs, double goal) {
  const kvb::Pair t = kvb::best_pair_ns(kCalls, calls(ours), calls(theirs));
  kvb::report(name, t.first_ns, reference, t.second_ns, goal);
}

using GetX = std::uint32_t (*)(const float*);
GetX floor_export;

// Ours against the floor (the cheapest export, Vec4_GetX), timed in alternation.
template <class Ours>
void versus_floor(const char* name, Ours ours, double goal) {
  static float v[kInputs][4];
  const kvb::Pair t = kvb::best_pair_ns(kCalls, calls(ours), calls([](int i, int) { sink = floor_export(v[i]); }));
  kvb::report_floor(name, t.first_ns, t.second_ns, goal);
}

}  // namespace

// What the checked build's checks cost per call: the same command in both builds
// on values each build made, timed in alternation. No goal: a few times the
// release cost is expected.
void bench_checked(const kvt::Plugin& release, const kvt::Plugin& checked) {
  using Three = std::int32_t (*)(std::uint32_t, std::uint32_t, std::uint32_t);
  using Get = std::uint32_t (*)(std::uint32_t);
  struct Build {
    const kvt::Plugin* dll;
    std::uint32_t v[kInputs], m[kInputs];
  } builds[2] = {{&release, {}, {}}, {&checked, {}, {}}};
  for (Build& b : builds) {
    for (int i = 0; i < kInputs; ++i) b.v[i] = b.dll->command("pVec3_MakeNew", "L", {}), b.m[i] = b.dll->command("pMat4_MakeNew", "L", {});
  }
  const struct {
    const char* name;
    bool matrices;
  } timed[] = {{"Vec3_Add", false}, {"Mat4_Mul", true}};
  for (const auto& c : timed) {
    auto a = reinterpret_cast<Three>(release.address(c.name)), b = reinterpret_cast<Three>(checked.address(c.name));
    const std::uint32_t* x = c.matrices ? builds[0].m : builds[0].v;
    const std::uint32_t* y = c.matrices ? builds[1].m : builds[1].v;
    const kvb::Pair t = kvb::best_pair_ns(kCalls, calls([&](int i, int j) { a(x[0], x[i], x[j]); }),
                                          calls([&](int i, int j) { b(y[0], y[i], y[j]); }));
    std::printf("%-44s %8.1f ns  checked build %8.1f ns  %5.1fx  (no goal)\n", c.name, t.first_ns, t.second_ns,
                t.second_ns / t.first_ns);
  }
  auto a = reinterpret_cast<Get>(release.address("Vec4_GetX")), b = reinterpret_cast<Get>(checked.address("Vec4_GetX"));
  const kvb::Pair t = kvb::best_pair_ns(kCalls, calls([&](int i, int) { sink = a(builds[0].v[i]); }),
                                        calls([&](int i, int) { sink = b(builds[1].v[i]); }));
  std::printf("%-44s %8.1f ns  checked build %8.1f ns  %5.1fx  (no goal)\n", "Vec4_GetX", t.first_ns, t.second_ns,
              t.second_ns / t.first_ns);
}

void bench_commands(const kvt::Plugin& plugin) {
  floor_export = reinterpret_cast<GetX>(plugin.address("Vec4_GetX"));
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
  versus("Mat4_Mul", [&](int i, int j) { mul(out, in.m[i], in.m[j]); }, "D3DXMatrixMultiply",
         [&](int i, int j) { d3dx_mul(out, in.m[i], in.m[j]); }, 2.5);
  versus("Mat4_Inverse", [&](int i, int) { inverse(out, in.m[i]); }, "D3DXMatrixInverse",
         [&](int i, int) { d3dx_inverse(out, nullptr, in.m[i]); }, 2);

  auto get_element = reinterpret_cast<GetElement>(plugin.address("Mat4_GetElement"));
  auto get_translation = reinterpret_cast<Get>(plugin.address("Mat4_GetTranslationX"));
  auto copy = reinterpret_cast<Two>(plugin.address("Mat4_Copy"));
  auto identity = reinterpret_cast<One>(plugin.address("Mat4_Identity"));
  versus_floor("Mat4_GetElement", [&](int i, int) { sink = get_element(in.m[i], 2, 3); }, 2);
  versus_floor("Mat4_GetTranslationX", [&](int i, int) { sink = get_translation(in.m[i]); }, 2);
  versus_floor("Mat4_Copy", [&](int i, int) { copy(out, in.m[i]); }, 2);
  versus_floor("Mat4_Identity", [&](int, int) { identity(out); }, 2);

  using Slerp = std::int32_t (*)(float*, const float*, const float*, float);
  using D3dxSlerp = float*(__stdcall*)(float*, const float*, const float*, float);
  auto slerp = reinterpret_cast<Slerp>(plugin.address("Quat_SLerp"));
  auto d3dx_slerp = oracle<D3dxSlerp>("D3DXQuaternionSlerp");
  versus("Quat_SLerp", [&](int i, int j) { slerp(out, in.q[i], in.q[j], 0.3f); }, "D3DXQuaternionSlerp",
         [&](int i, int j) { d3dx_slerp(out, in.q[i], in.q[j], 0.3f); }, 2);
  auto quat_mul = reinterpret_cast<Three>(plugin.address("Quat_Mul"));
  auto conjugate = reinterpret_cast<Two>(plugin.address("Quat_Conjugate"));
  auto magnitude = reinterpret_cast<Get>(plugin.address("Quat_Magnitude"));
  versus_floor("Quat_Mul", [&](int i, int j) { quat_mul(out, in.q[i], in.q[j]); }, 2.5);
  versus_floor("Quat_Conjugate", [&](int i, int) { conjugate(out, in.q[i]); }, 2.5);
  versus_floor("Quat_Magnitude", [&](int i, int) { sink = magnitude(in.q[i]); }, 2.5);

  // Spheres and boxes inside a perspective frustum: all six planes are tested.
  using Sphere = std::int32_t (*)(const float*, float, float, float, float);
  using Box = std::int32_t (*)(const float*, float, float, float, float, float, float);
  using Extract = std::int32_t (*)(float*, const float*);
  static float frustum[24];
  const float projection[16] = {1, 0, 0, 0, 0, 1.5f, 0, 0, 0, 0, 100 / 99.0f, 1, 0, 0, -100 / 99.0f, 0};
  reinterpret_cast<Extract>(plugin.address("Frustum_ExtractVP"))(frustum, projection);
  auto sphere = reinterpret_cast<Sphere>(plugin.address("Frustum_TestSphere"));
  auto box = reinterpret_cast<Box>(plugin.address("Frustum_TestAABB"));
  versus_floor("Frustum_TestSphere (inside)", [&](int, int) { sink = sphere(frustum, 0.5f, 0.2f, 20, 1); }, 4);
  versus_floor("Frustum_TestAABB (inside)", [&](int, int) { sink = box(frustum, -1, -1, 10, 1, 2, 12); }, 8);

  // Picking: rays that hit.
  using RaySphere = std::uint32_t (*)(const float*, const float*, const float*, float);
  using RayBox = std::uint32_t (*)(const float*, const float*, const float*, const float*);
  using RayTriangle = std::uint32_t (*)(const float*, const float*, const float*, const float*, const float*);
  using Boxes = std::int32_t (*)(const float*, const float*, const float*, const float*);
  static const float origin[3] = {-0.5f, 0.25f, -10}, centre[3] = {0.1f, -0.2f, 3}, lo[3] = {-1, -1, 2}, hi[3] = {1, 1.5f, 4};
  static const float a[3] = {-2, -2, 5}, b[3] = {3, -1, 5.5f}, c[3] = {0, 3, 4.5f};
  auto ray_sphere = reinterpret_cast<RaySphere>(plugin.address("Ray_HitSphere"));
  auto ray_box = reinterpret_cast<RayBox>(plugin.address("Ray_HitAABB"));
  auto ray_triangle = reinterpret_cast<RayTriangle>(plugin.address("Ray_HitTriangle"));
  auto boxes = reinterpret_cast<Boxes>(plugin.address("AABB_HitAABB"));
  // The directions: from the origin toward (0.5, -0.3, 3), give or take 0.1 across,
  // so that every ray hits the sphere, the box and the triangle.
  static float dirs[kInputs][3];
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1, 1);
  for (auto& d : dirs) {
    d[0] = 1 + 0.1f * u(rng), d[1] = -0.55f + 0.1f * u(rng), d[2] = 13 + u(rng);
    if (ray_sphere(origin, d, centre, 1.5f) == 0xbf800000u || ray_box(origin, d, lo, hi) == 0xbf800000u ||
        ray_triangle(origin, d, a, b, c) == 0xbf800000u) std::printf("a picking ray misses: the timings below are of misses\n");
  }
  versus_floor("Ray_HitSphere (hit)", [&](int i, int) { sink = ray_sphere(origin, dirs[i], centre, 1.5f); }, 4);
  versus_floor("Ray_HitAABB (hit)", [&](int i, int) { sink = ray_box(origin, dirs[i], lo, hi); }, 4);
  versus_floor("Ray_HitTriangle (hit)", [&](int i, int) { sink = ray_triangle(origin, dirs[i], a, b, c); }, 6);
  // D3DX's forms of the box and the triangle, on the same rays (faster than theirs: goal 1x).
  using Probe = BOOL(__stdcall*)(const float*, const float*, const float*, const float*);
  using Intersect = BOOL(__stdcall*)(const float*, const float*, const float*, const float*, const float*, float*, float*, float*);
  auto probe = oracle<Probe>("D3DXBoxBoundProbe");
  auto intersect = oracle<Intersect>("D3DXIntersectTri");
  static float u_out, v_out, t_out;
  versus("Ray_HitAABB (hit)", [&](int i, int) { sink = ray_box(origin, dirs[i], lo, hi); }, "D3DXBoxBoundProbe",
         [&](int i, int) { sink = probe(lo, hi, origin, dirs[i]); }, 1);
  versus("Ray_HitTriangle (hit)", [&](int i, int) { sink = ray_triangle(origin, dirs[i], a, b, c); }, "D3DXIntersectTri",
         [&](int i, int) { sink = intersect(a, b, c, origin, dirs[i], &u_out, &v_out, &t_out); }, 1);
  versus_floor("AABB_HitAABB (overlapping)", [&](int i, int) { sink = boxes(lo, hi, centre, in.m[i] + 8); }, 4);
}
