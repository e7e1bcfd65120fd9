#include "geometry/picking.h"


#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "dx/cpu.h"
#include "dx/vector.h"
#include "frame/arrays.h"
#include "geometry/triangle.h"
#include "vector/vec.h"

using namespace kv;
using dx::Vec3;
using dx::Vec3d;
using dx::lanes::Pair;
using namespace kv::geometry;

namespace {

constexpr double kInfinity = __builtin_inf();

Vec3 point(Handle h) { return vec::get<3>(h); }
const float* floats(Handle h) { return reinterpret_cast<const float*>(h); }
__m128 lanes(Handle h) { return dx::lanes::three(floats(h)); }
Vec3d wide(Handle h) { return dx::widen(point(h)); }
Pair pair(Handle h) { return pair_at(h); }

FloatBits miss() { return bits_of(-1.0f); }
FloatBits distance(double t) { return bits_of(script_t(t)); }

// The lower and upper corners of the box of two opposite corners given in any order.
struct Box {
  Vec3d lo, hi;
  bool nan;
};

Box box(Handle corner1, Handle corner2) {
  const Vec3d p = wide(corner1), q = wide(corner2);
  Box b{p, q, dx::has_nan(p) || dx::has_nan(q)};
  for (int i = 0; i < 3; ++i) {
    if (q.c[i] < p.c[i]) std::swap(b.lo.c[i], b.hi.c[i]);
  }
  return b;
}

// The point of the box nearest p: p clamped into it, axis by axis.
Vec3d clamped(const Vec3d& p, const Box& b) {
  Vec3d r = p;
  for (int i = 0; i < 3; ++i) r.c[i] = p.c[i] < b.lo.c[i] ? b.lo.c[i] : p.c[i] > b.hi.c[i] ? b.hi.c[i] : p.c[i];
  return r;
}

double squared_distance(const Vec3d& p, const Vec3d& q) {
  const Vec3d d = dx::difference(p, q);
  return dx::dot(d, d);
}

// The point of the segment from p to q nearest x (p itself when p = q).
Vec3d on_segment(const Vec3d& x, const Vec3d& p, const Vec3d& q) {
  const Vec3d s = dx::difference(q, p), px = dx::difference(x, p);
  const double length2 = dx::dot(s, s), t = length2 > 0 ? dx::dot(px, s) / length2 : 0;
  return dx::along(p, s, t < 0 ? 0 : t > 1 ? 1 : t);
}

// The slabs for inputs with an infinity (or a NaN) in them, in plain double.
__attribute__((noinline)) FloatBits box_with_infinities(Handle origin, Handle dir, Handle corner1, Handle corner2) {
  const Vec3d o = wide(origin), d = wide(dir), p = wide(corner1), q = wide(corner2);
  if (dx::has_nan(o) || dx::has_nan(d) || dx::has_nan(p) || dx::has_nan(q)) return miss();
  bool outside = false, infinite = false;
  double enter = 0, leave = kInfinity;
  for (int i = 0; i < 3; ++i) {
    const double lo = std::min(p.c[i], q.c[i]), hi = std::max(p.c[i], q.c[i]);
    outside |= o.c[i] < lo || o.c[i] > hi;
    infinite |= !finite(d.c[i]);
    if (d.c[i] == 0) {
      if (o.c[i] < lo || o.c[i] > hi) return miss();
      continue;
    }
    const double t1 = (lo - o.c[i]) / d.c[i], t2 = (hi - o.c[i]) / d.c[i];
    if (t1 != t1 || t2 != t2) return miss();  // an origin and a bound at the same infinity
    enter = std::max(enter, std::min(t1, t2)), leave = std::min(leave, std::max(t1, t2));
  }
  if (infinite) return outside ? miss() : distance(0);
  return enter <= leave ? distance(enter) : miss();
}

// The closed-box decision in exact arithmetic, for the rays whose entry and exit
// t lie too close for the rounded ones to order them. On each axis with a non-zero
// dir component the ray is in the slab from L = N / |d| to U = M / |d|, with
// N = (near bound − origin)·sign(d) and M = (far bound − origin)·sign(d); it meets
// the box when every L is at most every U and no U is below 0. L_i ≤ U_j is
// N_i·|d_j| ≤ M_j·|d_i|, a sum of four products of floats.
__attribute__((noinline)) bool box_exactly(const __m128& o4, const __m128& d4, const __m128& lo4, const __m128& hi4) {
  float o[4], d[4], lo[4], hi[4];
  _mm_storeu_ps(o, o4), _mm_storeu_ps(d, d4), _mm_storeu_ps(lo, lo4), _mm_storeu_ps(hi, hi4);
  for (int j = 0; j < 3; ++j) {
    if (d[j] == 0) continue;
    const double sj = d[j] > 0 ? 1 : -1, far_j = d[j] > 0 ? hi[j] : lo[j];
    if ((far_j - o[j]) * sj < 0) return false;  // the box is behind
    for (int i = 0; i < 3; ++i) {
      if (i == j || d[i] == 0) continue;
      const double si = d[i] > 0 ? 1 : -1, near_i = d[i] > 0 ? lo[i] : hi[i];
      const double aj = __builtin_fabs(double(d[j])), ai = __builtin_fabs(double(d[i]));
      const double terms[4] = {si * near_i * aj, -si * o[i] * aj, -sj * far_j * ai, sj * o[j] * ai};
      if (dx::exact_sign(terms) > 0) return false;
    }
  }
  return true;
}

}  // namespace

