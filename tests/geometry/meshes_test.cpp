// Meshes answer exactly what the same query over every triangle answers: random
// meshes (soups of every size and shape, thin and degenerate triangles,
// duplicates, corners that are not finite, turned and displaced grids, closed
// spheres, far from the origin and near it) and random queries (rays aimed at
// corners, shared edges, interiors and empty space, rays with zero components
// and from inside the mesh's box, spheres and points near the triangles), each
// against its brute-force command bit for bit, on every kernel the array command
// may take; and again after the corners move.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <cmath>
#include <cstring>
#include <vector>

#include "dx/cpu.h"
#include "frame/array_commands.h"
#include "geometry/bounds.h"
#include "geometry/mesh.h"
#include "geometry/meshes.h"
#include "geometry/picking.h"
#include "frame/platform.h"
#include "support/library.h"
#include "support/meshes.h"
#include "support/surface.h"

namespace kv::test {
namespace {

class Meshes : public Library {};

// Bits of n floats at a handle.
std::vector<std::uint32_t> words(Handle h, int n) {
  std::vector<std::uint32_t> w(static_cast<std::size_t>(n));
  std::memcpy(w.data(), reinterpret_cast<const void*>(h), 4 * std::size_t(n));
  return w;
}

// A shape of `n` triangles of kind `shape`, its corners as floats.
std::vector<float> shape_of(surface::Lcg& rng, int shape, int n) {
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  const double far = rng.one_in(9) ? 3e38 : rng.one_in(3) ? u(-1e5, 1e5) : 0, size = u(0.5, 50);  // and near the largest float
  std::vector<float> c;
  if (shape == 0) {  // a soup: triangles of every size, now and then thin, flat, repeated or not finite
    for (int t = 0; t < n; ++t) {
      // Near the largest float, on either side: centres 6e38 apart, past what a float spans.
      const double cx = (far > 1e38 && rng.one_in(2) ? -far : far) + u(-size, size), cy = u(-size, size), cz = u(-size, size);
      const double s = u(0.001, 0.2) * size;
      double p[9];
      for (double& x : p) x = u(-s, s);
      if (rng.one_in(8)) for (int k = 0; k < 3; ++k) p[6 + k] = p[k] + (p[3 + k] - p[k]) * u(0, 1) + (rng.one_in(2) ? 0 : u(-1e-6, 1e-6) * s);
      for (int k = 0; k < 9; ++k) c.push_back(float((k % 3 == 0 ? cx : k % 3 == 1 ? cy : cz) + p[k]));
      if (rng.one_in(16) && t + 1 < n) c.insert(c.end(), c.end() - 9, c.end()), ++t;  // a duplicate
      if (n == 1 || rng.one_in(n < 10 ? 3 : 40)) c[c.size() - 1 - rng.below(9)] = rng.one_in(2) ? NAN : (rng.one_in(2) ? INFINITY : -INFINITY);
    }
  } else if (shape == 1) {  // a grid turned off the axes, its points raised at random
    const int cells = std::max(1, int(std::sqrt(n / 2.0)));
    const double turn[3][3] = {{0.36, 0.48, -0.8}, {-0.8, 0.6, 0}, {0.48, 0.64, 0.6}}, at[3] = {far, -far / 3, 2};
    meshes::Mesh m = meshes::grid(cells, size / cells, turn, at);
    for (auto& p : m.points) {
      const double h = u(-0.3, 0.3) * size / cells;
      for (int k = 0; k < 3; ++k) p[std::size_t(k)] = float(p[std::size_t(k)] + h * turn[2][k]);
    }
    c = m.corners();
  } else {  // a closed sphere
    const int stacks = std::max(2, int(std::sqrt(n / 2.0)));
    c = meshes::sphere(stacks, 2 * stacks, size, far, 1, -2).corners();
  }
  return c;
}

// The hierarchy holds each position of the triangles with finite corners at the
// make once, in a leaf whose box, and every box above it, holds the corners of
// those still finite.
void expect_sound(Handle mesh) {
  const geometry::Mesh* m = geometry::mesh_at(mesh);
  std::vector<int> seen(m->in_tree, 0);
  std::vector<std::uint32_t> stack = {0};
  while (m->in_tree && !stack.empty()) {
    const geometry::Node& n = m->node[stack.back()];
    stack.pop_back();
    const auto holds = [&n](const float* lo, const float* hi) {
      for (int k = 0; k < 3; ++k) {
        if (!(n.lo[k] <= lo[k] && hi[k] <= n.hi[k])) return false;
      }
      return true;
    };
    for (std::uint32_t p = n.first; n.count && p < n.first + n.count; ++p) {
      ++seen[p];
      const float* f = m->corners + 9 * p;
      if (!std::all_of(f, f + 9, [](float x) { return std::isfinite(x); })) continue;  // in the side list now
      for (int c = 0; c < 3; ++c) ASSERT_TRUE(holds(f + 3 * c, f + 3 * c)) << "position " << p;
    }
    for (std::uint32_t c = n.first; !n.count && c < n.first + 2; ++c) {
      const geometry::Node& child = m->node[c];
      ASSERT_TRUE(!(child.lo[0] <= child.hi[0]) || holds(child.lo, child.hi)) << "node " << c;
      stack.push_back(c);
    }
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), std::ptrdiff_t(m->in_tree));
}

TEST_F(Meshes, EveryQueryGivesWhatTheQueryOverEveryTriangleGives) {
  std::vector<geometry::TrianglesKernel> kernels = {geometry::triangles_sse2};
  if (dx::cpu_has_avx()) kernels.push_back(geometry::triangles_avx);
  surface::Lcg rng(53);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  int queries = 0, hits = 0;
  for (const int n : {1, 2, 3, 5, 9, 37, 200, 1000, 5000, 20000, 100000}) {
    for (int shape = 0; shape < 3; ++shape) {
      std::vector<float> c = shape_of(rng, shape, n);
      const std::int32_t points = std::int32_t(c.size() / 3) + int(rng.below(3));  // corners short of a triangle now and then
      const Handle corners = Vec3_MakeArray(points);
      std::copy(c.begin(), c.end(), at(corners));
      const Handle mesh = Mesh_Make(corners);
      ASSERT_NE(mesh, 0u);
      ASSERT_EQ(Mesh_TriangleCount(mesh), points / 3);
      for (int moved = 0; moved < 3; ++moved) {
        const std::int32_t triangles = points / 3;
        expect_sound(mesh);
        float lo[3], hi[3], box_lo[3], box_hi[3];
        Mesh_AABB(h(lo), h(hi), mesh);
        const Handle whole = Vec3_MakeArray(3 * triangles);
        std::memcpy(at(whole), at(corners), 36 * std::size_t(triangles));
        Vec3_ArrayAABB(h(box_lo), h(box_hi), whole);
        EXPECT_EQ(words(h(lo), 3), words(h(box_lo), 3));
        EXPECT_EQ(words(h(hi), 3), words(h(box_hi), 3));
        const float* f = at(corners);
        for (int q = 0; q < (n > 20000 ? 8 : n > 5000 ? 24 : n > 1000 ? 60 : 200); ++q, ++queries) {
          // A target: a corner, a point of an edge, of a face, or anywhere in the box.
          const std::uint32_t t = rng.below(std::uint32_t(triangles));
          const float* a = f + 9 * t;
          const double w1 = u(0, 1), w2 = u(0, 1 - w1);
          float target[3], o[3], d[3];
          for (int k = 0; k < 3; ++k) {
            const double in_box = u(box_lo[k], box_hi[k]);
            switch (q % 4) {
              case 0: target[k] = a[k]; break;
              case 1: target[k] = float(a[k] + w1 * (double(a[3 + k]) - a[k])); break;
              case 2: target[k] = float(a[k] + w1 * (double(a[3 + k]) - a[k]) + w2 * (double(a[6 + k]) - a[k])); break;
              default: target[k] = float(std::isfinite(in_box) ? in_box : 0);
            }
            const double span = std::isfinite(box_hi[k] - box_lo[k]) ? box_hi[k] - box_lo[k] + 1 : 10;
            o[k] = float(q % 5 == 0 ? target[k] + u(-0.1, 0.1) * span : target[k] + u(-2, 2) * span);
            d[k] = target[k] - o[k];
          }
          if (q % 9 == 8) {  // grazing: from a point of a triangle's plane (rounded), along the plane
            const double s1 = u(-0.5, 1.5), s2 = u(-0.5, 1.5);
            for (int k = 0; k < 3; ++k) {
              o[k] = float(a[k] + s1 * (double(a[3 + k]) - a[k]) + s2 * (double(a[6 + k]) - a[k]));
              d[k] = float((double(a[3 + k]) - a[k]) * u(-1, 1) + (double(a[6 + k]) - a[k]) * u(-1, 1));
            }
          }
          if (q % 7 == 0) d[rng.below(3)] = rng.one_in(2) ? 0.0f : -0.0f;  // a zero component
          if (q % 31 == 5) for (float& x : d) x *= 1e-39f;                 // a dir of almost no length, denormal
          if (q % 23 == 0) d[0] = d[1] = 0;                              // straight along z
          if (q % 97 == 0) o[rng.below(3)] = rng.one_in(2) ? NAN : INFINITY;
          // Rays: the mesh against the array, on every kernel of either.
          float tuv[3] = {7, 7, 7}, expected[3] = {7, 7, 7};
          geometry::mesh_lanes = dx::cpu_has_avx() && q % 2 ? 4 : 2;
          const std::int32_t got = Ray_HitMesh(h(o), h(d), mesh, h(tuv));
          for (const geometry::TrianglesKernel kernel : kernels) {
            geometry::triangles_kernel = kernel;
            ASSERT_EQ(got, Ray_HitTriangleArray(h(o), h(d), whole, h(expected)))
                << "n " << n << " shape " << shape << " moved " << moved << " query " << q;
            ASSERT_EQ(words(h(tuv), 3), words(h(expected), 3)) << "query " << q;
          }
          hits += got >= 0;
          for (const float max_t : {got >= 0 ? expected[0] : 1e30f, got >= 0 ? std::nextafter(expected[0], -1.0f) : 0.5f, -0.0f, NAN}) {
            ASSERT_EQ(Ray_HitMeshAny(h(o), h(d), mesh, max_t), std::int32_t(got >= 0 && expected[0] <= max_t)) << "max_t " << max_t << " query " << q;
          }
          // A sphere about the target and the nearest point to it: against every triangle.
          const float r = q % 11 == 0 ? -1.0f : q % 13 == 0 ? 0.0f : float(u(0, 0.1) * (box_hi[0] - box_lo[0] + 1));
          std::int32_t lowest = -1, nearest = -1;
          float best = 0, qt[3], best_q[3] = {7, 7, 7};
          for (std::int32_t k = triangles - 1; k >= 0; --k) {
            Vec3_ClosestPointOnTriangle(h(qt), h(target), whole + Handle(36 * k), whole + Handle(36 * k + 12), whole + Handle(36 * k + 24));
            double d2 = 0;
            for (int i = 0; i < 3; ++i) d2 += (double(qt[i]) - target[i]) * (double(qt[i]) - target[i]);
            if (r >= 0 && d2 <= double(r) * r) lowest = k;
            const float dist = float(std::sqrt(d2));
            if (dist == dist && (nearest < 0 || dist <= best)) nearest = k, best = dist, std::memcpy(best_q, qt, 12);
          }
          ASSERT_EQ(Sphere_HitMesh(h(target), r, mesh), lowest) << "query " << q;
          float out[3] = {7, 7, 7};
          ASSERT_EQ(Mesh_ClosestPoint(h(out), h(target), mesh), bits(nearest >= 0 ? best : -1.0f)) << "query " << q;
          ASSERT_EQ(words(h(out), 3), words(h(best_q), 3)) << "query " << q;
        }
        Array_Delete(whole);
        // The corners move (now and then to NaN; then every corner that is not
        // finite to a finite place, those the hierarchy left out at the make
        // too): the same answers after a refit.
        for (std::int32_t i = 0; i < 9 * triangles; ++i) {
          float& x = at(corners)[i];
          const int k = i % 3;
          const bool boxed = std::isfinite(box_hi[k] - box_lo[k]);
          if (moved == 1 && !std::isfinite(x)) x = float(boxed ? u(box_lo[k], box_hi[k]) : u(-1, 1));
          else x += float(u(-0.05, 0.05) * (box_hi[k] - box_lo[k] + 1));
        }
        if (moved == 0 && rng.one_in(2)) at(corners)[rng.below(std::uint32_t(9 * triangles))] = NAN;
        Mesh_Refit(mesh, corners);
      }
      Mesh_Delete(mesh);
      Array_Delete(corners);
    }
  }
  EXPECT_GT(hits, queries / 3) << "the rays must hit as well as miss";
  EXPECT_EQ(Mesh_LiveCount(), 0);
  geometry::triangles_kernel = kernels.back();
}

// Two triangles folded along their shared edge are one surface there below the
// smoothing angle and a ridge above it, at every scale floats reach (denormal
// corners to corners near the largest float, whose normals' squares pass the
// largest double); a corner gone to infinity at a refit makes the edge a ridge.
TEST_F(Meshes, MeetSmoothlyAtEveryScaleBelowTheAngleAlone) {
  int checked = 0;
  for (const double size : {0x1p-140, 0x1p-126, 0x1p-100, 1.0, 0x1p100, 3e38}) {
    for (const double degrees : {0.0, 1.0, 3.0, 8.0, 30.0, 80.0, 150.0}) {
      const double turn = degrees * 3.14159265358979323846 / 180;
      const float l = float(size), y = float(size * std::sin(turn)), z = float(-size * std::cos(turn));
      // (−l, 0, 0) to (l, 0, 0) the edge, run one way by the first and the other by the second.
      const float c[18] = {-l, 0, 0, l, 0, 0, 0, 0, l, l, 0, 0, -l, 0, 0, 0, y, z};
      const Handle corners = Vec3_MakeArray(6);
      std::copy(c, c + 18, at(corners));
      const Handle mesh = Mesh_Make(corners);
      for (int refit = 0; refit < 2; ++refit) {
        const geometry::Mesh* m = geometry::mesh_at(mesh);
        for (std::uint32_t p = 0; p < 2; ++p) {
          EXPECT_EQ(m->smooth[p] & 1, int(degrees < 5 && !refit)) << size << " at " << degrees << "°" << (refit ? ", a corner gone to infinity" : "");
          ++checked;
        }
        at(corners)[16] = INFINITY;
        Mesh_Refit(mesh, corners);
      }
      Mesh_Delete(mesh);
      Array_Delete(corners);
    }
  }
  EXPECT_EQ(checked, 6 * 7 * 4);
  // A corner gone to infinity whose normal has infinities and no NaN: still a ridge.
  const float c[18] = {0, 0, 0, 1, 1, 1, 0, 5, 0, 1, 1, 1, 0, 0, 0, 0, -1, 0};
  const Handle corners = Vec3_MakeArray(6);
  std::copy(c, c + 18, at(corners));
  const Handle mesh = Mesh_Make(corners);
  EXPECT_EQ(geometry::mesh_at(mesh)->smooth[0] & 1, 1);
  at(corners)[7] = INFINITY;
  Mesh_Refit(mesh, corners);
  EXPECT_EQ(geometry::mesh_at(mesh)->smooth[0] & 1, 0);
  EXPECT_EQ(geometry::mesh_at(mesh)->smooth[1] & 1, 0);
  Mesh_Delete(mesh);
  Array_Delete(corners);
}

// Each edge that exactly two triangles' edges share (corners of the same bits)
// links the two, with whether they run along it in opposite directions; an edge
// of one triangle, or of three or more, links none: triangles drawn from a few
// points (+0 and −0 among them, and a NaN), so that edges repeat any number of
// times, against the edges counted one by one.
TEST_F(Meshes, LinkTheTrianglesOfEachEdgeExactlyTwoShare) {
  surface::Lcg rng(29);
  using Key = std::array<std::uint32_t, 6>;
  int pairs = 0, crowds = 0;
  for (int draw = 0; draw < 300; ++draw) {
    const float pool[8][3] = {{0, 0, 0}, {-0.0f, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0.5f}, {0, 0, 1}, {2, 1, 0}, {NAN, 0, 0}};
    const int points = 3 + int(rng.below(draw % 2 ? 3 : 6)), triangles = 1 + int(rng.below(40));  // the NaN now and then
    const Handle corners = Vec3_MakeArray(3 * triangles);
    std::vector<std::array<std::uint32_t, 3>> bits(std::size_t(3 * triangles));
    for (int c = 0; c < 3 * triangles; ++c) {
      std::memcpy(at(corners) + 3 * c, pool[rng.below(std::uint32_t(points))], 12);
      std::memcpy(bits[std::size_t(c)].data(), at(corners) + 3 * c, 12);
    }
    std::map<Key, std::vector<std::array<int, 3>>> edges;  // each edge's (triangle, edge, runs from its higher corner)
    for (int t = 0; t < triangles; ++t) {
      if (!std::all_of(at(corners) + 9 * t, at(corners) + 9 * t + 9, [](float x) { return std::isfinite(x); })) continue;
      for (int k = 0; k < 3; ++k) {
        const auto& a = bits[std::size_t(3 * t + k)];
        const auto& b = bits[std::size_t(3 * t + (k + 1) % 3)];
        const bool down = b < a;
        const auto& lo = down ? b : a, & hi = down ? a : b;
        edges[{lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]}].push_back({t, k, down});
      }
    }
    const Handle mesh = Mesh_Make(corners);
    const geometry::Mesh* m = geometry::mesh_at(mesh);
    std::vector<std::uint32_t> position(std::size_t(triangles), 0);
    for (std::uint32_t p = 0; p < m->triangles; ++p) position[m->index[p]] = p;
    std::vector<std::uint32_t> expected(std::size_t(3 * triangles), geometry::kNoNeighbour), got(expected);
    for (const auto& [key, list] : edges) {
      pairs += list.size() == 2, crowds += list.size() > 2;
      if (list.size() != 2) continue;
      for (int i = 0; i < 2; ++i) {
        const auto& me = list[std::size_t(i)], & other = list[std::size_t(1 - i)];
        expected[std::size_t(3 * me[0] + me[1])] = position[std::size_t(other[0])] << 1 | std::uint32_t(me[2] != other[2]);
      }
    }
    for (int t = 0; t < triangles; ++t) {
      for (int k = 0; k < 3; ++k) got[std::size_t(3 * t + k)] = m->neighbour[3 * position[std::size_t(t)] + std::uint32_t(k)];
    }
    ASSERT_EQ(got, expected) << "draw " << draw;
    Mesh_Delete(mesh);
    Array_Delete(corners);
  }
  EXPECT_GT(pairs, 300);
  EXPECT_GT(crowds, 300);
}

