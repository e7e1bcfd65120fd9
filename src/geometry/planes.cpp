#include "geometry/planes.h"

#include <algorithm>

#include "dx/plane.h"
#include "dx/vector.h"
#include "frame/pool.h"
#include "vector/vec.h"

using namespace kv;
using dx::Mat4;
using dx::Plane;
using dx::Vec3;

namespace {

Plane get(Handle h) { return load<Plane>(h); }
Vec3 normal_of(const Plane& p) { return {{p.a, p.b, p.c}}; }

// a·x + b·y + c·z (+ d), summed in double and rounded once, as the vector dot products.
double dot_normal(const Plane& p, const Vec3& v) { return double(p.a) * v.c[0] + double(p.b) * v.c[1] + double(p.c) * v.c[2]; }


}  // namespace

KV_EXPORT Handle Plane_MakeNewEx(float a, float b, float c, float d) {
  const Handle h = frame::pool(frame::PoolId::Vec4).make_new();
  if (h) store(h, Plane{a, b, c, d});
  return h;
}

KV_EXPORT std::int32_t Plane_FromPointNormal(Handle out, Handle point, Handle normal) {
  dx::plane_from_point_normal(at<Plane>(out), at<Vec3>(point), at<Vec3>(normal));
  return 0;
}

KV_EXPORT std::int32_t Plane_FromPoints(Handle out, Handle p1, Handle p2, Handle p3) {
  dx::plane_from_points(at<Plane>(out), at<Vec3>(p1), at<Vec3>(p2), at<Vec3>(p3));
  return 0;
}

KV_EXPORT std::int32_t Plane_Normalize(Handle out, Handle plane) {
  dx::plane_normalize(at<Plane>(out), at<Plane>(plane));
  return 0;
}

// The matrix is used as given: pass the inverse transpose of a point transform.
KV_EXPORT std::int32_t Plane_Transform(Handle out, Handle plane, Handle matrix) {
  dx::plane_transform(at<Plane>(out), at<Plane>(plane), at<Mat4>(matrix));
  return 0;
}

KV_EXPORT FloatBits Plane_DotCoord(Handle plane, Handle point) {
  const Plane p = get(plane);
  return bits_of(float(dot_normal(p, vec::get<3>(point)) + p.d));
}

KV_EXPORT FloatBits Plane_DotNormal(Handle plane, Handle vector) {
  return bits_of(float(dot_normal(get(plane), vec::get<3>(vector))));
}

// 1 and the point where the infinite line through p1 and p2 meets the plane; 0,
// with out untouched, when the line is parallel to it (or p1 = p2).
KV_EXPORT std::int32_t Plane_IntersectLine(Handle out, Handle plane, Handle p1, Handle p2) {
  return dx::plane_intersect_line(at<Vec3>(out), at<Plane>(plane), at<Vec3>(p1), at<Vec3>(p2)) != nullptr;
}

// 1 and the point where the segment from p1 to p2 meets the plane; otherwise 0
// and (0, 0, 0). The signs of the ends' signed distances decide, never the
// point's coordinates: an end on the plane is the hit, exactly (p1 when both
// are); ends on opposite sides give the crossing, formed from the end below the
// plane, so that the ends may come in either order. A NaN distance, an end that
// is not finite and a point that comes out not finite never hit.
KV_EXPORT std::int32_t Plane_IntersectLineSeg(Handle out, Handle plane, Handle p1_handle, Handle p2_handle) {
  const Plane p = get(plane);
  const Vec3 p1 = vec::get<3>(p1_handle), p2 = vec::get<3>(p2_handle);
  const double d1 = dot_normal(p, p1) + p.d, d2 = dot_normal(p, p2) + p.d;
  const bool crossing = (d1 < 0 && d2 > 0) || (d1 > 0 && d2 < 0);
  bool hit = (d1 == 0 && d2 == d2) || (d2 == 0 && d1 == d1) || crossing;
  for (int i = 0; i < 3; ++i) hit &= p1.c[i] - p1.c[i] == 0 && p2.c[i] - p2.c[i] == 0;
  Vec3 q{{0, 0, 0}};
  if (d1 == 0 || d2 == 0) {
    q = d1 == 0 ? p1 : p2;
  } else if (crossing) {
    const Vec3& below = d1 < 0 ? p1 : p2;
    const Vec3& above = d1 < 0 ? p2 : p1;
    const double t = std::min(d1, d2) / (std::min(d1, d2) - std::max(d1, d2));
    for (int i = 0; i < 3; ++i) q.c[i] = float(below.c[i] + t * (double(above.c[i]) - below.c[i]));
    for (int i = 0; i < 3; ++i) hit &= q.c[i] - q.c[i] == 0;
  }
  vec::put<3>(out, hit ? q : Vec3{{0, 0, 0}});
  return hit;
}

// Where origin + t·direction meets the plane: hit = (point, t), t in lengths of
// direction and negative behind the origin; the plane's unit normal into
// normal_out unless that handle is 0. A direction parallel to the plane (or NaN)
// returns 0 and writes nothing. Everything is read before anything is written,
// so hit may be the plane, the origin or the direction.
KV_EXPORT std::int32_t Plane_Raycast(Handle hit, Handle normal_out, Handle plane, Handle origin_handle,
                                     Handle direction_handle) {
  const Plane p = get(plane);
  const Vec3 origin = vec::get<3>(origin_handle), direction = vec::get<3>(direction_handle);
  const double den = dot_normal(p, direction);
  if (den == 0 || den != den) return 0;
  const double t = -(dot_normal(p, origin) + p.d) / den;
  vec::put<4>(hit, {{float(origin.c[0] + t * direction.c[0]), float(origin.c[1] + t * direction.c[1]),
                     float(origin.c[2] + t * direction.c[2]), float(t)}});
  if (normal_out != 0) {
    Vec3 n = normal_of(p);
    dx::vec_normalize(&n, &n);
    vec::put<3>(normal_out, n);
  }
  return 1;
}

// The same plane facing the other way: (−a, −b, −c, −d).
KV_EXPORT std::int32_t Plane_Inverse(Handle out, Handle plane) {
  const Plane p = get(plane);
  store(out, Plane{-p.a, -p.b, -p.c, -p.d});
  return 0;
}
