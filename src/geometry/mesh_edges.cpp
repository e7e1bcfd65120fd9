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

constexpr std::uint32_t kMany = 0x80000000u;  // in a slot: its edge was met a third time (a position is below 2^28)

// A triangle's corner as the three words of its floats' bits.
struct Corner {
  std::uint32_t w[3];
  bool operator==(const Corner& o) const { return w[0] == o.w[0] && w[1] == o.w[1] && w[2] == o.w[2]; }
  bool operator<(const Corner& o) const {
    return w[0] != o.w[0] ? w[0] < o.w[0] : w[1] != o.w[1] ? w[1] < o.w[1] : w[2] < o.w[2];
  }
};

inline Corner corner_bits(const Mesh& m, std::uint32_t position, int k) {
  Corner c;
  std::memcpy(c.w, m.corners + 9 * position + 3 * k, 12);
  return c;
}

// Edge k of a triangle joins its corners k and k + 1; its key is the two in order of bits.
struct Edge {
  Corner lo, hi;
  bool operator==(const Edge& o) const { return lo == o.lo && hi == o.hi; }
};

inline Edge edge_of(const Mesh& m, std::uint32_t position, int k) {
  const Corner a = corner_bits(m, position, k), b = corner_bits(m, position, (k + 1) % 3);
  return b < a ? Edge{b, a} : Edge{a, b};
}

// A hash of a corner's bits, and of an edge's two: its high bits place the edge
// in the table, and all of it picks out the slots worth comparing there (the
// edges themselves are compared to be sure).
inline std::uint32_t hash(const Corner& c) {
  std::uint32_t h = c.w[0] * 0x9E3779B1u;
  h = (h ^ (h >> 15) ^ c.w[1]) * 0x85EBCA77u;
  h = (h ^ (h >> 13) ^ c.w[2]) * 0xC2B2AE3Du;
  return h ^ (h >> 16);
}

inline std::uint32_t hash(std::uint32_t lo, std::uint32_t hi) {  // of the corners' hashes
  std::uint32_t h = (lo * 0x27D4EB2Fu) ^ hi;
  h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

// The normal (b − a) × (c − a) of the triangle at a position, in double.
dx::Vec3d normal_of(const Mesh& m, std::uint32_t position) {
  const float* f = m.corners + 9 * position;
  const dx::Vec3d ab{{double(f[3]) - f[0], double(f[4]) - f[1], double(f[5]) - f[2]}};
  const dx::Vec3d ac{{double(f[6]) - f[0], double(f[7]) - f[1], double(f[8]) - f[2]}};
  return dx::cross(ab, ac);
}

// The cosine of kSmoothEdge.
double smooth_limit() { return sm::cos(tolerance::kSmoothEdge * 3.14159265358979323846 / 180); }

// Do two triangles meet within kSmoothEdge (its cosine squared `limit2`),
// their normals n and o with n·n = nn, o·o = oo and n·o = along (o turned to
// agree with n)? Squared, without a root, where the squares stay well inside
// doubles; else (triangles past 1e75 or below 1e-75 across, a normal not finite)
// by the normals' lengths, and never for a normal not finite (a corner gone to
// infinity at a refit) or of no length.
__attribute__((noinline)) bool meet_smoothly_far(double along, double nn, double oo) {
  return along > 0 && nn - nn == 0 && oo - oo == 0 && along >= smooth_limit() * (sm::sqrt(nn) * sm::sqrt(oo));
}

inline bool meet_smoothly(double along, double nn, double oo, double limit2) {
  const double squared = along * along, needed = limit2 * (nn * oo);  // the same both ways round
  if (squared < 0x1p1000 && needed > 0x1p-1000) return along > 0 && squared >= needed;
  return meet_smoothly_far(along, nn, oo);
}

// Does the triangle at `position` have corner `v`, and which?
int corner_index(const Mesh& m, std::uint32_t position, const Corner& v) {
  for (int k = 0; k < 3; ++k) {
    if (corner_bits(m, position, k) == v) return k;
  }
  return -1;
}

// Around corner j of the triangle at p, across one shared edge after another: true
// when every edge met lies inside a surface and the walk comes back to p. A second
// walk marks each triangle passed done at that corner, with the answer, and when
// the first did not come back, a third the other way from p: every triangle that
// a chain of edges inside a surface joins to p at that corner. A fan of more than
// 65 536 triangles is taken for no surface.
bool walk_corner(Mesh& m, std::uint32_t p, int j, std::uint8_t* done) {
  const Corner v = corner_bits(m, p, j);
  bool inside = false;
  for (int pass = 0; pass < 3 && !(pass == 2 && inside); ++pass) {
    std::uint32_t cur = p;
    int out = pass == 2 ? (j + 2) % 3 : j, at = j;
    for (std::uint32_t steps = 0; steps < (1u << 16); ++steps) {
      if (pass) {
        done[cur] |= std::uint8_t(1 << at);
        m.smooth[cur] = std::uint8_t((m.smooth[cur] & ~(8 << at)) | (inside ? 8 << at : 0));
      }
      if (!(m.smooth[cur] >> out & 1)) break;
      const std::uint32_t link = m.neighbour[3 * cur + std::uint32_t(out)];
      if (link == kNoNeighbour) break;
      const std::uint32_t next = link >> 1;
      if (next == p) {
        inside = inside || pass == 0;
        break;
      }
      const int c = corner_index(m, next, v);
      if (c < 0) break;
      // Of next's two edges at v (c, and the one ending there), the one that does not lead back.
      const std::uint32_t back = m.neighbour[3 * next + std::uint32_t(c)];
      out = back != kNoNeighbour && back >> 1 == cur ? (c + 2) % 3 : c;
      cur = next, at = c;
    }
  }
  return inside;
}

}  // namespace

