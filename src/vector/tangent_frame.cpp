#include "vector/tangent_frame.h"

#include <cmath>

#include "vector/vec.h"

using namespace kv;
using namespace kv::vec;

// Tangent along growing u, binormal along growing v, normal (p1 − p0) × (p2 − p0),
// none normalised. Each output is optional (a handle of 0 skips it); the texture
// coordinates (their first two floats) are read only for the tangent or the
// binormal. A texture mapping whose determinant is within 0.0001 of zero leaves
// the two unscaled instead of dividing by it. Every input is read before the
// first output is written.
KV_EXPORT std::int32_t Vec3_VertexTBN(Handle tangent, Handle binormal, Handle normal, Handle p0, Handle uv0,
                                      Handle p1, Handle uv1, Handle p2, Handle uv2) {
  const V<3> a = get<3>(p0);
  const V<3> e1 = minus(get<3>(p1), a), e2 = minus(get<3>(p2), a);
  V<3> t{}, b{};
  const bool frame = given(tangent) || given(binormal);
  if (frame) {
    const V<2> w0 = get<2>(uv0), w1 = get<2>(uv1), w2 = get<2>(uv2);
    const float du1 = w1.x() - w0.x(), dv1 = w1.y() - w0.y(), du2 = w2.x() - w0.x(), dv2 = w2.y() - w0.y();
    const float det = float(double(du1) * dv2 - double(du2) * dv1);
    const float r = std::fabs(double(det)) > 0.0001 ? 1 / det : 1.0f;
    t = zip(e1, e2, [=](float x1, float x2) { return float((double(dv2) * x1 - double(dv1) * x2) * r); });
    b = zip(e1, e2, [=](float x1, float x2) { return float((double(du1) * x2 - double(du2) * x1) * r); });
  }
  const V<3> n{{float(double(e1.y()) * e2.z() - double(e1.z()) * e2.y()),
                float(double(e1.z()) * e2.x() - double(e1.x()) * e2.z()),
                float(double(e1.x()) * e2.y() - double(e1.y()) * e2.x())}};
  if (given(tangent)) put(tangent, t);
  if (given(binormal)) put(binormal, b);
  if (given(normal)) put(normal, n);
  return 0;
}
