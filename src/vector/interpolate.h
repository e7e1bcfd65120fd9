// Interpolation of one vector value, shared by the vector commands and by the
// matrix commands that blend a matrix row by row. Everything is formed in double
// from the single inputs and each stored component is rounded once.
#pragma once

#include "dx/vector.h"
#include "vector/vec.h"

namespace kv::vec {

// A vector in double, for results rounded once when stored.
template <int N>
struct W {
  double c[N];
};

template <int N>
inline W<N> wide(const V<N>& v) {
  W<N> w;
  for (int i = 0; i < N; ++i) w.c[i] = v[i];
  return w;
}

template <int N>
inline V<N> narrow(const W<N>& w) {
  V<N> v;
  for (int i = 0; i < N; ++i) v[i] = float(w.c[i]);
  return v;
}

template <int N>
inline double dot(const W<N>& a, const W<N>& b) {
  double sum = a.c[0] * b.c[0];
  for (int i = 1; i < N; ++i) sum += a.c[i] * b.c[i];
  return sum;
}

// a·s + b·t, component by component.
template <int N>
inline W<N> combine(const W<N>& a, double s, const W<N>& b, double t) {
  W<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = a.c[i] * s + b.c[i] * t;
  return r;
}

// a + t (b − a); t is not clamped.
template <int N>
inline W<N> lerp_wide(const W<N>& a, const W<N>& b, double t) {
  W<N> r;
  for (int i = 0; i < N; ++i) r.c[i] = a.c[i] + t * (b.c[i] - a.c[i]);
  return r;
}

template <int N>
inline V<N> lerp(const V<N>& a, const V<N>& b, float t) {
  return narrow(lerp_wide(wide(a), wide(b), t));
}

// v / |v|: a zero Vec2 or Vec3 stays zero, as D3DX's normalisation; a zero Vec4
// gives NaN (0 / 0).
template <int N>
inline V<N> normalized(const W<N>& v) {
  const double length = sm::sqrt(dot(v, v));
  if (N < 4 && length == 0) return V<N>{};
  return narrow(combine(v, 1 / length, v, 0));
}

// Along the arc from a toward b, or toward −b when they are more than a quarter
// turn apart; the normalised straight line when they are within 0.9995 of
// parallel. b is a copy: the caller's keyframe is never negated. Directions a
// quarter turn apart as singles hold (π/2 rounded gives a dot product of a few
// ULPs either side of 0): only a dot product below −2^-20·|a|·|b| takes −b. On
// the arc, r = (b − a·d) / |b − a·d| and the result is a·cos θ + r·sin θ with
// θ = t·acos(d).
template <int N>
inline V<N> slerp(const V<N>& a_single, const V<N>& b_single, float t) {
  const W<N> a = wide(a_single);
  W<N> b = wide(b_single);
  double d = dot(a, b);
  if (d < -0x1p-20 * sm::sqrt(dot(a, a) * dot(b, b))) {
    b = combine(b, -1, b, 0);
    d = -d;
  }
  if (float(d) > 0.9995f) return normalized(lerp_wide(a, b, t));
  const double theta = sm::acos(d) * t;
  const W<N> r = combine(b, 1, a, -d);
  const double length = sm::sqrt(dot(r, r));
  return narrow(combine(a, sm::cos(theta), r, sm::sin(theta) / length));
}

}  // namespace kv::vec
