// Moving through a level: the scenarios a character controller must get right
// (walls, corners, floors of many triangles turned off the axes, ramps, a thin
// wall at speed, starting in contact or inside, ellipsoids), and the sweep
// against a brute force in long double that finds each triangle's first contact
// by its own means (the distance from a moving point to a triangle is convex in
// time: its minimum by ternary search, the first touch by bisection before it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "frame/array_commands.h"
#include "geometry/collide.h"
#include "geometry/meshes.h"
#include "support/library.h"
#include "support/meshes.h"
#include "support/surface.h"

namespace kv::test {
namespace {

class Collide : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    const float up[3] = {0, 1, 0};
    Sphere_SlideSettings(h(up), 45, 0.01f, 5);
  }
  // A mesh of the given corners (nine floats a triangle).
  Handle mesh(const std::vector<float>& c) {
    const Handle corners = Vec3_MakeArray(std::int32_t(c.size() / 3));
    std::copy(c.begin(), c.end(), at(corners));
    const Handle m = Mesh_Make(corners);
    Array_Delete(corners);
    return m;
  }
};

constexpr float r = 0.5f, s = 0.005f;

// A quad of two triangles: corner a, and a + u, a + u + v, a + v.
std::vector<float> quad(const float (&a)[3], const float (&u)[3], const float (&v)[3]) {
  std::vector<float> c;
  const auto put = [&](float x, float y) {
    for (int k = 0; k < 3; ++k) c.push_back(a[k] + x * u[k] + y * v[k]);
  };
  put(0, 0), put(1, 0), put(1, 1), put(0, 0), put(1, 1), put(0, 1);
  return c;
}

struct P {
  float c[3];
};

