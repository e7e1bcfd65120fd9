// Picking and collision at their edges: tangent rays, origins inside, rays along
// box faces, hits on triangle edges and corners in every corner order, touching
// spheres and boxes, degenerate directions, NaN. (Random inputs against the exact
// answer: the accuracy check.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "dx/cpu.h"
#include "frame/arrays.h"
#include "geometry/picking.h"
#include "geometry/planes.h"
#include "matrix/algebra.h"
#include "matrix/construction.h"
#include "matrix/projection.h"
#include "quat/construction.h"
#include "support/library.h"
#include "support/meshes.h"
#include "support/surface.h"
#include "support/ulp.h"
#include "vector/construction.h"
#include "frame/array_commands.h"

namespace kv::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct V3 {
  float c[3];
};

float t_of(FloatBits b) { return from_bits(b); }

TEST(Picking, RaysSpheresAndBoxesAtTheirEdges) {
  const V3 o{{-5, 1, 0}}, x{{1, 0, 0}}, centre{{0, 0, 0}}, zero{{0, 0, 0}}, nan_dir{{kNaN, 0, 0}};
  const V3 lo{{0, 0, 0}}, hi{{1, 1, 1}}, inside{{0.5f, 0.25f, 0.75f}}, diagonal{{1, 1, 1}};
  const V3 far_corner{{2, 2, 2}}, touching{{1, 2, 0.5f}};
  const struct {
    const char* name;
    std::function<float()> call;
    float expected;
  } cases[] = {
      {"tangent ray grazes the sphere", [&] { return t_of(Ray_HitSphere(h(&o), h(&x), h(&centre), 1)); }, 5},
      {"ray past the sphere", [&] { return t_of(Ray_HitSphere(h(&o), h(&x), h(&centre), 0.99f)); }, -1},
      {"origin inside the sphere", [&] { return t_of(Ray_HitSphere(h(&inside), h(&x), h(&centre), 1)); }, 0},
      {"sphere behind", [&] { return t_of(Ray_HitSphere(h(&touching), h(&x), h(&centre), 1)); }, -1},
      {"zero dir from inside", [&] { return t_of(Ray_HitSphere(h(&o), h(&zero), h(&centre), 10)); }, 0},
      {"zero dir from outside", [&] { return t_of(Ray_HitSphere(h(&o), h(&zero), h(&centre), 1)); }, -1},
      {"radius 0 is a point", [&] { return t_of(Ray_HitSphere(h(&centre), h(&x), h(&centre), 0)); }, 0},
      {"negative radius", [&] { return t_of(Ray_HitSphere(h(&centre), h(&x), h(&centre), -1)); }, -1},
      {"origin inside the box", [&] { return t_of(Ray_HitAABB(h(&inside), h(&x), h(&lo), h(&hi))); }, 0},
      {"zero dir outside the box", [&] { return t_of(Ray_HitAABB(h(&o), h(&zero), h(&lo), h(&hi))); }, -1},
      {"grazing a box corner: entry and exit at once", [&] {
         const V3 from{{0, 5, 2}}, p{{4, 6, 8}}, q{{1, 2, 3}};
         return t_of(Ray_HitAABB(h(&from), h(&diagonal), h(&p), h(&q)));
       }, 1},
      {"touching spheres", [&] {
         const V3 five_away{{3, 4, 0}};
         return float(Sphere_HitSphere(h(&centre), 1, h(&five_away), 4));
       }, 1},
      {"spheres apart", [&] { return float(Sphere_HitSphere(h(&centre), 1, h(&o), 4)); }, 0},
      {"radius 0 on the other", [&] { return float(Sphere_HitSphere(h(&x), 0, h(&centre), 1)); }, 1},
      {"boxes touching at a corner", [&] { return float(AABB_HitAABB(h(&lo), h(&hi), h(&far_corner), h(&diagonal))); }, 1},
      {"boxes apart", [&] { return float(AABB_HitAABB(h(&lo), h(&hi), h(&far_corner), h(&far_corner))); }, 0},
      {"box touching a sphere", [&] { return float(AABB_HitSphere(h(&hi), h(&lo), h(&touching), 1)); }, 1},
      {"radius -1 where 1 would touch", [&] { return float(AABB_HitSphere(h(&hi), h(&lo), h(&touching), -1)); }, 0},
      {"point on a box face", [&] { return float(AABB_HasPoint(h(&lo), h(&hi), h(&x))); }, 1},
      {"NaN point", [&] { return float(AABB_HasPoint(h(&lo), h(&hi), h(&nan_dir))); }, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
}

// The closed box in exact arithmetic, for coordinates of whole sixteenths below
// 2^20: scaled by 16 they are integers, each slab's t a fraction, compared by
// cross multiplication in 128 bits; a zero dir component decided by its slab
// alone. The entry t, or −1 for a miss.
long double box_exact(const float o[3], const float d[3], const float lo[3], const float hi[3]) {
  using I = __int128;
  I enter = 0, enter_den = 1, leave = 1, leave_den = 0;  // 0, and +∞
  for (int i = 0; i < 3; ++i) {
    for (const float x : {o[i], d[i], lo[i], hi[i]}) {
      if (x * 16 != float(I(x * 16))) return NAN;  // not whole sixteenths: no answer
    }
    const I oi = I(o[i] * 16), di = I(d[i] * 16), l = I(std::min(lo[i], hi[i]) * 16), u = I(std::max(lo[i], hi[i]) * 16);
    if (di == 0) {
      if (oi < l || oi > u) return -1;
      continue;
    }
    const I n = di > 0 ? l - oi : oi - u, m = di > 0 ? u - oi : oi - l, ad = di > 0 ? di : -di;
    if (n * enter_den > enter * ad) enter = n, enter_den = ad;
    if (leave_den == 0 || m * leave_den < leave * ad) leave = m, leave_den = ad;
  }
  if (leave_den != 0 && enter * leave_den > leave * enter_den) return -1;
  return (long double)enter / (long double)enter_den;
}

// The box against it: every face × origins on the face's plane inside its
// rectangle, on its edges and corners and outside it × every direction of
// components ±0, ±0.5, ±2 (which keep every t exact, so the answers agree to the
// bit) × boxes flat in each axis × the corners in every order.
TEST(Picking, BoxesAreClosedOnEveryFaceEdgeAndFlatSide) {
  const float steps[] = {-0.0f, 0.0f, 0.5f, -0.5f, 2.0f, -2.0f};
  int hits = 0, cases = 0;
  for (int flat = -1; flat < 3; ++flat) {
    float lo[3] = {-1, -2, 0.5f}, hi[3] = {1.5f, 2.5f, 3};
    if (flat >= 0) hi[flat] = lo[flat];
    for (int axis = 0; axis < 3; ++axis) {
      for (const float plane : {lo[axis], hi[axis]}) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        // Across the face: outside, on the lower edge, inside, on the upper edge, outside.
        const float across_u[] = {lo[u] - 1, lo[u], (lo[u] + hi[u]) / 2, hi[u], hi[u] + 1};
        const float across_v[] = {lo[v] - 1, lo[v], (lo[v] + hi[v]) / 2, hi[v], hi[v] + 1};
        for (const float ou : across_u) {
          for (const float ov : across_v) {
            float o[3];
            o[axis] = plane, o[u] = ou, o[v] = ov;
            for (const float da : steps) {
              for (const float du : steps) {
                for (const float dv : steps) {
                  float d[3];
                  d[axis] = da, d[u] = du, d[v] = dv;
                  const long double expected = box_exact(o, d, lo, hi);
                  for (int order = 0; order < 8; ++order) {
                    float p[3], q[3];
                    for (int i = 0; i < 3; ++i) p[i] = order >> i & 1 ? hi[i] : lo[i], q[i] = order >> i & 1 ? lo[i] : hi[i];
                    const float t = t_of(Ray_HitAABB(h(o), h(d), h(p), h(q)));
                    ++cases, hits += t >= 0;
                    ASSERT_EQ(bits(t), bits(float(expected))) << "face " << axis << (plane == lo[axis] ? " low" : " high")
                        << ", flat " << flat << ", origin (" << o[0] << ", " << o[1] << ", " << o[2] << "), dir ("
                        << d[0] << ", " << d[1] << ", " << d[2] << "), corner order " << order;
                  }
                }
              }
            }
          }
        }
      }
    }
  }
  EXPECT_GT(hits, cases / 8) << "the sweep must hit as well as miss";
}

// Rays with non-zero components aimed exactly at every corner, at points of every
// edge and of every face, and a sixteenth beside each, of boxes of whole or
// sixteenth coordinates (flat ones too, the corners in either order on each axis):
// the exact decision, and t within one unit in the last place of the exact entry.
TEST(Picking, BoxesAreHitByEveryRayThatTouchesThem) {
  surface::Lcg rng(23);
  int hits = 0, cases = 0;
  for (int round = 0; round < 4000; ++round) {
    const float unit = round % 2 ? 1 : 0.0625f;
    const auto any = [&] { return float(int(rng.below(129)) - 64) * unit; };
    float lo[3], hi[3], o[3], d[3], p[3], q[3];
    for (int i = 0; i < 3; ++i) {
      lo[i] = any(), hi[i] = rng.one_in(6) ? lo[i] : any(), o[i] = any();
      if (hi[i] < lo[i]) std::swap(lo[i], hi[i]);
      const bool swap = rng.one_in(2);
      p[i] = swap ? hi[i] : lo[i], q[i] = swap ? lo[i] : hi[i];
    }
    std::vector<std::array<float, 3>> targets;
    for (int c = 0; c < 8; ++c) targets.push_back({c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]});
    const auto between = [&](int i) { return lo[i] + unit * float(rng.below(std::uint32_t((hi[i] - lo[i]) / unit) + 1)); };
    for (int axis = 0; axis < 3; ++axis) {
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      for (int c = 0; c < 4; ++c) {  // the edges along axis, and the faces across it
        std::array<float, 3> edge, face;
        edge[axis] = between(axis), edge[u] = c & 1 ? hi[u] : lo[u], edge[v] = c & 2 ? hi[v] : lo[v];
        face[axis] = c & 1 ? hi[axis] : lo[axis], face[u] = between(u), face[v] = between(v);
        targets.push_back(edge);
        if (c < 2) targets.push_back(face);
      }
    }
    for (const auto& target : targets) {
      for (int beside = -1; beside < 6; ++beside) {
        for (int i = 0; i < 3; ++i) d[i] = target[i] + (beside / 2 == i ? (beside % 2 ? 0.0625f : -0.0625f) : 0) - o[i];
        if (rng.one_in(3)) {
          for (float& x : d) x *= 3;
        }
        const long double expected = box_exact(o, d, p, q);
        const float t = t_of(Ray_HitAABB(h(o), h(d), h(p), h(q)));
        ++cases, hits += t >= 0;
        const std::int64_t apart = std::int64_t(bits(t)) - std::int64_t(bits(float(expected)));
        ASSERT_TRUE(expected < 0 ? t == -1 : expected >= 0 && t >= 0 && apart <= 1 && apart >= -1)
            << "origin (" << o[0] << ", " << o[1] << ", " << o[2] << "), dir (" << d[0] << ", " << d[1] << ", " << d[2]
            << "), box (" << p[0] << ", " << p[1] << ", " << p[2] << ") to (" << q[0] << ", " << q[1] << ", " << q[2]
            << "): " << t << " where the exact entry is " << double(expected);
      }
    }
  }
  EXPECT_GT(hits, cases / 3) << "the sweep must hit as well as miss";
}

