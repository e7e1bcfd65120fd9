#include "vector/segments.h"

#include "vector/vec.h"

namespace kv::vec {
namespace {

// The point a + t (b − a) of the segment closest to p, with t = (p − a)·d / d·d
// rounded to single: a when t is below 0 or not a number (a zero-length segment
// gives 0 / 0), b when above 1.
template <int N>
V<N> closest(const V<N>& p, const V<N>& a, const V<N>& b) {
  const V<N> w = minus(p, a), d = minus(b, a);
  const float len2 = float(dot(d, d)), proj = float(dot(w, d));
  const float t = proj / len2;
  if (!(t >= 0)) return a;
  if (t > 1) return b;
  return zip(a, d, [t](float ak, float dk) { return float(ak + double(t) * dk); });
}

template <int N>
std::int32_t closest_command(Handle out, Handle p, Handle a, Handle b) {
  put(out, closest(get<N>(p), get<N>(a), get<N>(b)));
  return 0;
}

template <int N>
FloatBits distance_command(Handle p_handle, Handle a, Handle b) {
  const V<N> p = get<N>(p_handle);
  return bits_of(float(length(minus(closest(p, get<N>(a), get<N>(b)), p))));
}

// acos of the cosine a·b / (|a| |b|), formed in double and rounded to single once,
// not clamped: parallel vectors give exactly 1, so 0; opposite ones π. A zero
// vector gives NaN.
template <int N>
FloatBits angle_command(Handle a_handle, Handle b_handle) {
  const V<N> a = get<N>(a_handle), b = get<N>(b_handle);
  const float cosine = float(dot(a, b) / (length(a) * length(b)));
  return bits_of(float(sm::acos(cosine)));
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_GetClosestPointOnLineSeg(Handle o, Handle p, Handle a, Handle b) {
  return closest_command<2>(o, p, a, b);
}
KV_EXPORT std::int32_t Vec3_GetClosestPointOnLineSeg(Handle o, Handle p, Handle a, Handle b) {
  return closest_command<3>(o, p, a, b);
}
KV_EXPORT FloatBits Vec2_GetDistFromLineSeg(Handle p, Handle a, Handle b) { return distance_command<2>(p, a, b); }
KV_EXPORT FloatBits Vec3_GetDistFromLineSeg(Handle p, Handle a, Handle b) { return distance_command<3>(p, a, b); }
KV_EXPORT FloatBits Vec2_GetAngleBetween(Handle a, Handle b) { return angle_command<2>(a, b); }
KV_EXPORT FloatBits Vec3_GetAngleBetween(Handle a, Handle b) { return angle_command<3>(a, b); }
KV_EXPORT FloatBits Vec4_GetAngleBetween(Handle a, Handle b) { return angle_command<4>(a, b); }