// A ray that does not cross the triangle's plane (a dir along it, zero or with an
// infinite component) hits only where it starts: an origin in the plane (A·(B × C)
// exactly 0) and inside the triangle, the edge functions taken along the normal n
// then. Any NaN, or an origin or a corner at infinity, misses. Rare: kept out of
// the way of the usual case.
__attribute__((noinline)) TriangleHit kv::geometry::origin_on_triangle(Handle origin, Handle dir, Handle a, Handle b, Handle c) {
  const Pair o = pair(origin), d = pair(dir), A = pair(a) - o, B = pair(b) - o, C = pair(c) - o;
  const Pair bc = cross(B, C), ca = cross(C, A), ab = cross(A, B);
  const Pair n = {_mm_add_pd(_mm_add_pd(bc.xy, ca.xy), ab.xy), _mm_add_sd(_mm_add_sd(bc.z, ca.z), ab.z)};
  const double ua = dot(n, bc), ub = dot(n, ca), uc = dot(n, ab), sum = ua + ub + uc;
  const bool on = dot(A, bc) == 0 && sum > 0 && ua >= 0 && ub >= 0 && uc >= 0 && dot(d, d) == dot(d, d);
  return {ua, ub, uc, sum, 0, on && finite(dot(A, A) + dot(B, B) + dot(C, C))};
}

// Outside the sphere (c = |m|² − r² > 0, m = origin − centre) and heading toward
// it (b = m·d < 0), the nearer root is c / (−b + √(b² − |d|²·c)): the form
// without the cancellation of (−b − √…) / |d|² when the hit is close.
inline FloatBits hit_sphere(Handle origin, Handle dir, Handle centre, float radius) {
  const Pair d = pair(dir), m = pair(origin) - pair(centre);
  const double r = radius, c = dot(m, m) - r * r, b = dot(m, d), dd = dot(d, d);
  if (dd != dd) return miss();               // a NaN in dir
  if (c <= 0) return r >= 0 ? distance(0) : miss();
  const double disc = b * b - dd * c;        // NaN for a NaN or an infinity: a miss
  if (!(b < 0 && r >= 0 && disc >= 0)) return miss();
  return distance(c / (-b + sm::sqrt(disc)));
}

KV_EXPORT FloatBits Ray_HitSphere(Handle origin, Handle dir, Handle centre, float radius) {
  return hit_sphere(origin, dir, centre, radius);
}

