#include "vector/products.h"

#include <cmath>

#include "dx/vector.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

FloatBits single(double x) { return bits_of(float(x)); }

template <int N>
FloatBits dot_of(Handle a, Handle b) {
  return single(dot(get<N>(a), get<N>(b)));
}

// Σ (a_i − b_i)² with the differences exact in double, not rounded to single.
template <int N>
double distance_squared(Handle a, Handle b) {
  const V<N> p = get<N>(a), q = get<N>(b);
  double sum = 0;
  for (int i = 0; i < N; ++i) {
    const double d = double(p[i]) - double(q[i]);
    sum += d * d;
  }
  return sum;
}

template <int N>
FloatBits manhattan(Handle a, Handle b) {
  const V<N> p = get<N>(a), q = get<N>(b);
  double sum = 0;
  for (int i = 0; i < N; ++i) sum += std::fabs(double(p[i]) - double(q[i]));
  return single(sum);
}

template <int N>
FloatBits manhattan_length(Handle v) {
  const V<N> p = get<N>(v);
  double sum = 0;
  for (int i = 0; i < N; ++i) sum += std::fabs(double(p[i]));
  return single(sum);
}

template <int N>
std::int32_t normalize_dx(Handle result, Handle v) {
  const V<N> p = get<N>(v);
  V<N> r;
  dx::vec_normalize(&r, &p);
  put(result, r);
  return 0;
}

// v_i · (length / |v|), the factor in double, each component rounded once; a
// zero vector gives NaN (0 · ∞, or 0 · NaN for a zero length).
template <int N>
std::int32_t scale_to_length(Handle result, Handle v, float wanted) {
  const V<N> p = get<N>(v);
  const double k = wanted / length(p);
  put(result, map(p, [k](float c) { return float(c * k); }));
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT FloatBits Vec2_Dot(Handle a, Handle b) { return dot_of<2>(a, b); }
KV_EXPORT FloatBits Vec3_Dot(Handle a, Handle b) { return dot_of<3>(a, b); }
KV_EXPORT FloatBits Vec4_Dot(Handle a, Handle b) { return dot_of<4>(a, b); }

// a.x·b.y − a.y·b.x: positive when b turns counter-clockwise from a.
KV_EXPORT FloatBits Vec2_CCW(Handle a, Handle b) {
  const V<2> p = get<2>(a), q = get<2>(b);
  return single(double(p.x()) * q.y() - double(p.y()) * q.x());
}

// Both inputs are read before the result is stored, so Vec3_Cross(a, a, b) is a × b.
KV_EXPORT std::int32_t Vec3_Cross(Handle result, Handle a, Handle b) {
  const V<3> p = get<3>(a), q = get<3>(b);
  put<3>(result, {float(double(p.y()) * q.z() - double(p.z()) * q.y()),
                  float(double(p.z()) * q.x() - double(p.x()) * q.z()),
                  float(double(p.x()) * q.y() - double(p.y()) * q.x())});
  return 0;
}

// v turned by +90 degrees.
KV_EXPORT std::int32_t Vec2_Perp(Handle result, Handle v) {
  const V<2> p = get<2>(v);
  put<2>(result, {-p.y(), p.x()});
  return 0;
}

// A vector perpendicular to v, zero only for v = 0: (−y, x, 0) when |z| < |x| (or
// the comparison is unordered), else (0, −z, y). v is read whole before the store.
KV_EXPORT std::int32_t Vec3_Perp(Handle result, Handle v) {
  const V<3> p = get<3>(v);
  if (std::fabs(p.z()) >= std::fabs(p.x())) {
    put<3>(result, {0, -p.z(), p.y()});
  } else {
    put<3>(result, {-p.y(), p.x(), 0});
  }
  return 0;
}

KV_EXPORT FloatBits Vec2_Length(Handle v) { return single(length(get<2>(v))); }
KV_EXPORT FloatBits Vec3_Length(Handle v) { return single(length(get<3>(v))); }
KV_EXPORT FloatBits Vec2_LengthSq(Handle v) { return dot_of<2>(v, v); }
KV_EXPORT FloatBits Vec3_LengthSq(Handle v) { return dot_of<3>(v, v); }
KV_EXPORT FloatBits Vec4_LengthSq(Handle v) { return dot_of<4>(v, v); }
KV_EXPORT FloatBits Vec2_LengthManhatten(Handle v) { return manhattan_length<2>(v); }
KV_EXPORT FloatBits Vec3_LengthManhatten(Handle v) { return manhattan_length<3>(v); }
KV_EXPORT FloatBits Vec4_LengthManhatten(Handle v) { return manhattan_length<4>(v); }

KV_EXPORT FloatBits Vec2_Dist(Handle a, Handle b) { return single(sm::sqrt(distance_squared<2>(a, b))); }
KV_EXPORT FloatBits Vec3_Dist(Handle a, Handle b) { return single(sm::sqrt(distance_squared<3>(a, b))); }
KV_EXPORT FloatBits Vec4_Dist(Handle a, Handle b) { return single(sm::sqrt(distance_squared<4>(a, b))); }
KV_EXPORT FloatBits Vec2_DistSq(Handle a, Handle b) { return single(distance_squared<2>(a, b)); }
KV_EXPORT FloatBits Vec3_DistSq(Handle a, Handle b) { return single(distance_squared<3>(a, b)); }
KV_EXPORT FloatBits Vec4_DistSq(Handle a, Handle b) { return single(distance_squared<4>(a, b)); }
KV_EXPORT FloatBits Vec2_DistManhatten(Handle a, Handle b) { return manhattan<2>(a, b); }
KV_EXPORT FloatBits Vec3_DistManhatten(Handle a, Handle b) { return manhattan<3>(a, b); }
KV_EXPORT FloatBits Vec4_DistManhatten(Handle a, Handle b) { return manhattan<4>(a, b); }

// D3DX normalisation: the zero vector stays zero.
KV_EXPORT std::int32_t Vec2_Normalize(Handle result, Handle v) { return normalize_dx<2>(result, v); }
KV_EXPORT std::int32_t Vec3_Normalize(Handle result, Handle v) { return normalize_dx<3>(result, v); }

// v ÷ |v| in double, rounded once; the zero vector gives NaN.
KV_EXPORT std::int32_t Vec4_Normalize(Handle result, Handle v) {
  const V<4> p = get<4>(v);
  const double l = length(p);
  put(result, map(p, [l](float c) { return float(c / l); }));
  return 0;
}

KV_EXPORT std::int32_t Vec2_ScaleToLength(Handle r, Handle v, float length) { return scale_to_length<2>(r, v, length); }
KV_EXPORT std::int32_t Vec3_ScaleToLength(Handle r, Handle v, float length) { return scale_to_length<3>(r, v, length); }
KV_EXPORT std::int32_t Vec4_ScaleToLength(Handle r, Handle v, float length) { return scale_to_length<4>(r, v, length); }
