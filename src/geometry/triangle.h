// The ray–triangle test every picking command shares (Ray_HitTriangle, the
// triangle array's lanes, the meshes' leaves), so that each gives the same bits.
#pragma once

#include <emmintrin.h>

#include <algorithm>

#include "dx/types.h"
#include "dx/wide.h"
#include "frame/abi.h"

namespace kv::geometry {

using dx::lanes::Pair;

inline Pair pair_at(Handle h) { return dx::lanes::pair(reinterpret_cast<const float*>(h)); }
inline bool finite(double x) { return x - x == 0; }

// A hit at t as the script gets it: +0 at the origin, and −1 (a miss) where t does
// not fit in a float or is not a number.
inline float script_t(double t) {
  const float f = float(t) + 0.0f;
  return f <= 3.40282347e38f ? f : -1.0f;
}

// Where the ray meets the triangle, two sided, edges and corners included. With
// A, B, C the corners less the origin, the edge functions w_a = d·(B × C),
// w_b = d·(C × A), w_c = d·(A × B) weigh the corners: the hit is the point
// (w_a·a + w_b·b + w_c·c) / (w_a + w_b + w_c), at t = A·(B × C) / (w_a + w_b + w_c).
// The triangle has no area when B × C + C × A + A × B, which is (b − a) × (c − a),
// is zero: a miss.
//
// Whether the ray passes inside is decided apart from those weights, watertight
// (Woop, Benthin and Wald): in the ray's sheared frame (dir along the axis kz where
// it is largest, the other two axes sheared so that the ray is the line x = y = 0)
// each corner becomes a 2D point rounded to floats (Shear), the same two floats for every
// triangle that shares the corner. The 2D edge functions are then differences of
// products of floats, each product exact in double, so their signs are exact:
// around a corner the triangles' wedges tile the plane, and no ray passes between
// triangles that share an edge or a corner. An edge function of 0 counts as
// inside for both triangles of the edge. Where all three are 0 (the triangle seen
// edge on, as far as floats tell) the signs of the weights decide.
struct TriangleHit {
  double wa, wb, wc, sum, t;  // the weights of b and c are wb / sum and wc / sum
  bool hit;
};

// The ray's sheared frame: kz the axis where |dir| is largest (the first of
// equals), kx and ky the next two. A corner less the origin, P, is seen from the
// ray as the 2D point (P[kx]·d[kz] − d[kx]·P[kz], P[ky]·d[kz] − d[ky]·P[kz]): two
// components of d × P, the shear scaled by d[kz] (which scales every edge function
// alike and keeps their signs), with no division.
struct Shear {
  int kx, ky, kz;
  double dx, dy, dz;
};

inline Shear shear_of(const double (&d)[3]) {
  const double x = __builtin_fabs(d[0]), y = __builtin_fabs(d[1]), z = __builtin_fabs(d[2]);
  const int kz = x >= y ? (x >= z ? 0 : 2) : (y >= z ? 1 : 2), kx = kz == 2 ? 0 : kz + 1, ky = kz == 0 ? 2 : 3 - kz - kx;
  return {kx, ky, kz, d[kx], d[ky], d[kz]};
}

// Lanes of doubles, for several triangles at once, and of as many floats.
typedef double Two __attribute__((vector_size(16)));
typedef double Four __attribute__((vector_size(32)));
typedef float TwoF __attribute__((vector_size(8)));
typedef float FourF __attribute__((vector_size(16)));

// A value in double rounded to float and widened back: for doubles and for lanes of them.
inline double to_float(double x) { return double(float(x)); }
inline Two to_float(Two x) { return __builtin_convertvector(__builtin_convertvector(x, TwoF), Two); }
inline Four to_float(Four x) { return __builtin_convertvector(__builtin_convertvector(x, FourF), Four); }

// The 2D edge function of corners p and q seen from the ray: exact in sign for
// float coordinates, and −(edge(q, p)) to the bit.
template <class T>
inline T edge(T px, T py, T qx, T qy) {
  return px * qy - py * qx;
}

// The three 2D edge functions of a triangle (or lanes of them), from its corners
// less the origin given by axis (p[k] for axis k). Inside when none has a sign
// unlike another's.
template <class T>
struct Edges {
  T a, b, c;
};

template <class T>
inline Edges<T> edges(const T (&a)[3], const T (&b)[3], const T (&c)[3], const Shear& s) {
  const T ax = to_float(a[s.kx] * s.dz - s.dx * a[s.kz]), ay = to_float(a[s.ky] * s.dz - s.dy * a[s.kz]);
  const T bx = to_float(b[s.kx] * s.dz - s.dx * b[s.kz]), by = to_float(b[s.ky] * s.dz - s.dy * b[s.kz]);
  const T cx = to_float(c[s.kx] * s.dz - s.dx * c[s.kz]), cy = to_float(c[s.ky] * s.dz - s.dy * c[s.kz]);
  return {edge(bx, by, cx, cy), edge(cx, cy, ax, ay), edge(ax, ay, bx, by)};
}

// (u, v) = (wb, wc) / sum. Where the watertight decision says hit and the weights
// in double, within rounding of an edge, put the point a hair outside it, the
// weights on the wrong side count as 0: (u, v) stays in the triangle.
inline dx::Vec<2> weights(double wa, double wb, double wc, double sum) {
  if (!((wa >= 0 && wb >= 0 && wc >= 0) || (wa <= 0 && wb <= 0 && wc <= 0))) {
    const double sign = sum < 0 ? -1 : 1;
    wa = std::max(wa * sign, 0.0), wb = std::max(wb * sign, 0.0), wc = std::max(wc * sign, 0.0);
    sum = (wa + wb) + wc;
  }
  return {float(wb / sum), float(wc / sum)};
}

// A Pair's three components, by axis.
inline void axes(const Pair& p, double (&out)[3]) {
  out[0] = _mm_cvtsd_f64(p.xy), out[1] = _mm_cvtsd_f64(_mm_unpackhi_pd(p.xy, p.xy)), out[2] = _mm_cvtsd_f64(p.z);
}

// A ray as every triangle test takes it: the handles, the two in double, its sheared frame.
struct Ray {
  Handle origin, dir;
  Pair o, d;
  Shear shear;
};

inline Ray ray_of(Handle origin, Handle dir) {
  Ray r{origin, dir, pair_at(origin), pair_at(dir), {}};
  double way[3];
  axes(r.d, way);
  r.shear = shear_of(way);
  return r;
}

TriangleHit origin_on_triangle(Handle origin, Handle dir, Handle a, Handle b, Handle c);

// A hit's t no earlier than the ray's entry into the triangle's own box, widened
// by what the decision's rounding can take in (2^-20 of the corners' largest
// distance from the origin along an axis, and 2^-148 / |dir| for a dir of almost
// no length). The formula's t strays before the box only for a ray all but in
// the triangle's plane, whose crossing with that plane lies away from the
// triangle; the meshes' walk counts on no hit lying before its triangle's box.
__attribute__((noinline)) inline double settle_t_slowly(const Ray& ray, Handle a, Handle b, Handle c, double t) {
  double A[3], B[3], C[3], d[3];
  axes(pair_at(a) - ray.o, A), axes(pair_at(b) - ray.o, B), axes(pair_at(c) - ray.o, C), axes(ray.d, d);
  double far = 0, most = 0;
  for (int i = 0; i < 3; ++i) {
    far = std::max(far, std::max(__builtin_fabs(A[i]), std::max(__builtin_fabs(B[i]), __builtin_fabs(C[i]))));
    most = std::max(most, __builtin_fabs(d[i]));
  }
  const double slack = far * 0x1p-20 + 0x1p-148 / most;
  double entry = t;
  for (int i = 0; i < 3; ++i) {
    if (d[i] == 0) continue;
    const double lo = std::min(A[i], std::min(B[i], C[i])) - slack, hi = std::max(A[i], std::max(B[i], C[i])) + slack;
    entry = std::max(entry, std::min(lo / d[i], hi / d[i]));
  }
  return entry;
}


// Nearly always the point at t lies inside the box widened by half that slack on
// the side the ray enters by, and no entry can pass t (the other half outweighs
// the rounding of either test): t stands, decided in a few lanes without a
// division or a branch on the signs of dir.
inline double settle_t(const Ray& ray, Handle a, Handle b, Handle c, double t) {
  const Pair A = pair_at(a) - ray.o, B = pair_at(b) - ray.o, C = pair_at(c) - ray.o;
  const __m128d lo_xy = _mm_min_pd(_mm_min_pd(A.xy, B.xy), C.xy), lo_z = _mm_min_sd(_mm_min_sd(A.z, B.z), C.z);
  const __m128d hi_xy = _mm_max_pd(_mm_max_pd(A.xy, B.xy), C.xy), hi_z = _mm_max_sd(_mm_max_sd(A.z, B.z), C.z);
  const __m128d sign = _mm_set1_pd(-0.0), zero = _mm_setzero_pd();
  const __m128d far_xy = _mm_max_pd(_mm_andnot_pd(sign, lo_xy), _mm_andnot_pd(sign, hi_xy));
  const __m128d far_z = _mm_max_sd(_mm_andnot_pd(sign, lo_z), _mm_andnot_pd(sign, hi_z));
  const __m128d far = _mm_max_sd(_mm_max_sd(far_xy, _mm_unpackhi_pd(far_xy, far_xy)), far_z);
  const __m128d half = _mm_mul_pd(_mm_unpacklo_pd(far, far), _mm_set1_pd(0x1p-21)), at = _mm_set1_pd(t);
  const auto outside = [&](__m128d d, __m128d lo, __m128d hi) {  // entering past the point at t
    const __m128d p = _mm_mul_pd(at, d);
    return _mm_or_pd(_mm_and_pd(_mm_cmpgt_pd(d, zero), _mm_cmplt_pd(p, _mm_sub_pd(lo, half))),
                     _mm_and_pd(_mm_cmplt_pd(d, zero), _mm_cmpgt_pd(p, _mm_add_pd(hi, half))));
  };
  if (!(_mm_movemask_pd(outside(ray.d.xy, lo_xy, hi_xy)) | (_mm_movemask_pd(outside(ray.d.z, lo_z, hi_z)) & 1))) return t;
  return settle_t_slowly(ray, a, b, c, t);
}

inline TriangleHit hit_triangle(const Ray& ray, Handle a, Handle b, Handle c) {
  const Pair o = ray.o, d = ray.d, A = pair_at(a) - o, B = pair_at(b) - o, C = pair_at(c) - o;
  const Pair bc = cross(B, C), ca = cross(C, A), ab = cross(A, B);
  const double wa = dot(d, bc), wb = dot(d, ca), wc = dot(d, ab);
  const double sum = wa + wb + wc;
  if (sum == 0 || sum - sum != 0) return origin_on_triangle(ray.origin, ray.dir, a, b, c);
  double pa[3], pb[3], pc[3];
  axes(A, pa), axes(B, pb), axes(C, pc);
  const Edges<double> e = edges(pa, pb, pc, ray.shear);
  // Each sign taken whole, not by a branch apiece: which way a ray passes is anybody's guess.
  const bool edge_on = (e.a == 0) & (e.b == 0) & (e.c == 0);
  const bool weighed_in = ((wa >= 0) & (wb >= 0) & (wc >= 0)) | ((wa <= 0) & (wb <= 0) & (wc <= 0));
  const bool tight_in = ((e.a >= 0) & (e.b >= 0) & (e.c >= 0)) | ((e.a <= 0) & (e.b <= 0) & (e.c <= 0));
  if (!((tight_in & !edge_on) | (weighed_in & edge_on))) return {0, 0, 0, 0, 0, false};
  const __m128d zero = _mm_setzero_pd();
  const __m128d area_xy = _mm_add_pd(_mm_add_pd(bc.xy, ca.xy), ab.xy), area_z = _mm_add_sd(_mm_add_sd(bc.z, ca.z), ab.z);
  const bool flat = _mm_movemask_pd(_mm_cmpeq_pd(area_xy, zero)) == 3 && (_mm_movemask_pd(_mm_cmpeq_sd(area_z, zero)) & 1);
  const double t = dot(A, bc) / sum;
  const bool hit = !flat && t >= 0;
  return {wa, wb, wc, sum, hit ? settle_t(ray, a, b, c, t) : t, hit};
}

// The nearest hit so far among triangles offered in any order: the triangle's
// index (−1 for none), its t as the script gets it, and (u, v); nearest by that t,
// ties to the lowest index.
struct Nearest {
  std::int32_t index = -1;
  float t = 0, u = 0, v = 0;