// A bound of zero keeps the sign Vec3_ArrayAABB gives it, whatever the order of
// the corners holding +0 and −0, at the make and after a refit.
TEST_F(Meshes, KeepTheSignOfABoundOfZero) {
  surface::Lcg rng(7);
  const float values[4] = {0.0f, -0.0f, 1.0f, -1.0f};
  const Handle corners = Vec3_MakeArray(6);
  for (int draw = 0; draw < 2000; ++draw) {
    for (int i = 0; i < 18; ++i) at(corners)[i] = values[rng.below(draw % 2 ? 2 : 4)];
    const Handle mesh = Mesh_Make(corners);
    for (int refit = 0; refit < 2; ++refit) {
      float lo[3], hi[3], box_lo[3], box_hi[3];
      Mesh_AABB(h(lo), h(hi), mesh), Vec3_ArrayAABB(h(box_lo), h(box_hi), corners);
      ASSERT_EQ(words(h(lo), 3), words(h(box_lo), 3)) << "draw " << draw;
      ASSERT_EQ(words(h(hi), 3), words(h(box_hi), 3)) << "draw " << draw;
      std::reverse(at(corners), at(corners) + 18);
      Mesh_Refit(mesh, corners);
    }
    Mesh_Delete(mesh);
  }
  Array_Delete(corners);
}

