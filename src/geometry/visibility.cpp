#include "geometry/visibility.h"

#include <immintrin.h>

#include <algorithm>
#include <initializer_list>

#include "dx/cpu.h"
#include "dx/wide.h"
#include "frame/arrays.h"
#include "geometry/frustum.h"

using namespace kv;
using dx::Plane;
using geometry::Frustum;

namespace {

// All arithmetic here is single precision, left to right: s = a·x + b·y + c·z + d.
// The planes are evaluated four at a time, planes 0–3 and then 2–5, in lanes
// that give each plane the same operations in the same order as one at a time.
// Every answer depends only on whether some plane (or all) decides it, not on
// which one decides first, so evaluating all six gives the answers of the plane
// by plane walk.
float distance(const Plane& p, float x, float y, float z) { return p.a * x + p.b * y + p.c * z + p.d; }

Plane plane(Handle f, int i) { return load<Plane>(f + Handle(i) * sizeof(Plane)); }

// Four planes from `first` on, as a, b, c, d each across four lanes.
struct Lanes {
  __m128 a, b, c, d;
};

Lanes planes(Handle f, int first) {
  const float* p = reinterpret_cast<const float*>(f) + first * 4;
  Lanes l{_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _mm_loadu_ps(p + 8), _mm_loadu_ps(p + 12)};
  _MM_TRANSPOSE4_PS(l.a, l.b, l.c, l.d);
  return l;
}

__m128 distances(const Lanes& l, float x, float y, float z) {
  const __m128 s = _mm_add_ps(_mm_mul_ps(l.a, _mm_set1_ps(x)), _mm_mul_ps(l.b, _mm_set1_ps(y)));
  return _mm_add_ps(_mm_add_ps(s, _mm_mul_ps(l.c, _mm_set1_ps(z))), l.d);
}

// Bit i set where lane i's comparison holds; two groups joined into six planes.
int any(__m128 mask) { return _mm_movemask_ps(mask); }

struct Sphere {
  bool outside;  // s ≤ −r for some plane
  bool inside;   // no plane with s < r
};

// Planes 0–3 in four lanes, then far and near in two: each (a·x, b·y, c·z, d)
// summed across, in that order.
Sphere sphere(Handle f, float x, float y, float z, float r) {
  const float* at_plane = reinterpret_cast<const float*>(f);
  const __m128 point = _mm_setr_ps(x, y, z, 1);
  const __m128 far = _mm_mul_ps(_mm_loadu_ps(at_plane + 16), point), near = _mm_mul_ps(_mm_loadu_ps(at_plane + 20), point);
  const __m128 xy = _mm_unpacklo_ps(far, near), zd = _mm_unpackhi_ps(far, near);
  const __m128 last = _mm_add_ps(_mm_add_ps(_mm_add_ps(xy, _mm_movehl_ps(xy, xy)), zd), _mm_movehl_ps(zd, zd));
  const __m128 minus_r = _mm_set1_ps(-r), plus_r = _mm_set1_ps(r);
  int outside = any(_mm_cmple_ps(last, minus_r)) & 3, crossing = any(_mm_cmplt_ps(last, plus_r)) & 3;
  const __m128 first = distances(planes(f, 0), x, y, z);
  outside |= any(_mm_cmple_ps(first, minus_r));
  crossing |= any(_mm_cmplt_ps(first, plus_r));
  return {outside != 0, crossing == 0};
}

// An axis-aligned box as two opposite corners (x, y, z, 0), in any order.
struct Box {
  __m128 lo, hi;
};

Box cube(float x, float y, float z, float size) {
  const __m128 centre = _mm_setr_ps(x, y, z, 0), half = _mm_set1_ps(size * 0.5f);
  return {_mm_sub_ps(centre, half), _mm_add_ps(centre, half)};
}

Box corners(float x1, float y1, float z1, float x2, float y2, float z2) {
  return {_mm_setr_ps(x1, y1, z1, 0), _mm_setr_ps(x2, y2, z2, 0)};
}

struct BoxAnswer {
  bool outside;   // every corner behind some plane (v < m): the intersect form's −1
  bool rejected;  // no corner in front of some plane (every v ≤ m): the test form's 0
  bool inside;    // no corner behind any plane: the intersect form's 1
};

// The eight corners (x1, y1, z1), (x2, y1, z1), (x1, y2, z1), …, (x2, y2, z2)
// against each plane, v = a·x + b·y + c·z from six products formed once, m = −d.
__attribute__((noinline)) BoxAnswer box_by_corners(Handle f, const Box& box) {
  float lo[4], hi[4];
  _mm_storeu_ps(lo, box.lo), _mm_storeu_ps(hi, box.hi);
  BoxAnswer answer{false, false, true};
  for (int i = 0; i < 6; ++i) {
    const Plane p = plane(f, i);
    const float ax[2] = {p.a * lo[0], p.a * hi[0]}, by[2] = {p.b * lo[1], p.b * hi[1]};
    const float cz[2] = {p.c * lo[2], p.c * hi[2]}, m = -p.d;
    int behind = 0, in_front = 0;
    for (int corner = 0; corner < 8; ++corner) {
      const float v = ax[corner & 1] + by[(corner >> 1) & 1] + cz[corner >> 2];
      behind += v < m;
      in_front += !(v <= m);
    }
    answer.outside = answer.outside || behind == 8;
    answer.rejected = answer.rejected || in_front == 0;
    answer.inside = answer.inside && behind == 0;
  }
  return answer;
}

// The same answers without visiting the corners. While the six products of a
// plane are finite, rounding is monotonic: the largest corner value is that of
// the corner taking the larger product on each axis, the smallest that of the
// smaller ones. So all v ≤ m exactly when the largest is ≤ m, all v < m when it
// is < m, and no v < m unless the smallest is < m. The SSE max returns its second
// operand and the min its first when either is NaN, so with these operand orders a
// NaN or infinite product always reaches the largest or the smallest value; when
// either is not finite the corners are visited instead.
inline __attribute__((always_inline)) BoxAnswer box(Handle f, const Box& box) {
  const float* at_plane = reinterpret_cast<const float*>(f);
  int outside = 0, rejected = 0, behind = 0, unordered = 0;
  for (int first : {0, 2}) {
    __m128 a = _mm_loadu_ps(at_plane + 4 * first), b = _mm_loadu_ps(at_plane + 4 * first + 4);
    __m128 c = _mm_loadu_ps(at_plane + 4 * first + 8), d = _mm_loadu_ps(at_plane + 4 * first + 12);
    _MM_TRANSPOSE4_PS(a, b, c, d);
    const __m128 ax1 = _mm_mul_ps(a, _mm_shuffle_ps(box.lo, box.lo, 0x00)), ax2 = _mm_mul_ps(a, _mm_shuffle_ps(box.hi, box.hi, 0x00));
    const __m128 by1 = _mm_mul_ps(b, _mm_shuffle_ps(box.lo, box.lo, 0x55)), by2 = _mm_mul_ps(b, _mm_shuffle_ps(box.hi, box.hi, 0x55));
    const __m128 cz1 = _mm_mul_ps(c, _mm_shuffle_ps(box.lo, box.lo, 0xAA)), cz2 = _mm_mul_ps(c, _mm_shuffle_ps(box.hi, box.hi, 0xAA));
    const __m128 m = _mm_xor_ps(d, _mm_set1_ps(-0.0f));
    const __m128 largest = _mm_add_ps(_mm_add_ps(_mm_max_ps(ax1, ax2), _mm_max_ps(by1, by2)), _mm_max_ps(cz1, cz2));
    const __m128 smallest = _mm_add_ps(_mm_add_ps(_mm_min_ps(ax2, ax1), _mm_min_ps(by2, by1)), _mm_min_ps(cz2, cz1));
    const __m128 spread = _mm_add_ps(_mm_sub_ps(largest, largest), _mm_sub_ps(smallest, smallest));  // NaN unless finite
    unordered |= _mm_movemask_ps(_mm_cmpunord_ps(spread, spread));
    outside |= _mm_movemask_ps(_mm_cmplt_ps(largest, m));
    rejected |= _mm_movemask_ps(_mm_cmple_ps(largest, m));
    behind |= _mm_movemask_ps(_mm_cmplt_ps(smallest, m));
  }
  if (unordered) return box_by_corners(f, box);
  return {outside != 0, rejected != 0, behind == 0};
}

std::int32_t test(const BoxAnswer& a) { return a.rejected ? 0 : 1; }
std::int32_t intersect(const BoxAnswer& a) { return a.outside ? -1 : a.inside ? 1 : 0; }

}  // namespace

