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
  put(out, normalized(lerp(get<N>(a), get<N>(b), t)));
  return 0;
}

template <int N>
std::int32_t slerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, slerp(get<N>(a), get<N>(b), t));
  return 0;
}

// Weights of the cubic ease curve 3t² − 2t³ and its complement, from t² and t³
// rounded to single.
struct Ease {
  double from, to;
  explicit Ease(float t) {
    const float t2 = t * t, t3 = t2 * t;
    from = 2.0 * t3 - 3.0 * t2 + 1;
    to = 3.0 * t2 - 2.0 * t3;
  }
};

// p·w.from + q·w.to, rounded once.
auto blend(const Ease& w) {
  return [w](float p, float q) { return float(p * w.from + q * w.to); };
}

template <int N>
std::int32_t cerp_command(Handle out, Handle a, Handle b, float t) {
  put(out, zip(get<N>(a), get<N>(b), blend(Ease(t))));
  return 0;
}

// Corners p0 at (0, 0), p1 at (1, 0), p2 at (0, 1), p3 at (1, 1).
template <int N>
std::int32_t bilerp_command(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  const V<N> near = lerp(get<N>(p0), get<N>(p1), u), far = lerp(get<N>(p2), get<N>(p3), u);
  put(out, lerp(near, far, v));
  return 0;
}

template <int N>
std::int32_t bicerp_command(Handle out, Handle p0, Handle p1, Handle p2, Handle p3, float u, float v) {
  const Ease wu(u), wv(v);
  const V<N> near = zip(get<N>(p0), get<N>(p1), blend(wu)), far = zip(get<N>(p2), get<N>(p3), blend(wu));
  put(out, zip(near, far, blend(wv)));
  return 0;
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
