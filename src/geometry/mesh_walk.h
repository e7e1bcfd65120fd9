// Walking a mesh's hierarchy: depth first, nearest child first, two children
// tested at once, what they lead to asked of memory ahead.
#pragma once

#include <immintrin.h>

#include <algorithm>

#include "geometry/mesh.h"

namespace kv::geometry {

inline constexpr double kInf = __builtin_inf();

// What a node leads to, asked of memory before it is needed: its children, or its
// triangles. A million triangles do not fit in the caches; this lets the next
// level's reads overlap the work on this one.
inline void prefetch(const Mesh& m, const Node& n, double key) {
  if (!(key < kInf)) return;
  const char* at = n.count ? reinterpret_cast<const char*>(m.corners + 9 * n.first) : reinterpret_cast<const char*>(m.node + n.first);
  _mm_prefetch(at, _MM_HINT_T0);
  _mm_prefetch(at + 64, _MM_HINT_T0);
}

// The two boxes of a pair in double, by axis, one box in each lane.
struct PairBoxes {
  __m128d lo[3], hi[3];
  explicit PairBoxes(const Node* pair) {
    const __m128 l0 = _mm_loadu_ps(pair[0].lo), l1 = _mm_loadu_ps(pair[1].lo);
    const __m128 h0 = _mm_loadu_ps(pair[0].hi), h1 = _mm_loadu_ps(pair[1].hi);
    const __m128 lxy = _mm_unpacklo_ps(l0, l1), lz = _mm_unpackhi_ps(l0, l1);
    const __m128 hxy = _mm_unpacklo_ps(h0, h1), hz = _mm_unpackhi_ps(h0, h1);
    lo[0] = _mm_cvtps_pd(lxy), lo[1] = _mm_cvtps_pd(_mm_movehl_ps(lxy, lxy)), lo[2] = _mm_cvtps_pd(lz);
    hi[0] = _mm_cvtps_pd(hxy), hi[1] = _mm_cvtps_pd(_mm_movehl_ps(hxy, hxy)), hi[2] = _mm_cvtps_pd(hz);
  }
};

// A depth-first walk of the hierarchy: `keys(pair)` gives two nodes' keys at once
// (their entry t, their distance), +∞ where a node cannot hold an answer;
// `bound()` the largest key still worth a visit; `leaf(first, count)` tests a
// leaf's triangles and returns true to stop. Children are visited nearest first.
template <class Keys, class Bound, class Leaf>
void walk(const Mesh& m, Keys keys, Bound bound, Leaf leaf) {
  if (m.in_tree == 0) return;
  struct Entry {
    std::uint32_t node;
    double key;
  } stack[2 * kMaxDepth + 2];
  int top = 0;
  const double root = _mm_cvtsd_f64(keys(m.node));  // the root and the empty pad node after it
  if (root < kInf) stack[top++] = {0, root};
  while (top > 0) {
    const Entry e = stack[--top];
    if (e.key > bound()) continue;
    const Node& n = m.node[e.node];
    if (n.count) {
      if (leaf(n.first, n.count)) return;
      continue;
    }
    const Node* pair = m.node + n.first;
    const __m128d t = keys(pair);
    const double a = _mm_cvtsd_f64(t), b = _mm_cvtsd_f64(_mm_unpackhi_pd(t, t));
    prefetch(m, pair[0], a), prefetch(m, pair[1], b);
    const Entry near{a <= b ? n.first : n.first + 1, std::min(a, b)}, far{a <= b ? n.first + 1 : n.first, std::max(a, b)};
    if (far.key < kInf) stack[top++] = far;
    if (near.key < kInf) stack[top++] = near;
  }
}

}  // namespace kv::geometry
