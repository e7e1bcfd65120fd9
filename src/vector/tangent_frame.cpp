#include "vector/tangent_frame.h"

#include <cmath>

#include "dx/vector.h"
#include "frame/tolerances.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::vec;

// Tangent along growing u, binormal along growing v, normal (p1 − p0) × (p2 − p0),
// none normalised. Each output is optional (a handle of 0 skips it); the texture
// coordinates (their first two floats) are read only for the tangent or the
// binormal, and without them (a handle of 0) those two are not written. A
// texture mapping whose determinant is within 0.0001 of zero leaves the two
// unscaled instead of dividing by it. In double, each component rounded once;
// every input is read before the first output is written.
KV_EXPORT std::int32_t Vec3_VertexTBN(Handle tangent, Handle binormal, Handle normal, Handle p0, Handle uv0,
                                      Handle p1, Handle uv1, Handle p2, Handle uv2) {
  const V<3> a = get<3>(p0);
  const dx::Vec3d e1 = dx::difference(get<3>(p1), a), e2 = dx::difference(get<3>(p2), a);
  V<3> t{}, b{};
  const bool frame = (given(tangent) || given(binormal)) && given(uv0) && given(uv1) && given(uv2);
  if (frame) {
    const V<2> w0 = get<2>(uv0), w1 = get<2>(uv1), w2 = get<2>(uv2);
    const double du1 = double(w1.x()) - w0.x(), dv1 = double(w1.y()) - w0.y();
    const double du2 = double(w2.x()) - w0.x(), dv2 = double(w2.y()) - w0.y();
    const double det = du1 * dv2 - du2 * dv1, r = std::fabs(det) > tolerance::kTangentSingular ? 1 / det : 1;
    for (int k = 0; k < 3; ++k) {
      t[k] = float((dv2 * e1.c[k] - dv1 * e2.c[k]) * r);
      b[k] = float((du1 * e2.c[k] - du2 * e1.c[k]) * r);
    }
  }
  const V<3> n = dx::narrow(dx::cross(e1, e2));
  if (frame && given(tangent)) put(tangent, t);
  if (frame && given(binormal)) put(binormal, b);
  if (given(normal)) put(normal, n);
  return 0;
}
