// Arrays: the store finds every address of every array, and each array command
// gives, element by element, the bits of its single command, over random arrays
// with NaN, infinities and denormals in them, out = in, many sizes, on every
// kernel the DLL may choose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dx/cpu.h"
#include "dx/matrix.h"
#include "dx/vector.h"
#include "frame/array_commands.h"
#include "frame/arrays.h"
#include "fuzz/fuzz.h"
#include "geometry/bounds.h"
#include "geometry/frustum.h"
#include "geometry/picking.h"
#include "geometry/visibility.h"
#include "support/library.h"
#include "support/same_bits.h"
#include "support/surface.h"
#include "support/table_file.h"

namespace kv::test {
namespace {

class Arrays : public Library {};

const ExportCall* export_named(const std::string& name) {
  for (std::size_t i = 0; i < kExportCallCount; ++i) {
    if (name == kExportCalls[i].name) return &kExportCalls[i];
  }
  ADD_FAILURE() << "no export " << name;
  return nullptr;
}

TEST_F(Arrays, TheStoreFindsEveryAddressOfEveryArray) {
  surface::Lcg rng(5);
  std::vector<Handle> live;
  for (int step = 0; step < 400; ++step) {
    if (live.size() > 3 && rng.one_in(3)) {
      const std::size_t k = rng.below(std::uint32_t(live.size()));
      Array_Delete(live[k]);
      EXPECT_EQ(Array_Count(live[k]), 0) << "deleted";
      live.erase(live.begin() + std::ptrdiff_t(k));
    } else {
      live.push_back(Vec3_MakeArray(std::int32_t(1 + rng.below(50))));
    }
    ASSERT_EQ(Array_LiveCount(), std::int32_t(live.size()));
  }
  for (const Handle a : live) {
    const std::int32_t n = Array_Count(a);
    const frame::Array* found = frame::array_at(a);
    ASSERT_TRUE(found && found->first == a && std::int32_t(found->count) == n);
    for (std::int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(Handle(Array_Element(a, i)), Handle(a + Handle(12 * i)));
      EXPECT_EQ(frame::array_holding(a + Handle(12 * i + 11)), found);
    }
    EXPECT_EQ(Array_Element(a, n), 0) << "past the end";
    EXPECT_EQ(Array_Element(a + 12, 0), 0) << "an element is no array";
    EXPECT_EQ(frame::array_holding(a + Handle(12 * n)) == found, false);
  }
  EXPECT_EQ(Vec3_MakeArray(0), 0u);
  EXPECT_EQ(Vec3_MakeArray(-5), 0u);
  EXPECT_EQ(Mat4_MakeArray(0x7FFFFFFF), 0u) << "more than the address space";
  const Handle f = Float_MakeArray(3);
  Float_ArraySet(f, 1, 2.5f), Float_ArraySet(f, 3, 9.0f), Float_ArraySet(live[0], 0, 9.0f);
  EXPECT_EQ(from_bits(Float_ArrayGet(f, 1)), 2.5f);
  EXPECT_EQ(Float_ArrayGet(f, 3), 0u);
  EXPECT_EQ(Float_ArrayGet(live[0], 0), 0u) << "a Vec3 array is no Float array";
  Array_Copy(live[0], f);
  EXPECT_EQ(at(live[0])[0], 0.0f) << "no copy across kinds";
}

// One test for every command of the family that maps an array (out!:X[], in:Y[],
// then the single command's other arguments) to an array: out[i] is, bit for bit,
// the single command (the name without Array, or its Ex form, whichever takes the
// same arguments) on in[i], and so
// with out = in. Every other argument is random memory, its optional handles 0
// now and then.
// The whole-array commands, on every kernel the DLL may choose (the sweep itself:
// support/same_bits.h, which the Win32 suite runs through the DLL too).
TEST_F(Arrays, EveryElementGetsTheBitsOfTheSingleCommand) {
  const TableFile table = read_table_file(KV_COMMANDS_TAB);
  struct Path {
    dx::MultiplyKernel product;
    dx::CoordKernels coords;
  };
  const Path chosen = {dx::matrix_multiply_kernel, dx::coord_kernels};
  std::vector<Path> kernels = {{dx::matrix_multiply_sse2, dx::coord_kernels_sse2}};
  if (dx::cpu_has_avx()) kernels.push_back({dx::matrix_multiply_avx, dx::coord_kernels_avx});
  if (dx::cpu_has_fma()) kernels.push_back({dx::matrix_multiply_avx, dx::coord_kernels_fma});
  surface::Lcg rng(29);
  for (const Path& path : kernels) {
    dx::matrix_multiply_kernel = path.product, dx::coord_kernels = path.coords;
    const ExportCall* last = nullptr;
    const auto run = [&](const std::string& name, const std::vector<Word>& args) {
      if (!last || name != last->name) last = export_named(name);
      return last->call(args.data());
    };
    EXPECT_EQ(same_bits::sweep(table, run, rng, "path " + std::to_string(&path - kernels.data())), 9);
  }
  dx::matrix_multiply_kernel = chosen.product, dx::coord_kernels = chosen.coords;
}

// Culling and picking over arrays answer what a loop of the single commands would:
// the same 1.0 and 0.0 and count, the same nearest hit (by the t a script gets, ties
// to the lowest index) and its (t, u, v); arrays of different counts use the
// elements all of them have.
TEST_F(Arrays, CullingAndPickingAnswerAsALoopOfSingleCommands) {
  surface::Lcg rng(31);
  auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * float(rng.below(1 << 20)) / float(1 << 20); };
  // A camera turned off every axis, so that each plane has all of a, b, c and d.
  const float projection[16] = {1.3f, 0, 0, 0, 0, 1.7f, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0};
  const float view[16] = {0.8f, 0.3f, -0.5f, 0, -0.2f, 0.9f, 0.4f, 0, 0.55f, -0.3f, 0.75f, 0, 1.5f, -2, 3, 1};
  float view_projection[16] = {}, frustum[24];
  for (int i = 0; i < 16; ++i) {
    for (int k = 0; k < 4; ++k) view_projection[i] += view[i / 4 * 4 + k] * projection[k * 4 + i % 4];
  }
  Frustum_ExtractVP(h(frustum), h(view_projection));
  std::vector<geometry::SpheresKernel> spheres = {geometry::spheres_sse2};
  std::vector<geometry::TrianglesKernel> triangles = {geometry::triangles_sse2};
  if (dx::cpu_has_avx()) spheres.push_back(geometry::spheres_avx), triangles.push_back(geometry::triangles_avx);
  for (const std::uint32_t n : {1u, 5u, 203u, 2000u}) {
    const Handle centres = Vec3_MakeArray(std::int32_t(n)), radii = Float_MakeArray(std::int32_t(n)), results = Float_MakeArray(std::int32_t(n));
    const Handle highs = Vec3_MakeArray(std::int32_t(n)), corners = Vec3_MakeArray(std::int32_t(3 * n + 2));
    float* c = at(centres);
    for (std::uint32_t i = 0; i < 3 * n; ++i) c[i] = uniform(-20, 20) + (i % 3 == 2 ? 20 : 0), at(highs)[i] = c[i] + uniform(-3, 3);
    for (std::uint32_t i = 0; i < n; ++i) {
      at(radii)[i] = rng.one_in(9) ? NAN : uniform(0, 4);
      float s = INFINITY;  // now and then touching the plane it is furthest outside, to the bit: out by that one alone
      for (const float* q = frustum; q < frustum + 24; q += 4) s = std::min(s, q[0] * c[3 * i] + q[1] * c[3 * i + 1] + q[2] * c[3 * i + 2] + q[3]);
      if (s < 0 && rng.one_in(2)) at(radii)[i] = -s;
    }
    for (std::uint32_t i = 0; i < 9 * n + 6; ++i) at(corners)[i] = uniform(-2, 2) + (i % 3 == 2 ? float(i % 7) : 0);
    int kept = 0;
    for (const geometry::SpheresKernel kernel : spheres) {
      geometry::spheres_kernel = kernel, kept = 0;
      ASSERT_GE(Frustum_TestSphereArray(results, h(frustum), centres, radii), 0);
      for (std::uint32_t i = 0; i < n; ++i) {
        const int one = Frustum_TestSphere(h(frustum), c[3 * i], c[3 * i + 1], c[3 * i + 2], at(radii)[i]);
        EXPECT_EQ(at(results)[i], one ? 1.0f : 0.0f) << i;
        kept += one;
      }
      EXPECT_EQ(Frustum_TestSphereArray(results, h(frustum), centres, radii), kept);
    }
    kept = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      const float* l = c + 3 * i;
      const float* u = at(highs) + 3 * i;
      kept += Frustum_TestAABB(h(frustum), l[0], l[1], l[2], u[0], u[1], u[2]);
    }
    EXPECT_EQ(Frustum_TestAABBArray(results, h(frustum), centres, highs), kept);
    // The triangles twice: random ones, and ones whose corners sit on the axis
    // ray's edges and corners, in its plane, flat, at infinity or NaN, at equal
    // depths; on a ray along the axis and a skewed one, on every kernel.
    const float origin[3] = {0.1f, -0.2f, -5}, dir[3] = {0.01f, 0.02f, 1}, axis[3] = {0, 0, -5}, along[3] = {0, 0, 1};
    float hit[3] = {7, 7, 7}, expected[3] = {7, 7, 7}, uv[2];
    int nearest = -1;
    const Handle edges = Vec3_MakeArray(std::int32_t(3 * n + 2));
    const float pool[] = {-1, 0, 0, 1, 0.5f, -0.25f, 2, -5, -6, INFINITY, NAN};
    for (std::uint32_t i = 0; i < 9 * n + 6; ++i) at(edges)[i] = pool[rng.below(rng.one_in(8) ? 11 : 9)];
    // And rays of signed zeros and small integers: a −0 in dir gives −0 weights.
    float rays[8][6];
    for (auto& r : rays) {
      for (float& x : r) x = pool[rng.below(6)] * (rng.one_in(2) ? -1.0f : 1.0f);
    }
    std::vector<std::pair<const float*, const float*>> all = {{origin, dir}, {axis, along}};
    for (const auto& r : rays) all.push_back({r, r + 3});
    for (const Handle set : {corners, edges}) {
      for (const auto& [ray, way] : all) {
        nearest = -1;
        for (std::uint32_t k = 0; k < n; ++k) {
          const float t = from_bits(Ray_HitTriangleEx(h(ray), h(way), set + 36 * k, set + 36 * k + 12, set + 36 * k + 24, h(uv)));
          if (t >= 0 && (nearest < 0 || t < expected[0])) nearest = int(k), expected[0] = t, expected[1] = uv[0], expected[2] = uv[1];
        }
        for (const geometry::TrianglesKernel kernel : triangles) {
          geometry::triangles_kernel = kernel;
          EXPECT_EQ(Ray_HitTriangleArray(h(ray), h(way), set, h(hit)), nearest) << n;
          EXPECT_EQ(std::memcmp(hit, expected, sizeof hit), 0) << "the nearest hit's (t, u, v)";
        }
      }
    }
    Array_Delete(edges);
    // In every lane position: a triangle in the ray's plane with the origin on
    // it (hit at +0), and two equal triangles (the lower index wins).
    const float in_plane[9] = {0, -1, -6, 0, 1, -6, 0, 0, -4}, across[9] = {-1, -1, 2, 1, -1, 2, 0, 1, 2};
    for (const geometry::TrianglesKernel kernel : triangles) {
      geometry::triangles_kernel = kernel;
      for (std::uint32_t lane = 0; lane < 8; ++lane) {
        const Handle set = Vec3_MakeArray(27);  // nine triangles, all (0, 0, 0) but these
        std::memcpy(at(set) + 9 * lane, in_plane, sizeof in_plane);
        EXPECT_EQ(Ray_HitTriangleArray(h(axis), h(along), set, h(hit)), std::int32_t(lane));
        EXPECT_EQ(bits(hit[0]), 0u) << "+0";
        std::memcpy(at(set) + 9 * lane, across, sizeof across), std::memcpy(at(set) + 9 * lane + 9, across, sizeof across);
        EXPECT_EQ(Ray_HitTriangleArray(h(axis), h(along), set, h(hit)), std::int32_t(lane)) << "ties to the lower index";
        Array_Delete(set);
      }
    }
    nearest = -1;
    for (std::uint32_t k = 0; k < n; ++k) {
      const float t = from_bits(Ray_HitSphere(h(origin), h(dir), centres + 12 * k, at(radii)[k]));
      if (t >= 0 && (nearest < 0 || t < expected[0])) nearest = int(k), expected[0] = t;
    }
    EXPECT_EQ(Ray_HitSphereArray(h(origin), h(dir), centres, radii, h(hit)), nearest) << n;
    EXPECT_EQ(hit[0], nearest >= 0 ? expected[0] : hit[0]);
    const Handle fewer = Float_MakeArray(std::int32_t(n / 2 + 1));
    EXPECT_EQ(Frustum_TestSphereArray(fewer, h(frustum), centres, radii), Frustum_TestSphereArray(results, h(frustum), centres, radii) -
              std::int32_t(std::count(at(results) + n / 2 + 1, at(results) + n, 1.0f))) << "the elements all three have";
    float lo[3], hi[3];
    Vec3_ArrayAABB(h(lo), h(hi), corners);
    for (int a = 0; a < 3; ++a) {
      float mn = INFINITY, mx = -INFINITY;
      for (std::uint32_t i = 0; i < 3 * n + 2; ++i) mn = std::min(mn, at(corners)[3 * i + a]), mx = std::max(mx, at(corners)[3 * i + a]);
      EXPECT_EQ(lo[a], mn);
      EXPECT_EQ(hi[a], mx);
    }
    for (const Handle a : {centres, radii, results, highs, corners, fewer}) Array_Delete(a);
  }
  geometry::spheres_kernel = spheres.back(), geometry::triangles_kernel = triangles.back();
}

