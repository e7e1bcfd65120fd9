// Meshes at a million triangles: a displaced 708 × 708 grid of unit cells
// (1 002 528 triangles) and a soup of a million triangles about centres spread
// over a cube of side 20. Picking 10 000 rays aimed at random triangles'
// interiors against one Ray_HitTriangle call and against the brute force over
// the same corners; line of sight against picking; sphere and nearest-point
// queries of one cell's radius against one Vec3_ClosestPointOnTriangle; making
// and refitting a mesh per triangle against Vec3_ArrayAABB per point.
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bench.h"
#include "harness/plugin.h"

namespace {

volatile std::uint32_t sink;

// Ours within `most` times the reference.
void report_times(const char* what, double ours_ns, const char* reference, double reference_ns, double most) {
  const double times = ours_ns / reference_ns;
  std::printf("%-44s %8.1f ns  %-22s %8.1f ns  %6.1fx  (goal at most %.0fx: %s)\n", what, ours_ns, reference, reference_ns,
              times, most, times <= most ? "met" : "MISSED");
}

struct Workload {
  const char* name;
  std::vector<float> corners;
  float lo[3], hi[3];
};

Workload grid(std::mt19937& rng) {
  constexpr int n = 708;
  std::uniform_real_distribution<float> lift(-0.3f, 0.3f);
  std::vector<float> height((n + 1) * (n + 1));
  for (float& h : height) h = lift(rng);
  Workload w{"grid", {}, {0, -0.3f, 0}, {n, 0.3f, n}};
  w.corners.reserve(std::size_t(n) * n * 18);
  const auto corner = [&](int i, int j) { w.corners.insert(w.corners.end(), {float(i), height[std::size_t(i * (n + 1) + j)], float(j)}); };
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      corner(i, j), corner(i + 1, j), corner(i, j + 1);
      corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1);
    }
  }
  return w;
}

Workload soup(std::mt19937& rng) {
  std::uniform_real_distribution<float> at(-10, 10), size(0.01f, 1.5f), unit(-1, 1);
  Workload w{"soup", {}, {-11.5f, -11.5f, -11.5f}, {11.5f, 11.5f, 11.5f}};
  w.corners.reserve(9000000);
  for (int t = 0; t < 1000000; ++t) {
    const float c[3] = {at(rng), at(rng), at(rng)};
    for (int k = 0; k < 9; ++k) w.corners.push_back(c[k % 3] + size(rng) * unit(rng));
  }
  return w;
}

}  // namespace