TEST_F(Collide, WallsCornersAndThinWalls) {
  const std::vector<float> wall_x = quad({0, -50, -50}, {0, 100, 0}, {0, 0, 100});
  std::vector<float> both = wall_x, wall_z = quad({-50, -50, 0}, {100, 0, 0}, {0, 100, 0});
  both.insert(both.end(), wall_z.begin(), wall_z.end());
  std::vector<float> room = wall_x, floor = quad({-50, 0, -50}, {0, 0, 100}, {100, 0, 0});
  room.insert(room.end(), floor.begin(), floor.end());
  const Handle wall = mesh(wall_x), corner = mesh(both), walled = mesh(room);
  P out, ground{{7, 7, 7}};
  const struct {
    const char* name;
    Handle mesh;
    P from, move, to;
    int returned;
    float tolerance;
  } cases[] = {
      {"along a wall", wall, {{2, 0, 0}}, {{-3, 0, 3}}, {{r + s, 0, 3}}, 1, 1e-4f},
      {"into a corner of two walls", corner, {{2, 0, 2}}, {{-3, 0, -3}}, {{r + s, 0, r + s}}, 1, 1e-4f},
      {"a thin wall at speed", wall, {{-5, 0, 0}}, {{100, 0, 0}}, {{-r - s, 0, 0}}, 1, 1e-4f},
      {"from touching, into the wall", wall, {{r, 0, 0}}, {{-1, 0, 1}}, {{r + s, 0, 1}}, 1, 1e-4f},
      {"from touching, away from it", wall, {{r, 0, 0}}, {{1, 0, 1}}, {{r + 1, 0, 1}}, 0, 1e-4f},
      {"from a quarter inside, pushed out", wall, {{0.75f * r, 0, 0}}, {{0, 0, 0}}, {{r + s, 0, 0}}, 1, 1e-4f},
      {"from a quarter inside on the far side", wall, {{-0.75f * r, 0, 0}}, {{0, 0, 0}}, {{-r - s, 0, 0}}, 1, 1e-4f},
      {"into a wall, the floor within twice the skin", walled, {{2, r + 1.5f * s, 0}}, {{-3, 0, 0}}, {{r + s, r + 1.5f * s, 0}}, 2, 1e-4f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sphere_SlideMesh(h(out.c), h(c.from.c), r, h(c.move.c), c.mesh, h(ground.c)), c.returned) << c.name;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(out.c[k], c.to.c[k], c.tolerance) << c.name << " [" << k << "]";
    P same = c.from;  // out may be centre
    Sphere_SlideMesh(h(same.c), h(same.c), r, h(c.move.c), c.mesh, 0);
    EXPECT_EQ(std::memcmp(&same, &out, sizeof same), 0) << c.name << ", out = centre";
    // The ellipsoid of three equal radii goes where the sphere goes.
    P e;
    const float radii[3] = {r, r, r};
    EXPECT_EQ(Ellipsoid_SlideMesh(h(e.c), h(c.from.c), h(radii), h(c.move.c), c.mesh, 0), c.returned) << c.name;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(e.c[k], out.c[k], 1e-5 * (r + std::hypot(c.move.c[0], c.move.c[2]))) << c.name;
  }
  // Bad input: the centre back (out untouched where the centre is not finite), 0; the sweep −1.
  const float nan = NAN, inf = INFINITY, still[3] = {0, 0, 0};
  const P from{{2, 0, 0}}, lost{{nan, 0, 0}}, far{{0, inf, 0}}, go{{-1, 0, 0}};
  const struct {
    P centre, move;
    float radius;
    P radii;  // the ellipsoid's, as bad as the sphere's radius
    Handle mesh;
  } bad[] = {{from, go, r, {{1, 1, 1}}, corner + 16}, {from, go, 0, {{1, 0, 1}}, wall},   {from, go, -r, {{1, 1, -1}}, wall},
             {from, go, nan, {{nan, 1, 1}}, wall},     {from, go, inf, {{1, inf, 1}}, wall}, {from, lost, r, {{1, 1, 1}}, wall},
             {from, far, r, {{1, 1, 1}}, wall},        {lost, go, r, {{1, 1, 1}}, wall},     {far, go, r, {{1, 1, 1}}, wall}};
  for (const auto& b : bad) {
    for (int which = 0; which < 2; ++which) {
      P o{{7, 7, 7}};
      const std::int32_t got = which ? Ellipsoid_SlideMesh(h(o.c), h(b.centre.c), h(b.radii.c), h(b.move.c), b.mesh, 0)
                                     : Sphere_SlideMesh(h(o.c), h(b.centre.c), b.radius, h(b.move.c), b.mesh, 0);
      const bool kept = std::isfinite(b.centre.c[0]) && std::isfinite(b.centre.c[1]);
      EXPECT_EQ(got, 0);
      for (int k = 0; k < 3; ++k) EXPECT_EQ(o.c[k], kept ? b.centre.c[k] : 7.0f) << "bad input " << (&b - bad) << (which ? ", ellipsoid" : "");
    }
    EXPECT_EQ(from_bits(Sphere_SweepMesh(h(b.centre.c), b.radius, h(b.move.c), b.mesh, 0, 0)), -1.0f) << "bad input " << (&b - bad);
  }
  // Still, not inside: where it was, 0, even resting on the wall.
  const P resting{{r + s, 0, 0}};
  EXPECT_EQ(Sphere_SlideMesh(h(out.c), h(resting.c), r, h(still), wall, 0), 0);
  EXPECT_EQ(std::memcmp(&out, &resting, sizeof out), 0);
  // Two walls meeting at 60°, the sphere pushed along their bisector into the apex, a hundred times.
  const float c30 = 0.8660254f, s30 = 0.5f;
  std::vector<float> vee = quad({0, -50, 0}, {0, 100, 0}, {50 * c30, 0, 50 * s30}), other = quad({0, -50, 0}, {0, 100, 0}, {50 * c30, 0, -50 * s30});
  vee.insert(vee.end(), other.begin(), other.end());
  const Handle apex = mesh(vee);
  P at{{3, 0, 0}};
  const float in[3] = {-1, 0, 0};
  for (int call = 0; call < 100; ++call) {
    P next;
    Sphere_SlideMesh(h(next.c), h(at.c), r, h(in), apex, 0);
    ASSERT_TRUE(std::isfinite(next.c[0]) && std::isfinite(next.c[2])) << call;
    for (const float side : {1.0f, -1.0f}) EXPECT_GE(next.c[0] * s30 - side * next.c[2] * c30, r - 1e-6f) << call;  // distance to each wall
    if (call >= 10) {
      EXPECT_LT(std::hypot(next.c[0] - at.c[0], next.c[2] - at.c[2]), 1e-4f) << call;
    }
    at = next;
  }
  for (const Handle m : {wall, corner, apex, walled}) Mesh_Delete(m);
}