// Whatever a picking query is given, it answers a finite t or −1 (a yes/no query
// 1 or 0), and a point it writes on a hit is finite: each special value in each
// float of each input, from an origin inside (or on) each shape and one outside.
// A NaN anywhere misses; a dir with an infinite component hits at 0 from inside
// or on the shape and misses from outside.
TEST(Picking, EveryQueryAnswersAFiniteValueOrNothing) {
  const float specials[] = {INFINITY, -INFINITY, kNaN, 3e38f, -3e38f, 1e-40f, -1e-40f};
  enum Kind { Sphere, Box, Triangle, TriangleEx, Plane, Segment, Spheres, Boxes, BoxSphere };
  // The floats each query reads of its five inputs (a bit per float).
  const int reads[][5] = {{7, 7, 15, 0, 0}, {7, 7, 7, 7, 0},   {7, 7, 7, 7, 7}, {7, 7, 7, 7, 7}, {7, 7, 15, 0, 0},
                          {7, 7, 15, 0, 0}, {7, 1, 7, 1, 0},   {7, 7, 7, 7, 0}, {7, 0, 7, 7, 1}};
  for (const bool inside : {true, false}) {
    for (int kind = Sphere; kind <= BoxSphere; ++kind) {
      // An origin (a segment's first end, a sphere's centre) on the shape or 4 above
      // it; a dir (the other end, a radius); the shape: sphere (0, 0, 0) radius 1,
      // box (0, 0, 0)–(1, 1, 1), triangle in z = 0 around the origin, plane z = 0.
      float in[5][4] = {{0.25f, 0.5f, inside ? 0 : 4.0f, 0}, {0.5f, -0.25f, -1, 0}, {0, 0, 0, 1}, {1, 1, 1, 0}, {1, 0, 0, 0}};
      if (kind == Plane || kind == Segment) in[2][2] = 1, in[2][3] = 0;
      if (kind == Triangle || kind == TriangleEx) in[2][0] = in[2][1] = in[3][1] = in[4][0] = -1, in[3][0] = in[4][1] = 3, in[3][2] = 0;
      for (int arg = 0; arg < 5; ++arg) {
        for (int component = 0; component < 4; ++component) {
          if (!(reads[kind][arg] >> component & 1)) continue;
          for (const float special : specials) {
            float x[5][4];
            std::copy(&in[0][0], &in[0][0] + 20, &x[0][0]);
            x[arg][component] = special;
            float point[3] = {7, 7, 7}, uv[2] = {7, 7};
            float answer = 0;
            switch (kind) {
              case Sphere: answer = t_of(Ray_HitSphere(h(x[0]), h(x[1]), h(x[2]), x[2][3])); break;
              case Box: answer = t_of(Ray_HitAABB(h(x[0]), h(x[1]), h(x[2]), h(x[3]))); break;
              case Triangle: answer = t_of(Ray_HitTriangle(h(x[0]), h(x[1]), h(x[2]), h(x[3]), h(x[4]))); break;
              case TriangleEx: answer = t_of(Ray_HitTriangleEx(h(x[0]), h(x[1]), h(x[2]), h(x[3]), h(x[4]), h(uv))); break;
              case Plane: answer = t_of(Ray_HitPlane(h(x[0]), h(x[1]), h(x[2]))); break;
              case Segment: answer = float(Plane_IntersectLineSeg(h(point), h(x[2]), h(x[0]), h(x[1]))); break;
              case Spheres: answer = float(Sphere_HitSphere(h(x[0]), x[1][0], h(x[2]), x[3][0])); break;
              case Boxes: answer = float(AABB_HitAABB(h(x[0]), h(x[1]), h(x[2]), h(x[3]))); break;
              case BoxSphere: answer = float(AABB_HitSphere(h(x[2]), h(x[3]), h(x[0]), x[4][0])); break;
            }
            SCOPED_TRACE(::testing::Message() << "query " << kind << ", input " << arg << " float " << component << " = "
                                              << special << (inside ? ", from inside" : ", from outside"));
            const bool yes_no = kind >= Segment;
            ASSERT_TRUE(yes_no ? answer == 0 || answer == 1 : answer == -1 || (answer >= 0 && std::isfinite(answer))) << answer;
            ASSERT_FALSE(answer == 0 && std::signbit(answer)) << "a hit at the origin is +0";
            ASSERT_TRUE(!std::isnan(special) || answer == (yes_no ? 0 : -1)) << "a NaN is never a hit";
            ASSERT_TRUE(kind != TriangleEx || answer < 0 || (std::isfinite(uv[0]) && std::isfinite(uv[1])));
            const bool point_finite = std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
            ASSERT_TRUE(kind != Segment || point_finite) << "a segment writes a finite point";
            ASSERT_TRUE(kind != Segment || answer == 1 || (point[0] == 0 && point[1] == 0 && point[2] == 0)) << "a miss stores 0";
            ASSERT_TRUE(kind != Segment || arg > 1 || std::isfinite(special) || answer == 0) << "an end that is not finite";
            ASSERT_TRUE(arg != 1 || !std::isinf(special) || kind > Plane || answer == (inside ? 0 : -1)) << "an infinite dir";
          }
        }
      }
    }
  }
}