namespace kv::geometry {
namespace {

// Four spheres per register, each plane's sum in the order of one at a time: a
// sphere is out where some plane's s ≤ −r.
__m128 four_spheres(const __m128 (&p)[6][4], const float* centres, const float* radii) {
  const dx::lanes::Four<3> c = dx::lanes::gather<3>(centres);
  const __m128 minus_r = _mm_xor_ps(_mm_loadu_ps(radii), _mm_set1_ps(-0.0f));
  __m128 out = _mm_setzero_ps();
#pragma GCC unroll 6
  for (int i = 0; i < 6; ++i) {
    const __m128 s = _mm_add_ps(_mm_mul_ps(p[i][0], c.c[0]), _mm_mul_ps(p[i][1], c.c[1]));
    out = _mm_or_ps(out, _mm_cmple_ps(_mm_add_ps(_mm_add_ps(s, _mm_mul_ps(p[i][2], c.c[2])), p[i][3]), minus_r));
  }
  return out;
}

std::int32_t spheres_by_four(float* keep, const Frustum& f, const dx::Vec3* centres, const float* radii, std::size_t n) {
  __m128 p[6][4];  // each plane's a, b, c, d across the lanes
  for (int i = 0; i < 6; ++i) {
    const dx::Plane& q = f.planes[i];
    p[i][0] = _mm_set1_ps(q.a), p[i][1] = _mm_set1_ps(q.b), p[i][2] = _mm_set1_ps(q.c), p[i][3] = _mm_set1_ps(q.d);
  }
  int out = 0;
  for (std::size_t k = 0; k < n; k += 4) {
    const __m128 o = four_spheres(p, centres[k].c, radii + k);
    _mm_storeu_ps(keep + k, _mm_andnot_ps(o, _mm_set1_ps(1.0f)));
    out += __builtin_popcount(unsigned(_mm_movemask_ps(o)));
  }
  return std::int32_t(n) - out;
}

// Eight spheres per register: two gathers of four side by side.
__attribute__((target("avx"))) std::int32_t spheres_by_eight(float* keep, const Frustum& f, const dx::Vec3* centres,
                                                             const float* radii, std::size_t n) {
  __m256 p[6][4];
  for (int i = 0; i < 6; ++i) {
    const dx::Plane& q = f.planes[i];
    p[i][0] = _mm256_set1_ps(q.a), p[i][1] = _mm256_set1_ps(q.b), p[i][2] = _mm256_set1_ps(q.c), p[i][3] = _mm256_set1_ps(q.d);
  }
  int out = 0;
  for (std::size_t k = 0; k < n; k += 8) {
    const dx::lanes::Four<3> lo = dx::lanes::gather<3>(centres[k].c), hi = dx::lanes::gather<3>(centres[k + 4].c);
    __m256 c[3];
    for (int i = 0; i < 3; ++i) c[i] = _mm256_set_m128(hi.c[i], lo.c[i]);
    const __m256 minus_r = _mm256_xor_ps(_mm256_loadu_ps(radii + k), _mm256_set1_ps(-0.0f));
    __m256 o = _mm256_setzero_ps();
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) {
      const __m256 s = _mm256_add_ps(_mm256_mul_ps(p[i][0], c[0]), _mm256_mul_ps(p[i][1], c[1]));
      const __m256 d = _mm256_add_ps(_mm256_add_ps(s, _mm256_mul_ps(p[i][2], c[2])), p[i][3]);
      o = _mm256_or_ps(o, _mm256_cmp_ps(d, minus_r, _CMP_LE_OQ));
    }
    _mm256_storeu_ps(keep + k, _mm256_andnot_ps(o, _mm256_set1_ps(1.0f)));
    out += __builtin_popcount(unsigned(_mm256_movemask_ps(o)));
  }
  return std::int32_t(n) - out;
}

std::int32_t choose(float* keep, const Frustum& f, const dx::Vec3* centres, const float* radii, std::size_t n) {
  spheres_kernel = dx::cpu_has_avx() ? spheres_avx : spheres_sse2;
  return spheres_kernel(keep, f, centres, radii, n);
}

}  // namespace

