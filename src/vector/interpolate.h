// Interpolation of one vector value, shared by the vector commands and by the
// matrix commands that blend a matrix row by row. Everything is formed in double
// from the single inputs and each stored component is rounded once.
#pragma once

#include "dx/vector.h"
#include "frame/tolerances.h"
#include "vector/vec.h"

namespace kv::vec {

using dx::combine;
using dx::dot;
using dx::narrow;
using dx::Wide;
using dx::widen;

template <int N>
inline V<N> lerp(const V<N>& a, const V<N>& b, float t) {
  return narrow(dx::lerp(widen(a), widen(b), t));
}

// v / |v|: a zero Vec2 or Vec3 stays zero, as D3DX's normalisation; a zero Vec4
// gives NaN (0 / 0).
template <int N>
inline V<N> normalized(const Wide<N>& v) {
  const double length = sm::sqrt(dot(v, v));
  if (N < 4 && length == 0) return V<N>{};
  return narrow(combine(v, 1 / length, v, 0));
}

// Along the arc from a toward b, or toward −b when they are more than a quarter
// turn apart; the normalised straight line when they are within 0.9995 of
// parallel, and the plain straight line (Lerp) when either has no length. b is a copy: the caller's keyframe is never negated. Directions a
// quarter turn apart as singles hold (π/2 rounded gives a dot product of a few
// ULPs either side of 0): only a dot product below −2^-20·|a|·|b| takes −b. On
// the arc, r = (b − a·d) / |b − a·d| and the result is a·cos θ + r·sin θ with
// θ = t·acos(d).
template <int N>
inline V<N> slerp(const V<N>& a_single, const V<N>& b_single, float t) {
  const Wide<N> a = widen(a_single);
  Wide<N> b = widen(b_single);
  if (dot(a, a) == 0 || dot(b, b) == 0) return narrow(dx::lerp(a, b, t));  // no arc: the straight line
  double d = dot(a, b);
  if (d < -tolerance::kSlerpFlip * sm::sqrt(dot(a, a) * dot(b, b))) {
    b = combine(b, -1, b, 0);
    d = -d;
  }
  if (float(d) > tolerance::kSlerpStraight) return normalized(dx::lerp(a, b, t));
  const double theta = sm::acos(d) * t;
  const Wide<N> r = combine(b, 1, a, -d);
  const double length = sm::sqrt(dot(r, r));
  return narrow(combine(a, sm::cos(theta), r, sm::sin(theta) / length));
}

}  // namespace kv::vec