// A floor of 10 × 10 unit cells (diagonals alternating), as it is and turned about
// an oblique axis off the origin (corners rounded to floats, up turned with it):
// a sphere moved across and a little down slides the whole way at its radius and
// the skin above it, on ground. Ramps at 30° (walkable) and 60° (too steep) under
// gravity alone; a tall ellipsoid standing on the floor.
TEST_F(Collide, FloorsRampsAndStanding) {
  const double angle = 0.7, axis[3] = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0)}, shift[3] = {123.4, -56.7, 89.1};
  double turn[3][3];  // rows: where x, y and z go
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      turn[i][j] = (i == j ? std::cos(angle) : 0) + (1 - std::cos(angle)) * axis[i] * axis[j];
    }
    turn[i][(i + 1) % 3] += std::sin(angle) * axis[(i + 2) % 3], turn[i][(i + 2) % 3] -= std::sin(angle) * axis[(i + 1) % 3];
  }
  const double flat[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, none[3] = {0, 0, 0};
  for (const bool turned : {false, true}) {
    const auto place = [&](const double* p, float* out) {
      for (int k = 0; k < 3; ++k) out[k] = float(turned ? shift[k] + p[0] * turn[0][k] + p[1] * turn[1][k] + p[2] * turn[2][k] : p[k]);
    };
    const auto along = [&](const double* v, float* out) {
      for (int k = 0; k < 3; ++k) out[k] = float(turned ? v[0] * turn[0][k] + v[1] * turn[1][k] + v[2] * turn[2][k] : v[k]);
    };
    std::vector<float> c = meshes::grid(10, 1, flat, none).corners();  // the floor in x and z at y = 0
    for (std::size_t i = 0; i < c.size(); i += 3) {
      const double p[3] = {c[i], c[i + 1], c[i + 2]};
      place(p, &c[i]);
    }
    const Handle floor = mesh(c);
    const double up_d[3] = {0, 1, 0}, from_d[3] = {0.7, r + s, 0.6}, move_d[3] = {3.3, -0.1, 2.7}, to_d[3] = {4.0, r + s, 3.3};
    float up[3], from[3], move[3], to[3], out[3], ground[3];
    along(up_d, up), place(from_d, from), along(move_d, move), place(to_d, to);
    Sphere_SlideSettings(h(up), 45, 0.01f, 5);
    EXPECT_EQ(Sphere_SlideMesh(h(out), h(from), r, h(move), floor, h(ground)), 2) << "turned " << turned;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], to[k], 1e-4) << "turned " << turned << " [" << k << "]";
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(ground[k], up[k], 1e-4) << "ground, turned " << turned;
    if (!turned) {
      const float radii[3] = {0.4f, 0.9f, 0.4f}, high[3] = {5, 2, 5}, fall[3] = {0, -3, 0};
      EXPECT_EQ(Ellipsoid_SlideMesh(h(out), h(high), h(radii), h(fall), floor, h(ground)), 2);
      EXPECT_NEAR(out[1], 0.9f + 0.01f * 0.4f, 1e-4) << "a tall ellipsoid stands on the floor, its skin of its smallest radius";
    }
    Mesh_Delete(floor);
  }
  const float up[3] = {0, 1, 0}, nowhere[3] = {0, 0, 0};
  Sphere_SlideSettings(h(up), 45, 0.01f, 5);
  Sphere_SlideSettings(h(nowhere), 95, 0.6f, 0);  // each out of its range: every setting kept
  for (const double degrees : {30.0, 45.0, 60.0}) {  // 45: exactly at the limit counts
    const double a = degrees * 3.14159265358979323846 / 180, n[3] = {-std::sin(a), std::cos(a), 0};
    const Handle ramp = mesh(quad({-20, float(-20 * std::tan(a)), -20}, {40, float(40 * std::tan(a)), 0}, {0, 0, 40}));
    // From the skin above the ramp, gravity alone: down to it, then the rest along it.
    const double start[3] = {1 + (r + s) * n[0], std::tan(a) + (r + s) * n[1], 0}, g[3] = {0, -1, 0};
    const double f = s / n[1], dn = -n[1] * (1 - f);
    float from[3], fall[3] = {0, -1, 0}, out[3], ground[3];
    for (int k = 0; k < 3; ++k) from[k] = float(start[k]);
    EXPECT_EQ(Sphere_SlideMesh(h(out), h(from), r, h(fall), ramp, h(ground)), degrees <= 45 ? 2 : 1) << degrees;
    for (int k = 0; k < 3; ++k) {
      const double expected = start[k] + f * g[k] + s * n[k] + ((1 - f) * g[k] - dn * n[k]);
      EXPECT_NEAR(out[k], expected, 1e-4) << degrees << "° [" << k << "]";
    }
    Mesh_Delete(ramp);
  }
  // A floor that turns up into a 3° ramp: a body moving along it passes the seam
  // and goes on up the ramp, the whole of its move.
  const float lift = float(std::tan(3 * 3.14159265358979323846 / 180));
  std::vector<float> seam = quad({-20, 0, -20}, {25, 0, 0}, {0, 0, 40}), rise = quad({5, 0, -20}, {20, 20 * lift, 0}, {0, 0, 40});
  seam.insert(seam.end(), rise.begin(), rise.end());
  const Handle valley = mesh(seam);
  const float at_seam[3] = {4.5f, r + s, 0}, along[3] = {1, -0.1f, 0};
  float out[3];
  EXPECT_EQ(Sphere_SlideMesh(h(out), h(at_seam), r, h(along), valley, 0), 2);
  EXPECT_NEAR(out[0], 5.5f, 0.02) << "past the seam";
  Mesh_Delete(valley);
}

