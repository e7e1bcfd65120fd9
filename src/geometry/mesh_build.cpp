// Making a mesh: the hierarchy built by the surface-area heuristic over binned
// triangle centres (each split the one of 16 bins on each axis that least costs
// area × triangles on either side), leaves of at most four triangles; refitting
// it to moved corners; freeing it.
#include <algorithm>
#include <cstring>

#include "frame/arrays.h"
#include "frame/platform.h"
#include "geometry/bounds.h"
#include "geometry/mesh.h"

namespace kv::geometry {
namespace {

constexpr int kBins = 16;
constexpr float kInf = __builtin_inff();

// One triangle while the hierarchy is built: its box and its number in the array.
struct Item {
  float lo[3], hi[3];
  std::uint32_t triangle;
  float centre(int axis) const { return (lo[axis] + hi[axis]) * 0.5f; }
};

struct Box {
  float lo[3] = {kInf, kInf, kInf}, hi[3] = {-kInf, -kInf, -kInf};
  void grow(const float* l, const float* h) {
    for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], l[i]), hi[i] = std::max(hi[i], h[i]);
  }
  // Half the surface area; 0 for an empty box.
  double area() const {
    if (!(lo[0] <= hi[0])) return 0;
    const double x = double(hi[0]) - lo[0], y = double(hi[1]) - lo[1], z = double(hi[2]) - lo[2];
    return x * y + y * z + z * x;
  }
};

bool finite_triangle(const float* f) {
  for (int i = 0; i < 9; ++i) {
    if (!(f[i] - f[i] == 0)) return false;
  }
  return true;
}

