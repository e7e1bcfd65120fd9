#include "vector/curves.h"

#include "dx/vector.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

template <int N>
std::int32_t catmull_rom(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float s) {
  dx::vec_catmull_rom(at<V<N>>(out), at<V<N>>(p0), at<V<N>>(p1), at<V<N>>(p2), at<V<N>>(p3), s);
  return 0;
}

template <int N>
std::int32_t hermite(Handle out, Handle a, Handle ta, Handle b, Handle tb, float s) {
  dx::vec_hermite(at<V<N>>(out), at<V<N>>(a), at<V<N>>(ta), at<V<N>>(b), at<V<N>>(tb), s);
  return 0;
}

// p1 at 0 and p2 at 1, with derivatives p2 − p0 and p3 − p1 there:
// a0·t³ + (p0 − p1 − a0)·t² + (p2 − p0)·t + p1 with a0 = p3 − p2 − p0 + p1, in
// double, each component rounded once.
template <int N>
std::int32_t cubic(Handle out, Handle h0, Handle h1, Handle h2, Handle h3, float t) {
  const V<N> p0 = get<N>(h0), p1 = get<N>(h1), p2 = get<N>(h2), p3 = get<N>(h3);
  const double s = t, s2 = s * s;
  V<N> r;
  for (int k = 0; k < N; ++k) {
    const double a0 = double(p3[k]) - p2[k] - p0[k] + p1[k];
    r[k] = float(a0 * s * s2 + (double(p0[k]) - p1[k] - a0) * s2 + (double(p2[k]) - p0[k]) * s + p1[k]);
  }
  put(out, r);
  return 0;
}

// The Bezier segment from p1 to p2 with inner control points p1 reflected through
// p0 and p2 through p3: c1 = 2 p1 − p0, c2 = 2 p2 − p3, with the Bernstein
// weights, in double, each component rounded once.
template <int N>
std::int32_t bezier(Handle out, Handle h0, Handle h1, Handle h2, Handle h3, float t) {
  const V<N> p0 = get<N>(h0), p1 = get<N>(h1), p2 = get<N>(h2), p3 = get<N>(h3);
  const double s = t, u = 1 - s, w0 = u * u * u, w1 = 3 * s * u * u, w2 = 3 * s * s * u, w3 = s * s * s;
  V<N> r;
  for (int k = 0; k < N; ++k) {
    const double c1 = 2.0 * p1[k] - p0[k], c2 = 2.0 * p2[k] - p3[k];
    r[k] = float(p1[k] * w0 + c1 * w1 + c2 * w2 + p2[k] * w3);
  }
  put(out, r);
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_CatmullRom(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float s) {
  return catmull_rom<2>(o, p0, p1, p2, p3, s);
}
KV_EXPORT std::int32_t Vec3_CatmullRom(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float s) {
  return catmull_rom<3>(o, p0, p1, p2, p3, s);
}
KV_EXPORT std::int32_t Vec4_CatmullRom(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float s) {
  return catmull_rom<4>(o, p0, p1, p2, p3, s);
}
KV_EXPORT std::int32_t Vec2_Hermite(Handle o, Handle a, Handle ta, Handle b, Handle tb, float s) {
  return hermite<2>(o, a, ta, b, tb, s);
}
KV_EXPORT std::int32_t Vec3_Hermite(Handle o, Handle a, Handle ta, Handle b, Handle tb, float s) {
  return hermite<3>(o, a, ta, b, tb, s);
}
KV_EXPORT std::int32_t Vec4_Hermite(Handle o, Handle a, Handle ta, Handle b, Handle tb, float s) {
  return hermite<4>(o, a, ta, b, tb, s);
}
KV_EXPORT std::int32_t Vec2_Cubic(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return cubic<2>(o, p0, p1, p2, p3, t);
}
KV_EXPORT std::int32_t Vec3_Cubic(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return cubic<3>(o, p0, p1, p2, p3, t);
}
KV_EXPORT std::int32_t Vec4_Cubic(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return cubic<4>(o, p0, p1, p2, p3, t);
}
KV_EXPORT std::int32_t Vec2_Bezier(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return bezier<2>(o, p0, p1, p2, p3, t);
}
KV_EXPORT std::int32_t Vec3_Bezier(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return bezier<3>(o, p0, p1, p2, p3, t);
}
KV_EXPORT std::int32_t Vec4_Bezier(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float t) {
  return bezier<4>(o, p0, p1, p2, p3, t);
}