TEST(Picking, TrianglesHitOnEdgesAndCornersInEveryCornerOrder) {
  // A tilted triangle, and rays straight down through its corner and the midpoint
  // of an edge, exactly: every corner order must give the same answer, bit for bit.
  const V3 corners[3] = {{{0.25f, 0.5f, 0.75f}}, {{2.5f, 0.75f, -0.5f}}, {{1, 2, 0.625f}}};
  const V3 down{{0, 0, -1}};
  const V3 midpoint{{1.375f, 0.625f, 0.125f}};
  const struct {
    const char* name;
    V3 target;
    bool hit;
  } targets[] = {{"corner", corners[1], true}, {"edge midpoint", midpoint, true}, {"outside", {{3, 3, 3}}, false}};
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const auto& target : targets) {
    const V3 origin{{target.target.c[0], target.target.c[1], 5}};
    const float first = t_of(Ray_HitTriangle(h(&origin), h(&down), h(&corners[0]), h(&corners[1]), h(&corners[2])));
    EXPECT_EQ(first >= 0, target.hit) << target.name;
    for (const auto& o : orders) {
      const float t = t_of(Ray_HitTriangle(h(&origin), h(&down), h(&corners[o[0]]), h(&corners[o[1]]), h(&corners[o[2]])));
      EXPECT_EQ(bits(t), bits(first)) << target.name << " order " << o[0] << o[1] << o[2];
    }
  }
  // The weights give the hit back; a miss leaves uv alone; lying in the plane and
  // zero area miss.
  const V3 o{{0.5f, 0.5f, 5}}, minus_z{{0, 0, -2}}, a{{0, 0, 0}}, b{{2, 0, 0}}, c{{0, 4, 0}};
  float uv[2] = {9, 9};
  EXPECT_EQ(t_of(Ray_HitTriangleEx(h(&o), h(&minus_z), h(&a), h(&b), h(&c), h(uv))), 2.5f);
  EXPECT_EQ(uv[0], 0.25f); EXPECT_EQ(uv[1], 0.125f);
  const V3 in_plane{{-1, 0.5f, 0}}, along{{1, 0, 0}}, on_a{{0, 0, 0}};
  EXPECT_EQ(t_of(Ray_HitTriangleEx(h(&in_plane), h(&along), h(&a), h(&b), h(&c), h(uv))), -1.0f);
  const V3 on_face{{0.5f, 1, 0}}, zero{{0, 0, 0}};
  for (const V3& dir : {along, zero}) {
    EXPECT_EQ(bits(t_of(Ray_HitTriangleEx(h(&on_face), h(&dir), h(&a), h(&b), h(&c), h(uv)))), bits(0.0f)) << "origin on it";
    EXPECT_EQ(uv[0], 0.25f); EXPECT_EQ(uv[1], 0.25f);
  }
  EXPECT_EQ(bits(t_of(Ray_HitTriangle(h(&on_a), h(&minus_z), h(&a), h(&b), h(&c)))), bits(0.0f)) << "origin on it, crossing";
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&o), h(&minus_z), h(&a), h(&b), h(&b))), -1.0f) << "zero area";
  // Corners in line (c − a = 7/6 (b − a)) whose edge functions round to one sign.
  const V3 o2{{0.442701489f, 0.47571972f, 3.53872061f}}, d2{{0.25f, 0.75f, -1.5f}};
  const V3 a2{{-1.5f, 3.25f, -0.75f}}, b2{{-3, -1.25f, 8.25f}}, c2{{-3.25f, -2, 9.75f}};
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&o2), h(&d2), h(&a2), h(&b2), h(&c2))), -1.0f) << "zero area, rounded";
  EXPECT_EQ(uv[1], 0.25f) << "a miss writes nothing";
  const float floor_plane[4] = {0, 0, 1, 0}, parallel[3] = {1, 1, 0};
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(&minus_z), h(floor_plane))), 2.5f);
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(parallel), h(floor_plane))), -1.0f);
  EXPECT_EQ(t_of(Ray_HitPlane(h(&on_a), h(parallel), h(floor_plane))), 0.0f) << "on the plane, whatever dir";
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(&o), h(floor_plane))), -1.0f) << "the plane behind";
  const V3 below{{1, 2, -3}};
  EXPECT_EQ(t_of(Ray_HitPlane(h(&below), h(parallel), h(floor_plane))), -1.0f) << "parallel, from below";
}