// The box of a triangle's corners (the corners are floats: the box holds them exactly).
void triangle_box(const float* f, float* lo, float* hi) {
  for (int i = 0; i < 3; ++i) {
    lo[i] = std::min(std::min(f[i], f[3 + i]), f[6 + i]);
    hi[i] = std::max(std::max(f[i], f[3 + i]), f[6 + i]);
  }
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

// Where to split items [begin, end): the position of the first item of the right
// half after they are reordered. Falls back to halving by count when the centres
// cannot be told apart, or when the hierarchy grows too deep.
std::uint32_t split(Item* items, std::uint32_t begin, std::uint32_t end, int depth) {
  float clo[3] = {kInf, kInf, kInf}, chi[3] = {-kInf, -kInf, -kInf};
  for (std::uint32_t k = begin; k < end; ++k) {
    for (int i = 0; i < 3; ++i) clo[i] = std::min(clo[i], items[k].centre(i)), chi[i] = std::max(chi[i], items[k].centre(i));
  }
  const std::uint32_t middle = begin + (end - begin) / 2;
  if (depth > kMaxDepth - 24) return middle;  // halving from here on keeps the depth within kMaxDepth
  double best = __builtin_inf();
  int best_axis = -1, best_bin = 0;
  double scale[3];
  for (int axis = 0; axis < 3; ++axis) {
    const double extent = double(chi[axis]) - clo[axis];
    if (!(extent > 0)) continue;
    scale[axis] = kBins / extent;
    Box bins[kBins];
    std::uint32_t counts[kBins] = {};
    for (std::uint32_t k = begin; k < end; ++k) {
      const int b = std::min(kBins - 1, int((items[k].centre(axis) - double(clo[axis])) * scale[axis]));
      bins[b].grow(items[k].lo, items[k].hi), ++counts[b];
    }
    // The areas and counts left of each split, then right of it.
    double left_area[kBins];
    std::uint32_t left_count[kBins];
    Box left;
    std::uint32_t n = 0;
    for (int b = 0; b < kBins - 1; ++b) {
      left.grow(bins[b].lo, bins[b].hi), n += counts[b];
      left_area[b] = left.area(), left_count[b] = n;
    }
    Box right;
    n = 0;
    for (int b = kBins - 1; b > 0; --b) {
      right.grow(bins[b].lo, bins[b].hi), n += counts[b];
      if (left_count[b - 1] == 0 || n == 0) continue;
      const double cost = left_area[b - 1] * left_count[b - 1] + right.area() * n;
      if (cost < best) best = cost, best_axis = axis, best_bin = b;
    }
  }
  if (best_axis < 0) return middle;
  const int axis = best_axis;
  Item* cut = std::partition(items + begin, items + end, [&](const Item& it) {
    return std::min(kBins - 1, int((it.centre(axis) - double(clo[axis])) * scale[axis])) < best_bin;
  });
  const std::uint32_t at = std::uint32_t(cut - items);
  return at == begin || at == end ? middle : at;
}

// The hierarchy over items [0, count): nodes in the order they are made, each
// node's children after it. False without memory.
bool build(Item* items, std::uint32_t count, Nodes& nodes) {
  struct Range {
    std::uint32_t node, begin, end;
    int depth;
  } stack[2 * kMaxDepth + 2];
  int top = 0;
  if (!nodes.add(1)) return false;
  stack[top++] = {0, 0, count, 0};
  while (top > 0) {
    const Range r = stack[--top];
    Box box;
    for (std::uint32_t k = r.begin; k < r.end; ++k) box.grow(items[k].lo, items[k].hi);
    Node& n = nodes.at[r.node];
    std::memcpy(n.lo, box.lo, sizeof n.lo), std::memcpy(n.hi, box.hi, sizeof n.hi);
    if (r.end - r.begin <= std::uint32_t(kLeafTriangles)) {
      n.first = r.begin, n.count = r.end - r.begin;
      continue;
    }
    const std::uint32_t at = split(items, r.begin, r.end, r.depth);
    const std::uint32_t left = nodes.count;
    if (!nodes.add(2)) return false;
    nodes.at[r.node].first = left, nodes.at[r.node].count = 0;  // the add may have moved the nodes
    stack[top++] = {left + 1, at, r.end, r.depth + 1};
    stack[top++] = {left, r.begin, at, r.depth + 1};
  }
  return true;
}

// The box of the corners, as Vec3_ArrayAABB gives it, and the middle and reach of
// the finite triangles' box.
void measure(Mesh& m, const float* corners, std::uint32_t points) {
  points_aabb(reinterpret_cast<const dx::Vec3*>(corners), points, m.lo, m.hi);
  Box box;
  for (std::uint32_t p = 0; p < m.in_tree; ++p) {
    const float* f = m.corners + 9 * p;
    if (!finite_triangle(f)) continue;
    float lo[3], hi[3];
    triangle_box(f, lo, hi);
    box.grow(lo, hi);
  }
  m.reach = 0;
  for (int i = 0; i < 3; ++i) {
    const double lo = box.lo[0] <= box.hi[0] ? box.lo[i] : 0, hi = box.lo[0] <= box.hi[0] ? box.hi[i] : 0;
    m.centre[i] = (lo + hi) / 2, m.reach = std::max(m.reach, (hi - lo) / 2);
  }
}

// The side list for corners as `source` gives them (by triangle number): the
// positions past the hierarchy, and those in it with a corner that is not finite.
// False without memory.
bool list_sides(Mesh& m, const float* source) {
  std::uint32_t count = m.triangles - m.in_tree;
  for (std::uint32_t p = 0; p < m.in_tree; ++p) count += !finite_triangle(source + 9 * m.index[p]);
  auto* side = count ? static_cast<std::uint32_t*>(platform::heap_alloc(count * sizeof(std::uint32_t))) : nullptr;
  if (count && !side) return false;
  std::uint32_t n = 0;
  for (std::uint32_t p = 0; p < m.triangles; ++p) {
    if (p >= m.in_tree || !finite_triangle(source + 9 * m.index[p])) side[n++] = p;
  }
  platform::heap_free(m.side);
  m.side = side, m.side_count = count;
  return true;
}

// Every box from the triangles up: a leaf's over its finite triangles (none:
// empty), a node's over its children's. Children come after their parent.
void fit(Mesh& m) {
  for (std::uint32_t k = m.nodes; k-- > 0;) {
    Node& n = m.node[k];
    Box box;
    if (n.count) {
      for (std::uint32_t p = n.first; p < n.first + n.count; ++p) {
        const float* f = m.corners + 9 * p;
        if (!finite_triangle(f)) continue;
        float lo[3], hi[3];
        triangle_box(f, lo, hi);
        box.grow(lo, hi);
      }
    } else {
      box.grow(m.node[n.first].lo, m.node[n.first].hi), box.grow(m.node[n.first + 1].lo, m.node[n.first + 1].hi);
    }
    std::memcpy(n.lo, box.lo, sizeof n.lo), std::memcpy(n.hi, box.hi, sizeof n.hi);
  }
}

std::size_t rounded(std::size_t bytes) { return (bytes + 15) / 16 * 16; }

}  // namespace

