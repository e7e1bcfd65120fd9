#include "geometry/frustum.h"

#include "dx/plane.h"
#include "frame/scalar_math.h"

using namespace kv;
using dx::Mat4;
using dx::Plane;
using geometry::Frustum;

namespace kv::geometry {
namespace {

// Column j of m plus sign × column k, in double (where the sum of two singles is exact).
struct Combined {
  double e[4];
};

Combined combine(const Mat4& m, int j, double sign, int k) {
  Combined c;
  for (int r = 0; r < 4; ++r) c.e[r] = m.m[r][j] + sign * m.m[r][k];
  return c;
}

// 1 / |(a, b, c)|; 0 for a zero normal, which then stays zero.
double inverse_length(const Combined& p) {
  const double length = sm::sqrt(p.e[0] * p.e[0] + p.e[1] * p.e[1] + p.e[2] * p.e[2]);
  return length != 0 ? 1 / length : 0;
}

// Each coefficient times s, rounded once.
Plane scaled(const Combined& p, double s) { return {float(p.e[0] * s), float(p.e[1] * s), float(p.e[2] * s), float(p.e[3] * s)}; }

}  // namespace

Frustum extract(const Mat4& m) {
  Frustum f;
  const Combined right = combine(m, 3, -1, 0), bottom = combine(m, 3, 1, 1);
  const Combined far = combine(m, 3, -1, 2), near = combine(m, 3, 1, 2);
  const double s = inverse_length(right), s_vertical = inverse_length(bottom);
  f.planes[Right] = scaled(right, s);
  f.planes[Left] = scaled(combine(m, 3, 1, 0), s);
  f.planes[Bottom] = scaled(bottom, s_vertical);
  f.planes[Top] = scaled(combine(m, 3, -1, 1), s_vertical);
  f.planes[Far] = scaled(far, inverse_length(far));
  f.planes[Near] = scaled(near, inverse_length(near));
  return f;
}

}  // namespace kv::geometry

namespace {

// Plane number i of a frustum handle.
Handle plane_at(Handle frustum, int i) { return frustum + Handle(i) * sizeof(Plane); }

std::int32_t set_plane(Handle frustum, int i, Handle plane) {
  store(plane_at(frustum, i), load<Plane>(plane));
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Frustum_SetRightPlane(Handle f, Handle p) { return set_plane(f, geometry::Right, p); }
KV_EXPORT std::int32_t Frustum_SetLeftPlane(Handle f, Handle p) { return set_plane(f, geometry::Left, p); }
KV_EXPORT std::int32_t Frustum_SetBottomPlane(Handle f, Handle p) { return set_plane(f, geometry::Bottom, p); }
KV_EXPORT std::int32_t Frustum_SetTopPlane(Handle f, Handle p) { return set_plane(f, geometry::Top, p); }
KV_EXPORT std::int32_t Frustum_SetFarPlane(Handle f, Handle p) { return set_plane(f, geometry::Far, p); }
KV_EXPORT std::int32_t Frustum_SetNearPlane(Handle f, Handle p) { return set_plane(f, geometry::Near, p); }

// The six planes are read before any is stored: a plane handle may point inside
// the frustum itself.
KV_EXPORT std::int32_t Frustum_SetPlanes(Handle f, Handle right, Handle left, Handle bottom, Handle top, Handle far,
                                         Handle near) {
  store(f, Frustum{{load<Plane>(right), load<Plane>(left), load<Plane>(bottom), load<Plane>(top), load<Plane>(far),
                    load<Plane>(near)}});
  return 0;
}

// All 96 bytes, NaN payloads included.
KV_EXPORT std::int32_t Frustum_Copy(Handle destination, Handle source) {
  store(destination, load<Frustum>(source));
  return 0;
}

// The matrix is read whole before the first plane is stored, so the frustum may
// overlap it.
KV_EXPORT std::int32_t Frustum_ExtractVP(Handle f, Handle matrix) {
  store(f, geometry::extract(load<Mat4>(matrix)));
  return 0;
}

// Each plane divided by the length of its normal, in the order right to near.
KV_EXPORT std::int32_t Frustum_Normalize(Handle f) {
  for (int i = 0; i < 6; ++i) {
    Plane* p = at<Plane>(plane_at(f, i));
    dx::plane_normalize(p, p);
  }
  return 0;
}