std::size_t edge_table_bytes(std::uint32_t triangles) { return (4 * std::size_t(triangles) + 16) * 8; }

bool link_edges(Mesh& m, void* room) {
  const std::uint32_t triangles = m.in_tree;  // those with finite corners
  const std::uint32_t capacity = 4 * triangles + 16;  // three edges a triangle: the table at most three quarters full
  // A hash's place: the hash scaled to the table.
  const auto place = [capacity](std::uint32_t h) { return std::uint32_t((std::uint64_t(h) * capacity) >> 32); };
  // An edge's first triangle, as position × 8 + edge × 2 + 1 where the edge runs
  // from its higher corner to its lower one, + 1 (0 for none; with kMany once a
  // third triangle has it), and the edge's hash. The second triangle is the
  // first's neighbour.
  struct Slot {
    std::uint32_t first, hash;
  };
  static_assert(sizeof(Slot) == 8, "the table's room is 8 bytes a slot");
  auto* table = static_cast<Slot*>(room ? room : platform::heap_alloc(std::size_t(capacity) * sizeof(Slot)));
  if (!table) return false;
  std::memset(table, 0, std::size_t(capacity) * sizeof(Slot));
  for (std::uint32_t p = 0; p < m.triangles; ++p) {
    for (int k = 0; k < 3; ++k) m.neighbour[3 * p + std::uint32_t(k)] = kNoNeighbour;
    m.smooth[p] = 0;
  }
  // The slots some triangles ahead are asked of memory as their hashes are made.
  constexpr std::uint32_t kAhead = 8;
  struct Ahead {
    Edge edge[3];
    std::uint32_t hash[3];
    bool down[3];
  } ahead[kAhead];
  const auto look_ahead = [&](std::uint32_t p) {
    Ahead& a = ahead[p % kAhead];
    const Corner c[3] = {corner_bits(m, p, 0), corner_bits(m, p, 1), corner_bits(m, p, 2)};
    const std::uint32_t h[3] = {hash(c[0]), hash(c[1]), hash(c[2])};
    for (int k = 0; k < 3; ++k) {  // as edge_of
      const int j = (k + 1) % 3;
      const bool turned = c[j] < c[k];
      a.edge[k] = turned ? Edge{c[j], c[k]} : Edge{c[k], c[j]}, a.down[k] = c[k] == a.edge[k].hi;
      a.hash[k] = turned ? hash(h[j], h[k]) : hash(h[k], h[j]);
      _mm_prefetch(reinterpret_cast<const char*>(table + place(a.hash[k])), _MM_HINT_T0);
    }
  };
  for (std::uint32_t p = 0; p < kAhead && p < triangles; ++p) look_ahead(p);
  for (std::uint32_t p = 0; p < triangles; ++p) {
    const Ahead now = ahead[p % kAhead];
    if (p + kAhead < triangles) look_ahead(p + kAhead);
    for (std::uint32_t k = 0; k < 3; ++k) {
      const Edge& e = now.edge[k];
      std::uint32_t at = place(now.hash[k]);
      // A slot of the same hash holds this edge when its first triangle's edge is this one.
      const auto holds = [&](const Slot& s) {
        const std::uint32_t first = (s.first & ~kMany) - 1;
        return s.hash == now.hash[k] && edge_of(m, first >> 3, int(first >> 1 & 3)) == e;
      };
      while (table[at].first && !holds(table[at])) {
        at = at + 1 < capacity ? at + 1 : 0;
      }
      Slot& s = table[at];
      if (!s.first) {
        s = {8 * p + 2 * k + now.down[k] + 1, now.hash[k]};
        continue;
      }
      if (s.first & kMany) continue;
      const std::uint32_t a = (s.first - 1) >> 3, ka = ((s.first - 1) >> 1) & 3, second = m.neighbour[3 * a + ka];
      if (second == kNoNeighbour) {  // the second triangle of the edge: the two are neighbours
        // One winding for both when the two run along the edge in opposite directions.
        const bool agree = ((s.first - 1) & 1) != now.down[k];
        m.neighbour[3 * a + ka] = p << 1 | agree, m.neighbour[3 * p + k] = a << 1 | agree;
      } else {  // a third: the edge is no one pair's
        const std::uint32_t b = second >> 1;
        for (std::uint32_t j = 0; j < 3; ++j) {  // b's side of this edge
          if (m.neighbour[3 * b + j] == (a << 1 | (second & 1)) && edge_of(m, b, int(j)) == e) m.neighbour[3 * b + j] = kNoNeighbour;
        }
        m.neighbour[3 * a + ka] = kNoNeighbour, s.first |= kMany;
      }
    }
  }
  if (!room) platform::heap_free(table);
  return true;
}