const Mesh* mesh_at(Handle handle) {
  return frame::mesh_block_at(handle) ? reinterpret_cast<const Mesh*>(handle) : nullptr;
}

Handle mesh_make(Handle corners) {
  const frame::Array* a = frame::array_at(corners, frame::ArrayKind::Vec3);
  const std::uint32_t triangles = a ? a->count / 3 : 0;
  if (triangles == 0) return 0;
  const float* source = a->elements<float>();
  std::uint32_t in_tree = 0;
  for (std::uint32_t t = 0; t < triangles; ++t) in_tree += finite_triangle(source + 9 * t);
  auto* items = static_cast<Item*>(platform::heap_alloc(std::size_t(in_tree ? in_tree : 1) * sizeof(Item)));
  if (!items) return 0;
  for (std::uint32_t t = 0, k = 0; t < triangles; ++t) {
    if (!finite_triangle(source + 9 * t)) continue;
    triangle_box(source + 9 * t, items[k].lo, items[k].hi);
    items[k++].triangle = t;
  }
  Nodes nodes;
  if (in_tree && !(nodes.reserve(std::max<std::uint32_t>(in_tree * 2 / 3, 16)) && build(items, in_tree, nodes))) {
    platform::heap_free(nodes.at), platform::heap_free(items);
    return 0;
  }
  const std::size_t header = rounded(sizeof(Mesh)), node_bytes = rounded(std::size_t(nodes.count) * sizeof(Node));
  const std::size_t corner_bytes = rounded(std::size_t(triangles) * 36), index_bytes = std::size_t(triangles) * 4;
  const Handle h = frame::mesh_block_make(triangles, header + node_bytes + corner_bytes + index_bytes);
  if (!h) {
    platform::heap_free(nodes.at), platform::heap_free(items);
    return 0;
  }
  auto* m = reinterpret_cast<Mesh*>(h);
  *m = Mesh{};
  m->triangles = triangles, m->in_tree = in_tree, m->nodes = nodes.count;
  m->node = reinterpret_cast<Node*>(h + header);
  m->corners = reinterpret_cast<float*>(h + header + node_bytes);
  m->index = reinterpret_cast<std::uint32_t*>(h + header + node_bytes + corner_bytes);
  if (nodes.count) std::memcpy(m->node, nodes.at, std::size_t(nodes.count) * sizeof(Node));
  for (std::uint32_t p = 0; p < in_tree; ++p) m->index[p] = items[p].triangle;
  platform::heap_free(nodes.at), platform::heap_free(items);
  for (std::uint32_t t = 0, p = in_tree; t < triangles; ++t) {
    if (!finite_triangle(source + 9 * t)) m->index[p++] = t;
  }
  for (std::uint32_t p = 0; p < triangles; ++p) std::memcpy(m->corners + 9 * p, source + 9 * m->index[p], 36);
  if (!list_sides(*m, source)) {
    frame::mesh_block_delete(h);
    return 0;
  }
  measure(*m, source, 3 * triangles);
  return h;
}

bool mesh_refit(Handle handle, Handle corners) {
  auto* m = const_cast<Mesh*>(mesh_at(handle));
  const frame::Array* a = frame::array_at(corners, frame::ArrayKind::Vec3);
  if (!m || !a || a->count / 3 != m->triangles) return false;
  const float* source = a->elements<float>();
  if (!list_sides(*m, source)) return false;
  for (std::uint32_t p = 0; p < m->triangles; ++p) std::memcpy(m->corners + 9 * p, source + 9 * m->index[p], 36);
  fit(*m);
  measure(*m, source, 3 * m->triangles);
  return true;
}

void mesh_delete(Handle handle) {
  const Mesh* m = mesh_at(handle);
  if (!m) return;
  platform::heap_free(m->side);
  frame::mesh_block_delete(handle);
}

}  // namespace kv::geometry
