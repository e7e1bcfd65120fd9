// The mesh commands. Each query walks the hierarchy to the triangles that may
// answer it and tests them with the single command's own test, so that it gives
// exactly what the same test over every triangle gives: the boxes are widened
// past every rounding the tests may do, and a box is passed over only when the
// best answer so far is better than anything inside it by more than that
// answer's rounding. Inputs that are not finite take the test over every
// triangle.
#include "geometry/meshes.h"

#include <algorithm>

#include "dx/wide.h"
#include "frame/arrays.h"
#include "geometry/mesh.h"
#include "geometry/triangle.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::geometry;
using dx::Vec3;
using dx::Vec3d;

namespace {

constexpr double kInf = __builtin_inf();

bool finite3(const Vec3& v) { return finite(v.c[0]) && finite(v.c[1]) && finite(v.c[2]); }

// Every triangle a query must test in full: the side list.
template <class Test>
void sides(const Mesh& m, Test test) {
  for (std::uint32_t k = 0; k < m.side_count; ++k) test(m.side[k]);
}

// Every triangle, hierarchy and side list alike.
template <class Test>
void every(const Mesh& m, Test test) {
  for (std::uint32_t p = 0; p < m.triangles; ++p) test(p);
}

// A depth-first walk: `reach(node)` gives a node's key (its entry t, its
// distance) or +∞ where it cannot hold an answer; `bound()` the largest key still
// worth a visit; `leaf(position)` tests a triangle and returns true to stop.
// Children are visited nearest first.
template <class Reach, class Bound, class Leaf>
void walk(const Mesh& m, Reach reach, Bound bound, Leaf leaf) {
  if (m.in_tree == 0) return;
  struct Entry {
    std::uint32_t node;
    double key;
  } stack[2 * kMaxDepth + 2];
  int top = 0;
  const double root = reach(m.node[0]);
  if (root < kInf) stack[top++] = {0, root};
  while (top > 0) {
    const Entry e = stack[--top];
    if (e.key > bound()) continue;
    const Node& n = m.node[e.node];
    if (n.count) {
      for (std::uint32_t p = n.first; p < n.first + n.count; ++p) {
        if (leaf(p)) return;
      }
      continue;
    }
    const double a = reach(m.node[n.first]), b = reach(m.node[n.first + 1]);
    const Entry near{a <= b ? n.first : n.first + 1, std::min(a, b)}, far{a <= b ? n.first + 1 : n.first, std::max(a, b)};
    if (far.key < kInf) stack[top++] = far;
    if (near.key < kInf) stack[top++] = near;
  }
}

// A ray against the nodes' boxes, each widened by `slack` on every side: the
// watertight test decides on corners rounded to floats in the ray's frame, which
// can take in a ray passing up to 2^-23 of the corners' distance from the origin
// beside the triangle. A zero component of dir is decided by its slab alone.
struct RayBoxes {
  double o[3], inv[3], slack;
  bool zero[3];

