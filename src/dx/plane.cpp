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

Plane* plane_from_points(Plane* out, const Vec3* p1, const Vec3* p2, const Vec3* p3) {
  const Vec3 a = *p1;
  const Vec3 e1{{p2->c[0] - a.c[0], p2->c[1] - a.c[1], p2->c[2] - a.c[2]}};
  const Vec3 e2{{p3->c[0] - a.c[0], p3->c[1] - a.c[1], p3->c[2] - a.c[2]}};
  Vec3 n{{float(double(e1.c[1]) * e2.c[2] - double(e1.c[2]) * e2.c[1]),
          float(double(e1.c[2]) * e2.c[0] - double(e1.c[0]) * e2.c[2]),
          float(double(e1.c[0]) * e2.c[1] - double(e1.c[1]) * e2.c[0])}};
  vec_normalize(&n, &n);
  return plane_from_point_normal(out, &a, &n);
}

Plane* plane_transform(Plane* out, const Plane* plane, const Mat4* m) {
  const Vec4 v{{plane->a, plane->b, plane->c, plane->d}};
  Vec4 r;
  vec_transform(&r, &v, m);
  *out = {r.c[0], r.c[1], r.c[2], r.c[3]};
  return out;
}

Vec3* plane_intersect_line(Vec3* out, const Plane* plane, const Vec3* v1, const Vec3* v2) {
  const Plane p = *plane;
  const Vec3 a = *v1;
  const Vec3 dir{{v2->c[0] - a.c[0], v2->c[1] - a.c[1], v2->c[2] - a.c[2]}};
  const double den = double(p.a) * dir.c[0] + double(p.b) * dir.c[1] + double(p.c) * dir.c[2];
  if (den == 0) return nullptr;
  const double t = (double(p.d) + double(p.a) * a.c[0] + double(p.b) * a.c[1] + double(p.c) * a.c[2]) / den;
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
