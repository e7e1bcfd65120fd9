#include "vector/interpolation.h"

#include "dx/vector.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

// Each stored component is formed in double and rounded once; the intermediates
// the commands name (dot products, angles, lengths, powers, edges) are rounded to
// single when formed.
template <int N>
V<N> lerp(const V<N>& a, const V<N>& b, float t) {
  return zip(a, b, [t](float p, float q) { return float(p + double(t) * (double(q) - p)); });
}

// Normalised in place of the stored value: D3DX for Vec2 and Vec3 (zero stays
// zero); for Vec4 a division by the length rounded to single, without a zero test.
template <int N>
V<N> normalized(const V<N>& v) {
  V<N> r;
  if constexpr (N == 4) {
    const float length = float(vec::length(v));
    r = map(v, [length](float c) { return c / length; });
  } else {
    dx::vec_normalize(&r, &v);
  }
  return r;
}

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

// Along the arc from a toward b, or toward −b when they are more than a quarter
// turn apart. The caller's b is left as it is: the negation is made on a copy.
template <int N>
std::int32_t slerp_command(Handle out, Handle a_handle, Handle b_handle, float t) {
  const V<N> a = get<N>(a_handle);
  V<N> b = get<N>(b_handle);
  float d = float(dot(a, b));
  if (d < 0) {
    b = map(b, [](float c) { return -c; });
    d = -d;
  }
  if (d > 0.9995f) {  // close to parallel: the normalised straight line
    put(out, normalized(lerp(a, b, t)));
    return 0;
  }
  const float theta = float(sm::acos(d) * t);
  const float c = float(sm::cos(theta)), s = float(sm::sin(theta));
  V<N> r = zip(b, a, [d](float bk, float ak) { return float(bk - double(ak) * d); });
  const float l = float(length(r));
  r = map(r, [l](float rk) { return rk / l; });
  put(out, zip(a, r, [c, s](float ak, float rk) { return float(double(ak) * c + double(rk) * s); }));
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