void smooth_edges(Mesh& m) {
  // Each shared edge from both its triangles, which agree (the test gives the same
  // both ways round): no branch on which of the two comes first. The bits are
  // gathered in the scratch bytes first.
  std::uint8_t* bits = m.scratch;
  std::memset(bits, 0, m.triangles);
  const double limit = smooth_limit(), limit2 = limit * limit;
  constexpr std::uint32_t kAhead = 8;  // the neighbours' corners asked of memory some triangles ahead
  for (std::uint32_t p = 0; p < m.in_tree; ++p) {
    for (std::uint32_t k = 0; k < 3 && p + kAhead < m.in_tree; ++k) {
      const std::uint32_t link = m.neighbour[3 * (p + kAhead) + k];
      if (link != kNoNeighbour) _mm_prefetch(reinterpret_cast<const char*>(m.corners + 9 * (link >> 1)), _MM_HINT_T0);
    }
    const dx::Vec3d n = normal_of(m, p);
    const double nn = dx::dot(n, n);
    std::uint32_t mine = 0;
    for (std::uint32_t k = 0; k < 3; ++k) {
      const std::uint32_t link = m.neighbour[3 * p + k];
      if (link == kNoNeighbour) continue;
      const dx::Vec3d o = normal_of(m, link >> 1);
      mine |= std::uint32_t(meet_smoothly(dx::dot(n, o) * ((link & 1) ? 1 : -1), nn, dx::dot(o, o), limit2)) << k;
    }
    bits[p] = std::uint8_t(mine);
  }
  // The corners at the ends of each edge that changed: a corner's answer hangs on
  // its edges alone. The walks mark each triangle passed done at that corner
  // (done in the low three bits of the scratch, the changed edges in the next).
  for (std::uint32_t p = 0; p < m.in_tree; ++p) {
    const std::uint8_t changed = (m.smooth[p] ^ bits[p]) & 7;
    m.smooth[p] = std::uint8_t((m.smooth[p] & ~7) | bits[p]);
    bits[p] = std::uint8_t(changed << 4);
  }
  std::uint8_t* done = m.scratch;
  for (std::uint32_t p = 0; p < m.in_tree; ++p) {
    for (int k = 0; k < 3 && done[p] >> 4; ++k) {
      if (!(done[p] >> (4 + k) & 1)) continue;
      for (const int j : {k, (k + 1) % 3}) {
        if (!(done[p] >> j & 1)) walk_corner(m, p, j, done);
      }
    }
  }
}

}  // namespace kv::geometry