// The slabs: the entry t is the largest of the t where the ray enters each axis's
// slab (and 0), the exit the smallest where it leaves one. In double, x and y in
// one register and z in another, each t as (bound − origin) · (1 / dir): within a
// few units of the 53rd bit of the exact t, so that entry and exit further apart
// than 2^-49 of the larger are ordered as the exact ones are, and the others are
// decided exactly (box_exactly); a ray that touches an edge or a corner meets its
// entry and exit at one t, and is a hit. A zero
// component of dir is decided by its slab alone: an origin outside it (faces
// excluded) misses, one inside or on it is in that slab for every t. A dir with an
// infinite component is everywhere along its line at once: it hits at 0 from an
// origin in the box, and misses from outside. An origin and a bound at the same
// infinity give no t at all: a miss, as any NaN (box_with_infinities).
KV_EXPORT FloatBits Ray_HitAABB(Handle origin, Handle dir, Handle corner1, Handle corner2) {
  const __m128 o = lanes(origin), d = lanes(dir), p = lanes(corner1), q = lanes(corner2);
  const __m128 lo = _mm_min_ps(p, q), hi = _mm_max_ps(p, q), zero = _mm_cmpeq_ps(d, _mm_setzero_ps());
  // x − x is NaN for an infinity and for a NaN: those go the slow way.
  const __m128 not_finite = _mm_or_ps(_mm_cmpunord_ps(_mm_sub_ps(o, o), _mm_sub_ps(d, d)),
                                      _mm_cmpunord_ps(_mm_sub_ps(p, p), _mm_sub_ps(q, q)));
  if (_mm_movemask_ps(not_finite) & 7) return box_with_infinities(origin, dir, corner1, corner2);
  const __m128 outside = _mm_or_ps(_mm_cmplt_ps(o, lo), _mm_cmpgt_ps(o, hi));
  if (_mm_movemask_ps(_mm_and_ps(zero, outside)) & 7) return miss();
  const __m128d one = _mm_set1_pd(1), far = _mm_set1_pd(kInfinity), near = _mm_set1_pd(-kInfinity);
  const __m128d zero_xy = _mm_castps_pd(_mm_unpacklo_ps(zero, zero)), zero_z = _mm_castps_pd(_mm_unpackhi_ps(zero, zero));
  const __m128d inv_xy = _mm_div_pd(one, _mm_cvtps_pd(d)), inv_z = _mm_div_sd(one, _mm_cvtps_pd(_mm_movehl_ps(d, d)));
  const __m128d o_xy = _mm_cvtps_pd(o), o_z = _mm_cvtps_pd(_mm_movehl_ps(o, o));
  const __m128d t1_xy = _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(lo), o_xy), inv_xy);
  const __m128d t2_xy = _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(hi), o_xy), inv_xy);
  const __m128d t1_z = _mm_mul_sd(_mm_sub_sd(_mm_cvtps_pd(_mm_movehl_ps(lo, lo)), o_z), inv_z);
  const __m128d t2_z = _mm_mul_sd(_mm_sub_sd(_mm_cvtps_pd(_mm_movehl_ps(hi, hi)), o_z), inv_z);
  // A zero component's slab: from −∞ to +∞, whatever (bound − origin) × ±∞ gave.
  const __m128d enter_xy = _mm_or_pd(_mm_and_pd(zero_xy, near), _mm_andnot_pd(zero_xy, _mm_min_pd(t1_xy, t2_xy)));
  const __m128d leave_xy = _mm_or_pd(_mm_and_pd(zero_xy, far), _mm_andnot_pd(zero_xy, _mm_max_pd(t1_xy, t2_xy)));
  const __m128d enter_z = _mm_or_pd(_mm_and_pd(zero_z, near), _mm_andnot_pd(zero_z, _mm_min_sd(t1_z, t2_z)));
  const __m128d leave_z = _mm_or_pd(_mm_and_pd(zero_z, far), _mm_andnot_pd(zero_z, _mm_max_sd(t1_z, t2_z)));
  const __m128d enter = _mm_max_sd(_mm_max_sd(enter_xy, _mm_unpackhi_pd(enter_xy, enter_xy)),
                                   _mm_max_sd(enter_z, _mm_setzero_pd()));
  const __m128d leave = _mm_min_sd(_mm_min_sd(leave_xy, _mm_unpackhi_pd(leave_xy, leave_xy)), leave_z);
  const double t = _mm_cvtsd_f64(enter), end = _mm_cvtsd_f64(leave);
  if (end - t > 0x1p-49 * end || end == kInfinity) return distance(t);
  if (t - end > 0x1p-49 * t || end < 0) return miss();
  return box_exactly(o, d, lo, hi) ? distance(t) : miss();
}

KV_EXPORT FloatBits Ray_HitTriangle(Handle origin, Handle dir, Handle a, Handle b, Handle c) {
  const TriangleHit hit = hit_triangle(ray_of(origin, dir), a, b, c);
  return hit.hit ? distance(hit.t) : miss();
}

// As Ray_HitTriangle; on a hit, (u, v) with hit = a + u (b − a) + v (c − a) into
// the Vec2 uv, which a miss leaves alone.
KV_EXPORT FloatBits Ray_HitTriangleEx(Handle origin, Handle dir, Handle a, Handle b, Handle c, Handle uv) {
  const TriangleHit hit = hit_triangle(ray_of(origin, dir), a, b, c);
  if (!hit.hit) return miss();
  vec::put<2>(uv, weights(hit.wa, hit.wb, hit.wc, hit.sum));
  return distance(hit.t);
}

