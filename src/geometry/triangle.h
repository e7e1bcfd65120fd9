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

inline TriangleHit hit_triangle(const Ray& ray, Handle a, Handle b, Handle c) {
  const Pair o = ray.o, d = ray.d, A = pair_at(a) - o, B = pair_at(b) - o, C = pair_at(c) - o;
  const Pair bc = cross(B, C), ca = cross(C, A), ab = cross(A, B);
  const double wa = dot(d, bc), wb = dot(d, ca), wc = dot(d, ab);
  const double sum = wa + wb + wc;
  if (sum == 0 || sum - sum != 0) return origin_on_triangle(ray.origin, ray.dir, a, b, c);
  double pa[3], pb[3], pc[3];
  axes(A, pa), axes(B, pb), axes(C, pc);
  const Edges<double> e = edges(pa, pb, pc, ray.shear);
  const bool inside = e.a == 0 && e.b == 0 && e.c == 0
                          ? (wa >= 0 && wb >= 0 && wc >= 0) || (wa <= 0 && wb <= 0 && wc <= 0)
                          : (e.a >= 0 && e.b >= 0 && e.c >= 0) || (e.a <= 0 && e.b <= 0 && e.c <= 0);
  if (!inside) return {0, 0, 0, 0, 0, false};
  const __m128d zero = _mm_setzero_pd();
  const __m128d area_xy = _mm_add_pd(_mm_add_pd(bc.xy, ca.xy), ab.xy), area_z = _mm_add_sd(_mm_add_sd(bc.z, ca.z), ab.z);
  const bool flat = _mm_movemask_pd(_mm_cmpeq_pd(area_xy, zero)) == 3 && (_mm_movemask_pd(_mm_cmpeq_sd(area_z, zero)) & 1);
  const double t = dot(A, bc) / sum;
  return {wa, wb, wc, sum, t, !flat && t >= 0};
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

// The point of the triangle nearest p, as Vec3_ClosestPointOnTriangle stores it.
dx::Vec3 closest_on_triangle(const dx::Vec3d& p, const dx::Vec3d& a, const dx::Vec3d& b, const dx::Vec3d& c);

}  // namespace kv::geometry