// A refit finds the edges and corners inside a surface that a make of the moved
// corners finds: a grid and a fine closed sphere (its poles fans of 80), a third
// of their triangles wound the other way, their points raised now and then by
// amounts about the smoothing angle, refitted again and again.
TEST_F(Meshes, RefitFindsTheSurfacesAMakeFinds) {
  surface::Lcg rng(11);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  const double flat[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, origin[3] = {0, 0, 0};
  int smooth = 0, sharp = 0;
  for (int shape = 0; shape < 2; ++shape) {
    meshes::Mesh base = shape ? meshes::sphere(40, 80, 1, 0, 0, 0) : meshes::grid(24, 1, flat, origin);
    for (auto& t : base.triangles) {
      if (rng.one_in(3)) std::swap(t[1], t[2]);  // wound the other way
    }
    const std::int32_t triangles = std::int32_t(base.triangles.size());
    const Handle corners = Vec3_MakeArray(3 * triangles);
    std::vector<float> c = base.corners();
    std::copy(c.begin(), c.end(), at(corners));
    const Handle mesh = Mesh_Make(corners);
    for (int round = 0; round < 16; ++round) {
      meshes::Mesh moved = base;
      const double lift = 0.03 * (round % 4), share = round % 8 < 4 ? 0.05 : 0.5;  // a few points, or many
      for (auto& p : moved.points) {
        if (u(0, 1) >= share) continue;
        const double by = u(-lift, lift);
        if (shape) for (float& x : p) x = float(x * (1 + by));
        else p[1] = float(p[1] + by);
      }
      c = moved.corners();
      std::copy(c.begin(), c.end(), at(corners));
      ASSERT_EQ(Mesh_Refit(mesh, corners), 0);
      const Handle fresh = Mesh_Make(corners);
      std::vector<int> refitted(std::size_t(triangles), -1), made(std::size_t(triangles), -1);
      for (const auto& [handle, flags] : {std::pair{mesh, &refitted}, std::pair{fresh, &made}}) {
        const geometry::Mesh* m = geometry::mesh_at(handle);
        for (std::int32_t p = 0; p < triangles; ++p) (*flags)[m->index[p]] = m->smooth[p] & 63;
      }
      ASSERT_EQ(refitted, made) << (shape ? "sphere" : "grid") << ", round " << round;
      for (const int f : made) smooth += (f & 7) == 7 && (f >> 3) != 0, sharp += (f & 7) == 7 && (f >> 3) != 7;
      Mesh_Delete(fresh);
    }
    Mesh_Delete(mesh);
    Array_Delete(corners);
  }
  EXPECT_GT(smooth, 1000) << "triangles with every edge and a corner inside a surface";
  EXPECT_GT(sharp, 1000) << "and with every edge but not every corner";
}

// Memory: a mesh costs at most 80 bytes a triangle, and twice that while it is
// built (the native heap counts its bytes); a make refused memory at any one of
// its requests gives 0 and leaves no block behind; a refit needs none.
TEST_F(Meshes, StayWithinTheirMemoryAndLeaveNothingWhenRefused) {
  const double turn[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, origin[3] = {0, 0, 0};
  for (const int cells : {300, 4}) {
    const std::vector<float> c = meshes::grid(cells, 1, turn, origin).corners();
    const std::int32_t points = std::int32_t(c.size() / 3);
    const Handle corners = Vec3_MakeArray(points);
    std::copy(c.begin(), c.end(), at(corners));
    if (cells > 4) {
      platform::fake::reset_peak();
      const std::size_t before = platform::fake::live_bytes();
      const Handle mesh = Mesh_Make(corners);
      const double triangles = points / 3.0;
      EXPECT_LE(double(platform::fake::live_bytes() - before) / triangles, 80) << "bytes a triangle";
      EXPECT_LE(double(platform::fake::peak_bytes() - before) / triangles, 160) << "bytes a triangle while built";
      Mesh_Delete(mesh);
      Array_Delete(corners);
      continue;
    }
    const float o[3] = {1.5f, 1.25f, 2}, d[3] = {0.125f, -1, 0.25f};
    for (long budget = 0;; ++budget) {
      const long live = platform::fake::live_allocations();
      platform::fake::set_allocation_budget(budget);
      const Handle mesh = Mesh_Make(corners);
      platform::fake::set_allocation_budget(-1);
      if (!mesh) {
        ASSERT_EQ(platform::fake::live_allocations(), live) << "a make refused its request " << budget;
        continue;
      }
      // A refit needs no memory: with none to be had it takes the moved corners (one
      // of them now NaN) and answers as the triangles do.
      for (int k = 0; k < 9 * points / 3; ++k) at(corners)[k] += 0.25f;
      at(corners)[4] = NAN;
      platform::fake::set_allocation_budget(0);
      Mesh_Refit(mesh, corners);
      platform::fake::set_allocation_budget(-1);
      float got[3] = {7, 7, 7}, expected[3] = {7, 7, 7};
      EXPECT_EQ(Ray_HitMesh(h(o), h(d), mesh, h(got)), Ray_HitTriangleArray(h(o), h(d), corners, h(expected)));
      EXPECT_EQ(std::memcmp(got, expected, sizeof got), 0);
      Mesh_Delete(mesh);
      EXPECT_EQ(platform::fake::live_allocations(), live);
      break;
    }
    Array_Delete(corners);
  }
}

}  // namespace
}  // namespace kv::test