// From either side; an origin on the plane is a hit at 0 whatever dir is, and a
// dir with an infinite component hits nothing else.
KV_EXPORT FloatBits Ray_HitPlane(Handle origin, Handle dir, Handle plane) {
  const dx::Vec4 p = vec::get<4>(plane);
  const Vec3d normal{{p.c[0], p.c[1], p.c[2]}}, d = wide(dir);
  const double height = dx::dot(normal, wide(origin)) + p.c[3], along = dx::dot(normal, d);
  if (dx::has_nan(d) || height != height) return miss();
  if (height == 0) return distance(0);
  const double t = -height / along;
  return t >= 0 && finite(dx::dot(d, d)) ? distance(t) : miss();
}

KV_EXPORT std::int32_t Sphere_HitSphere(Handle centre1, float radius1, Handle centre2, float radius2) {
  const double reach = double(radius1) + radius2;
  return radius1 >= 0 && radius2 >= 0 && squared_distance(wide(centre1), wide(centre2)) <= reach * reach;
}

// Comparisons of singles are exact: no wider arithmetic is needed. The three
// axes side by side in SSE lanes: each box's lower and upper corners, then
// alo ≤ bhi and blo ≤ ahi on every axis, with no NaN in any corner.
KV_EXPORT std::int32_t AABB_HitAABB(Handle a1, Handle a2, Handle b1, Handle b2) {
  const __m128 p = lanes(a1), q = lanes(a2), r = lanes(b1), s = lanes(b2);
  const __m128 alo = _mm_min_ps(p, q), ahi = _mm_max_ps(p, q), blo = _mm_min_ps(r, s), bhi = _mm_max_ps(r, s);
  const __m128 ok = _mm_and_ps(_mm_and_ps(_mm_cmple_ps(alo, bhi), _mm_cmple_ps(blo, ahi)),
                               _mm_and_ps(_mm_cmpord_ps(p, q), _mm_cmpord_ps(r, s)));
  return (_mm_movemask_ps(ok) & 7) == 7;
}

KV_EXPORT std::int32_t AABB_HitSphere(Handle corner1, Handle corner2, Handle centre, float radius) {
  const Box b = box(corner1, corner2);
  const Vec3d c = wide(centre);
  const double r = radius;
  return !b.nan && r >= 0 && squared_distance(c, clamped(c, b)) <= r * r;
}

KV_EXPORT std::int32_t AABB_HasPoint(Handle corner1, Handle corner2, Handle p) {
  const Box b = box(corner1, corner2);
  const Vec3d x = wide(p);
  for (int i = 0; i < 3; ++i) {
    if (!(b.lo.c[i] <= x.c[i] && x.c[i] <= b.hi.c[i])) return 0;
  }
  return !b.nan;
}

// By the region of the triangle's plane p falls in (a corner's, an edge's or the
// face's), from the dot products of the edges with p's offsets from the corners.
// A zero-area triangle has no face: the nearest point of its three edges.
dx::Vec3 kv::geometry::closest_on_triangle(const Vec3d& p, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
  const Vec3d ab = dx::difference(b, a), ac = dx::difference(c, a);
  const Vec3d ap = dx::difference(p, a), bp = dx::difference(p, b), cp = dx::difference(p, c);
  const Vec3d normal = dx::cross(ab, ac);
  Vec3d r;
  const double d1 = dx::dot(ab, ap), d2 = dx::dot(ac, ap), d3 = dx::dot(ab, bp), d4 = dx::dot(ac, bp);
  const double d5 = dx::dot(ab, cp), d6 = dx::dot(ac, cp);
  const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
  if (dx::dot(normal, normal) == 0) {
    const Vec3d candidates[3] = {on_segment(p, a, b), on_segment(p, b, c), on_segment(p, c, a)};
    r = candidates[0];
    for (const Vec3d& x : candidates) {
      if (squared_distance(p, x) < squared_distance(p, r)) r = x;
    }
  } else if (d1 <= 0 && d2 <= 0) {
    r = a;
  } else if (d3 >= 0 && d4 <= d3) {
    r = b;
  } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    r = dx::along(a, ab, d1 / (d1 - d3));
  } else if (d6 >= 0 && d5 <= d6) {
    r = c;
  } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    r = dx::along(a, ac, d2 / (d2 - d6));
  } else if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
    r = dx::along(b, dx::difference(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
  } else {
    const double sum = va + vb + vc;
    r = dx::along(dx::along(a, ab, vb / sum), ac, vc / sum);
  }
  return dx::narrow(r);
}

