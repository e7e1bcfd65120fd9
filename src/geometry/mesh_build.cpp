// Making a mesh: the hierarchy built by the surface-area heuristic over binned
// triangle centres (each split the one of 16 bins along the centres' widest axis
// that least costs area × triangles on either side), leaves of at most eight
// triangles; refitting it to moved corners; freeing it.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "frame/arrays.h"
#include "frame/platform.h"
#include "geometry/bounds.h"
#include "geometry/mesh.h"

namespace kv::geometry {
namespace {

constexpr int kBins = 16;
constexpr std::uint32_t kSmall = 16;  // ranges of this many or fewer are halved about their middle centre
constexpr std::uint32_t kSamples = 4096;  // a range of n items bins one in n / kSamples (at least every one)
constexpr float kInf = __builtin_inff();

// A box in SSE lanes (x, y, z and a fourth lane of no meaning): empty, it is
// +∞ to −∞.
struct Box {
  __m128 lo = _mm_set1_ps(kInf), hi = _mm_set1_ps(-kInf);
  void grow(__m128 l, __m128 h) { lo = _mm_min_ps(lo, l), hi = _mm_max_ps(hi, h); }
  void grow(const Box& b) { grow(b.lo, b.hi); }
  float at(__m128 v, int i) const {
    float f[4];
    _mm_storeu_ps(f, v);
    return f[i];
  }
  // Half the surface area; 0 for an empty box.
  float area() const {
    const __m128 e = _mm_max_ps(_mm_sub_ps(hi, lo), _mm_setzero_ps());
    float f[4];
    _mm_storeu_ps(f, e);
    return f[0] * f[1] + f[1] * f[2] + f[2] * f[0];
  }
  void store(float* l, float* h) const {
    float f[4];
    _mm_storeu_ps(f, lo), std::memcpy(l, f, 12);
    _mm_storeu_ps(f, hi), std::memcpy(h, f, 12);
  }
};

// One triangle while the hierarchy is built: its box, its number in the array
// in the fourth lane of lo (a bit pattern, kept out of all arithmetic: as a float
// it is a denormal, which the processor is slow to add).
struct Item {
  __m128 lo, hi;
  __m128 centre() const {
    const __m128 xyz = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
    const __m128 half = _mm_set1_ps(0.5f);  // each half first: no sum of the largest floats overflows
    return _mm_add_ps(_mm_mul_ps(_mm_and_ps(lo, xyz), half), _mm_mul_ps(_mm_and_ps(hi, xyz), half));
  }
  float centre(int axis) const {  // the same float as centre()'s lane
    float l[4], h[4];
    _mm_storeu_ps(l, lo), _mm_storeu_ps(h, hi);
    return l[axis] * 0.5f + h[axis] * 0.5f;
  }
  std::uint32_t triangle() const { return std::uint32_t(_mm_cvtsi128_si32(_mm_castps_si128(_mm_shuffle_ps(lo, lo, 3)))); }
};

bool finite_triangle(const float* f) {
  for (int i = 0; i < 9; ++i) {
    if (!(f[i] - f[i] == 0)) return false;
  }
  return true;
}

// The box of a triangle's corners (the corners are floats: the box holds them exactly).
Box triangle_box(const float* f) {
  const __m128 a = _mm_setr_ps(f[0], f[1], f[2], 0), b = _mm_setr_ps(f[3], f[4], f[5], 0), c = _mm_setr_ps(f[6], f[7], f[8], 0);
  Box box;
  box.lo = _mm_min_ps(_mm_min_ps(a, b), c), box.hi = _mm_max_ps(_mm_max_ps(a, b), c);
  return box;
}

// A triangle at a position of the mesh's own corners, in three loads of four
// floats (the fourth the next corner's x, or past the last triangle the room kept
// there): its box when its corners are all finite, else none.
bool finite_box(const float* f, Box& box) {
  const __m128 a = _mm_loadu_ps(f), b = _mm_loadu_ps(f + 3), c = _mm_loadu_ps(f + 6), zero = _mm_setzero_ps();
  const __m128 finite = _mm_and_ps(_mm_and_ps(_mm_cmpeq_ps(_mm_sub_ps(a, a), zero), _mm_cmpeq_ps(_mm_sub_ps(b, b), zero)),
                                   _mm_cmpeq_ps(_mm_sub_ps(c, c), zero));
  box.lo = _mm_min_ps(_mm_min_ps(a, b), c), box.hi = _mm_max_ps(_mm_max_ps(a, b), c);
  return (_mm_movemask_ps(finite) & 7) == 7;
}

// A growing list of nodes on the private heap.
struct Nodes {
  Node* at = nullptr;
  std::uint32_t count = 0, room = 0;
  bool reserve(std::uint32_t n) {
    auto* bigger = static_cast<Node*>(platform::heap_realloc(at, std::size_t(n) * sizeof(Node)));
    if (!bigger) return false;
    at = bigger, room = n;
    return true;
  }
  bool add(std::uint32_t n) {
    if (count + n > room && !reserve(std::max(2 * room, count + n))) return false;
    count += n;
    return true;
  }
};

// Items [begin, end) with their box and the box of their centres, as a node of
// the hierarchy to come.
struct Range {
  std::uint32_t node, begin, end;
  int depth;
  Box box, centres;
};

void measure_range(const Item* items, Range& r) {
  r.box = Box{}, r.centres = Box{};
  for (std::uint32_t k = r.begin; k < r.end; ++k) r.box.grow(items[k].lo, items[k].hi), r.centres.grow(items[k].centre(), items[k].centre());
}

// Splits r's items into two ranges (reordering them), along the axis their
// centres spread widest on: at the bin boundary of least cost (a large range
// binned from a sample of its items), the halves' boxes measured after the
// reordering; by halving the count where the range is small, where the centres
// cannot be told apart, or where the hierarchy grows too deep.
void split(Item* items, const Range& r, Range& left, Range& right) {
  left = {0, r.begin, r.begin, r.depth + 1, {}, {}}, right = {0, r.begin, r.end, r.depth + 1, {}, {}};
  const std::uint32_t count = r.end - r.begin;
  const __m128 extent = _mm_sub_ps(r.centres.hi, r.centres.lo);
  float e[4];
  _mm_storeu_ps(e, extent);
  const int axis = e[0] >= e[1] ? (e[0] >= e[2] ? 0 : 2) : (e[1] >= e[2] ? 1 : 2);
  const bool spread = e[axis] > 0;
  // The item's bin, 0 to kBins − 1 whatever the arithmetic gave: a spread past the
  // largest float scales by 0, and ∞ × 0 converts to the most negative integer.
  const float scale = spread ? float(kBins) * 0.99999f / e[axis] : 0, from = r.centres.at(r.centres.lo, axis);
  const auto bin_of = [&](const Item& it) {
    const std::int32_t b = _mm_cvttss_si32(_mm_set_ss((it.centre(axis) - from) * scale));
    return b < 0 ? 0 : b > kBins - 1 ? kBins - 1 : b;
  };
  if (spread && count <= kSmall) {  // halves about the middle centre
    const std::uint32_t middle = r.begin + count / 2;
    std::nth_element(items + r.begin, items + middle, items + r.end,
                     [axis](const Item& a, const Item& b) { return a.centre(axis) < b.centre(axis); });
    left.end = right.begin = middle;
    measure_range(items, left), measure_range(items, right);
    return;
  }
  if (spread && r.depth <= kMaxDepth - 24) {  // halving below this depth keeps the depth within kMaxDepth
    // Two sets of bins, for items at even and odd places, merged after: neighbours
    // often fall in one bin, and each would wait for the other's update of it.
    Box boxes[kBins], odd[kBins];
    std::uint32_t counts[kBins] = {}, odd_counts[kBins] = {};
    const std::uint32_t stride = std::max(1u, count / kSamples);
    std::uint32_t k = r.begin;
    for (; k + stride < r.end; k += 2 * stride) {
      const int b = bin_of(items[k]), c = bin_of(items[k + stride]);
      boxes[b].grow(items[k].lo, items[k].hi), ++counts[b];
      odd[c].grow(items[k + stride].lo, items[k + stride].hi), ++odd_counts[c];
    }
    for (; k < r.end; k += stride) {
      const int b = bin_of(items[k]);
      boxes[b].grow(items[k].lo, items[k].hi), ++counts[b];
    }
    for (int b = 0; b < kBins; ++b) boxes[b].grow(odd[b]), counts[b] += odd_counts[b];
    // The areas and counts left of each boundary, then right of it.
    float left_area[kBins], best = kInf;
    std::uint32_t left_count[kBins], n = 0;
    int best_bin = 0;
    Box l, rb;
    for (int b = 0; b < kBins - 1; ++b) {
      l.grow(boxes[b]), n += counts[b];
      left_area[b] = l.area(), left_count[b] = n;
    }
    n = 0;
    for (int b = kBins - 1; b > 0; --b) {
      rb.grow(boxes[b]), n += counts[b];
      if (left_count[b - 1] == 0 || n == 0) continue;
      const float cost = left_area[b - 1] * float(left_count[b - 1]) + rb.area() * float(n);
      if (cost < best) best = cost, best_bin = b;
    }
    if (best_bin > 0) {
      // Items of bins below best_bin first, without a branch on the side (which
      // side an item falls on is anybody's guess in a soup): each item swapped
      // with the first of those not below, which only moves past it when it is.
      std::uint32_t lo = r.begin;
      for (std::uint32_t k = r.begin; k < r.end; ++k) {
        const bool below = bin_of(items[k]) < best_bin;
        const Item item = items[k];
        items[k] = items[lo], items[lo] = item, lo += below;
      }
      // The halves' boxes in a pass of their own (a sample that missed a side: halve).
      left.end = right.begin = lo == r.begin || lo == r.end ? r.begin + count / 2 : lo;
      measure_range(items, left), measure_range(items, right);
      return;
    }
  }
  left.end = right.begin = r.begin + count / 2;
  measure_range(items, left), measure_range(items, right);
}

// The hierarchy over items [0, count): the root, a node that pads the children
// that follow it into pairs on even places (a pair shares a 64-byte line), each
// node's children after it. False without memory.
bool build(Item* items, std::uint32_t count, Nodes& nodes) {
  Range stack[2 * kMaxDepth + 2];
  int top = 0;
  if (!nodes.add(2)) return false;
  nodes.at[kPad] = Node{{kInf, kInf, kInf}, 0, {-kInf, -kInf, -kInf}, 0};
  stack[top] = {0, 0, count, 0, {}, {}};
  measure_range(items, stack[top++]);
  while (top > 0) {
    const Range r = stack[--top];
    Node& n = nodes.at[r.node];
    r.box.store(n.lo, n.hi);
    if (r.end - r.begin <= std::uint32_t(kLeafTriangles)) {
      n.first = r.begin, n.count = r.end - r.begin;
      continue;
    }
    Range left, right;
    split(items, r, left, right);
    const std::uint32_t first = nodes.count;
    if (!nodes.add(2)) return false;
    nodes.at[r.node].first = first, nodes.at[r.node].count = 0;  // the add may have moved the nodes
    left.node = first, right.node = first + 1;
    stack[top++] = right;
    stack[top++] = left;
  }
  return true;
}

// The box of the corners, as Vec3_ArrayAABB gives it, and the middle and reach of
// the finite triangles' box, which is the root's. When every triangle is finite
// and in the hierarchy the root's box is the corners' box too, bit for bit but
// for the sign of a bound of zero (the order of the comparisons decides it): the
// array is read again only when some triangle is not, or a bound is zero.
void measure(Mesh& m, const float* corners, std::uint32_t points) {
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  if (m.in_tree && m.node[0].lo[0] <= m.node[0].hi[0]) std::memcpy(lo, m.node[0].lo, 12), std::memcpy(hi, m.node[0].hi, 12);
  bool zero = false;
  for (int i = 0; i < 3; ++i) zero = zero || lo[i] == 0 || hi[i] == 0;
  if (m.side_count == 0 && !zero) {
    std::memcpy(m.lo.c, lo, 12), std::memcpy(m.hi.c, hi, 12);
  } else {
    points_aabb(reinterpret_cast<const dx::Vec3*>(corners), points, m.lo, m.hi);
  }
  m.reach = 0;
  for (int i = 0; i < 3; ++i) m.centre[i] = (double(lo[i]) + hi[i]) / 2, m.reach = std::max(m.reach, (double(hi[i]) - lo[i]) / 2);
}

// Every box from the triangles up: a leaf's over its finite triangles (none:
// empty), a node's over its children's. Children come after their parent.
void fit(Mesh& m) {
  for (std::uint32_t k = m.nodes; k-- > 0;) {
    if (k == kPad) continue;
    Node& n = m.node[k];
    Box box;
    if (n.count) {
      for (std::uint32_t p = n.first; p < n.first + n.count; ++p) {
        Box t;
        if (finite_box(m.corners + 9 * p, t)) box.grow(t);
      }
    } else {
      // Each child's box in two loads (the fourth lanes, its first and count, go unstored).
      for (const Node* c : {&m.node[n.first], &m.node[n.first + 1]}) box.grow(_mm_loadu_ps(c->lo), _mm_loadu_ps(c->hi));
    }
    box.store(n.lo, n.hi);
  }
}

std::size_t rounded(std::size_t bytes) { return (bytes + 15) / 16 * 16; }

// The corners of each position from the array, by the triangle's number (reads
// all over the array for a soup, asked of memory some triangles ahead), and the
// side list: the positions past the hierarchy, and those in it with a corner that
// is not finite now.
void copy_corners(Mesh& m, const float* source) {
  constexpr std::uint32_t kAhead = 16;
  m.side_count = 0;
  for (std::uint32_t p = 0; p < m.triangles; ++p) {
    if (p + kAhead < m.triangles) _mm_prefetch(reinterpret_cast<const char*>(source + 9 * std::size_t(m.index[p + kAhead])), _MM_HINT_T0);
    float* f = m.corners + 9 * p;
    std::memcpy(f, source + 9 * std::size_t(m.index[p]), 36);
    Box box;
    if (p >= m.in_tree || !finite_box(f, box)) m.side[m.side_count++] = p;
  }
}

}  // namespace

const Mesh* mesh_at(Handle handle) {
  return frame::mesh_block_at(handle) ? reinterpret_cast<const Mesh*>(handle) : nullptr;
}

Handle mesh_make(Handle corners) {
  const frame::Array* a = frame::array_at(corners, frame::ArrayKind::Vec3);
  const std::uint32_t triangles = a ? a->count / 3 : 0;
  if (triangles == 0 || triangles >= 1u << 28) return 0;  // past what 32 bits of address could hold anyway
  const float* source = a->elements<float>();
  std::uint32_t in_tree = 0;
  for (std::uint32_t t = 0; t < triangles; ++t) in_tree += finite_triangle(source + 9 * t);
  // The items' SSE boxes on a 16-byte boundary: the private heap gives 8. The same
  // block holds the table of edges once the hierarchy is built.
  const std::size_t item_bytes = std::max(std::size_t(in_tree ? in_tree : 1) * sizeof(Item), edge_table_bytes(in_tree));
  void* item_block = platform::heap_alloc(item_bytes + 8);
  if (!item_block) return 0;
  auto* items = reinterpret_cast<Item*>((reinterpret_cast<std::uintptr_t>(item_block) + 15) / 16 * 16);
  for (std::uint32_t t = 0, k = 0; t < triangles; ++t) {
    if (!finite_triangle(source + 9 * t)) continue;
    const Box box = triangle_box(source + 9 * t);
    const __m128 number = _mm_castsi128_ps(_mm_cvtsi32_si128(std::int32_t(t)));
    items[k++] = {_mm_shuffle_ps(box.lo, _mm_unpacklo_ps(_mm_movehl_ps(box.lo, box.lo), number), _MM_SHUFFLE(1, 0, 1, 0)), box.hi};
  }
  Nodes nodes;
  if (in_tree && !(nodes.reserve(std::max<std::uint32_t>(in_tree * 2 / 3, 16)) && build(items, in_tree, nodes))) {
    platform::heap_free(nodes.at), platform::heap_free(item_block);
    return 0;
  }
  const std::size_t header = rounded(sizeof(Mesh)) + 48, node_bytes = rounded(std::size_t(nodes.count) * sizeof(Node));
  // Three triangles of room after the corners: a leaf's lanes read four triangles whatever its count.
  const std::size_t corner_bytes = rounded(std::size_t(triangles + 3) * 36), index_bytes = rounded(std::size_t(triangles) * 4);
  const std::size_t neighbour_bytes = std::size_t(triangles) * 12, side_bytes = std::size_t(triangles) * 4;
  const std::size_t smooth_bytes = std::size_t(triangles) * 2;  // and as much again for the walks' scratch
  const Handle h = frame::mesh_block_make(triangles, header + node_bytes + corner_bytes + index_bytes + neighbour_bytes + side_bytes + smooth_bytes);
  if (!h) {
    platform::heap_free(nodes.at), platform::heap_free(item_block);
    return 0;
  }
  auto* m = reinterpret_cast<Mesh*>(h);
  *m = Mesh{};
  m->triangles = triangles, m->in_tree = in_tree, m->nodes = nodes.count;
  m->node = reinterpret_cast<Node*>((h + rounded(sizeof(Mesh)) + 63) / 64 * 64);  // a pair of children on one line
  m->corners = reinterpret_cast<float*>(h + header + node_bytes);
  m->index = reinterpret_cast<std::uint32_t*>(h + header + node_bytes + corner_bytes);
  m->neighbour = reinterpret_cast<std::uint32_t*>(h + header + node_bytes + corner_bytes + index_bytes);
  m->side = reinterpret_cast<std::uint32_t*>(h + header + node_bytes + corner_bytes + index_bytes + neighbour_bytes);
  m->smooth = reinterpret_cast<std::uint8_t*>(h + header + node_bytes + corner_bytes + index_bytes + neighbour_bytes + side_bytes);
  m->scratch = m->smooth + triangles;
  if (nodes.count) std::memcpy(m->node, nodes.at, std::size_t(nodes.count) * sizeof(Node));
  for (std::uint32_t p = 0; p < in_tree; ++p) m->index[p] = items[p].triangle();
  platform::heap_free(nodes.at);
  for (std::uint32_t t = 0, p = in_tree; t < triangles; ++t) {
    if (!finite_triangle(source + 9 * t)) m->index[p++] = t;
  }
  std::memset(m->corners + 9 * triangles, 0, 3 * 36);
  copy_corners(*m, source);
  link_edges(*m, items);
  platform::heap_free(item_block);
  smooth_edges(*m);
  measure(*m, source, 3 * triangles);
  return h;
}

bool mesh_refit(Handle handle, Handle corners) {
  auto* m = const_cast<Mesh*>(mesh_at(handle));
  const frame::Array* a = frame::array_at(corners, frame::ArrayKind::Vec3);
  if (!m || !a || a->count / 3 != m->triangles) return false;
  const float* source = a->elements<float>();
  copy_corners(*m, source);
  fit(*m);
  smooth_edges(*m);
  measure(*m, source, 3 * m->triangles);
  return true;
}

void mesh_delete(Handle handle) {
  if (mesh_at(handle)) frame::mesh_block_delete(handle);
}

}  // namespace kv::geometry
