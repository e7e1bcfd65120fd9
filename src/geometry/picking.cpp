#include "geometry/picking.h"

#include <utility>

#include "dx/vector.h"
#include "vector/vec.h"

using namespace kv;
using dx::Vec3;
using dx::Vec3d;

namespace {

constexpr double kInfinity = __builtin_inf();

Vec3 point(Handle h) { return vec::get<3>(h); }
Vec3d wide(Handle h) { return dx::widen(point(h)); }
bool has_nan(const Vec3d& v) { return v.c[0] != v.c[0] || v.c[1] != v.c[1] || v.c[2] != v.c[2]; }
Vec3d along(const Vec3d& from, const Vec3d& step, double t) {
  return {{from.c[0] + t * step.c[0], from.c[1] + t * step.c[1], from.c[2] + t * step.c[2]}};
}

FloatBits distance(double t) { return bits_of(float(t)); }
FloatBits miss() { return bits_of(-1.0f); }

// The lower and upper corners of the box of two opposite corners given in any order.
struct Box {
  Vec3d lo, hi;
  bool nan;
};

Box box(Handle corner1, Handle corner2) {
  const Vec3d p = wide(corner1), q = wide(corner2);
  Box b{p, q, has_nan(p) || has_nan(q)};
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
  const Vec3d d{{p.c[0] - q.c[0], p.c[1] - q.c[1], p.c[2] - q.c[2]}};
  return dx::dot(d, d);
}

// The point of the segment from p to q nearest x (p itself when p = q).
Vec3d on_segment(const Vec3d& x, const Vec3d& p, const Vec3d& q) {
  const Vec3d s{{q.c[0] - p.c[0], q.c[1] - p.c[1], q.c[2] - p.c[2]}}, px{{x.c[0] - p.c[0], x.c[1] - p.c[1], x.c[2] - p.c[2]}};
  const double length2 = dx::dot(s, s), t = length2 > 0 ? dx::dot(px, s) / length2 : 0;
  return along(p, s, t < 0 ? 0 : t > 1 ? 1 : t);
}

// The corners of a triangle in one order whatever order they come in (by x, then
// y, then z), and the sign of that reordering: quantities of the triangle formed
// from the sorted corners are the same numbers, bit for bit, for every corner
// order, so that a ray through an edge or a corner hits in every order alike.
bool before(const Vec3& p, const Vec3& q) {
  for (int i = 0; i < 3; ++i) {
    if (p.c[i] != q.c[i]) return p.c[i] < q.c[i];
  }
  return false;
}

struct Sorted {
  Vec3 p[3];
  double sign;
};

Sorted sorted(Vec3 a, Vec3 b, Vec3 c) {
  double sign = 1;
  if (before(b, a)) std::swap(a, b), sign = -sign;
  if (before(c, b)) std::swap(b, c), sign = -sign;
  if (before(b, a)) std::swap(a, b), sign = -sign;
  return {{a, b, c}, sign};
}

// d·((p − o) × (q − o)): on which side of the edge from p to q the ray passes,
// the same number (negated) for the edge named the other way round.
double side(const Vec3& o, const Vec3d& d, const Vec3& p, const Vec3& q) {
  if (before(q, p)) return -side(o, d, q, p);
  return dx::dot(d, dx::cross(dx::difference(p, o), dx::difference(q, o)));
}

// The ray's parameter and the weights of b and c where it meets the triangle, two
// sided, edges and corners included; false for a miss, a ray parallel to the
// triangle's plane or lying in it, a zero-area triangle, and any NaN. With the
// edge functions w_a, w_b, w_c of the edges facing each corner and their sum
// d·((b − a) × (c − a)), the hit is (w_a·a + w_b·b + w_c·c) / sum, at
// t = (a − o)·((b − o) × (c − o)) / sum.
struct TriangleHit {
  double t, u, v;
};

bool hit_triangle(Handle origin, Handle dir, Handle a_h, Handle b_h, Handle c_h, TriangleHit* hit) {
  const Vec3 o = point(origin), a = point(a_h), b = point(b_h), c = point(c_h);
  const Vec3d d = wide(dir);
  const Sorted s = sorted(a, b, c);
  const Vec3d normal = dx::cross(dx::difference(s.p[1], s.p[0]), dx::difference(s.p[2], s.p[0]));
  if (normal.c[0] == 0 && normal.c[1] == 0 && normal.c[2] == 0) return false;
  const double sum = s.sign * dx::dot(d, normal);
  const double wa = side(o, d, b, c), wb = side(o, d, c, a), wc = side(o, d, a, b);
  const bool inside = sum > 0 ? wa >= 0 && wb >= 0 && wc >= 0 : sum < 0 && wa <= 0 && wb <= 0 && wc <= 0;
  if (!inside) return false;
  const double volume = s.sign * dx::dot(dx::difference(s.p[0], o),
                                         dx::cross(dx::difference(s.p[1], o), dx::difference(s.p[2], o)));
  *hit = {volume / sum, wb / sum, wc / sum};
  return hit->t >= 0;
}

}  // namespace

