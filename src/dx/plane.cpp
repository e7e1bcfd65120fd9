#include "dx/plane.h"

#include "dx/vector.h"
#include "frame/scalar_math.h"

namespace kv::dx {

Plane* plane_from_point_normal(Plane* out, const Vec3* point, const Vec3* normal) {
  const Vec3 p = *point, n = *normal;
  const double d = -(double(p.c[0]) * n.c[0] + double(p.c[1]) * n.c[1] + double(p.c[2]) * n.c[2]);
  *out = {n.c[0], n.c[1], n.c[2], float(d)};
  return out;
}

// The edges, their cross product, its length and d = −p1·n are all formed in
// double from the single inputs, and each coefficient is rounded once: nearly
// collinear points lose only what the double cross product loses. Collinear
// points give (0, 0, 0, −0).
Plane* plane_from_points(Plane* out, const Vec3* p1, const Vec3* p2, const Vec3* p3) {
  const Vec3 a = *p1;
  const Vec3d n = unit(cross(difference(*p2, a), difference(*p3, a)));
  const Vec3 rounded = narrow(n);
  *out = {rounded.c[0], rounded.c[1], rounded.c[2], float(-dot(widen(a), n))};
  return out;
}

Plane* plane_transform(Plane* out, const Plane* plane, const Mat4* m) {
  const Vec4 v{{plane->a, plane->b, plane->c, plane->d}};
  Vec4 r;
  vec_transform(&r, &v, m);
  *out = {r.c[0], r.c[1], r.c[2], r.c[3]};
  return out;
}

// The line's direction is the difference of the points in double, so a line
// nearly parallel to the plane keeps the precision of its points.
Vec3* plane_intersect_line(Vec3* out, const Plane* plane, const Vec3* v1, const Vec3* v2) {
  const Plane p = *plane;
  const Vec3 a = *v1;
  const Vec3d normal{{p.a, p.b, p.c}}, dir = difference(*v2, a);
  const double den = dot(normal, dir);
  if (den == 0) return nullptr;
  const double t = (p.d + dot(normal, widen(a))) / den;
  *out = Vec3{{float(a.c[0] - t * dir.c[0]), float(a.c[1] - t * dir.c[1]), float(a.c[2] - t * dir.c[2])}};
  return out;
}

Plane* plane_normalize(Plane* out, const Plane* plane) {
  const Plane p = *plane;
  const double length = sm::sqrt(double(p.a) * p.a + double(p.b) * p.b + double(p.c) * p.c);
  if (length == 0) {
    *out = {0, 0, 0, 0};
    return out;
  }
  *out = {float(p.a / length), float(p.b / length), float(p.c / length), float(p.d / length)};
  return out;
}

}  // namespace kv::dx
