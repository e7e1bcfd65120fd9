#include "geometry/bounds.h"

#include <emmintrin.h>

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
// so that each block is read while it is in the cache. The list is the array
// itself: moving a point to the front shifts the points before it, work of the
// size of the pass over them that comes first, and every pass reads memory in
// order, four points at a time. A ball is the smallest with its support points
// (at most four) on its boundary; a point that would make the support affinely
// dependent is inside within rounding, and is passed over.
class Miniball {
 public:
  Miniball(Vec3* points, std::uint32_t n) : p_(points), n_(n) {}
  void run() { mtf(n_); }
  // The ball last pushed: it holds every point visited, whatever support is left.
  Vec3d centre{{0, 0, 0}};
  double r2 = -1;

 private:
  // The first point from i on, before end, outside the ball: |p − centre|² above
  // r2 by more than rounding, the sums in the order of dx::dot.
  std::uint32_t first_outside(std::uint32_t i, std::uint32_t end) const {
    const double limit = r2 * (1 + 1e-12);
    const __m128d cx = _mm_set1_pd(centre.c[0]), cy = _mm_set1_pd(centre.c[1]), cz = _mm_set1_pd(centre.c[2]);
    const __m128d over = _mm_set1_pd(limit);
    for (; i + 4 <= end; i += 4) {
      const dx::lanes::Four<3> q = dx::lanes::gather<3>(p_[i].c);
      int out = 0;
      for (int h = 0; h < 2; ++h) {
        const auto half = [h](__m128 v) { return _mm_cvtps_pd(h ? _mm_movehl_ps(v, v) : v); };
        const __m128d x = _mm_sub_pd(half(q.c[0]), cx), y = _mm_sub_pd(half(q.c[1]), cy), z = _mm_sub_pd(half(q.c[2]), cz);
        const __m128d d2 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(y, y)), _mm_mul_pd(z, z));
        out |= _mm_movemask_pd(_mm_cmpgt_pd(d2, over)) << 2 * h;
      }
      if (out) return i + std::uint32_t(__builtin_ctz(unsigned(out)));
    }
    for (; i < end; ++i) {
      const Vec3d d = dx::difference(dx::widen(p_[i]), centre);
      if (dx::dot(d, d) > limit) break;
    }
    return i;
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

  // Every point before `end` inside the ball, the support fixed.
  void mtf(std::uint32_t end) {
    if (m_ == 4) return;
    for (std::uint32_t i = 0; (i = first_outside(i, end)) < end; ++i) {
      if (!push(dx::widen(p_[i]))) continue;
      mtf(i);
      --m_;
      const Vec3 front = p_[i];
      std::memmove(p_ + 1, p_, i * sizeof(Vec3));
      p_[0] = front;
    }
  }

  Vec3* p_;
  std::uint32_t n_;
  Vec3d support_[4];
  int m_ = 0;
};

// |p − c| ≤ r in exact arithmetic: r² − Σ (p_i² − 2 p_i c_i + c_i²) ≥ 0.
bool holds(float r, const Vec3& p, const Vec3& c) {
  double terms[10] = {double(r) * r};
  for (int i = 0; i < 3; ++i) {
    const double x = p.c[i], y = c.c[i];
    terms[1 + 3 * i] = -(x * x), terms[2 + 3 * i] = 2 * x * y, terms[3 + 3 * i] = -(y * y);
  }
  return dx::exact_sign(terms) >= 0;
}

}  // namespace

void kv::geometry::points_aabb(const Vec3* p, std::uint32_t n, Vec3& low, Vec3& high) {
  low = high = Vec3{{0, 0, 0}};
  bool any = false;
  for (std::uint32_t k = 0; k < n; ++k) {
    const Vec3 q = p[k];
    if (q.c[0] != q.c[0] || q.c[1] != q.c[1] || q.c[2] != q.c[2]) continue;
    for (int i = 0; i < 3; ++i) {
      low.c[i] = any && low.c[i] <= q.c[i] ? low.c[i] : q.c[i];
      high.c[i] = any && high.c[i] >= q.c[i] ? high.c[i] : q.c[i];
    }
    any = true;
  }
}

// Points with a NaN component are left out; with none left, both corners are (0, 0, 0).
KV_EXPORT std::int32_t Vec3_ArrayAABB(Handle lo, Handle hi, Handle points) {
  const frame::Array* a = frame::array_at(points, frame::ArrayKind::Vec3);
  if (!a) return 0;
  Vec3 low, high;
  geometry::points_aabb(a->elements<Vec3>(), a->count, low, high);
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
  auto* order = static_cast<Vec3*>(platform::heap_alloc(std::size_t(count) * sizeof(Vec3)));
  if (!order) return 0;
  // Blocks of 256 in the order k·197 mod blocks, and within a block the points in
  // the order k·61 mod its size (197 and 61 are primes: a stride prime to the
  // count visits every one).
  const Vec3* p = a->elements<Vec3>();
  const std::uint32_t blocks = (count + 255) / 256;
  std::uint32_t n = 0;
  // Each stride is stepped by adding it and taking the size off once past it.
  const std::uint32_t block_step = blocks % 197 ? 197 % blocks : 1;
  for (std::uint32_t j = 0, block = 0; j < blocks; ++j) {
    const std::uint32_t first = block * 256, size = count - first < 256 ? count - first : 256;
    const std::uint32_t step = size % 61 ? 61 % size : 1;
    for (std::uint32_t i = 0, at = 0; i < size; ++i) {
      const Vec3& q = p[first + at];
      if (finite(q)) order[n++] = q;
      at += step, at -= at >= size ? size : 0;
    }
    block += block_step, block -= block >= blocks ? blocks : 0;
  }
  Miniball ball(order, n);
  ball.run();
  // The radius about the centre as it is stored, c: the float nearest the largest
  // distance to it, and then, for the points within rounding of it or outside,
  // r² − |p − c|² ≥ 0 checked exactly (every term a product of two floats), the
  // radius grown a unit in the last place until it holds (+∞ past the largest float).
  const Vec3 c = dx::narrow(ball.centre);
  double r2 = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const Vec3d d = dx::difference(order[k], c);
    r2 = dx::dot(d, d) > r2 ? dx::dot(d, d) : r2;
  }
  float radius = float(sm::sqrt(r2));
  for (std::uint32_t k = 0; k < n && radius <= 3.40282347e38f; ++k) {
    const Vec3d d = dx::difference(order[k], c);
    while (dx::dot(d, d) > double(radius) * radius * (1 - 0x1p-48) && !holds(radius, order[k], c)) {
      radius = float_of(bits_of(radius) + 1);
    }
  }
  platform::heap_free(order);
  vec::put<3>(centre, c);
  return bits_of(radius);
}