// Outside the sphere (c = |m|² − r² > 0, m = origin − centre) and heading toward
// it (b = m·d < 0), the nearer root is c / (−b + √(b² − |d|²·c)): the form
// without the cancellation of (−b − √…) / |d|² when the hit is close.
KV_EXPORT FloatBits Ray_HitSphere(Handle origin, Handle dir, Handle centre, float radius) {
  const Vec3d d = wide(dir), m = dx::difference(point(origin), point(centre));
  const double r = radius, c = dx::dot(m, m) - r * r, b = dx::dot(m, d);
  if (!(r >= 0) || has_nan(d) || c != c) return miss();
  if (c <= 0) return distance(0);
  const double disc = b * b - dx::dot(d, d) * c;
  if (!(b < 0) || disc < 0) return miss();
  return distance(c / (-b + sm::sqrt(disc)));
}

// The slabs: the entry t is the largest of the t where the ray enters each axis's
// slab (and 0), the exit the smallest where it leaves one; a zero component of
// dir keeps the ray in that slab or never in it.
KV_EXPORT FloatBits Ray_HitAABB(Handle origin, Handle dir, Handle corner1, Handle corner2) {
  const Vec3d o = wide(origin), d = wide(dir);
  const Box b = box(corner1, corner2);
  if (b.nan || has_nan(o) || has_nan(d)) return miss();
  double enter = 0, leave = kInfinity;
  for (int i = 0; i < 3; ++i) {
    if (d.c[i] == 0) {
      if (o.c[i] < b.lo.c[i] || o.c[i] > b.hi.c[i]) return miss();
      continue;
    }
    double t1 = (b.lo.c[i] - o.c[i]) / d.c[i], t2 = (b.hi.c[i] - o.c[i]) / d.c[i];
    if (t2 < t1) std::swap(t1, t2);
    if (t1 > enter) enter = t1;
    if (t2 < leave) leave = t2;
  }
  return enter <= leave ? distance(enter) : miss();
}

KV_EXPORT FloatBits Ray_HitTriangle(Handle origin, Handle dir, Handle a, Handle b, Handle c) {
  TriangleHit hit;
  return hit_triangle(origin, dir, a, b, c, &hit) ? distance(hit.t) : miss();
}

// As Ray_HitTriangle; on a hit, (u, v) with hit = a + u (b − a) + v (c − a) into
// the Vec2 uv, which a miss leaves alone.
KV_EXPORT FloatBits Ray_HitTriangleEx(Handle origin, Handle dir, Handle a, Handle b, Handle c, Handle uv) {
  TriangleHit hit;
  if (!hit_triangle(origin, dir, a, b, c, &hit)) return miss();
  vec::put<2>(uv, {float(hit.u), float(hit.v)});
  return distance(hit.t);
}

// From either side; an origin on the plane is a hit at 0 whatever dir is.
KV_EXPORT FloatBits Ray_HitPlane(Handle origin, Handle dir, Handle plane) {
  const dx::Vec4 p = vec::get<4>(plane);
  const Vec3d normal{{p.c[0], p.c[1], p.c[2]}}, d = wide(dir);
  const double height = dx::dot(normal, wide(origin)) + p.c[3];
  if (has_nan(d)) return miss();
  if (height == 0) return distance(0);
  const double t = -height / dx::dot(normal, d);
  return t >= 0 && t < kInfinity ? distance(t) : miss();
}

KV_EXPORT std::int32_t Sphere_HitSphere(Handle centre1, float radius1, Handle centre2, float radius2) {
  const double reach = double(radius1) + radius2;
  return radius1 >= 0 && radius2 >= 0 && squared_distance(wide(centre1), wide(centre2)) <= reach * reach;
}

KV_EXPORT std::int32_t AABB_HitAABB(Handle a1, Handle a2, Handle b1, Handle b2) {
  const Box a = box(a1, a2), b = box(b1, b2);
  if (a.nan || b.nan) return 0;
  for (int i = 0; i < 3; ++i) {
    if (a.hi.c[i] < b.lo.c[i] || b.hi.c[i] < a.lo.c[i]) return 0;
  }
  return 1;
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
KV_EXPORT std::int32_t Vec3_ClosestPointOnTriangle(Handle out, Handle p_h, Handle a_h, Handle b_h, Handle c_h) {
  const Vec3d p = wide(p_h), a = wide(a_h), b = wide(b_h), c = wide(c_h);
  auto minus = [](const Vec3d& x, const Vec3d& y) { return Vec3d{{x.c[0] - y.c[0], x.c[1] - y.c[1], x.c[2] - y.c[2]}}; };
  const Vec3d ab = minus(b, a), ac = minus(c, a), ap = minus(p, a), bp = minus(p, b), cp = minus(p, c);
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
    r = along(a, ab, d1 / (d1 - d3));
  } else if (d6 >= 0 && d5 <= d6) {
    r = c;
  } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    r = along(a, ac, d2 / (d2 - d6));
  } else if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
    r = along(b, minus(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
  } else {
    const double sum = va + vb + vc;
    r = along(along(a, ab, vb / sum), ac, vc / sum);
  }
  vec::put<3>(out, dx::narrow(r));
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
  vec::put<3>(out, dx::narrow(along(o, d, t > 0 ? t : 0)));
  return 0;
}
