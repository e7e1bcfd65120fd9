#include "matrix/interpolation.h"

#include "matrix/mat.h"
#include "vector/interpolate.h"

using namespace kv;
using namespace kv::mat;

namespace {

enum Blend { Linear, Normalised, Spherical };

// Basis rows by the blend named, translation row always straight; each row is a
// Vec3 blended as the vector commands blend it (SLerp on a copy of b's row).
std::int32_t blend(Handle out, Handle a_handle, Handle b_handle, float t, Blend how) {
  const Mat4 a = get(a_handle), b = get(b_handle);
  Vec3 rows[4];
  for (int k = 0; k < 3; ++k) {
    const Vec3 p = row(a, k), q = row(b, k);
    rows[k] = how == Spherical    ? vec::slerp(p, q, t)
              : how == Normalised ? vec::normalized(dx::lerp(vec::widen(p), vec::widen(q), t))
                                  : vec::lerp(p, q, t);
  }
  rows[3] = vec::lerp(row(a, 3), row(b, 3), t);
  for (int k = 0; k < 4; ++k) vec::put(out + Handle(k) * 4 * sizeof(float), rows[k]);
  store_float(out, 15, 1.0f);
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Mat4_Lerp(Handle out, Handle a, Handle b, float t) { return blend(out, a, b, t, Linear); }
KV_EXPORT std::int32_t Mat4_NLerp(Handle out, Handle a, Handle b, float t) { return blend(out, a, b, t, Normalised); }
KV_EXPORT std::int32_t Mat4_SLerp(Handle out, Handle a, Handle b, float t) { return blend(out, a, b, t, Spherical); }