const SpheresKernel spheres_sse2 = spheres_by_four, spheres_avx = spheres_by_eight;
SpheresKernel spheres_kernel = choose;

}  // namespace kv::geometry

// The near-plane distance of a point that no plane rejects (s ≤ 0), else 0.
KV_EXPORT FloatBits Frustum_TestPoint(Handle f, float x, float y, float z) {
  for (int first : {0, 2}) {
    if (any(_mm_cmple_ps(distances(planes(f, first), x, y, z), _mm_setzero_ps()))) return bits_of(0.0f);
  }
  return bits_of(distance(plane(f, geometry::Near), x, y, z));
}

KV_EXPORT std::int32_t Frustum_TestSphere(Handle f, float x, float y, float z, float r) {
  return !sphere(f, x, y, z, r).outside;
}

// The near-plane distance of the sphere's farthest point (centre distance + r),
// or 0 when a plane rejects it.
KV_EXPORT FloatBits Frustum_TestSphereEx(Handle f, float x, float y, float z, float r) {
  if (sphere(f, x, y, z, r).outside) return bits_of(0.0f);
  return bits_of(distance(plane(f, geometry::Near), x, y, z) + r);
}

KV_EXPORT std::int32_t Frustum_IntersectSphere(Handle f, float x, float y, float z, float r) {
  const Sphere s = sphere(f, x, y, z, r);
  return s.outside ? -1 : s.inside ? 1 : 0;
}