void bench_meshes(const kvt::Plugin& p) {
  auto fn = [&](const char* name) { return reinterpret_cast<FARPROC>(p.address(name)); };
  using Make = std::uint32_t (*)(std::uint32_t);
  using Refit = std::int32_t (*)(std::uint32_t, std::uint32_t);
  using Box = std::int32_t (*)(float*, float*, std::uint32_t);
  using Hit = std::int32_t (*)(const float*, const float*, std::uint32_t, float*);
  using Any = std::int32_t (*)(const float*, const float*, std::uint32_t, float);
  using Triangle = std::uint32_t (*)(const float*, const float*, const float*, const float*, const float*);
  using Sphere = std::int32_t (*)(const float*, float, std::uint32_t);
  using Closest = std::uint32_t (*)(float*, const float*, std::uint32_t);
  using OnTriangle = std::int32_t (*)(float*, const float*, const float*, const float*, const float*);
  auto make = kvt::function_at<Make>(fn("Mesh_Make"));
  auto refit = kvt::function_at<Refit>(fn("Mesh_Refit"));
  auto box = kvt::function_at<Box>(fn("Vec3_ArrayAABB"));
  auto hit = kvt::function_at<Hit>(fn("Ray_HitMesh"));
  auto brute = kvt::function_at<Hit>(fn("Ray_HitTriangleArray"));
  auto any = kvt::function_at<Any>(fn("Ray_HitMeshAny"));
  auto triangle = kvt::function_at<Triangle>(fn("Ray_HitTriangle"));
  auto sphere = kvt::function_at<Sphere>(fn("Sphere_HitMesh"));
  auto closest = kvt::function_at<Closest>(fn("Mesh_ClosestPoint"));
  auto on_triangle = kvt::function_at<OnTriangle>(fn("Vec3_ClosestPointOnTriangle"));
  std::mt19937 rng(19);
  std::uniform_real_distribution<float> unit(0, 1);
  static float lo[3], hi[3], tuv[3], out[3];
  for (Workload w : {grid(rng), soup(rng)}) {
    const std::uint32_t triangles = std::uint32_t(w.corners.size() / 9);
    const std::uint32_t corners = p.command("pVec3_MakeArray", "LL", {int(3 * triangles)});
    std::copy(w.corners.begin(), w.corners.end(), kvt::as_pointer(corners));
    // Making and refitting, per triangle, against the box of the corners per point;
    // at 10 000 triangles too for the grid.
    for (const std::uint32_t count : {10000u, triangles}) {
      if (count != triangles && w.name[0] != 'g') continue;
      const std::uint32_t part = p.command("pVec3_MakeArray", "LL", {int(3 * count)});
      std::copy(w.corners.begin(), w.corners.begin() + 9 * std::ptrdiff_t(count), kvt::as_pointer(part));
      char what[80];
      const kvb::Pair made = kvb::best_pair_ns(count, [&] { p.command("pMesh_Delete", "L", {make(part)}); },
                                               [&] { box(lo, hi, part); }, 3);
      std::snprintf(what, sizeof what, "Mesh_Make, %s, %u triangles, per triangle", w.name, count);
      report_times(what, made.first_ns, "Vec3_ArrayAABB /point", made.second_ns / 3, 100);
      const std::uint32_t mesh = make(part);
      const kvb::Pair refitted = kvb::best_pair_ns(count, [&] { refit(mesh, part); }, [&] { box(lo, hi, part); }, 5);
      std::snprintf(what, sizeof what, "Mesh_Refit, %s, %u triangles, per triangle", w.name, count);
      report_times(what, refitted.first_ns, "Vec3_ArrayAABB /point", refitted.second_ns / 3, 15);
      p.command("pMesh_Delete", "L", {mesh});
      p.command("pArray_Delete", "L", {part});
    }
    // Rays from random points about the mesh's box, aimed at random triangles' interiors.
    const std::uint32_t mesh = make(corners);
    constexpr int kRays = 10000;
    std::vector<float> origins(3 * kRays), dirs(3 * kRays);
    std::uniform_int_distribution<std::uint32_t> pick(0, triangles - 1);
    for (int r = 0; r < kRays; ++r) {
      const float* c = w.corners.data() + 9 * std::size_t(pick(rng));
      float a = unit(rng), b = unit(rng);
      if (a + b > 1) a = 1 - a, b = 1 - b;
      for (int k = 0; k < 3; ++k) {
        const float target = c[k] + a * (c[3 + k] - c[k]) + b * (c[6 + k] - c[k]);
        const float span = w.hi[k] - w.lo[k];
        origins[std::size_t(3 * r + k)] = w.lo[k] - 0.25f * span + 1.5f * span * unit(rng) + (k == 1 && w.name[0] == 'g' ? 20 : 0);
        dirs[std::size_t(3 * r + k)] = target - origins[std::size_t(3 * r + k)];
      }
    }
    const float* c0 = w.corners.data();
    const kvb::Pair picked = kvb::best_pair_ns(kRays, [&] {
      for (int r = 0; r < kRays; ++r) sink = hit(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], mesh, tuv);
    }, [&] {
      for (int r = 0; r < kRays; ++r) sink = triangle(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], c0, c0 + 3, c0 + 6);
    }, 3);
    char what[80];
    std::snprintf(what, sizeof what, "Ray_HitMesh, %s, per ray", w.name);
    report_times(what, picked.first_ns, "Ray_HitTriangle", picked.second_ns, 50);
    const double brute_ns = kvb::best_ns_per_op(20, [&] {
      for (int r = 0; r < 20; ++r) sink = brute(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], corners, tuv);
    }, 1);
    std::snprintf(what, sizeof what, "  Ray_HitTriangleArray over it, %s", w.name);
    std::printf("%-44s %8.0f ns  %8.0fx Ray_HitMesh's time\n", what, brute_ns, brute_ns / picked.first_ns);
    const kvb::Pair seen = kvb::best_pair_ns(kRays, [&] {
      for (int r = 0; r < kRays; ++r) sink = any(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], mesh, 1e30f);
    }, [&] {
      for (int r = 0; r < kRays; ++r) sink = hit(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], mesh, tuv);
    }, 3);
    std::snprintf(what, sizeof what, "Ray_HitMeshAny, %s, per ray", w.name);
    report_times(what, seen.first_ns, "Ray_HitMesh", seen.second_ns, 1);
    // Spheres and points of one cell's radius (the grid), a tenth of the cube's side (the soup).
    const float radius = w.name[0] == 'g' ? 1 : 2;
    std::vector<float> centres(3 * kRays);
    for (int r = 0; r < kRays; ++r) {
      for (int k = 0; k < 3; ++k) centres[std::size_t(3 * r + k)] = origins[std::size_t(3 * r + k)] + dirs[std::size_t(3 * r + k)] + radius * (unit(rng) - 0.5f);
    }
    const kvb::Pair touched = kvb::best_pair_ns(kRays, [&] {
      for (int r = 0; r < kRays; ++r) sink = sphere(&centres[std::size_t(3 * r)], radius, mesh);
    }, [&] {
      for (int r = 0; r < kRays; ++r) sink = on_triangle(out, &centres[std::size_t(3 * r)], c0, c0 + 3, c0 + 6);
    }, 3);
    std::snprintf(what, sizeof what, "Sphere_HitMesh, %s, per sphere", w.name);
    report_times(what, touched.first_ns, "ClosestPointOnTriangle", touched.second_ns, 100);
    const kvb::Pair nearest = kvb::best_pair_ns(kRays, [&] {
      for (int r = 0; r < kRays; ++r) sink = closest(out, &centres[std::size_t(3 * r)], mesh);
    }, [&] {
      for (int r = 0; r < kRays; ++r) sink = on_triangle(out, &centres[std::size_t(3 * r)], c0, c0 + 3, c0 + 6);
    }, 3);
    std::snprintf(what, sizeof what, "Mesh_ClosestPoint, %s, per point", w.name);
    report_times(what, nearest.first_ns, "ClosestPointOnTriangle", nearest.second_ns, 100);
    if (w.name[0] == 'g') {
      // A sphere of half a cell about the surface, moved at most one cell, against the rays that hit.
      using Sweep = std::uint32_t (*)(const float*, float, const float*, std::uint32_t, float*, float*);
      using Slide = std::int32_t (*)(float*, const float*, float, const float*, std::uint32_t, float*);
      auto sweep = kvt::function_at<Sweep>(fn("Sphere_SweepMesh"));
      auto slide = kvt::function_at<Slide>(fn("Sphere_SlideMesh"));
      std::vector<float> bodies(3 * kRays), moves(3 * kRays);
      std::uniform_real_distribution<float> cell(0, 707), step(-0.577f, 0.577f);
      for (int r = 0; r < kRays; ++r) {
        bodies[std::size_t(3 * r)] = cell(rng), bodies[std::size_t(3 * r + 1)] = 0.85f + unit(rng) * 0.3f, bodies[std::size_t(3 * r + 2)] = cell(rng);
        for (int k = 0; k < 3; ++k) moves[std::size_t(3 * r + k)] = step(rng) - (k == 1 ? 0.3f : 0);
      }
      static float point[3], normal[3], end[3];
      const kvb::Pair swept = kvb::best_pair_ns(kRays, [&] {
        for (int r = 0; r < kRays; ++r) sink = sweep(&bodies[std::size_t(3 * r)], 0.5f, &moves[std::size_t(3 * r)], mesh, point, normal);
      }, [&] {
        for (int r = 0; r < kRays; ++r) sink = hit(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], mesh, tuv);
      }, 3);
      report_times("Sphere_SweepMesh, grid, per move", swept.first_ns, "Ray_HitMesh", swept.second_ns, 4);
      const kvb::Pair slid = kvb::best_pair_ns(kRays, [&] {
        for (int r = 0; r < kRays; ++r) sink = slide(end, &bodies[std::size_t(3 * r)], 0.5f, &moves[std::size_t(3 * r)], mesh, normal);
      }, [&] {
        for (int r = 0; r < kRays; ++r) sink = hit(&origins[std::size_t(3 * r)], &dirs[std::size_t(3 * r)], mesh, tuv);
      }, 3);
      report_times("Sphere_SlideMesh, grid, per move", slid.first_ns, "Ray_HitMesh", slid.second_ns, 20);
    }
    p.command("pMesh_Delete", "L", {mesh});
    p.command("pArray_Delete", "L", {corners});
  }
}
