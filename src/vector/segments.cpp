#include "vector/segments.h"

#include "vector/interpolate.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

// The point a + t (b − a) of the segment closest to p, with t = (p − a)·d / d·d
// clamped to [0, 1], in double: a when t is below 0 or not a number (a
// zero-length segment gives 0 / 0), b when above 1.
template <int N>
Wide<N> closest(const Wide<N>& p, const Wide<N>& a, const Wide<N>& b) {
  const Wide<N> w = combine(p, 1, a, -1), d = combine(b, 1, a, -1);
  const double t = dot(w, d) / dot(d, d);
  return combine(a, 1, d, !(t >= 0) ? 0 : t > 1 ? 1 : t);
}

template <int N>
std::int32_t closest_command(Handle out, Handle p, Handle a, Handle b) {
  put(out, narrow(closest(widen(get<N>(p)), widen(get<N>(a)), widen(get<N>(b)))));
  return 0;
}

template <int N>
FloatBits distance_command(Handle p_handle, Handle a, Handle b) {
  const Wide<N> p = widen(get<N>(p_handle)), offset = combine(closest(p, widen(get<N>(a)), widen(get<N>(b))), 1, p, -1);
  return bits_of(float(sm::sqrt(dot(offset, offset))));
}

// The angle from 0 to π between a and b, as 2·atan2(|a·|b| − b·|a||, |a·|b| + b·|a||)
// in double: accurate for every angle, where acos of the cosine loses the small
// ones. Parallel vectors give 0, opposite ones π; a zero vector gives NaN.
template <int N>
FloatBits angle_command(Handle a_handle, Handle b_handle) {
  const Wide<N> a = widen(get<N>(a_handle)), b = widen(get<N>(b_handle));
  const double la = sm::sqrt(dot(a, a)), lb = sm::sqrt(dot(b, b));
  if (la == 0 || lb == 0) return bits_of(__builtin_nanf(""));
  const Wide<N> difference = combine(a, lb, b, -la), sum = combine(a, lb, b, la);
  return bits_of(float(2 * sm::atan2(sm::sqrt(dot(difference, difference)), sm::sqrt(dot(sum, sum)))));
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
