// The edges a mesh's triangles share, and which of them lie inside a surface: an
// edge shared by exactly two triangles (their corners with identical bits) whose
// planes, the two triangles turned to agree across the edge whatever their
// winding, meet at less than kSmoothEdge; a corner all of whose edges lie inside
// a surface. A sphere touching such an edge or corner touches the surface, not a
// ridge: it takes the triangle's normal, and rolls over the seams of a floor made
// of many triangles without catching on them.
#include <immintrin.h>

#include <cstring>
#include <initializer_list>

#include "dx/wide.h"
#include "frame/platform.h"
#include "frame/scalar_math.h"
#include "frame/tolerances.h"
#include "geometry/mesh.h"

namespace kv::geometry {
namespace {

constexpr std::uint32_t kMany = 0xFFFFFFFFu;  // an edge met a third time

// A triangle's corner as the three words of its floats' bits.
struct Corner {
  std::uint32_t w[3];
  bool operator==(const Corner& o) const { return w[0] == o.w[0] && w[1] == o.w[1] && w[2] == o.w[2]; }
  bool operator<(const Corner& o) const {
    return w[0] != o.w[0] ? w[0] < o.w[0] : w[1] != o.w[1] ? w[1] < o.w[1] : w[2] < o.w[2];
  }
};

Corner corner_bits(const Mesh& m, std::uint32_t position, int k) {
  Corner c;
  std::memcpy(c.w, m.corners + 9 * position + 3 * k, 12);
  return c;
}

// Edge k of a triangle joins its corners k and k + 1; its key is the two in order of bits.
struct Edge {
  Corner lo, hi;
  bool operator==(const Edge& o) const { return lo == o.lo && hi == o.hi; }
};

Edge edge_of(const Mesh& m, std::uint32_t position, int k) {
  const Corner a = corner_bits(m, position, k), b = corner_bits(m, position, (k + 1) % 3);
  return b < a ? Edge{b, a} : Edge{a, b};
}

std::uint32_t hash(const Edge& e) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  for (const std::uint32_t w : {e.lo.w[0], e.lo.w[1], e.lo.w[2], e.hi.w[0], e.hi.w[1], e.hi.w[2]}) {
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  return std::uint32_t(h >> 32);
}

// The normal (b − a) × (c − a) of the triangle at a position, in double.
dx::Vec3d normal_of(const Mesh& m, std::uint32_t position) {
  const float* f = m.corners + 9 * position;
  const dx::Vec3d ab{{double(f[3]) - f[0], double(f[4]) - f[1], double(f[5]) - f[2]}};
  const dx::Vec3d ac{{double(f[6]) - f[0], double(f[7]) - f[1], double(f[8]) - f[2]}};
  return dx::cross(ab, ac);
}

// Does the triangle at `position` have corner `v`, and which?
int corner_index(const Mesh& m, std::uint32_t position, const Corner& v) {
  for (int k = 0; k < 3; ++k) {
    if (corner_bits(m, position, k) == v) return k;
  }
  return -1;
}

// Around corner j of the triangle at p, across one shared edge after another: true
// when every edge met lies inside a surface and the walk comes back to p. Each
// triangle passed is marked done at that corner, with the answer.
bool walk_corner(Mesh& m, std::uint32_t p, int j, std::uint8_t* done) {
  const Corner v = corner_bits(m, p, j);
  std::uint32_t cur = p;
  int out = j, at = j;
  bool inside = false;
  std::uint32_t passed[64];
  int corners[64], count = 0;
  for (int steps = 0; steps < 64; ++steps) {
    passed[count] = cur, corners[count++] = at;
    if (!(m.smooth[cur] >> out & 1)) break;
    const std::uint32_t link = m.neighbour[3 * cur + std::uint32_t(out)];
    if (link == kNoNeighbour) break;
    const std::uint32_t next = link >> 1;
    if (next == p) {
      inside = true;
      break;
    }
    const int c = corner_index(m, next, v);
    if (c < 0) break;
    // Of next's two edges at v (c, and the one ending there), the one that does not lead back.
    const int back = (c + 2) % 3;
    out = m.neighbour[3 * next + std::uint32_t(c)] != kNoNeighbour && m.neighbour[3 * next + std::uint32_t(c)] >> 1 == cur ? back : c;
    cur = next, at = c;
  }
  for (int k = 0; k < count; ++k) {
    done[passed[k]] |= std::uint8_t(1 << corners[k]);
    m.smooth[passed[k]] = std::uint8_t((m.smooth[passed[k]] & ~(8 << corners[k])) | (inside ? 8 << corners[k] : 0));
  }
  return inside;
}

}  // namespace

bool link_edges(Mesh& m) {
  const std::uint32_t triangles = m.in_tree;  // those with finite corners
  std::uint32_t capacity = 16;
  while (capacity < 6 * std::uint64_t(triangles)) capacity *= 2;
  struct Slot {
    std::uint32_t first, second;  // position × 4 + edge + 1 of the edge's first two triangles; 0 for none
  };
  auto* table = static_cast<Slot*>(platform::heap_alloc(std::size_t(capacity) * sizeof(Slot)));
  if (!table) return false;
  std::memset(table, 0, std::size_t(capacity) * sizeof(Slot));
  constexpr std::uint32_t kAhead = 8;
  for (std::uint32_t p = 0; p < m.triangles; ++p) {
    for (int k = 0; k < 3; ++k) m.neighbour[3 * p + std::uint32_t(k)] = kNoNeighbour;
    m.smooth[p] = 0;
  }
  for (std::uint32_t p = 0; p < triangles; ++p) {
    if (p + kAhead < triangles) {
      for (int k = 0; k < 3; ++k) _mm_prefetch(reinterpret_cast<const char*>(table + (hash(edge_of(m, p + kAhead, k)) & (capacity - 1))), _MM_HINT_T0);
    }
    for (int k = 0; k < 3; ++k) {
      const Edge e = edge_of(m, p, k);
      std::uint32_t at = hash(e) & (capacity - 1);
      while (table[at].first && !(edge_of(m, (table[at].first - 1) >> 2, int((table[at].first - 1) & 3)) == e)) at = (at + 1) & (capacity - 1);
      Slot& s = table[at];
      const std::uint32_t here = 4 * p + std::uint32_t(k) + 1;
      if (!s.first) s.first = here; else s.second = s.second ? kMany : here;
    }
  }
  for (std::uint32_t i = 0; i < capacity; ++i) {
    const Slot& s = table[i];
    if (!s.first || !s.second || s.second == kMany) continue;
    const std::uint32_t a = (s.first - 1) >> 2, b = (s.second - 1) >> 2, ka = (s.first - 1) & 3, kb = (s.second - 1) & 3;
    // One winding for both when b goes along the edge the other way from a.
    const bool agree = corner_bits(m, a, int(ka)) == corner_bits(m, b, int((kb + 1) % 3));
    m.neighbour[3 * a + ka] = b << 1 | agree, m.neighbour[3 * b + kb] = a << 1 | agree;
  }
  platform::heap_free(table);
  return true;
}

bool smooth_edges(Mesh& m) {
  auto* done = static_cast<std::uint8_t*>(platform::heap_alloc(m.triangles ? m.triangles : 1));
  if (!done) return false;
  std::memset(done, 0, m.triangles);
  const double limit = sm::cos(tolerance::kSmoothEdge * 3.14159265358979323846 / 180);
  bool changed = false;
  for (std::uint32_t p = 0; p < m.in_tree; ++p) {
    const dx::Vec3d n = normal_of(m, p);
    std::uint8_t edges = 0;
    for (std::uint32_t k = 0; k < 3; ++k) {
      const std::uint32_t link = m.neighbour[3 * p + k];
      if (link == kNoNeighbour) continue;
      const dx::Vec3d o = normal_of(m, link >> 1);
      const double along = dx::dot(n, o) * ((link & 1) ? 1 : -1);
      edges |= std::uint8_t((along >= limit * dx::length(n) * dx::length(o) && along > 0) << k);
    }
    changed = changed || (m.smooth[p] & 7) != edges;
    m.smooth[p] = std::uint8_t((m.smooth[p] & ~7) | edges);
  }
  for (std::uint32_t p = 0; p < m.in_tree && changed; ++p) {
    for (int j = 0; j < 3; ++j) {
      if (!(done[p] >> j & 1)) walk_corner(m, p, j, done);
    }
  }
  platform::heap_free(done);
  return true;
}

}  // namespace kv::geometry
