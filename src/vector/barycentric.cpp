#include "vector/barycentric.h"

#include "dx/vector.h"
#include "vector/interpolate.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

template <int N>
std::int32_t barycentric(Handle out, Handle a, Handle b, Handle c, float f, float g) {
  dx::vec_barycentric(at<V<N>>(out), at<V<N>>(a), at<V<N>>(b), at<V<N>>(c), f, g);
  return 0;
}

// The weights of p, or of its projection onto the triangle's plane. A degenerate
// triangle divides by a zero denominator and gives non-finite weights.
// In double throughout, each weight rounded once.
template <int N>
std::int32_t weights_of(Handle weights, Handle p, Handle a_handle, Handle b, Handle c) {
  const Wide<N> a = widen(get<N>(a_handle));
  const Wide<N> e0 = combine(widen(get<N>(b)), 1, a, -1), e1 = combine(widen(get<N>(c)), 1, a, -1);
  const Wide<N> e2 = combine(widen(get<N>(p)), 1, a, -1);
  if constexpr (N == 2) {
    // In the plane each weight is a ratio of signed areas, the first one included
    // (1 − y − z would cancel), and no product of products squares the condition.
    auto area = [](const Wide<2>& u, const Wide<2>& v) { return u.c[0] * v.c[1] - u.c[1] * v.c[0]; };
    const Wide<2> q = widen(get<N>(p));
    const double whole = area(e0, e1);
    const double x = area(dx::difference(widen(get<N>(b)), q), dx::difference(widen(get<N>(c)), q));
    put<3>(weights, {float(x / whole), float(area(e2, e1) / whole), float(area(e0, e2) / whole)});
    return 0;
  }
  const double d00 = dot(e0, e0), d01 = dot(e0, e1), d11 = dot(e1, e1), d20 = dot(e2, e0), d21 = dot(e2, e1);
  const double denom = d00 * d11 - d01 * d01;
  const double y = (d11 * d20 - d01 * d21) / denom, z = (d00 * d21 - d01 * d20) / denom;
  put<3>(weights, {float(1 - y - z), float(y), float(z)});
  return 0;
}

// a·w.x + b·w.y + c·w.z, not divided by the weights' sum.
template <int N>
std::int32_t weighted_average(Handle out, Handle a, Handle b, Handle c, Handle weights) {
  const V<3> w = get<3>(weights);
  const V<N> p = get<N>(a), q = get<N>(b), r = get<N>(c);
  V<N> sum;
  for (int k = 0; k < N; ++k) sum[k] = float(double(p[k]) * w.x() + double(q[k]) * w.y() + double(r[k]) * w.z());
  put(out, sum);
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_BaryCentric(Handle o, Handle a, Handle b, Handle c, float f, float g) {
  return barycentric<2>(o, a, b, c, f, g);
}
KV_EXPORT std::int32_t Vec3_BaryCentric(Handle o, Handle a, Handle b, Handle c, float f, float g) {
  return barycentric<3>(o, a, b, c, f, g);
}
KV_EXPORT std::int32_t Vec4_BaryCentric(Handle o, Handle a, Handle b, Handle c, float f, float g) {
  return barycentric<4>(o, a, b, c, f, g);
}
KV_EXPORT std::int32_t Vec2_BaryCentricWeights(Handle w, Handle p, Handle a, Handle b, Handle c) {
  return weights_of<2>(w, p, a, b, c);
}
KV_EXPORT std::int32_t Vec3_BaryCentricWeights(Handle w, Handle p, Handle a, Handle b, Handle c) {
  return weights_of<3>(w, p, a, b, c);
}
KV_EXPORT std::int32_t Vec4_BaryCentricWeights(Handle w, Handle p, Handle a, Handle b, Handle c) {
  return weights_of<4>(w, p, a, b, c);
}
KV_EXPORT std::int32_t Vec2_WeightedAvg3(Handle o, Handle a, Handle b, Handle c, Handle w) {
  return weighted_average<2>(o, a, b, c, w);
}
KV_EXPORT std::int32_t Vec3_WeightedAvg3(Handle o, Handle a, Handle b, Handle c, Handle w) {
  return weighted_average<3>(o, a, b, c, w);
}
KV_EXPORT std::int32_t Vec4_WeightedAvg3(Handle o, Handle a, Handle b, Handle c, Handle w) {
  return weighted_average<4>(o, a, b, c, w);
}
