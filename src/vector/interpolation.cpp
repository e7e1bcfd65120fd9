#include "vector/interpolation.h"

#include "vector/interpolate.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

template <int N>
std::int32_t lerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, lerp(get<N>(a), get<N>(b), t));
  return 0;
}

template <int N>
std::int32_t nlerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, normalized(dx::lerp(widen(get<N>(a)), widen(get<N>(b)), t)));
  return 0;
}

template <int N>
std::int32_t slerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, slerp(get<N>(a), get<N>(b), t));
  return 0;
}

// p·(2t³ − 3t² + 1) + q·(3t² − 2t³): the cubic ease curve and its complement.
template <int N>
Wide<N> ease(const Wide<N>& p, const Wide<N>& q, double t) {
  const double t2 = t * t, t3 = t2 * t;
  return combine(p, 2 * t3 - 3 * t2 + 1, q, 3 * t2 - 2 * t3);
}

template <int N>
std::int32_t cerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, narrow(ease(widen(get<N>(a)), widen(get<N>(b)), t)));
  return 0;
}

// Corners p0 at (0, 0), p1 at (1, 0), p2 at (0, 1), p3 at (1, 1): along u, then v.
template <int N, class Blend>
std::int32_t patch(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v, Blend blend) {
  const Wide<N> near = blend(widen(get<N>(p0)), widen(get<N>(p1)), u), far = blend(widen(get<N>(p2)), widen(get<N>(p3)), u);
  put(out, narrow(blend(near, far, v)));
  return 0;
}

template <int N>
std::int32_t bilerp_command(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return patch<N>(out, p0, p1, p2, p3, u, v, dx::lerp<N>);
}

template <int N>
std::int32_t bicerp_command(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return patch<N>(out, p0, p1, p2, p3, u, v, ease<N>);
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_Lerp(Handle o, Handle a, Handle b, float t) { return lerp_command<2>(o, a, b, t); }
KV_EXPORT std::int32_t Vec3_Lerp(Handle o, Handle a, Handle b, float t) { return lerp_command<3>(o, a, b, t); }
KV_EXPORT std::int32_t Vec4_Lerp(Handle o, Handle a, Handle b, float t) { return lerp_command<4>(o, a, b, t); }
KV_EXPORT std::int32_t Vec2_NLerp(Handle o, Handle a, Handle b, float t) { return nlerp_command<2>(o, a, b, t); }
KV_EXPORT std::int32_t Vec3_NLerp(Handle o, Handle a, Handle b, float t) { return nlerp_command<3>(o, a, b, t); }
KV_EXPORT std::int32_t Vec4_NLerp(Handle o, Handle a, Handle b, float t) { return nlerp_command<4>(o, a, b, t); }
KV_EXPORT std::int32_t Vec2_SLerp(Handle o, Handle a, Handle b, float t) { return slerp_command<2>(o, a, b, t); }
KV_EXPORT std::int32_t Vec3_SLerp(Handle o, Handle a, Handle b, float t) { return slerp_command<3>(o, a, b, t); }
KV_EXPORT std::int32_t Vec4_SLerp(Handle o, Handle a, Handle b, float t) { return slerp_command<4>(o, a, b, t); }
KV_EXPORT std::int32_t Vec2_Cerp(Handle o, Handle a, Handle b, float t) { return cerp_command<2>(o, a, b, t); }
KV_EXPORT std::int32_t Vec3_Cerp(Handle o, Handle a, Handle b, float t) { return cerp_command<3>(o, a, b, t); }
KV_EXPORT std::int32_t Vec4_Cerp(Handle o, Handle a, Handle b, float t) { return cerp_command<4>(o, a, b, t); }

KV_EXPORT std::int32_t Vec2_BiLerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bilerp_command<2>(o, p0, p1, p2, p3, u, v);
}
KV_EXPORT std::int32_t Vec3_BiLerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bilerp_command<3>(o, p0, p1, p2, p3, u, v);
}
KV_EXPORT std::int32_t Vec4_BiLerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bilerp_command<4>(o, p0, p1, p2, p3, u, v);
}
KV_EXPORT std::int32_t Vec2_BiCerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bicerp_command<2>(o, p0, p1, p2, p3, u, v);
}
KV_EXPORT std::int32_t Vec3_BiCerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bicerp_command<3>(o, p0, p1, p2, p3, u, v);
}
KV_EXPORT std::int32_t Vec4_BiCerp(Handle o, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  return bicerp_command<4>(o, p0, p1, p2, p3, u, v);
}