// Watertight: no ray passes between triangles that share an edge or a corner.
// Closed spheres, coarse and fine, about the origin and far from it: rays from
// points inside aimed at every corner and every edge's midpoint hit one of the
// triangles around it (the single command), and hit the mesh (every kernel of the
// array command). Open grids turned off the axes: rays from above aimed at every
// interior corner and edge point hit a triangle around it.
class Watertight : public Library {};

TEST_F(Watertight, NoRayPassesBetweenTrianglesThatShareAnEdgeOrACorner) {
  std::vector<geometry::TrianglesKernel> kernels = {geometry::triangles_sse2};
  if (dx::cpu_has_avx()) kernels.push_back(geometry::triangles_avx);
  surface::Lcg rng(17);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  // Does a ray from `from` toward the point `to` (dir rounded to floats) hit one of `ring`?
  const auto hits = [](const meshes::Mesh& m, const float* from, const float* to, const std::vector<int>& ring, float* dir) {
    for (int k = 0; k < 3; ++k) dir[k] = to[k] - from[k];
    for (const int t : ring) {
      const auto& c = m.triangles[std::size_t(t)];
      if (t_of(Ray_HitTriangle(h(from), h(dir), h(m.points[std::size_t(c[0])].data()), h(m.points[std::size_t(c[1])].data()),
                               h(m.points[std::size_t(c[2])].data()))) >= 0) return true;
    }
    return false;
  };
  struct Shape {
    meshes::Mesh mesh;
    double centre[3], size;
    bool closed;
  };
  const double turn[3][3] = {{0.36, 0.48, -0.8}, {-0.8, 0.6, 0}, {0.48, 0.64, 0.6}}, far[3] = {1e4, -3e3, 517}, near[3] = {-2, 1, 0.5};
  std::vector<Shape> shapes = {{meshes::sphere(24, 48, 3, 40, -7, 0), {40, -7, 0}, 3, true},
                               {meshes::sphere(7, 11, 1, 0, 0, 0), {0, 0, 0}, 1, true},
                               {meshes::sphere(60, 120, 0.5, 2e3, 1e3, -5e2), {2e3, 1e3, -5e2}, 0.5, true},
                               {meshes::grid(12, 0.37, turn, near), {}, 4.4, false},
                               {meshes::grid(12, 1.5, turn, far), {}, 18, false}};
  for (const Shape& s : shapes) {
    const meshes::Mesh& m = s.mesh;
    std::vector<std::vector<int>> around(m.points.size());
    for (std::size_t t = 0; t < m.triangles.size(); ++t) {
      for (const int p : m.triangles[t]) around[std::size_t(p)].push_back(int(t));
    }
    std::vector<float> corners = m.corners();
    const Handle array = Vec3_MakeArray(std::int32_t(corners.size() / 3));
    std::copy(corners.begin(), corners.end(), at(array));
    // An origin inside the sphere's mesh (within its faces' nearest plane, less
    // 1e-3 of the radius), or above or below the grid near the aim point.
    double inner = s.size;
    for (const auto& t : m.triangles) {
      double e[2][3], n[3], c[3];
      for (int k = 0; k < 3; ++k) {
        c[k] = m.points[std::size_t(t[0])][std::size_t(k)] - s.centre[k];
        for (int j = 0; j < 2; ++j) e[j][k] = double(m.points[std::size_t(t[j + 1])][std::size_t(k)]) - m.points[std::size_t(t[0])][std::size_t(k)];
      }
      for (int k = 0; k < 3; ++k) n[k] = e[0][(k + 1) % 3] * e[1][(k + 2) % 3] - e[0][(k + 2) % 3] * e[1][(k + 1) % 3];
      const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      if (l > 0) inner = std::min(inner, std::fabs(n[0] * c[0] + n[1] * c[1] + n[2] * c[2]) / l);
    }
    inner -= 1e-3 * s.size;
    const auto origin_for = [&](const float* aim, float* o) {
      if (s.closed) {
        double p[3], l2;
        do {
          for (double& x : p) x = u(-1, 1);
          l2 = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        } while (l2 > 1);
        for (int k = 0; k < 3; ++k) o[k] = float(s.centre[k] + inner * p[k]);
      } else {
        const double up = (rng.one_in(2) ? 1 : -1) * u(0.1, 3);
        for (int k = 0; k < 3; ++k) o[k] = float(aim[k] + up * turn[2][k] + u(-2, 2) * turn[0][k] + u(-2, 2) * turn[1][k]);
      }
    };
    int rays = 0;
    float o[3], dir[3], aim[3];
    for (std::size_t p = 0; p < m.points.size(); ++p) {
      if (around[p].size() < (s.closed ? 1u : 6u)) continue;  // a grid's border is no interior corner
      for (int k = 0; k < (s.closed ? 12 : 6); ++k, ++rays) {
        origin_for(m.points[p].data(), o);
        ASSERT_TRUE(hits(m, o, m.points[p].data(), around[p], dir)) << "corner " << p << " from (" << o[0] << ", " << o[1] << ", " << o[2] << ")";
        if (k || p % (m.points.size() / 300 + 1)) continue;  // the whole mesh: some 300 corners
        for (const geometry::TrianglesKernel kernel : kernels) {
          geometry::triangles_kernel = kernel;
          ASSERT_GE(Ray_HitTriangleArray(h(o), h(dir), array, 0), 0) << "corner " << p;
        }
      }
    }
    for (const auto& [a, b] : m.edges()) {
      std::vector<int> pair;
      for (const int t : around[std::size_t(a)]) {
        const auto& c = m.triangles[std::size_t(t)];
        if (c[0] == b || c[1] == b || c[2] == b) pair.push_back(t);
      }
      if (pair.size() != 2) continue;  // a grid's border
      for (int k = 0; k < 3; ++k) aim[k] = float((double(m.points[std::size_t(a)][std::size_t(k)]) + m.points[std::size_t(b)][std::size_t(k)]) / 2);
      for (int k = 0; k < 4; ++k, ++rays) {
        origin_for(aim, o);
        ASSERT_TRUE(hits(m, o, aim, pair, dir)) << "edge " << a << "-" << b;
      }
    }
    EXPECT_GT(rays, 1000);
    Array_Delete(array);
  }
  geometry::triangles_kernel = kernels.back();
}

