// Helpers shared by the vector commands: moving Vec2/Vec3/Vec4 values through
// handles and working on them component by component, written once over the
// component count N.
#pragma once

#include "dx/types.h"
#include "frame/abi.h"

namespace kv::vec {

template <int N>
using V = dx::Vec<N>;

template <int N>
inline V<N> get(Handle h) {
  return load<V<N>>(h);
}

template <int N>
inline void put(Handle h, const V<N>& v) {
  store(h, v);
}

// result_i = op(a_i, b_i) for every component; all inputs are read before the
// caller stores, so a result handle may be any input handle.
template <int N, class Op>
inline V<N> zip(const V<N>& a, const V<N>& b, Op op) {
  V<N> r;
  for (int i = 0; i < N; ++i) r[i] = op(a[i], b[i]);
  return r;
}

}  // namespace kv::vec