  RayBoxes(const Mesh& m, const Vec3& origin, const Vec3& dir) {
    double far = 0;
    for (int i = 0; i < 3; ++i) {
      o[i] = origin.c[i], zero[i] = dir.c[i] == 0, inv[i] = zero[i] ? 0 : 1 / double(dir.c[i]);
      far = std::max(far, __builtin_fabs(o[i] - m.centre[i]));
    }
    slack = (far + m.reach) * 0x1p-20;
  }
  // The t where the ray enters the widened box (0 from inside), or +∞ for a miss.
  double entry(const Node& n) const {
    if (!(n.lo[0] <= n.hi[0])) return kInf;  // a box with nothing in it
    double near = 0, far = kInf;
    for (int i = 0; i < 3; ++i) {
      const double lo = n.lo[i] - slack, hi = n.hi[i] + slack;
      if (zero[i]) {
        if (o[i] < lo || o[i] > hi) return kInf;
        continue;
      }
      const double t1 = (lo - o[i]) * inv[i], t2 = (hi - o[i]) * inv[i];
      near = std::max(near, std::min(t1, t2)), far = std::min(far, std::max(t1, t2));
    }
    return near <= far ? near : kInf;
  }
};

// Past this many of a t's own size beyond the best t, no triangle's t can tie it.
double beyond(float t) { return double(t) * (1 + 0x1p-20); }

// The nearest hit: the mesh's triangles as Ray_HitTriangleArray would order them.
Nearest nearest_hit(const Mesh& m, Handle origin, Handle dir) {
  const Ray ray = ray_of(origin, dir);
  Nearest best;
  const auto test = [&](std::uint32_t p) {
    const TriangleHit h = hit_triangle(ray, m.corner(p, 0), m.corner(p, 1), m.corner(p, 2));
    if (h.hit) best.consider(m.index[p], h.t, h.wa, h.wb, h.wc, h.sum);
  };
  const Vec3 o = vec::get<3>(origin), d = vec::get<3>(dir);
  if (!finite3(o) || !finite3(d)) {
    every(m, test);
    return best;
  }
  const RayBoxes boxes(m, o, d);
  walk(m, [&](const Node& n) { return boxes.entry(n); }, [&] { return best.index >= 0 ? beyond(best.t) : kInf; },
       [&](std::uint32_t p) { return test(p), false; });
  sides(m, test);
  return best;
}

// The square of the distance from c to a node's box, in double.
double box_distance2(const Node& n, const Vec3d& c) {
  if (!(n.lo[0] <= n.hi[0])) return kInf;
  double d2 = 0;
  for (int i = 0; i < 3; ++i) {
    const double d = std::max(std::max(double(n.lo[i]) - c.c[i], c.c[i] - double(n.hi[i])), 0.0);
    d2 += d * d;
  }
  return d2;
}

// A triangle's closest point to p, as Vec3_ClosestPointOnTriangle gives it, and
// the square of its distance from p in double.
double closest(const Mesh& m, std::uint32_t position, const Vec3d& p, Vec3& q) {
  const auto corner = [&](int k) { return dx::widen(vec::get<3>(m.corner(position, k))); };
  q = closest_on_triangle(p, corner(0), corner(1), corner(2));
  const Vec3d d = dx::difference(dx::widen(q), p);
  return dx::dot(d, d);
}

// How far a closest point as floats may lie outside its triangle's box, for a
// query at p: a few units in the last place of the farthest coordinate.
double rounding_near(const Mesh& m, const Vec3d& p) {
  double far = 0;
  for (int i = 0; i < 3; ++i) far = std::max(far, __builtin_fabs(p.c[i]) + __builtin_fabs(m.centre[i]));
  return (far + m.reach) * 0x1p-20;
}

}  // namespace

KV_EXPORT Handle Mesh_Make(Handle corners) { return mesh_make(corners); }

KV_EXPORT std::int32_t Mesh_Delete(Handle mesh) {
  mesh_delete(mesh);
  return 0;
}

KV_EXPORT std::int32_t Mesh_Refit(Handle mesh, Handle corners) {
  mesh_refit(mesh, corners);
  return 0;
}

KV_EXPORT std::int32_t Mesh_TriangleCount(Handle mesh) {
  const Mesh* m = mesh_at(mesh);
  return m ? std::int32_t(m->triangles) : 0;
}

KV_EXPORT std::int32_t Mesh_AABB(Handle lo, Handle hi, Handle mesh) {
  if (const Mesh* m = mesh_at(mesh)) vec::put<3>(lo, m->lo), vec::put<3>(hi, m->hi);
  return 0;
}

KV_EXPORT std::int32_t Mesh_LiveCount() { return std::int32_t(frame::mesh_live_count()); }

// The nearest triangle hit, and (t, u, v) into tuv: Ray_HitTriangleArray's answer.
KV_EXPORT std::int32_t Ray_HitMesh(Handle origin, Handle dir, Handle mesh, Handle tuv) {
  const Mesh* m = mesh_at(mesh);
  if (!m) return -1;
  const Nearest best = nearest_hit(*m, origin, dir);
  if (best.index >= 0 && given(tuv)) vec::put<3>(tuv, {{best.t, best.u, best.v}});
  return best.index;
}