// A hit is never before the triangle's box, however near the ray runs to the
// triangle's plane: rays from points of the plane (rounded to floats) far off
// the triangle, along the plane, aimed at points of it — where t, a quotient of
// two numbers near zero, could fall anywhere.
TEST(Picking, AHitIsNeverBeforeItsTrianglesBox) {
  surface::Lcg rng(41);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  int hits = 0;
  for (int i = 0; i < 100000; ++i) {
    float a[3], b[3], c[3], o[3], d[3];
    for (int k = 0; k < 3; ++k) a[k] = float(u(-1, 1)), b[k] = float(u(-1, 1)), c[k] = float(u(-1, 1));
    const double w1 = u(0, 1), w2 = u(0, 1 - w1), s1 = u(-40, 40), s2 = u(-40, 40);
    for (int k = 0; k < 3; ++k) {
      o[k] = float(a[k] + s1 * (double(b[k]) - a[k]) + s2 * (double(c[k]) - a[k]));
      d[k] = float(a[k] + w1 * (double(b[k]) - a[k]) + w2 * (double(c[k]) - a[k]) - o[k]);
    }
    const float t = from_bits(Ray_HitTriangle(h(o), h(d), h(a), h(b), h(c)));
    if (t < 0) continue;
    ++hits;
    double far = 0;
    for (int k = 0; k < 3; ++k) far = std::max({far, std::fabs(double(a[k]) - o[k]), std::fabs(double(b[k]) - o[k]), std::fabs(double(c[k]) - o[k])});
    for (int k = 0; k < 3; ++k) {  // the point at t is not before the box on any axis (its rounding aside)
      const long double at = (long double)t * d[k], lo = std::min({a[k], b[k], c[k]}) - o[k], hi = std::max({a[k], b[k], c[k]}) - o[k];
      const long double slack = far * 0x1p-18;
      ASSERT_TRUE(d[k] > 0 ? at >= lo - slack : d[k] < 0 ? at <= hi + slack : true) << "ray " << i << " axis " << k;
    }
  }
  EXPECT_GT(hits, 500);
}