// |p − c| ≤ r exactly, for floats whose units in the last place are at least
// 2^-40 and which lie below 2^20: scaled by 2^40 they are integers, and the
// squares and their sum fit in 128 bits.
bool exactly_inside(const float* p, const float* c, float r) {
  using I = __int128;
  const auto whole = [](float x) { return I(std::ldexp(double(x), 40)); };
  I sum = 0;
  for (int i = 0; i < 3; ++i) sum += (whole(p[i]) - whole(c[i])) * (whole(p[i]) - whole(c[i]));
  return sum <= whole(r) * whole(r);
}

// The bounding sphere against the smallest one found by trying every sphere through
// one to four of the points (long double): its radius within 1e-6·(r + max|p|) of
// the smallest, and every point inside it exactly, as its centre and radius are
// stored; sets of 1 to 4 points, equal, collinear, cocircular and cospherical
// points, clusters near and far from the origin (1e4, 1e5), points a unit in the
// last place apart at 1e5; and rows of points at sizes that are multiples of the
// visiting order's strides, whose sphere is known exactly.
TEST_F(Arrays, TheBoundingSphereIsTheSmallest) {
  using L = long double;
  struct P { L x, y, z; };
  auto sub = [](P a, P b) { return P{a.x - b.x, a.y - b.y, a.z - b.z}; };
  auto dot = [](P a, P b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
  auto cross = [](P a, P b) { return P{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; };
  auto add = [](P a, P b, L s) { return P{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z}; };
  // The smallest sphere with the points of `s` on it; false for dependent points.
  auto through = [&](const std::vector<P>& s, P& c) {
    const P a = s[0];
    if (s.size() == 1) return c = a, true;
    const P u = sub(s[1], a);
    if (s.size() == 2) return c = add(a, u, 0.5L), true;
    const P v = sub(s[2], a), w = cross(u, v);
    if (s.size() == 3) {
      if (dot(w, w) <= 1e-30L * dot(u, u) * dot(v, v)) return false;
      c = add(add(a, cross(v, w), dot(u, u) / (2 * dot(w, w))), cross(w, u), dot(v, v) / (2 * dot(w, w)));
      return true;
    }
    const P q = sub(s[3], a);
    const L det = dot(u, cross(v, q));
    if (det * det <= 1e-30L * dot(u, u) * dot(v, v) * dot(q, q)) return false;
    c = add(add(add(a, cross(v, q), dot(u, u) / (2 * det)), cross(q, u), dot(v, v) / (2 * det)), cross(u, v), dot(q, q) / (2 * det));
    return true;
  };
  surface::Lcg rng(41);
  auto u = [&](float lo, float hi) { return lo + (hi - lo) * float(rng.below(1 << 20)) / float(1 << 20); };
  std::vector<std::vector<float>> sets = {{1, 2, 3}, {1, 2, 3, 1, 2, 3, 1, 2, 3}, {0, 0, 0, 4, 0, 0}, {0, 0, 0, 1, 1, 1, 2, 2, 2, 5, 5, 5}};
  sets.push_back({3, 0, 0, 0, 3, 0, -3, 0, 0, 0, -3, 0, 2.4f, 1.8f, 0});             // cocircular
  sets.push_back({0, 0, 5, 0, 5, 0, 5, 0, 0, 0, 0, -5, -3, -4, 0, 0, 3, 4});         // cospherical
  sets.push_back({0, 0, 0, 2, 0, 0, 1, 1.7320508f, 0, 1, 0.57735f, 1.6329932f});     // a tetrahedron
  sets.push_back({100000, 0, 0, 100000.0078125f, 0, 0});
  for (int cluster = 0; cluster < 18; ++cluster) {
    std::vector<float> p;
    const float far = cluster % 3 == 1 ? 1e4f : cluster % 3 == 2 ? 1e5f : 0;
    for (int i = 0; i < 3 * (1 + cluster % 9); ++i) p.push_back(far + u(-3, 3));
    sets.push_back(p);
  }
  for (const auto& set : sets) {
    const std::size_t n = set.size() / 3;
    const Handle points = Vec3_MakeArray(std::int32_t(n));
    std::copy(set.begin(), set.end(), at(points));
    std::vector<P> ps;
    L size = 0;
    for (std::size_t i = 0; i < n; ++i) ps.push_back({set[3 * i], set[3 * i + 1], set[3 * i + 2]}), size = std::max(size, std::sqrt(dot(ps.back(), ps.back())));
    L best = INFINITY;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
      std::vector<P> s;
      for (std::size_t i = 0; i < n; ++i) {
        if (mask >> i & 1) s.push_back(ps[i]);
      }
      P c;
      if (s.size() > 4 || !through(s, c)) continue;
      L r = 0;
      for (const P& q : ps) r = std::max(r, std::sqrt(dot(sub(q, c), sub(q, c))));
      best = std::min(best, r);
    }
    float centre[3];
    const L r = from_bits(Vec3_ArrayBoundingSphere(h(centre), points));
    const L tolerance = 1e-6L * (r + size);
    EXPECT_NEAR(double(r), double(best), double(tolerance)) << n << " points";
    for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(exactly_inside(&set[3 * i], centre, float(r))) << "point " << i << " of " << n;
    Array_Delete(points);
  }
  for (const int n : {61, 122, 183, 244}) {
    const Handle points = Vec3_MakeArray(n);
    for (int i = 0; i < n; ++i) at(points)[3 * i] = float(i);
    float centre[3];
    EXPECT_EQ(from_bits(Vec3_ArrayBoundingSphere(h(centre), points)), float(n - 1) / 2) << n << " points in a row";
    EXPECT_EQ(centre[0], float(n - 1) / 2);
    Array_Delete(points);
  }
}

}  // namespace
}  // namespace kv::test
