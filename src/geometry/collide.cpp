// Moving through a level: a sphere, or an axis-aligned ellipsoid, swept through a
// mesh to its first contact, and moved by a wanted amount, stopping short of
// surfaces and sliding along them (Fauerby's collide and slide, with the mends
// its users ask for: the gap kept along the contact normal, creases, the stop in
// V-shaped corners, the seams of a flat surface passed over, a clean push out
// of a body that starts inside).
//
// An ellipsoid is swept as a sphere of radius 1 in the space where coordinates
// are divided by its radii (a sphere of radius r: the space itself, radius r);
// the gap kept (the skin) is a world distance along the contact normal, and
// slopes are judged against the world's up.
#include "geometry/collide.h"

#include <algorithm>

#include "dx/wide.h"
#include "frame/scalar_math.h"
#include "geometry/mesh.h"
#include "geometry/mesh_walk.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::geometry;
using dx::Vec3;
using dx::Vec3d;

namespace {

// The settings every later slide takes.
struct Settings {
  Vec3d up{{0, 1, 0}};
  double slope = 45, skin = 0.01;
  int iterations = 5;
  // A normal at the limit counts: the cosine less a hair, for the rounding of both.
  double cos_slope() const { return sm::cos(slope * (3.14159265358979323846 / 180)) - 1e-12; }
} settings;

bool finite(double x) { return x - x == 0; }
bool finite3(const Vec3d& v) { return finite(v.c[0]) && finite(v.c[1]) && finite(v.c[2]); }
Vec3d scaled(const Vec3d& v, double s) { return {{v.c[0] * s, v.c[1] * s, v.c[2] * s}}; }
Vec3d plus(const Vec3d& a, const Vec3d& b) { return {{a.c[0] + b.c[0], a.c[1] + b.c[1], a.c[2] + b.c[2]}}; }
Vec3d times(const Vec3d& a, const Vec3d& b) { return {{a.c[0] * b.c[0], a.c[1] * b.c[1], a.c[2] * b.c[2]}}; }
Vec3d over(const Vec3d& a, const Vec3d& b) { return {{a.c[0] / b.c[0], a.c[1] / b.c[1], a.c[2] / b.c[2]}}; }

// Where on a triangle a contact lies: its face, edge k (corners k, k + 1) or corner k.
enum Feature { Face, Edge0, Edge1, Edge2, Corner0, Corner1, Corner2 };

// The point of triangle t nearest p, and its feature (Ericson's regions, in double).
Vec3d nearest_on(const Vec3d& p, const Vec3d (&t)[3], int& feature) {
  const Vec3d &a = t[0], &b = t[1], &c = t[2];
  const Vec3d ab = dx::difference(b, a), ac = dx::difference(c, a), ap = dx::difference(p, a);
  const double d1 = dx::dot(ab, ap), d2 = dx::dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return feature = Corner0, a;
  const Vec3d bp = dx::difference(p, b);
  const double d3 = dx::dot(ab, bp), d4 = dx::dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return feature = Corner1, b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return feature = Edge0, dx::along(a, ab, d1 / (d1 - d3));
  const Vec3d cp = dx::difference(p, c);
  const double d5 = dx::dot(ab, cp), d6 = dx::dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return feature = Corner2, c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return feature = Edge2, dx::along(a, ac, d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) return feature = Edge1, dx::along(b, dx::difference(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
  const double sum = va + vb + vc;
  if (!(sum > 0)) {  // no area: the nearest of the three edges
    Vec3d best = a;
    double d2best = __builtin_inf();
    for (int k = 0; k < 3; ++k) {
      const Vec3d e = dx::difference(t[(k + 1) % 3], t[k]);
      const double ee = dx::dot(e, e), g = ee > 0 ? std::clamp(dx::dot(dx::difference(p, t[k]), e) / ee, 0.0, 1.0) : 0;
      const Vec3d q = dx::along(t[k], e, g), d = dx::difference(p, q);
      if (dx::dot(d, d) < d2best) d2best = dx::dot(d, d), best = q, feature = Edge0 + k;
    }
    return best;
  }
  return feature = Face, dx::along(dx::along(a, ab, vb / sum), ac, vc / sum);
}

// The smaller root of a·f² + b·f + c when both are above 0 (a > 0 and c > 0: a
// start outside the shape, b < 0: moving into it), in the form without
// cancellation; +∞ for none.
double first_root(double a, double b, double c) {
  const double disc = b * b - 4 * a * c;
  if (!(a > 0) || !(c > 0) || disc < 0 || b >= 0) return __builtin_inf();
  const double q = (-b + sm::sqrt(disc)) / 2;  // −(b − √disc) / 2 > 0
  return c / q;
}

struct Touch {
  double f = __builtin_inf();  // along the move; +∞: none
  Vec3d point{};
  int feature = Face;
};

// The first contact of a sphere (centre p, radius r) moving by m with triangle t,
// f in [0, 1]: 0 when it overlaps at the start, or touches (within eps) and moves
// into the triangle; a touch the move leaves is none.
Touch sweep_triangle(const Vec3d& p, const Vec3d& m, double r, const Vec3d (&t)[3], double eps) {
  Touch touch;
  int feature;
  const Vec3d q0 = nearest_on(p, t, feature), away = dx::difference(p, q0);
  const double d0 = dx::length(away);
  if (d0 <= r + eps) {
    if (d0 < r - eps || dx::dot(m, away) < 0) touch = {0, q0, feature};
    return touch;
  }
  const Vec3d n = dx::cross(dx::difference(t[1], t[0]), dx::difference(t[2], t[0]));
  const double nn = dx::length(n);
  if (nn > 0) {  // the face: the plane reached at distance r, the point there inside the triangle
    const Vec3d u = scaled(n, 1 / nn);
    const double s0 = dx::dot(u, dx::difference(p, t[0])), v = dx::dot(u, m), side = s0 > 0 ? 1 : -1;
    if (__builtin_fabs(s0) > r && s0 * v < 0) {
      const double f = (__builtin_fabs(s0) - r) / __builtin_fabs(v);
      const Vec3d q = plus(dx::along(p, m, f), scaled(u, -r * side));
      bool inside = f <= 1;
      for (int k = 0; k < 3 && inside; ++k) {
        inside = dx::dot(dx::cross(dx::difference(t[(k + 1) % 3], t[k]), dx::difference(q, t[k])), n) >= 0;
      }
      if (inside) touch = {f, q, Face};
    }
  }
  for (int k = 0; k < 3; ++k) {  // the edges: the cylinder of radius r about each, within the edge
    const Vec3d e = dx::difference(t[(k + 1) % 3], t[k]), w = dx::difference(p, t[k]);
    const double ee = dx::dot(e, e), me = dx::dot(m, e), we = dx::dot(w, e);
    const double f = first_root(ee * dx::dot(m, m) - me * me, 2 * (ee * dx::dot(m, w) - me * we), ee * (dx::dot(w, w) - r * r) - we * we);
    const double g = (we + f * me) / ee;
    if (f < touch.f && f <= 1 && g >= 0 && g <= 1) touch = {f, dx::along(t[k], e, g), Edge0 + k};
  }
  for (int k = 0; k < 3; ++k) {  // the corners
    const Vec3d w = dx::difference(p, t[k]);
    const double f = first_root(dx::dot(m, m), 2 * dx::dot(m, w), dx::dot(w, w) - r * r);
    if (f < touch.f && f <= 1) touch = {f, t[k], Corner0 + k};
  }
  return touch;
}

// A body: the scale of its space (its radii for an ellipsoid, 1s for a sphere) and
// its radius there (1 for an ellipsoid, its own for a sphere).
struct Body {
  Vec3d scale;
  double radius;
  Vec3d extent() const { return scaled(scale, radius); }  // half its box in the world
};

// A contact with a mesh, in the world: f along the move, the point on the mesh,
// the unit contact normal, and the triangle's number.
struct Contact {
  double f = -1;
  Vec3d point{}, normal{};
  std::int32_t triangle = -1;
};

// A triangle at a position as corners in the body's space; false for one with a
// corner that is not finite (which nothing touches).
bool corners_in(const Mesh& m, std::uint32_t position, const Body& body, Vec3d (&t)[3]) {
  for (int k = 0; k < 3; ++k) {
    t[k] = over(dx::widen(vec::get<3>(m.corner(position, k))), body.scale);
    if (!finite3(t[k])) return false;
  }
  return true;
}

// The world normal of a contact at `touch` on the triangle at `position`, for the
// body's centre at c (in its space): the triangle's own normal on its face, and on
// an edge or corner inside a surface; else from the contact point to the centre.
Vec3d contact_normal(const Mesh& m, std::uint32_t position, const Body& body, const Vec3d (&t)[3], const Touch& touch, const Vec3d& c) {
  const int feature = touch.feature;
  const bool smooth = feature == Face || (feature <= Edge2 ? m.smooth[position] >> (feature - Edge0) & 1
                                                            : m.smooth[position] >> (3 + feature - Corner0) & 1);
  const Vec3d toward = dx::difference(c, touch.point);  // in the body's space
  if (smooth || dx::dot(toward, toward) == 0) {
    const Vec3d n = dx::cross(dx::difference(t[1], t[0]), dx::difference(t[2], t[0]));
    return dx::unit(over(dx::dot(n, toward) < 0 ? scaled(n, -1) : n, body.scale));
  }
  return dx::unit(over(toward, body.scale));  // a normal in the body's space, taken to the world
}

// Every triangle whose node boxes meet the box from lo to hi, to `test(position)`.
template <class Test>
void within(const Mesh& m, const double (&lo)[3], const double (&hi)[3], Test test) {
  const __m128d qlo[3] = {_mm_set1_pd(lo[0]), _mm_set1_pd(lo[1]), _mm_set1_pd(lo[2])};
  const __m128d qhi[3] = {_mm_set1_pd(hi[0]), _mm_set1_pd(hi[1]), _mm_set1_pd(hi[2])};
  walk(m, [&](const Node* pair) {
    const PairBoxes b(pair);
    __m128d meets = _mm_cmple_pd(b.lo[0], b.hi[0]);
    for (int i = 0; i < 3; ++i) meets = _mm_and_pd(meets, _mm_and_pd(_mm_cmple_pd(b.lo[i], qhi[i]), _mm_cmple_pd(qlo[i], b.hi[i])));
    return _mm_andnot_pd(meets, _mm_set1_pd(kInf));
  }, [] { return 0.0; }, [&](std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t k = first; k < first + count; ++k) test(k);
    return false;
  });
}

// The body's first contact with the mesh as its centre (world) moves by `move`:
// every triangle whose box meets the box of the sweep, the earliest f, ties to the
// lowest number.
Contact sweep(const Mesh& m, const Body& body, const Vec3d& centre, const Vec3d& move) {
  const Vec3d p = over(centre, body.scale), d = over(move, body.scale), reach = body.extent();
  double lo[3], hi[3], size = body.radius + dx::length(d);
  for (int i = 0; i < 3; ++i) {
    const double slack = 1e-6 * (reach.c[i] + __builtin_fabs(move.c[i])) + 1e-12 * __builtin_fabs(centre.c[i]);
    lo[i] = std::min(centre.c[i], centre.c[i] + move.c[i]) - reach.c[i] - slack;
    hi[i] = std::max(centre.c[i], centre.c[i] + move.c[i]) + reach.c[i] + slack;
    size += 1e-7 * __builtin_fabs(p.c[i]);
  }
  const double eps = 1e-9 * size;
  Touch best;
  std::uint32_t best_position = 0;
  std::int32_t best_triangle = -1;
  Vec3d best_corners[3];
  const auto test = [&](std::uint32_t position) {
    Vec3d t[3];
    if (!corners_in(m, position, body, t)) return;
    const Touch touch = sweep_triangle(p, d, body.radius, t, eps);
    const std::int32_t number = std::int32_t(m.index[position]);
    if (touch.f < best.f || (touch.f == best.f && touch.f < __builtin_inf() && number < best_triangle)) {
      best = touch, best_position = position, best_triangle = number;
      for (int k = 0; k < 3; ++k) best_corners[k] = t[k];
    }
  };
  within(m, lo, hi, test);
  Contact c;
  if (best_triangle < 0) return c;
  c.f = best.f, c.triangle = best_triangle;
  c.point = times(best.point, body.scale);
  c.normal = contact_normal(m, best_position, body, best_corners, best, dx::along(p, d, best.f));
  return c;
}

// Every triangle within `radius` of the body's centre in its space (where the body
// is a sphere), to `near(position, distance, point, normal)`: the distance and the
// triangle's nearest point in the body's space, the contact normal in the world.
// A centre on the surface itself is pushed against the move (along the face's
// normal when it is still).
template <class Near>
void near_triangles(const Mesh& m, const Body& body, const Vec3d& centre, double radius, const Vec3d& move, Near near) {
  const Vec3d p = over(centre, body.scale), reach = scaled(body.scale, radius);
  double lo[3], hi[3];
  for (int i = 0; i < 3; ++i) lo[i] = centre.c[i] - reach.c[i] * 1.000001, hi[i] = centre.c[i] + reach.c[i] * 1.000001;
  within(m, lo, hi, [&](std::uint32_t position) {
    Vec3d t[3];
    if (!corners_in(m, position, body, t)) return;
    int feature;
    const Vec3d q = nearest_on(p, t, feature);
    const double dist = dx::length(dx::difference(p, q));
    if (dist >= radius) return;
    Vec3d normal = contact_normal(m, position, body, t, Touch{0, q, feature}, p);
    if (dist == 0) {
      const Vec3d n = over(dx::cross(dx::difference(t[1], t[0]), dx::difference(t[2], t[0])), body.scale);
      normal = dx::unit(dx::dot(n, move) > 0 ? scaled(n, -1) : n);
    }
    near(position, dist, q, normal);
  });
}

// The nearest point of the mesh to the body's centre, if the body overlaps it:
// the contact a body that starts inside is pushed out of (ties to the lowest
// triangle).
struct Inside {
  bool found = false;
  Vec3d point{}, normal{};  // world
};

Inside overlap(const Mesh& m, const Body& body, const Vec3d& centre, const Vec3d& move) {
  Inside best;
  double best_d = __builtin_inf();
  std::int32_t best_triangle = -1;
  near_triangles(m, body, centre, body.radius, move, [&](std::uint32_t position, double dist, const Vec3d& q, const Vec3d& normal) {
    const std::int32_t number = std::int32_t(m.index[position]);
    if (dist > best_d || (dist == best_d && number > best_triangle)) return;
    best_d = dist, best_triangle = number, best = {true, times(q, body.scale), normal};
  });
  return best;
}

// The slide: the body (centre in the world) moved by `move`; the end centre, and
// 0 (nothing touched), 1 (something touched) or 2 (ground touched, its normal in
// `ground`).
int slide(const Mesh& m, const Body& body, double skin, Vec3d& centre, const Vec3d& move, Vec3d& ground) {
  const double flat = settings.cos_slope();
  int touched = 0;
  const auto contact = [&](const Vec3d& normal) {
    touched = std::max(touched, 1);
    if (dx::dot(normal, settings.up) >= flat) touched = 2, ground = normal;
  };
  // A body that starts inside: pushed out along the normal of its nearest point,
  // to its radius and the skin, as often as it still overlaps. Still and not
  // inside: where it was, 0.
  for (int i = 0; i < settings.iterations; ++i) {
    const Inside in = overlap(m, body, centre, move);
    if (!in.found) break;
    contact(in.normal);
    // The surface point plus the body's radius along the normal (in its space), plus the skin in the world.
    const Vec3d out = times(dx::unit(times(in.normal, body.scale)), body.scale);
    centre = plus(plus(in.point, scaled(out, body.radius)), scaled(in.normal, skin));
  }
  if (touched == 0 && dx::dot(move, move) == 0) return 0;
  Vec3d left = move, planes[2];
  int plane_count = 0;
  for (int step = 0; step < settings.iterations && dx::dot(left, left) > 0; ++step) {
    const Contact c = sweep(m, body, centre, left);
    if (c.f < 0) {
      centre = plus(centre, left);
      left = {};
      break;
    }
    contact(c.normal);
    centre = plus(dx::along(centre, left, c.f), scaled(c.normal, skin));
    left = scaled(left, 1 - c.f);
    if (plane_count == 2) {  // a third plane: stop
      left = {};
      break;
    }
    planes[plane_count++] = c.normal;
    left = dx::difference(left, scaled(c.normal, dx::dot(left, c.normal)));
    if (plane_count == 2 && dx::dot(left, planes[0]) >= 0) {
      planes[0] = planes[1], plane_count = 1;  // along the new plane, away from the old: the old one is left behind
    } else if (plane_count == 2) {  // into the old one: along their crease
      const Vec3d crease = dx::cross(planes[0], planes[1]);
      const double cc = dx::dot(crease, crease);
      left = cc > 1e-12 ? scaled(crease, dx::dot(left, crease) / cc) : left;
    }
    if (dx::dot(left, move) <= 0) left = {};  // back against the wanted move: stop there (no jitter in corners)
  }
  // Every surface within twice the skin of the body, a world distance along the
  // contact normal, counts as touched; the nearest ground among them is the ground.
  const double reach = body.radius + 2 * skin / std::min({body.scale.c[0], body.scale.c[1], body.scale.c[2]});
  double nearest_ground = __builtin_inf();
  Vec3d last_ground{};
  const Vec3d p = over(centre, body.scale);
  near_triangles(m, body, centre, reach, move, [&](std::uint32_t, double dist, const Vec3d& q, const Vec3d& normal) {
    // The gap in the world: the body's space stretched back along the way out.
    const Vec3d out = dx::difference(p, q);
    const double gap = dist > 0 ? (dist - body.radius) * dx::length(times(scaled(out, 1 / dist), body.scale)) : 0;
    if (gap > 2 * skin) return;
    touched = std::max(touched, 1);
    if (dx::dot(normal, settings.up) >= flat && gap < nearest_ground) nearest_ground = gap, last_ground = normal;
  });
  if (nearest_ground < __builtin_inf()) touched = 2, ground = last_ground;
  return touched;
}

// The inputs of a slide, checked: a mesh, a finite centre, radii above 0 and
// finite, a finite move. Otherwise out gets the centre (when it is finite).
int slide_command(Handle out, Handle centre_h, const Vec3d& scale, double radius, double skin, Handle move_h, Handle mesh,
                  Handle ground_h) {
  const Vec3 given_centre = vec::get<3>(centre_h);
  Vec3d centre = dx::widen(given_centre);
  const Vec3d move = dx::widen(vec::get<3>(move_h));
  const Mesh* m = mesh_at(mesh);
  const bool usable = m && finite3(centre) && finite3(move) && finite3(scale) && scale.c[0] > 0 && scale.c[1] > 0 &&
                      scale.c[2] > 0 && radius > 0 && finite(radius);
  if (!usable) {
    if (finite3(centre)) vec::put<3>(out, given_centre);
    return 0;
  }
  Vec3d ground{};
  const Body body{scale, radius};
  const int touched = slide(*m, body, skin, centre, move, ground);
  const Vec3 end = dx::narrow(centre);
  vec::put<3>(out, finite3(dx::widen(end)) ? end : given_centre);
  if (touched == 2 && given(ground_h)) vec::put<3>(ground_h, dx::narrow(ground));
  return touched;
}

}  // namespace

KV_EXPORT FloatBits Sphere_SweepMesh(Handle centre_h, float radius, Handle move_h, Handle mesh, Handle point, Handle normal) {
  const Mesh* m = mesh_at(mesh);
  const Vec3d centre = dx::widen(vec::get<3>(centre_h)), move = dx::widen(vec::get<3>(move_h));
  if (!m || !(radius > 0) || !finite(radius) || !finite3(centre) || !finite3(move)) return bits_of(-1.0f);
  const Contact c = sweep(*m, Body{{{1, 1, 1}}, radius}, centre, move);
  if (c.f < 0) return bits_of(-1.0f);
  if (given(point)) vec::put<3>(point, dx::narrow(c.point));
  if (given(normal)) vec::put<3>(normal, dx::narrow(c.normal));
  return bits_of(float(c.f));
}

KV_EXPORT std::int32_t Sphere_SlideMesh(Handle out, Handle centre, float radius, Handle move, Handle mesh, Handle ground) {
  return slide_command(out, centre, {{1, 1, 1}}, radius, settings.skin * radius, move, mesh, ground);
}

KV_EXPORT std::int32_t Ellipsoid_SlideMesh(Handle out, Handle centre, Handle radii, Handle move, Handle mesh, Handle ground) {
  const Vec3d r = dx::widen(vec::get<3>(radii));
  return slide_command(out, centre, r, 1, settings.skin * std::min({r.c[0], r.c[1], r.c[2]}), move, mesh, ground);
}

// Each value out of its range, or an up of no length or not finite, keeps its old setting.
KV_EXPORT std::int32_t Sphere_SlideSettings(Handle up, float max_slope_degrees, float skin, std::int32_t iterations) {
  const Vec3d u = dx::widen(vec::get<3>(up));
  if (finite3(u) && dx::dot(u, u) > 0) settings.up = dx::unit(u);
  if (max_slope_degrees >= 0 && max_slope_degrees <= 90) settings.slope = max_slope_degrees;
  if (skin >= 0 && skin <= 0.5f) settings.skin = skin;
  if (iterations >= 1 && iterations <= 16) settings.iterations = iterations;
  return 0;
}
