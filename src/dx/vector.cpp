#include "dx/vector.h"

#include <initializer_list>

#include "dx/matrix.h"

namespace kv::dx {
namespace {

// world·view·projection in double, a null matrix counting as the identity.
Mat4d combined(const Mat4* projection, const Mat4* view, const Mat4* world) {
  Mat4d m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
  for (const Mat4* factor : {world, view, projection}) {
    if (factor) m = product(m, widen(*factor));
  }
  return m;
}

// (x, y, z, 1)·m divided by its w, in double.
Vec3d through(const double p[3], const Mat4d& m) {
  double r[4];
  for (int c = 0; c < 4; ++c) r[c] = p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c];
  return {{r[0] / r[3], r[1] / r[3], r[2] / r[3]}};
}

}  // namespace

// The matrices are combined (and inverted for unprojecting: a singular M is used
// as it is), the point taken through them and mapped to or from the viewport in
// double, and each component is rounded once.
Projector projector(const Viewport* viewport, const Mat4* projection, const Mat4* view, const Mat4* world, bool invert) {
  Projector p{combined(projection, view, world), viewport ? *viewport : Viewport{}, viewport != nullptr};
  if (invert) inverse(&p.m, p.m);  // left as it is when singular
  return p;
}

Vec3 project(const Projector& projector, const Vec3& v) {
  const double in[3] = {v.c[0], v.c[1], v.c[2]};
  Vec3d p = through(in, projector.m);
  if (projector.has_viewport) {
    const Viewport vp = projector.viewport;
    p = {{vp.x + (1 + p.c[0]) * vp.width / 2, vp.y + (1 - p.c[1]) * vp.height / 2,
          vp.min_z + p.c[2] * (double(vp.max_z) - vp.min_z)}};
  }
  return narrow(p);
}

Vec3 unproject(const Projector& projector, const Vec3& v) {
  double p[3] = {v.c[0], v.c[1], v.c[2]};
  if (projector.has_viewport) {
    const Viewport vp = projector.viewport;
    p[0] = 2 * (p[0] - vp.x) / vp.width - 1;
    p[1] = 1 - 2 * (p[1] - vp.y) / vp.height;
    p[2] = (p[2] - vp.min_z) / (double(vp.max_z) - vp.min_z);
  }
  return narrow(through(p, projector.m));
}

Vec3* vec3_project(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                   const Mat4* world) {
  *out = project(projector(viewport, projection, view, world, false), *v);
  return out;
}

Vec3* vec3_unproject(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                     const Mat4* world) {
  *out = unproject(projector(viewport, projection, view, world, true), *v);
  return out;
}

}  // namespace kv::dx