KV_EXPORT std::int32_t Vec3_ClosestPointOnTriangle(Handle out, Handle p, Handle a, Handle b, Handle c) {
  vec::put<3>(out, closest_on_triangle(wide(p), wide(a), wide(b), wide(c)));
  return 0;
}

KV_EXPORT std::int32_t Vec3_ClosestPointOnAABB(Handle out, Handle p, Handle corner1, Handle corner2) {
  vec::put<3>(out, dx::narrow(clamped(wide(p), box(corner1, corner2))));
  return 0;
}

// origin + t·dir with t = (p − origin)·dir / |dir|², not below 0; the origin for a zero dir.
KV_EXPORT std::int32_t Vec3_ClosestPointOnRay(Handle out, Handle p, Handle origin, Handle dir) {
  const Vec3d o = wide(origin), d = wide(dir);
  const double length2 = dx::dot(d, d), t = length2 > 0 ? dx::dot(dx::difference(point(p), point(origin)), d) / length2 : 0;
  vec::put<3>(out, dx::narrow(dx::along(o, d, t > 0 ? t : 0)));
  return 0;
}

namespace kv::geometry {
namespace {

// The triangles from 0 to a multiple of the lanes, then one at a time.
template <class V>
__attribute__((always_inline)) inline std::int32_t nearest_triangle(Handle origin, Handle dir, const frame::Array& corners, Handle hit) {
  constexpr std::uint32_t kLanes = sizeof(V) / sizeof(double);
  const std::uint32_t triangles = corners.count / 3;
  const float* f = corners.elements<float>();
  const Ray ray = ray_of(origin, dir);
  Nearest nearest;
  std::uint32_t k = 0;
  for (; k + kLanes <= triangles; k += kLanes) {
    hit_lanes<V>(ray, f + 9 * k, kLanes, nearest.bound(), [&](int i, double t, double wa, double wb, double wc, double sum) {
      nearest.consider(k + std::uint32_t(i), t, wa, wb, wc, sum);
    });
  }
  for (; k < triangles; ++k) {
    const TriangleHit h = hit_triangle(ray, corners.element(3 * k), corners.element(3 * k + 1), corners.element(3 * k + 2));
    if (h.hit) nearest.consider(k, h.t, h.wa, h.wb, h.wc, h.sum);
  }
  if (nearest.index >= 0 && given(hit)) vec::put<3>(hit, {{nearest.t, nearest.u, nearest.v}});
  return nearest.index;
}

std::int32_t triangles_by_two(Handle origin, Handle dir, const frame::Array& corners, Handle hit) {
  return nearest_triangle<Two>(origin, dir, corners, hit);
}

__attribute__((target("avx"))) std::int32_t triangles_by_four(Handle origin, Handle dir, const frame::Array& corners, Handle hit) {
  return nearest_triangle<Four>(origin, dir, corners, hit);
}

std::int32_t choose(Handle origin, Handle dir, const frame::Array& corners, Handle hit) {
  triangles_kernel = dx::cpu_has_avx() ? triangles_avx : triangles_sse2;
  return triangles_kernel(origin, dir, corners, hit);
}

}  // namespace

const TrianglesKernel triangles_sse2 = triangles_by_two, triangles_avx = triangles_by_four;
TrianglesKernel triangles_kernel = choose;

}  // namespace kv::geometry

// The nearest triangle among the array's corners, three by three: per triangle
// the decision, t and (u, v) of Ray_HitTriangleEx; nearest by the t a script would
// get, ties to the lowest index. Several triangles at a time in double lanes.
KV_EXPORT std::int32_t Ray_HitTriangleArray(Handle origin, Handle dir, Handle corners, Handle hit) {
  const frame::Array* a = frame::array_at(corners, frame::ArrayKind::Vec3);
  return a ? geometry::triangles_kernel(origin, dir, *a, hit) : -1;
}

// The nearest sphere of the two arrays, by the t of Ray_HitSphere.
KV_EXPORT std::int32_t Ray_HitSphereArray(Handle origin, Handle dir, Handle centres, Handle radii, Handle hit) {
  const frame::Array *c = frame::array_at(centres, frame::ArrayKind::Vec3), *r = frame::array_at(radii, frame::ArrayKind::Float);
  const std::size_t n = frame::common_count(c, r);
  std::int32_t nearest = -1;
  float best = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const float t = float_of(hit_sphere(origin, dir, c->element(k), r->elements<float>()[k]));
    if (t < 0 || (nearest >= 0 && !(t < best))) continue;
    nearest = std::int32_t(k), best = t;
  }
  if (nearest >= 0 && given(hit)) store_float(hit, 0, best);
  return nearest;
}