// Near plane only: the point's distance, and the distance of the sphere's nearest point.
KV_EXPORT FloatBits Frustum_PointDepth(Handle f, float x, float y, float z) {
  return bits_of(distance(plane(f, geometry::Near), x, y, z));
}
KV_EXPORT FloatBits Frustum_SphereDepth(Handle f, float x, float y, float z, float r) {
  return bits_of(distance(plane(f, geometry::Near), x, y, z) - r);
}

KV_EXPORT std::int32_t Frustum_TestAABB(Handle f, float x1, float y1, float z1, float x2, float y2, float z2) {
  return test(box(f, corners(x1, y1, z1, x2, y2, z2)));
}
KV_EXPORT std::int32_t Frustum_TestAABC(Handle f, float x, float y, float z, float size) {
  return test(box(f, cube(x, y, z, size)));
}
KV_EXPORT std::int32_t Frustum_IntersectAABB(Handle f, float x1, float y1, float z1, float x2, float y2, float z2) {
  return intersect(box(f, corners(x1, y1, z1, x2, y2, z2)));
}
KV_EXPORT std::int32_t Frustum_IntersectAABC(Handle f, float x, float y, float z, float size) {
  return intersect(box(f, cube(x, y, z, size)));
}

// Each sphere of the arrays as Frustum_TestSphere judges it, 1.0 or 0.0 into
// results; the frustum is read before anything is stored.
KV_EXPORT std::int32_t Frustum_TestSphereArray(Handle results, Handle f, Handle centres, Handle radii) {
  using frame::ArrayKind;
  const frame::Array *out = frame::array_at(results, ArrayKind::Float), *c = frame::array_at(centres, ArrayKind::Vec3);
  const frame::Array* r = frame::array_at(radii, ArrayKind::Float);
  const std::size_t n = std::min(frame::common_count(out, c), frame::common_count(out, r));
  const Frustum frustum = load<Frustum>(f);
  const Handle planes = Handle(&frustum);
  float* keep = n ? out->elements<float>() : nullptr;
  const dx::Vec3* centre = n ? c->elements<dx::Vec3>() : nullptr;
  const float* radius = n ? r->elements<float>() : nullptr;
  const std::size_t whole = n & ~std::size_t(7);
  std::int32_t kept = whole ? geometry::spheres_kernel(keep, frustum, centre, radius, whole) : 0;
  std::size_t k = whole;
  for (; k < n; ++k) {
    const bool in = !sphere(planes, centre[k].c[0], centre[k].c[1], centre[k].c[2], radius[k]).outside;
    keep[k] = in ? 1.0f : 0.0f;
    kept += in;
  }
  return kept;
}

// Each box of the arrays as Frustum_TestAABB judges it.
KV_EXPORT std::int32_t Frustum_TestAABBArray(Handle results, Handle f, Handle lows, Handle highs) {
  using frame::ArrayKind;
  const frame::Array *out = frame::array_at(results, ArrayKind::Float), *lo = frame::array_at(lows, ArrayKind::Vec3);
  const frame::Array* hi = frame::array_at(highs, ArrayKind::Vec3);
  const std::size_t n = std::min(frame::common_count(out, lo), frame::common_count(out, hi));
  const Frustum frustum = load<Frustum>(f);
  const Handle planes = Handle(&frustum);
  float* keep = n ? out->elements<float>() : nullptr;
  const dx::Vec3* a = n ? lo->elements<dx::Vec3>() : nullptr;
  const dx::Vec3* b = n ? hi->elements<dx::Vec3>() : nullptr;
  std::int32_t kept = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::int32_t in = test(box(planes, corners(a[k].c[0], a[k].c[1], a[k].c[2], b[k].c[0], b[k].c[1], b[k].c[2])));
    keep[k] = in ? 1.0f : 0.0f;
    kept += in;
  }
  return kept;
}