// A low pyramid of four triangles about its top (one of them wound the other way
// now and then): where its faces meet at a degree and a half, its edges and its top
// lie inside a surface, and a small sphere coming straight down onto an edge or the
// top takes a triangle's normal; where they meet at 20°, they are ridges and a peak,
// and the normal runs from the contact to the centre (square to a sloping ridge).
TEST_F(Collide, EdgesAndCornersInsideASurfaceGiveTheTrianglesNormal) {
  for (const double slope : {1.0, 10.0}) {
    const float t = float(std::tan(slope * 3.14159265358979323846 / 180));
    for (const bool flipped : {false, true}) {
      const float base[4][3] = {{1, -t, 0}, {0, -t, 1}, {-1, -t, 0}, {0, -t, -1}};
      std::vector<float> c;
      for (int i = 0; i < 4; ++i) {
        const float* a = base[i];
        const float* b = base[(i + 1) % 4];
        const bool swap = flipped && i == 2;
        c.insert(c.end(), {0, 0, 0});
        c.insert(c.end(), swap ? b : a, (swap ? b : a) + 3), c.insert(c.end(), swap ? a : b, (swap ? a : b) + 3);
      }
      const Handle pyramid = mesh(c);
      const float onto_edge[3] = {0.5f, 2, 0}, onto_top[3] = {0, 2, 0}, down[3] = {0, -3, 0};
      float point[3], normal[3];
      for (const float* at : {onto_edge, onto_top}) {
        ASSERT_GE(from_bits(Sphere_SweepMesh(h(at), 0.05f, h(down), pyramid, h(point), h(normal))), 0.0f);
        // A face's normal; else, on a ridge, square to it, or straight up from a peak.
        const double ridge = at == onto_top ? 1 : 1 / std::sqrt(1 + double(t) * t);
        EXPECT_NEAR(normal[1], slope < 2 ? 1 / std::sqrt(1 + 2.0 * t * t) : ridge, 1e-6)
            << slope << "° " << (at == onto_top ? "top" : "edge") << (flipped ? ", one wound the other way" : "");
      }
      Mesh_Delete(pyramid);
    }
  }
}

