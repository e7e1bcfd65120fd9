// The mesh commands. Each query walks the hierarchy to the triangles that may
// answer it and tests them with the single command's own test, so that it gives
// exactly what the same test over every triangle gives: the boxes are widened
// past every rounding the tests may do, and a box is passed over only when the
// best answer so far is better than anything inside it by more than that
// answer's rounding. Inputs that are not finite take the test over every
// triangle.
#include "geometry/meshes.h"

#include <immintrin.h>

#include <algorithm>

#include "dx/cpu.h"
#include "dx/wide.h"
#include "frame/arrays.h"
#include "geometry/mesh.h"
#include "geometry/mesh_walk.h"
#include "geometry/triangle.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::geometry;

int kv::geometry::mesh_lanes = 0;
using dx::Vec3;
using dx::Vec3d;

namespace {


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

// A ray against the nodes' boxes, each widened by `slack` on every side: the
// watertight test decides on corners rounded to floats in the ray's frame, which
// can take in a ray passing up to 2^-23 of the corners' distance from the origin
// beside the triangle, and the slabs here are rounded in double. Two boxes at a
// time (a pair of children, side by side in one line), one in each lane. A zero
// component of dir has a reciprocal of +∞: its slab is everything or nothing,
// and the 0 × ∞ of an origin exactly on its bound (a NaN) puts no bound on t.
struct RayBoxes {
  __m128d below[3], above[3], inv[3];  // origin + slack, origin − slack, 1 / dir, in both lanes

