#include "geometry/bounds.h"

#include <cstring>

#include "dx/wide.h"
#include "frame/arrays.h"
#include "frame/platform.h"
#include "vector/vec.h"

using namespace kv;
using dx::Vec3;
using dx::Vec3d;

namespace {

bool finite(const Vec3& p) { return p.c[0] - p.c[0] == 0 && p.c[1] - p.c[1] == 0 && p.c[2] - p.c[2] == 0; }

// The smallest ball holding a set of points: Welzl's algorithm, iterative with
// move-to-front (Gärtner's form), in double. The points are visited in a fixed
// pseudo-random order, which keeps the expected work linear: blocks of 256 points
// in a strided order, and the points of a block in a strided order of their own,
// so that each block is read while it is in the cache. A ball is the smallest
// with its support points (at most four) on its boundary; a point that would make
// the support affinely dependent is inside within rounding, and is passed over.
class Miniball {
 public:
  Miniball(const Vec3* points, std::uint32_t* next, std::uint32_t* prev, std::uint32_t n)
      : p_(points), next_(next), prev_(prev), head_(n ? 0 : kNone) {
    for (std::uint32_t i = 0; i < n; ++i) next_[i] = i + 1 < n ? i + 1 : kNone, prev_[i] = i ? i - 1 : kNone;
  }
  void run() { mtf(kNone); }
  // The ball last pushed: it holds every point visited, whatever support is left.
  Vec3d centre{{0, 0, 0}};
  double r2 = -1;

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  bool outside(const Vec3d& p) const {
    const Vec3d d = dx::difference(p, centre);
    return dx::dot(d, d) > r2 * (1 + 1e-12);
  }

  // The smallest ball with the support and p on its boundary; false when p is
  // affinely dependent on the support.
  bool push(const Vec3d& p) {
    const Vec3d& a = support_[0];
    Vec3d c = p;
    if (m_ == 1) {
      c = dx::combine(a, 0.5, p, 0.5);
    } else if (m_ == 2) {
      const Vec3d u = dx::difference(support_[1], a), v = dx::difference(p, a), w = dx::cross(u, v);
      const double ww = dx::dot(w, w), uu = dx::dot(u, u), vv = dx::dot(v, v);
      if (!(ww > 1e-24 * uu * vv)) return false;
      c = dx::combine(a, 1, dx::combine(dx::cross(v, w), uu / (2 * ww), dx::cross(w, u), vv / (2 * ww)), 1);
    } else if (m_ == 3) {
      const Vec3d u = dx::difference(support_[1], a), v = dx::difference(support_[2], a), s = dx::difference(p, a);
      const Vec3d vs = dx::cross(v, s), su = dx::cross(s, u), uv = dx::cross(u, v);
      const double det = dx::dot(u, vs), uu = dx::dot(u, u), vv = dx::dot(v, v), ss = dx::dot(s, s);
      if (!(det * det > 1e-24 * uu * vv * ss)) return false;
      c = dx::combine(a, 1, dx::combine(dx::combine(vs, uu, su, vv), 1 / (2 * det), uv, ss / (2 * det)), 1);
    }
    support_[m_++] = p;
    centre = c, r2 = 0;
    for (int k = 0; k < m_; ++k) {
      const Vec3d d = dx::difference(support_[k], c);
      r2 = dx::dot(d, d) > r2 ? dx::dot(d, d) : r2;
    }
    return true;
  }

  void move_to_front(std::uint32_t i) {
    if (i == head_) return;
    next_[prev_[i]] = next_[i];
    if (next_[i] != kNone) prev_[next_[i]] = prev_[i];
    next_[i] = head_, prev_[i] = kNone, prev_[head_] = i, head_ = i;
  }

  // Every point before `end` in the list inside the ball, the support fixed.
  void mtf(std::uint32_t end) {
    if (m_ == 4) return;
    for (std::uint32_t i = head_; i != end;) {
      const std::uint32_t following = next_[i];
      const Vec3d p = dx::widen(p_[i]);
      if (outside(p) && push(p)) {
        mtf(i);
        --m_;
        move_to_front(i);
      }
      i = following;
    }
  }

  const Vec3* p_;
  std::uint32_t *next_, *prev_, head_;
  Vec3d support_[4];
  int m_ = 0;
};

}  // namespace

// Points with a NaN component are left out; with none left, both corners are (0, 0, 0).
KV_EXPORT std::int32_t Vec3_ArrayAABB(Handle lo, Handle hi, Handle points) {
  const frame::Array* a = frame::array_at(points, frame::ArrayKind::Vec3);
  if (!a) return 0;
  const Vec3* p = a->elements<Vec3>();
  Vec3 low{{0, 0, 0}}, high{{0, 0, 0}};
  bool any = false;
  for (std::uint32_t k = 0; k < a->count; ++k) {
    const Vec3 q = p[k];
    if (q.c[0] != q.c[0] || q.c[1] != q.c[1] || q.c[2] != q.c[2]) continue;
    for (int i = 0; i < 3; ++i) {
      low.c[i] = any && low.c[i] <= q.c[i] ? low.c[i] : q.c[i];
      high.c[i] = any && high.c[i] >= q.c[i] ? high.c[i] : q.c[i];
    }
    any = true;
  }
  vec::put<3>(lo, low);
  vec::put<3>(hi, high);
  return 0;
}

// The smallest sphere, its radius returned and its centre stored. Points that are
// not finite are left out; with none left the centre is (0, 0, 0) and the radius
// 0. Without memory for the work, nothing is stored and the radius is 0.
KV_EXPORT FloatBits Vec3_ArrayBoundingSphere(Handle centre, Handle points) {
  const frame::Array* a = frame::array_at(points, frame::ArrayKind::Vec3);
  if (!a) return 0;
  const std::uint32_t count = a->count;
  auto* work = static_cast<unsigned char*>(platform::heap_alloc(std::size_t(count) * (sizeof(Vec3) + 8)));
  if (!work) return 0;
  Vec3* order = reinterpret_cast<Vec3*>(work);
  auto* next = reinterpret_cast<std::uint32_t*>(work + std::size_t(count) * sizeof(Vec3));
  std::uint32_t* prev = next + count;
  // Blocks of 256 in the order k·197 mod blocks, and within a block the points in
  // the order k·61 mod its size (197 and 61 are primes: a stride prime to the
  // count visits every one).
  const Vec3* p = a->elements<Vec3>();
  const std::uint32_t blocks = (count + 255) / 256;
  std::uint32_t n = 0;
  for (std::uint32_t j = 0; j < blocks; ++j) {
    const std::uint32_t block = blocks % 197 ? std::uint32_t((std::uint64_t(j) * 197) % blocks) : j;
    const std::uint32_t first = block * 256, size = count - first < 256 ? count - first : 256;
    for (std::uint32_t i = 0; i < size; ++i) {
      const Vec3& q = p[first + (size % 61 ? (i * 61) % size : i)];
      if (finite(q)) order[n++] = q;
    }
  }
  Miniball ball(order, next, prev, n);
  ball.run();
  platform::heap_free(work);
  vec::put<3>(centre, dx::narrow(ball.centre));
  return bits_of(float(ball.r2 > 0 ? sm::sqrt(ball.r2) : 0));
}