// Each closest point computed into the handle of p itself (an output may alias an input).
TEST(Picking, ClosestPoints) {
  const V3 a{{0, 0, 0}}, b{{4, 0, 0}}, c{{0, 4, 0}}, lo{{-1, -1, -1}}, hi{{1, 1, 1}}, dir{{2, 0, 0}}, zero{{0, 0, 0}};
  enum { Triangle, ZeroArea, Box, Ray, ZeroRay };
  const struct {
    const char* name;
    int command;
    V3 p, expected;
  } cases[] = {
      {"above the face", Triangle, {{1, 1, 3}}, {{1, 1, 0}}},
      {"past corner b", Triangle, {{6, -1, 2}}, {{4, 0, 0}}},
      {"past edge bc", Triangle, {{3, 3, -1}}, {{2, 2, 0}}},
      {"past edge ab", Triangle, {{2, -3, 0}}, {{2, 0, 0}}},
      {"zero area: the nearest point of its edges", ZeroArea, {{3, 2, 0}}, {{3, 0, 0}}},
      {"clamped into the box, corners swapped", Box, {{3, 2, 0}}, {{1, 1, 0}}},
      {"behind the ray: t clamped at 0", Ray, {{-3, 5, 0}}, c},
      {"beside the ray", Ray, {{3, 5, 0}}, {{3, 4, 0}}},
      {"zero dir: the origin", ZeroRay, {{3, 5, 0}}, c},
  };
  for (const auto& t : cases) {
    V3 p = t.p;
    if (t.command == Triangle) Vec3_ClosestPointOnTriangle(h(&p), h(&p), h(&a), h(&b), h(&c));
    if (t.command == ZeroArea) Vec3_ClosestPointOnTriangle(h(&p), h(&p), h(&a), h(&b), h(&b));
    if (t.command == Box) Vec3_ClosestPointOnAABB(h(&p), h(&p), h(&hi), h(&lo));
    if (t.command == Ray) Vec3_ClosestPointOnRay(h(&p), h(&p), h(&c), h(&dir));
    if (t.command == ZeroRay) Vec3_ClosestPointOnRay(h(&p), h(&p), h(&c), h(&zero));
    EXPECT_TRUE(floats_close(t.expected.c, p.c, 3, 1)) << t.name;
  }
  V3 corner{{1, 2, 3}}, p{{9, 0, 5}};
  const V3 other{{4, 6, 8}}, clamped{{4, 2, 5}};
  Vec3_ClosestPointOnAABB(h(&corner), h(&p), h(&corner), h(&other));
  EXPECT_TRUE(floats_close(clamped.c, corner.c, 3, 0)) << "into the handle of a corner";
}

