// Interpolation of one vector value, shared by the vector commands and by the
// matrix commands that blend a matrix row by row.
//
// Each stored component is formed in double and rounded once; the intermediates
// the commands name (dot products, angles, lengths) are rounded to single when
// formed.
#pragma once

#include "dx/vector.h"
#include "vector/vec.h"

namespace kv::vec {

// a + t (b − a); t is not clamped.
template <int N>
inline V<N> lerp(const V<N>& a, const V<N>& b, float t) {
  return zip(a, b, [t](float p, float q) { return float(p + double(t) * (double(q) - p)); });
}

// Normalised as the stored value: D3DX for Vec2 and Vec3 (zero stays zero); for
// Vec4 a division by the length rounded to single, without a zero test.
template <int N>
inline V<N> normalized(const V<N>& v) {
  V<N> r;
  if constexpr (N == 4) {
    const float length = float(vec::length(v));
    r = map(v, [length](float c) { return c / length; });
  } else {
    dx::vec_normalize(&r, &v);
  }
  return r;
}

// Along the arc from a toward b, or toward −b when they are more than a quarter
// turn apart; the normalised straight line when they are within 0.9995 of
// parallel. b is a copy: the caller's keyframe is never negated. Directions a
// quarter turn apart as singles hold (π/2 rounded gives a dot product of a few
// ULPs either side of 0): only a dot product below −2^-20·|a|·|b| takes −b.
template <int N>
inline V<N> slerp(const V<N>& a, V<N> b, float t) {
  const double exact = dot(a, b);
  float d = float(exact);
  if (exact < -0x1p-20 * sm::sqrt(dot(a, a) * dot(b, b))) {
    b = map(b, [](float c) { return -c; });
    d = -d;
  }
  if (d > 0.9995f) return normalized(lerp(a, b, t));
  const float theta = float(sm::acos(d) * t);
  const float c = float(sm::cos(theta)), s = float(sm::sin(theta));
  V<N> r = zip(b, a, [d](float bk, float ak) { return float(bk - double(ak) * d); });
  const float l = float(length(r));
  r = map(r, [l](float rk) { return rk / l; });
  return zip(a, r, [c, s](float ak, float rk) { return float(double(ak) * c + double(rk) * s); });
}

}  // namespace kv::vec