// The brute force: each triangle's first touch, in long double.
using L = long double;
struct V {
  L x, y, z;
};
V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V add(V a, V b, L t) { return {a.x + t * b.x, a.y + t * b.y, a.z + t * b.z}; }
L dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The distance from p to triangle abc: the nearest of its plane's point inside
// it and its three edges.
L distance(V p, V a, V b, V c) {
  const V ab = sub(b, a), ac = sub(c, a), n{ab.y * ac.z - ab.z * ac.y, ab.z * ac.x - ab.x * ac.z, ab.x * ac.y - ab.y * ac.x};
  L best = INFINITY;
  const L nn = dot(n, n);
  if (nn > 0) {
    const V q = add(p, n, -dot(sub(p, a), n) / nn);
    const V corners[3] = {a, b, c};
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
      const V e = sub(corners[(k + 1) % 3], corners[k]), w = sub(q, corners[k]);
      const V x{e.y * w.z - e.z * w.y, e.z * w.x - e.x * w.z, e.x * w.y - e.y * w.x};
      inside = inside && dot(x, n) >= 0;
    }
    if (inside) best = std::sqrt(dot(sub(p, q), sub(p, q)));
  }
  const V corners[3] = {a, b, c};
  for (int k = 0; k < 3; ++k) {
    const V e = sub(corners[(k + 1) % 3], corners[k]);
    const L ee = dot(e, e), g = ee > 0 ? std::min<L>(1, std::max<L>(0, dot(sub(p, corners[k]), e) / ee)) : 0;
    const V q = add(corners[k], e, g);
    best = std::min(best, std::sqrt(dot(sub(p, q), sub(p, q))));
  }
  return best;
}

