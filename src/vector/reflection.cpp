#include "vector/reflection.h"

#include "frame/scalar_math.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

// n_i·s − v_i with s = 2 (v·n): v mirrored across the line of n. Everything in
// double, each component rounded once.
template <int N>
std::int32_t reflect(Handle result, const V<N>& v, const V<N>& n) {
  const double s = 2 * dot(v, n);
  put(result, zip(n, v, [s](float ni, float vi) { return float(ni * s - vi); }));
  return 0;
}

// Refraction of the incident direction i at a surface with unit normal n, eta the
// ratio of the indexes: eta·i − (eta·d + √k)·n with d = i·n and
// k = 1 − eta²(1 − d²), in double; zero on total internal reflection (k < 0) or a
// NaN k.
template <int N>
std::int32_t refract(Handle result, Handle incident, Handle normal, float eta) {
  const V<N> i = get<N>(incident), n = get<N>(normal);
  const double e = eta, d = dot(i, n), k = 1 - e * e * (1 - d * d);
  if (!(k >= 0)) {
    put(result, V<N>{});
    return 0;
  }
  const double f = e * d + sm::sqrt(k);
  put(result, zip(i, n, [e, f](float ii, float ni) { return float(e * ii - f * ni); }));
  return 0;
}

// 2c − p, rounded once: p reflected through the centre c.
template <int N>
std::int32_t mirror_point(Handle result, Handle p, Handle c) {
  put(result, zip(get<N>(p), get<N>(c), [](float pi, float ci) { return float(2.0 * ci - pi); }));
  return 0;
}

// 1 ÷ v_i: a zero gives an infinity signed like it. Neither name negates.
template <int N>
std::int32_t reciprocal(Handle result, Handle v) {
  put(result, map(get<N>(v), [](float x) { return 1.0f / x; }));
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_Reflect(Handle r, Handle v, Handle n) { return reflect(r, get<2>(v), get<2>(n)); }
KV_EXPORT std::int32_t Vec3_Reflect(Handle r, Handle v, Handle n) { return reflect(r, get<3>(v), get<3>(n)); }
KV_EXPORT std::int32_t Vec4_Reflect(Handle r, Handle v, Handle n) { return reflect(r, get<4>(v), get<4>(n)); }
// The plane's a, b, c serve as the normal; d is not read.
KV_EXPORT std::int32_t Vec3_ReflectPlane(Handle r, Handle v, Handle plane) {
  return reflect(r, get<3>(v), get<3>(plane));
}

KV_EXPORT std::int32_t Vec2_Refract(Handle r, Handle i, Handle n, float eta) { return refract<2>(r, i, n, eta); }
KV_EXPORT std::int32_t Vec3_Refract(Handle r, Handle i, Handle n, float eta) { return refract<3>(r, i, n, eta); }
KV_EXPORT std::int32_t Vec4_Refract(Handle r, Handle i, Handle n, float eta) { return refract<4>(r, i, n, eta); }

KV_EXPORT std::int32_t Vec2_MirrorPoint(Handle r, Handle p, Handle c) { return mirror_point<2>(r, p, c); }
KV_EXPORT std::int32_t Vec3_MirrorPoint(Handle r, Handle p, Handle c) { return mirror_point<3>(r, p, c); }
KV_EXPORT std::int32_t Vec4_MirrorPoint(Handle r, Handle p, Handle c) { return mirror_point<4>(r, p, c); }

KV_EXPORT std::int32_t Vec2_Inverse(Handle r, Handle v) { return reciprocal<2>(r, v); }
KV_EXPORT std::int32_t Vec3_Inverse(Handle r, Handle v) { return reciprocal<3>(r, v); }
KV_EXPORT std::int32_t Vec4_Inverse(Handle r, Handle v) { return reciprocal<4>(r, v); }
KV_EXPORT std::int32_t Vec2_Invert(Handle r, Handle v) { return reciprocal<2>(r, v); }
KV_EXPORT std::int32_t Vec3_Invert(Handle r, Handle v) { return reciprocal<3>(r, v); }
KV_EXPORT std::int32_t Vec4_Invert(Handle r, Handle v) { return reciprocal<4>(r, v); }