// Facing a target: the world matrix is the look-at view's inverse, the quaternion
// its rotation; the degenerate cases have a fixed answer.
TEST(Picking, FacingAndTurningTowardADirection) {
  const V3 position{{1, 2, 3}}, target{{4, -2, 15}}, up{{0.1f, 1, -0.2f}};
  float face[16], view[16], product[16], look[16];
  for (auto [build, look_at] : {std::pair{Mat4_FaceLH, Mat4_LookAtLH}, {Mat4_FaceRH, Mat4_LookAtRH}}) {
    build(h(face), h(&position), h(&target), h(&up));
    look_at(h(view), h(&position), h(&target), h(&up));
    Mat4_Mul(h(product), h(face), h(view));
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(floats_close(identity, product, 16, 0, 4e-7f));
  }
  Mat4_FaceLH(h(face), h(&position), h(&target), h(&up));
  const V3 dir{{3, -4, 12}};
  float q[4];
  Quat_LookRotation(h(q), h(&dir), h(&up));
  Mat4_FromQuat(h(look), h(q));
  EXPECT_TRUE(floats_close(face, look, 12, 2, 1e-7f)) << "the rotation of FaceLH";
  const struct {
    const char* name;
    V3 target, up;
    float rows[9];
  } degenerate[] = {
      {"target at the position", position, up, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      // up replaced by the world axis least aligned with the look: x, the first of two zeros.
      {"up along the look", {{1, 7, 3}}, {{0, 2, 0}}, {0, 0, 1, 1, 0, 0, 0, 1, 0}},
      {"zero up", {{1, 2, -1}}, {{0, 0, 0}}, {0, 1, 0, 1, 0, 0, 0, 0, -1}},
  };
  for (const auto& d : degenerate) {
    Mat4_FaceLH(h(face), h(&position), h(&d.target), h(&d.up));
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(floats_close(d.rows + 3 * r, face + 4 * r, 3, 0)) << d.name << " row " << r;
  }
  // The arc between two directions; opposite ones turn half a turn about a fixed axis.
  const struct {
    const char* name;
    V3 from, to;
    float q[4];
  } arcs[] = {
      {"a quarter turn about z", {{2, 0, 0}}, {{0, 3, 0}}, {0, 0, 0.70710678f, 0.70710678f}},
      {"opposite: about from × x", {{0, 0, 1}}, {{0, 0, -5}}, {0, 1, 0, 0}},
      {"opposite, from near x: about from × y", {{3, 0, 0}}, {{-1, 0, 0}}, {0, 0, 1, 0}},
      {"opposite, from near -x", {{-3, 0, 0}}, {{2, 0, 0}}, {0, 0, -1, 0}},
      {"a zero direction", {{0, 0, 0}}, {{1, 2, 3}}, {0, 0, 0, 1}},
  };
  for (const auto& arc : arcs) {
    Quat_RotationArc(h(q), h(&arc.from), h(&arc.to));
    EXPECT_TRUE(floats_close(arc.q, q, 4, 1)) << arc.name;
  }
  // `to` walked toward −from along several paths: from turned by the stored
  // quaternion (in long double) points along `to` within 2^-22 rad all the way.
  const V3 froms[] = {{{1, 0, 0}}, {{0.6f, -0.8f, 0}}, {{2, 3, -6}}, {{-0.25f, 0.5f, 1}}};
  for (const V3& f : froms) {
    const long double fl = std::sqrt((long double)f.c[0] * f.c[0] + (long double)f.c[1] * f.c[1] + (long double)f.c[2] * f.c[2]);
    for (int path = 0; path < 3; ++path) {
      // A unit direction across f, and `to` = −f turned toward it by angle.
      long double across[3] = {0, 0, 0};
      across[path] = 1;
      long double along = 0;
      for (int i = 0; i < 3; ++i) along += across[i] * f.c[i] / fl;
      for (int i = 0; i < 3; ++i) across[i] -= along * f.c[i] / fl;
      const long double al = std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
      if (al < 0.1L) continue;
      for (long double angle = 0.1L; angle > 1e-7L; angle /= 3) {
        V3 to;
        for (int i = 0; i < 3; ++i) to.c[i] = float(-std::cos(angle) * f.c[i] / fl + std::sin(angle) * across[i] / al);
        Quat_RotationArc(h(q), h(&f), h(&to));
        // v' = v + 2w (u × v) + 2 u × (u × v), u = (x, y, z).
        const long double u[3] = {q[0], q[1], q[2]}, w = q[3], v[3] = {f.c[0] / fl, f.c[1] / fl, f.c[2] / fl};
        const long double uv[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const long double uuv[3] = {u[1] * uv[2] - u[2] * uv[1], u[2] * uv[0] - u[0] * uv[2], u[0] * uv[1] - u[1] * uv[0]};
        long double turned[3], tl = 0, dot = 0;
        for (int i = 0; i < 3; ++i) turned[i] = v[i] + 2 * w * uv[i] + 2 * uuv[i], tl += to.c[i] * (long double)to.c[i];
        for (int i = 0; i < 3; ++i) dot += turned[i] * to.c[i] / std::sqrt(tl);
        const long double cross2 = turned[0] * turned[0] + turned[1] * turned[1] + turned[2] * turned[2] - dot * dot;
        EXPECT_LE(std::atan2(std::sqrt(std::max(cross2, 0.0L)), dot), 0x1p-22L) << "from (" << f.c[0] << ", " << f.c[1]
            << ", " << f.c[2] << "), path " << path << ", " << double(angle) << " rad from opposite";
      }
    }
  }
}

TEST(Picking, ComparisonsWithATolerance) {
  const float a[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  float b[16];
  std::copy(a, a + 16, b);
  b[15] = 16.25f;
  EXPECT_EQ(Mat4_IsEqualEps(h(a), h(b), 0.25f), 1) << "at most eps";
  EXPECT_EQ(Mat4_IsEqualEps(h(a), h(b), 0.2f), 0);
  EXPECT_EQ(Mat4_IsEqual(h(a), h(b)), 0);
  EXPECT_EQ(Mat4_IsEqual(h(a), h(a)), 1);
  EXPECT_EQ(Vec4_IsEqualEps(h(a), h(a), -1), 0) << "a negative eps makes nothing equal";
  b[2] = kNaN;
  EXPECT_EQ(Vec3_IsEqualEps(h(b), h(b), 1e30f), 0) << "NaN is never equal";
  EXPECT_EQ(Vec2_IsEqualEps(h(b), h(a), 0), 1);
  EXPECT_EQ(Quat_IsEqualEps(h(a), h(b), 1), 0);
  b[2] = 3;
  EXPECT_EQ(Quat_IsEqual(h(a), h(b)), 1);
  b[3] = 4.0000005f;
  EXPECT_EQ(Quat_IsEqual(h(a), h(b)), 0) << "one ULP of 4 is not under 1.2e-8";
}

}  // namespace
}  // namespace kv::test
