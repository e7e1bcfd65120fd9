// Helpers shared by the vector commands: moving Vec2/Vec3/Vec4 values through
// handles and working on them component by component, written once over the
// component count N.
#pragma once

#include <cstring>

#include "dx/types.h"
#include "frame/abi.h"
#include "frame/scalar_math.h"

namespace kv::vec {

template <int N>
using V = dx::Vec<N>;

// Component by component, so that each float moves straight between memory and
// an SSE register (a whole-struct copy would go through integer registers).
template <int N>
inline V<N> get(Handle h) {
  V<N> v;
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) std::memcpy(&v.c[i], reinterpret_cast<const float*>(h) + i, sizeof(float));
  return v;
}

template <int N>
inline void put(Handle h, const V<N>& v) {
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) std::memcpy(reinterpret_cast<float*>(h) + i, &v.c[i], sizeof(float));
}

// result_i = op(a_i, b_i) for every component; all inputs are read before the
// caller stores, so a result handle may be any input handle.
template <int N, class Op>
inline V<N> zip(const V<N>& a, const V<N>& b, Op op) {
  V<N> r;
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) r[i] = op(a[i], b[i]);
  return r;
}

// result_i = op(v_i).
template <int N, class Op>
inline V<N> map(const V<N>& v, Op op) {
  V<N> r;
#pragma GCC unroll 4
  for (int i = 0; i < N; ++i) r[i] = op(v[i]);
  return r;
}

// p − q component by component, each difference rounded to single.
template <int N>
inline V<N> minus(const V<N>& p, const V<N>& q) {
  return zip(p, q, [](float x, float y) { return x - y; });
}

// Σ a_i·b_i in double: products of singles are exact there, so the sum is
// rounded only as a double, and the caller rounds it to single once.
template <int N>
inline double dot(const V<N>& a, const V<N>& b) {
  double sum = double(a[0]) * double(b[0]);
#pragma GCC unroll 4
  for (int i = 1; i < N; ++i) sum += double(a[i]) * double(b[i]);
  return sum;
}

template <int N>
inline double length(const V<N>& v) {
  return sm::sqrt(dot(v, v));
}

// 1 when each of the n floats of a and b differs by at most the tolerance (by
// less than it when `strict`), else 0. Each difference is formed in double, where
// the difference of two singles is exact; a NaN, or infinity less infinity, is
// never within it, and a negative tolerance admits nothing.
inline std::int32_t equal_within(Handle a, Handle b, int n, double tolerance, bool strict) {
  for (int i = 0; i < n; ++i) {
    const double d = double(float_of(load_bits(a, i))) - float_of(load_bits(b, i)), size = d < 0 ? -d : d;
    if (!(strict ? size < tolerance : size <= tolerance)) return 0;
  }
  return 1;
}

}  // namespace kv::vec