  RayBoxes(const Mesh& m, const Vec3& origin, const Vec3& dir) {
    double far = 0, size = m.reach;
    for (int i = 0; i < 3; ++i) {
      far = std::max(far, __builtin_fabs(origin.c[i] - m.centre[i]));
      size += __builtin_fabs(origin.c[i]) + __builtin_fabs(m.centre[i]);
    }
    double most = 0;
    for (int i = 0; i < 3; ++i) most = std::max(most, __builtin_fabs(double(dir.c[i])));
    // As settle_t widens a triangle's box, and more: the walk never culls a box a hit lies in.
    const double slack = (far + m.reach) * 0x1p-20 + size * 0x1p-44 + 0x1p-147 / most;
    for (int i = 0; i < 3; ++i) {
      below[i] = _mm_set1_pd(origin.c[i] + slack), above[i] = _mm_set1_pd(origin.c[i] - slack);
      inv[i] = _mm_set1_pd(dir.c[i] == 0 ? kInf : 1 / double(dir.c[i]));
    }
  }
  // The t where the ray enters each widened box of the pair (0 from inside), or
  // +∞ where it misses it (or the box holds nothing).
  __m128d entries(const Node* pair) const {
    const PairBoxes b(pair);
    const __m128d (&lo)[3] = b.lo, (&hi)[3] = b.hi;
    __m128d near = _mm_setzero_pd(), far = _mm_set1_pd(kInf);
    for (int i = 0; i < 3; ++i) {
      const __m128d t1 = _mm_mul_pd(_mm_sub_pd(lo[i], below[i]), inv[i]), t2 = _mm_mul_pd(_mm_sub_pd(hi[i], above[i]), inv[i]);
      const __m128d known = _mm_cmpord_pd(t1, t2);  // not an origin on a bound with a zero component
      near = _mm_max_pd(_mm_and_pd(known, _mm_min_pd(t1, t2)), near);  // 0 where unknown: below any entry
      far = _mm_min_pd(_mm_or_pd(_mm_andnot_pd(known, _mm_set1_pd(kInf)), _mm_and_pd(known, _mm_max_pd(t1, t2))), far);
    }
    const __m128d met = _mm_and_pd(_mm_cmple_pd(near, far), _mm_cmple_pd(lo[0], hi[0]));
    return _mm_or_pd(_mm_and_pd(met, near), _mm_andnot_pd(met, _mm_set1_pd(kInf)));
  }
};

// The squares of the distances from c to both boxes of a pair (+∞ for an empty box).
__m128d distances2(const Node* pair, const Vec3d& c) {
  const PairBoxes b(pair);
  __m128d d2 = _mm_setzero_pd();
  for (int i = 0; i < 3; ++i) {
    const __m128d x = _mm_set1_pd(c.c[i]);
    const __m128d d = _mm_max_pd(_mm_max_pd(_mm_sub_pd(b.lo[i], x), _mm_sub_pd(x, b.hi[i])), _mm_setzero_pd());
    d2 = _mm_add_pd(d2, _mm_mul_pd(d, d));
  }
  return d2;
}

// The float after f (+∞ stays): a t below it is at most f.
float next_up(float f) { return f < __builtin_inff() ? float_of(bits_of(f + 0.0f) + (f >= 0 ? 1 : -1)) : f; }

// A leaf's triangles (from f) through the triangle array's lanes: each
// hit offered to `best` under its number, or for line of sight, whether one is hit
// at a t of at most max_t. Two kernels of each, the wide one for AVX.
template <class V>
__attribute__((always_inline)) inline void leaf_nearest(const Ray& ray, const float* f, std::uint32_t count,
                                                        const std::uint32_t* index, Nearest& best) {
  constexpr std::uint32_t kLanes = sizeof(V) / sizeof(double);
  for (std::uint32_t k = 0; k < count; k += kLanes) {
    hit_lanes<V>(ray, f + 9 * k, int(std::min(kLanes, count - k)), next_up(best.bound()),
                 [&](int i, double t, double wa, double wb, double wc, double sum) { best.consider(index[k + std::uint32_t(i)], t, wa, wb, wc, sum); });
  }
}

template <class V>
__attribute__((always_inline)) inline bool leaf_any(const Ray& ray, const float* f, std::uint32_t count, float max_t) {
  constexpr std::uint32_t kLanes = sizeof(V) / sizeof(double);
  bool found = false;
  for (std::uint32_t k = 0; k < count && !found; k += kLanes) {
    hit_lanes<V>(ray, f + 9 * k, int(std::min(kLanes, count - k)), next_up(max_t),
                 [&](int, double t, double, double, double, double) { found = found || (script_t(t) >= 0 && script_t(t) <= max_t); });
  }
  return found;
}

struct LeafKernels {
  void (*nearest)(const Ray&, const float*, std::uint32_t, const std::uint32_t*, Nearest&);
  bool (*any)(const Ray&, const float*, std::uint32_t, float);
};

void nearest_two(const Ray& r, const float* f, std::uint32_t n, const std::uint32_t* i, Nearest& b) { leaf_nearest<Two>(r, f, n, i, b); }
bool any_two(const Ray& r, const float* f, std::uint32_t n, float max_t) { return leaf_any<Two>(r, f, n, max_t); }
__attribute__((target("avx"))) void nearest_four(const Ray& r, const float* f, std::uint32_t n, const std::uint32_t* i, Nearest& b) {
  leaf_nearest<Four>(r, f, n, i, b);
}
__attribute__((target("avx"))) bool any_four(const Ray& r, const float* f, std::uint32_t n, float max_t) { return leaf_any<Four>(r, f, n, max_t); }

const LeafKernels& leaf_kernels() {
  static const LeafKernels two{nearest_two, any_two}, four{nearest_four, any_four};
  if (!mesh_lanes) mesh_lanes = dx::cpu_has_avx() ? 4 : 2;
  return mesh_lanes == 4 ? four : two;
}

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
  const LeafKernels& kernels = leaf_kernels();
  const RayBoxes boxes(m, o, d);
  walk(m, [&](const Node* pair) { return boxes.entries(pair); }, [&] { return best.index >= 0 ? beyond(best.t) : kInf; },
           [&](std::uint32_t first, std::uint32_t count) {
             return kernels.nearest(ray, m.corners + 9 * first, count, m.index + first, best), false;
           });
  sides(m, test);
  return best;
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
  const double bound = max_t < 0 ? 0 : beyond(max_t);
  const LeafKernels& kernels = leaf_kernels();
  const RayBoxes boxes(*m, o, d);
  walk(*m, [&](const Node* pair) { return boxes.entries(pair); }, [&] { return bound; },
           [&](std::uint32_t first, std::uint32_t count) { return found = kernels.any(ray, m->corners + 9 * first, count, max_t); });
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
  walk(*m, [&](const Node* pair) {
    const __m128d near = _mm_cmple_pd(distances2(pair, p), _mm_set1_pd(reach2));
    return _mm_andnot_pd(near, _mm_set1_pd(kInf));
  }, [] { return 0.0; }, [&](std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t k = first; k < first + count; ++k) test(k);
    return false;
  });
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
    walk(*m, [&](const Node* pair) { return _mm_sqrt_pd(distances2(pair, p)); },
         [&] { return best < 0 ? kInf : beyond(best_d) + slack; },
         [&](std::uint32_t first, std::uint32_t count) {
           for (std::uint32_t k = first; k < first + count; ++k) test(k);
           return false;
         });
    sides(*m, test);
  }
  if (best < 0) return bits_of(-1.0f);
  vec::put<3>(out, best_q);
  return bits_of(best_d);
}