// Whether some triangle is hit at a t (as the script gets it) of at most max_t;
// the first one found ends the walk.
KV_EXPORT std::int32_t Ray_HitMeshAny(Handle origin, Handle dir, Handle mesh, float max_t) {
  const Mesh* m = mesh_at(mesh);
  if (!m || max_t != max_t) return 0;
  const Ray ray = ray_of(origin, dir);
  bool found = false;
  const auto test = [&](std::uint32_t p) {
    const TriangleHit h = hit_triangle(ray, m->corner(p, 0), m->corner(p, 1), m->corner(p, 2));
    const float t = h.hit ? script_t(h.t) : -1.0f;
    return found = t >= 0 && t <= max_t;
  };
  const Vec3 o = vec::get<3>(origin), d = vec::get<3>(dir);
  if (!finite3(o) || !finite3(d)) {
    for (std::uint32_t p = 0; p < m->triangles && !found; ++p) test(p);
    return found;
  }
  for (std::uint32_t k = 0; k < m->side_count && !found; ++k) test(m->side[k]);
  if (found) return 1;
  const RayBoxes boxes(*m, o, d);
  const double bound = max_t < 0 ? 0 : beyond(max_t);
  walk(*m, [&](const Node& n) { return boxes.entry(n); }, [&] { return bound; }, test);
  return found;
}

// The lowest-numbered triangle within the closed sphere.
KV_EXPORT std::int32_t Sphere_HitMesh(Handle centre, float radius, Handle mesh) {
  const Mesh* m = mesh_at(mesh);
  if (!m || !(radius >= 0)) return -1;
  const Vec3 c = vec::get<3>(centre);
  const Vec3d p = dx::widen(c);
  const double r2 = double(radius) * radius;
  std::int32_t lowest = -1;
  const auto test = [&](std::uint32_t position) {
    Vec3 q;
    const std::int32_t i = std::int32_t(m->index[position]);
    if ((lowest < 0 || i < lowest) && closest(*m, position, p, q) <= r2) lowest = i;
    return false;
  };
  if (!finite3(c) || !finite(radius)) {
    every(*m, test);
    return lowest;
  }
  const double reach = radius + rounding_near(*m, p), reach2 = reach * reach;
  walk(*m, [&](const Node& n) { return box_distance2(n, p) <= reach2 ? 0.0 : kInf; }, [] { return 0.0; }, test);
  sides(*m, test);
  return lowest;
}

// The nearest point of the mesh: per triangle its closest point and the distance
// as a float; the smallest distance wins, ties to the lowest-numbered triangle,
// a NaN never.
KV_EXPORT FloatBits Mesh_ClosestPoint(Handle out, Handle point, Handle mesh) {
  const Mesh* m = mesh_at(mesh);
  if (!m) return bits_of(-1.0f);
  const Vec3 c = vec::get<3>(point);
  const Vec3d p = dx::widen(c);
  std::int32_t best = -1;
  float best_d = 0;
  Vec3 best_q{};
  const auto test = [&](std::uint32_t position) {
    Vec3 q;
    const float d = float(sm::sqrt(closest(*m, position, p, q)));
    const std::int32_t i = std::int32_t(m->index[position]);
    if (d == d && (best < 0 || d < best_d || (d == best_d && i < best))) best = i, best_d = d, best_q = q;
    return false;
  };
  if (!finite3(c)) {
    every(*m, test);
  } else {
    const double slack = rounding_near(*m, p);
    walk(*m, [&](const Node& n) { return sm::sqrt(box_distance2(n, p)); },
         [&] { return best < 0 ? kInf : beyond(best_d) + slack; }, test);
    sides(*m, test);
  }
  if (best < 0) return bits_of(-1.0f);
  vec::put<3>(out, best_q);
  return bits_of(best_d);
}