  void consider(std::uint32_t j, double at, double wa, double wb, double wc, double sum) {
    const float f = script_t(at);
    if (f < 0 || (index >= 0 && !(f < t || (f == t && std::int32_t(j) < index)))) return;
    const dx::Vec<2> uv = weights(wa, wb, wc, sum);
    index = std::int32_t(j), t = f, u = uv.c[0], v = uv.c[1];
  }
  // Every t a hit may still have is at most this.
  float bound() const { return index >= 0 ? t : __builtin_inff(); }
};

template <class V>
struct Narrow;  // the float vector of as many lanes
template <>
struct Narrow<Two> {
  using type = TwoF;
};
template <>
struct Narrow<Four> {
  using type = FourF;
};

// One float of as many triangles as V has lanes (triangle i's nine from f + 9·i).
inline void load(Two& v, const float* f) { v = __builtin_convertvector((TwoF{f[0], f[9]}), Two); }
inline void load(Four& v, const float* f) { v = __builtin_convertvector((FourF{f[0], f[9], f[18], f[27]}), Four); }

// Bit i set where lane i of a comparison holds.
using TwoMask = decltype(Two{} < Two{});
using FourMask = decltype(Four{} < Four{});
inline int mask(TwoMask m) { return _mm_movemask_pd(__m128d(m)); }
inline int mask(FourMask m) { return mask(TwoMask{m[0], m[1]}) | mask(TwoMask{m[2], m[3]}) << 2; }

// The lanes' work is inlined into one function per register width, the wide one
// built for AVX.
// As many triangles as V has lanes (the first `used` of them counted), every
// value formed operation for operation as hit_triangle forms it, so that each
// lane holds hit_triangle's answer. Lanes where hit_triangle would go on to
// origin_on_triangle (a sum of 0 or not finite) are asked of it; hits whose t as
// the script gets it is below `bound` are offered to `consider(lane, t, wa, wb,
// wc, sum)` in lane order, t settled as hit_triangle settles it (which only
// raises it, so that `bound` turns away no hit it should not).
template <class V, class Consider>
__attribute__((always_inline)) inline void hit_lanes(const Ray& ray, const float* f, int used, float bound, Consider consider) {
  struct L3 {
    V x, y, z;
  };
  constexpr int kLanes = sizeof(V) / sizeof(double);
  const Pair &o = ray.o, &d = ray.d;
  const double ox = _mm_cvtsd_f64(o.xy), oy = _mm_cvtsd_f64(_mm_unpackhi_pd(o.xy, o.xy)), oz = _mm_cvtsd_f64(o.z);
  const auto corner = [&](int i) {
    L3 c;
    load(c.x, f + i), load(c.y, f + i + 1), load(c.z, f + i + 2);
    return L3{c.x - ox, c.y - oy, c.z - oz};
  };
  const auto cross = [](const L3& p, const L3& q) {  // as lanes::cross
    return L3{p.y * q.z - q.y * p.z, -(p.x * q.z - q.x * p.z), p.x * q.y - p.y * q.x};
  };
  const auto dot = [](const L3& p, const L3& q) { return (p.x * q.x + p.y * q.y) + p.z * q.z; };  // as lanes::dot
  const auto splat = [](__m128d x) {  // every lane the low double of x, its sign kept (−0 too)
    V v;
    for (int i = 0; i < kLanes; ++i) v[i] = _mm_cvtsd_f64(x);
    return v;
  };
  const L3 D = {splat(d.xy), splat(_mm_unpackhi_pd(d.xy, d.xy)), splat(d.z)};
  const L3 A = corner(0), B = corner(3), C = corner(6), bc = cross(B, C), ca = cross(C, A), ab = cross(A, B);
  const V wa = dot(D, bc), wb = dot(D, ca), wc = dot(D, ab), sum = (wa + wb) + wc;
  const V pa[3] = {A.x, A.y, A.z}, pb[3] = {B.x, B.y, B.z}, pc[3] = {C.x, C.y, C.z};
  const Edges<V> e = edges(pa, pb, pc, ray.shear);
  const auto edge_on = (e.a == 0) & (e.b == 0) & (e.c == 0);
  const auto weighed_in = ((wa >= 0) & (wb >= 0) & (wc >= 0)) | ((wa <= 0) & (wb <= 0) & (wc <= 0));
  const auto tight_in = ((e.a >= 0) & (e.b >= 0) & (e.c >= 0)) | ((e.a <= 0) & (e.b <= 0) & (e.c <= 0));
  const auto inside = (tight_in & ~edge_on) | (weighed_in & edge_on);
  const auto odd = (sum == 0) | (sum - sum != 0);
  const auto flat = ((bc.x + ca.x) + ab.x == 0) & ((bc.y + ca.y) + ab.y == 0) & ((bc.z + ca.z) + ab.z == 0);
  const V t = dot(A, bc) / sum;
  // Hits whose t as a float is nearer than the nearest so far, or lanes to ask
  // hit_triangle: rare, once a near hit is found.
  const auto at = __builtin_convertvector(t, typename Narrow<V>::type) + 0.0f;
  const auto nearer = __builtin_convertvector(at < bound, decltype(odd));  // a t beyond floats is ∞: never
  const int counted = (1 << used) - 1;
  const int hit = mask(inside & ~flat & ~odd & (t >= 0) & nearer) & counted;
  const int other = mask(odd) & counted;
  if (!(hit | other)) return;
  for (int i = 0; i < kLanes; ++i) {
    if (other >> i & 1) {
      const Handle a = Handle(f + 9 * i);
      const TriangleHit h = hit_triangle(ray, a, a + 12, a + 24);
      if (h.hit) consider(i, h.t, h.wa, h.wb, h.wc, h.sum);
    } else if (hit >> i & 1) {
      const Handle a = Handle(f + 9 * i);
      consider(i, settle_t(ray, a, a + 12, a + 24, t[i]), wa[i], wb[i], wc[i], sum[i]);
    }
  }
}

// The point of the triangle nearest p, as Vec3_ClosestPointOnTriangle stores it.
dx::Vec3 closest_on_triangle(const dx::Vec3d& p, const dx::Vec3d& a, const dx::Vec3d& b, const dx::Vec3d& c);

}  // namespace kv::geometry
