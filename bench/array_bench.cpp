// Whole-array commands against a loop of their single commands' exports, per
// element at 10 000 elements, timed in alternation; the bounding sphere against
// the box of the same points, per point, at 10 000 and 1 000 000 points.
#include <cstdint>
#include <cstdio>
#include <random>

#include "bench.h"
#include "harness/plugin.h"

namespace {

volatile std::uint32_t sink;

// `array` over n elements against `loop` over the same, per element.
template <class Array, class Loop>
void per_element(const char* what, long n, Array array, const char* loop_name, Loop loop, double goal) {
  const kvb::Pair t = kvb::best_pair_ns(n, array, loop, 9);
  kvb::report(what, t.first_ns, loop_name, t.second_ns, goal);
}

}  // namespace

void bench_arrays(const kvt::Plugin& p) {
  constexpr std::uint32_t n = 10000;
  auto fn = [&](const char* name) { return p.address(name); };
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(-10, 10);
  const std::uint32_t in = p.command("pVec3_MakeArray", "LL", {n}), out = p.command("pVec3_MakeArray", "LL", {n});
  const std::uint32_t radii = p.command("pFloat_MakeArray", "LL", {n}), results = p.command("pFloat_MakeArray", "LL", {n});
  const std::uint32_t corners = p.command("pVec3_MakeArray", "LL", {3 * n});
  float* points = kvt::as_pointer(in);
  for (std::uint32_t i = 0; i < 3 * n; ++i) points[i] = u(rng) + (i % 3 == 2 ? 30 : 0);
  for (std::uint32_t i = 0; i < n; ++i) kvt::as_pointer(radii)[i] = 1 + u(rng) / 20;
  for (std::uint32_t i = 0; i < 9 * n; ++i) kvt::as_pointer(corners)[i] = u(rng) + (i % 3 == 2 ? 30 + float(i % 7) : 0);
  static const float m[16] = {0.8f, 0.1f, 0.2f, 0.01f, -0.1f, 0.9f, 0.1f, 0.02f, 0.2f, -0.1f, 0.7f, 0.03f, 3, 4, 5, 1};
  using Three = std::int32_t (*)(std::uint32_t, std::uint32_t, const float*);
  using Coord = std::int32_t (*)(float*, const float*, const float*);
  auto array = kvt::function_at<Three>(reinterpret_cast<FARPROC>(fn("Vec3_TransformCoordArray")));
  auto one = kvt::function_at<Coord>(reinterpret_cast<FARPROC>(fn("Vec3_TransformCoord")));
  float* o = kvt::as_pointer(out);
  per_element("Vec3_TransformCoordArray, per element", n, [&] { array(out, in, m); }, "Vec3_TransformCoord loop",
              [&] { for (std::uint32_t i = 0; i < n; ++i) one(o + 3 * i, points + 3 * i, m); }, 3);

  static float frustum[24];
  const float projection[16] = {1, 0, 0, 0, 0, 1.5f, 0, 0, 0, 0, 100 / 99.0f, 1, 0, 0, -100 / 99.0f, 0};
  p.command("pFrustum_ExtractVP", "LL", {frustum, projection});
  using Spheres = std::int32_t (*)(std::uint32_t, const float*, std::uint32_t, std::uint32_t);
  using Sphere = std::int32_t (*)(const float*, float, float, float, float);
  auto spheres = kvt::function_at<Spheres>(reinterpret_cast<FARPROC>(fn("Frustum_TestSphereArray")));
  auto sphere = kvt::function_at<Sphere>(reinterpret_cast<FARPROC>(fn("Frustum_TestSphere")));
  const float* r = kvt::as_pointer(radii);
  per_element("Frustum_TestSphereArray, per element", n, [&] { sink = spheres(results, frustum, in, radii); },
              "Frustum_TestSphere loop", [&] {
                for (std::uint32_t i = 0; i < n; ++i) sink = sphere(frustum, points[3 * i], points[3 * i + 1], points[3 * i + 2], r[i]);
              }, 3);

  static const float origin[3] = {0.3f, -0.2f, -5}, dir[3] = {0.01f, 0.02f, 1};
  static float hit[3], uv[2];
  using Triangles = std::int32_t (*)(const float*, const float*, std::uint32_t, float*);
  using Triangle = std::uint32_t (*)(const float*, const float*, const float*, const float*, const float*, float*);
  auto triangles = kvt::function_at<Triangles>(reinterpret_cast<FARPROC>(fn("Ray_HitTriangleArray")));
  auto triangle = kvt::function_at<Triangle>(reinterpret_cast<FARPROC>(fn("Ray_HitTriangleEx")));
  const float* c = kvt::as_pointer(corners);
  per_element("Ray_HitTriangleArray, per triangle", n, [&] { sink = triangles(origin, dir, corners, hit); },
              "Ray_HitTriangleEx loop", [&] {
                for (std::uint32_t i = 0; i < n; ++i) sink = triangle(origin, dir, c + 9 * i, c + 9 * i + 3, c + 9 * i + 6, uv);
              }, 2);

  using Box = std::int32_t (*)(float*, float*, std::uint32_t);
  using Ball = std::uint32_t (*)(float*, std::uint32_t);
  auto box = kvt::function_at<Box>(reinterpret_cast<FARPROC>(fn("Vec3_ArrayAABB")));
  auto ball = kvt::function_at<Ball>(reinterpret_cast<FARPROC>(fn("Vec3_ArrayBoundingSphere")));
  static float lo[3], hi[3], centre[3];
  for (const std::uint32_t count : {10000u, 1000000u}) {
    const std::uint32_t set = p.command("pVec3_MakeArray", "LL", {count});
    float* q = kvt::as_pointer(set);
    for (std::uint32_t i = 0; i < 3 * count; ++i) q[i] = u(rng) * u(rng) + 100;
    char what[64];
    std::snprintf(what, sizeof what, "Vec3_ArrayBoundingSphere, %u points", count);
    // The goal: its cost per point within 4 times the box's.
    per_element(what, count, [&] { sink = ball(centre, set); }, "Vec3_ArrayAABB", [&] { box(lo, hi, set); }, 0.25);
    p.command("pArray_Delete", "L", {set});
  }
  for (const std::uint32_t a : {in, out, radii, results, corners}) p.command("pArray_Delete", "L", {a});
}