TEST_F(Collide, TheSweepFindsTheFirstTouchOfTheBruteForce) {
  surface::Lcg rng(61);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * rng.below(1 << 24) / double(1 << 24); };
  int sweeps = 0, compared = 0, hits = 0;
  while (sweeps < 100000) {
    // A few triangles, tiny to huge, near the origin or far from it.
    const double scale = std::pow(10.0, u(-2, 3)), far = rng.one_in(3) ? u(-1e4, 1e4) : 0;
    // Now and then a turned grid of 72 triangles, so that the walk has nodes to pass over.
    std::vector<float> c;
    if (rng.one_in(8)) {
      const double turn[3][3] = {{0.36, 0.48, -0.8}, {-0.8, 0.6, 0}, {0.48, 0.64, 0.6}}, at[3] = {far - scale, -scale, 0};
      c = meshes::grid(6, scale / 3, turn, at).corners();
    } else {
      for (int i = 0; i < 9 * (1 + int(rng.below(4))); ++i) c.push_back(float((i % 3 == 0 ? far : 0) + u(-1, 1) * scale));
    }
    const int n = int(c.size() / 9);
    const Handle m = mesh(c);
    for (int k = 0; k < 100; ++k, ++sweeps) {
      const float radius = float(scale * std::pow(10.0, u(-2, 0.5)));
      const double reach = std::pow(10.0, u(-3, 1)) * scale;
      float centre[3], move[3];
      for (int i = 0; i < 3; ++i) centre[i] = float((i == 0 ? far : 0) + u(-1.5, 1.5) * scale), move[i] = float(u(-1, 1) * reach);
      if (k % 10 == 0) {  // aimed at a corner, so that it grazes or hits square on
        const int t = int(rng.below(std::uint32_t(3 * n)));
        for (int i = 0; i < 3; ++i) move[i] = float(c[std::size_t(3 * t + i)] - centre[i]) * float(u(0.5, 1.5));
      }
      const float f = from_bits(Sphere_SweepMesh(h(centre), radius, h(move), m, 0, 0));
      // The reference: per triangle, the convex distance along the move.
      const V p{centre[0], centre[1], centre[2]}, d{move[0], move[1], move[2]};
      L first = INFINITY, closest = INFINITY, start = INFINITY;
      for (int t = 0; t < n; ++t) {
        const V a{c[9 * t], c[9 * t + 1], c[9 * t + 2]}, b{c[9 * t + 3], c[9 * t + 4], c[9 * t + 5]}, cc{c[9 * t + 6], c[9 * t + 7], c[9 * t + 8]};
        const auto g = [&](L x) { return distance(add(p, d, x), a, b, cc); };
        // Far from the path of the centre (beyond the triangle's own ball): no touch.
        const V mid{(a.x + b.x + cc.x) / 3, (a.y + b.y + cc.y) / 3, (a.z + b.z + cc.z) / 3};
        const L ball = std::sqrt(std::max({dot(sub(a, mid), sub(a, mid)), dot(sub(b, mid), sub(b, mid)), dot(sub(cc, mid), sub(cc, mid))}));
        const L along = dot(d, d) > 0 ? std::min<L>(1, std::max<L>(0, dot(sub(mid, p), d) / dot(d, d))) : 0;
        const V near = add(p, d, along);
        if (std::sqrt(dot(sub(mid, near), sub(mid, near))) > (radius + ball) * 1.001L) {
          start = std::min(start, g(0));
          continue;
        }
        // Golden-section search for the least distance, then bisection before it.
        const L phi = 0.6180339887498948482L;
        L lo = 0, hi = 1, m1 = hi - phi * (hi - lo), m2 = lo + phi * (hi - lo), g1 = g(m1), g2 = g(m2);
        for (int i = 0; i < 70; ++i) {
          if (g1 < g2) hi = m2, m2 = m1, g2 = g1, m1 = hi - phi * (hi - lo), g1 = g(m1);
          else lo = m1, m1 = m2, g1 = g2, m2 = lo + phi * (hi - lo), g2 = g(m2);
        }
        const L low = std::min({g1, g2, g(0), g(1)}), at_low = g(0) <= low ? 0 : g(1) <= low ? 1 : g1 < g2 ? m1 : m2, g0 = g(0);
        closest = std::min(closest, low), start = std::min(start, g0);
        if (g0 <= radius) {
          first = 0;
          continue;
        }
        if (low > radius) continue;
        L x0 = 0, x1 = at_low;
        for (int i = 0; i < 60; ++i) (g((x0 + x1) / 2) > radius ? x0 : x1) = (x0 + x1) / 2;
        first = std::min(first, x1);
      }
      const L tolerance = 1e-5L * (radius + std::sqrt(dot(d, d)));
      if (std::fabs(closest - radius) <= tolerance || std::fabs(start - radius) <= tolerance) continue;  // grazing
      ++compared;
      ASSERT_EQ(f >= 0, first < INFINITY) << "sweep " << sweeps << ": " << f << " where the brute force gives " << double(first);
      if (f < 0) continue;
      ++hits;
      ASSERT_LE(std::fabs(f - first) * std::sqrt(dot(d, d)), tolerance) << "sweep " << sweeps << ": " << f << " where the brute force gives " << double(first);
    }
    Mesh_Delete(m);
  }
  EXPECT_GT(compared, 90000);
  EXPECT_GT(hits, compared / 5) << "the sweeps must touch as well as miss";
}

}  // namespace
}  // namespace kv::test
