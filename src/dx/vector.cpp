#include "dx/vector.h"

#include <initializer_list>

#include "dx/matrix.h"

namespace kv::dx {
namespace {

// world·view·projection, a null matrix counting as the identity.
Mat4 combined(const Mat4* projection, const Mat4* view, const Mat4* world) {
  Mat4 m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
  for (const Mat4* factor : {world, view, projection}) {
    if (factor) matrix_multiply(&m, &m, factor);
  }
  return m;
}

}  // namespace

Vec3* vec3_project(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                   const Mat4* world) {
  const Mat4 m = combined(projection, view, world);
  Vec3 p;
  vec_transform_coord(&p, v, &m);
  if (viewport) {
    const Viewport vp = *viewport;
    p = Vec3{{float(vp.x + (1.0 + p.c[0]) * vp.width / 2), float(vp.y + (1.0 - p.c[1]) * vp.height / 2),
              float(vp.min_z + double(p.c[2]) * (double(vp.max_z) - vp.min_z))}};
  }
  *out = p;
  return out;
}

Vec3* vec3_unproject(Vec3* out, const Vec3* v, const Viewport* viewport, const Mat4* projection, const Mat4* view,
                     const Mat4* world) {
  Mat4 m = combined(projection, view, world);
  matrix_inverse(&m, nullptr, &m);  // left as it is when singular
  Vec3 p = *v;
  if (viewport) {
    const Viewport vp = *viewport;
    p = Vec3{{float(2 * (double(p.c[0]) - vp.x) / vp.width - 1), float(1 - 2 * (double(p.c[1]) - vp.y) / vp.height),
              float((double(p.c[2]) - vp.min_z) / (double(vp.max_z) - vp.min_z))}};
  }
  return vec_transform_coord(out, &p, &m);
}

}  // namespace kv::dx
