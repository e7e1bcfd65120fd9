#include "vector/arithmetic.h"

#include "vector/vec.h"

namespace kv::vec {
namespace {

struct Add {
  float operator()(float a, float b) const { return a + b; }
};
struct Sub {
  float operator()(float a, float b) const { return a - b; }
};
struct Mul {
  float operator()(float a, float b) const { return a * b; }
};
// A true division per component: v / s is not v × (1 / s).
struct Div {
  float operator()(float a, float b) const { return a / b; }
};

template <int N>
V<N> splat(float s) {
  V<N> v;
  for (int i = 0; i < N; ++i) v[i] = s;
  return v;
}

// vector ⊕ vector, vector ⊕ scalar, scalar ⊕ vector, vector ⊕ values, values ⊕ vector.
template <int N, class Op>
std::int32_t vv(Handle result, Handle a, Handle b) {
  put(result, zip(get<N>(a), get<N>(b), Op{}));
  return 0;
}
template <int N, class Op>
std::int32_t vs(Handle result, Handle v, float s) {
  put(result, zip(get<N>(v), splat<N>(s), Op{}));
  return 0;
}
template <int N, class Op>
std::int32_t sv(Handle result, float s, Handle v) {
  put(result, zip(splat<N>(s), get<N>(v), Op{}));
  return 0;
}
template <int N, class Op>
std::int32_t vx(Handle result, Handle v, const V<N>& values) {
  put(result, zip(get<N>(v), values, Op{}));
  return 0;
}
template <int N, class Op>
std::int32_t xv(Handle result, const V<N>& values, Handle v) {
  put(result, zip(values, get<N>(v), Op{}));
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;

KV_EXPORT std::int32_t Vec2_Add(Handle r, Handle a, Handle b) { return vv<2, Add>(r, a, b); }
KV_EXPORT std::int32_t Vec3_Add(Handle r, Handle a, Handle b) { return vv<3, Add>(r, a, b); }
KV_EXPORT std::int32_t Vec4_Add(Handle r, Handle a, Handle b) { return vv<4, Add>(r, a, b); }
KV_EXPORT std::int32_t Vec2_Sub(Handle r, Handle a, Handle b) { return vv<2, Sub>(r, a, b); }
KV_EXPORT std::int32_t Vec3_Sub(Handle r, Handle a, Handle b) { return vv<3, Sub>(r, a, b); }
KV_EXPORT std::int32_t Vec4_Sub(Handle r, Handle a, Handle b) { return vv<4, Sub>(r, a, b); }
KV_EXPORT std::int32_t Vec2_Mul(Handle r, Handle a, Handle b) { return vv<2, Mul>(r, a, b); }
KV_EXPORT std::int32_t Vec3_Mul(Handle r, Handle a, Handle b) { return vv<3, Mul>(r, a, b); }
KV_EXPORT std::int32_t Vec4_Mul(Handle r, Handle a, Handle b) { return vv<4, Mul>(r, a, b); }
KV_EXPORT std::int32_t Vec2_Div(Handle r, Handle a, Handle b) { return vv<2, Div>(r, a, b); }
KV_EXPORT std::int32_t Vec3_Div(Handle r, Handle a, Handle b) { return vv<3, Div>(r, a, b); }
KV_EXPORT std::int32_t Vec4_Div(Handle r, Handle a, Handle b) { return vv<4, Div>(r, a, b); }

KV_EXPORT std::int32_t Vec2_AddScalar(Handle r, Handle v, float s) { return vs<2, Add>(r, v, s); }
KV_EXPORT std::int32_t Vec3_AddScalar(Handle r, Handle v, float s) { return vs<3, Add>(r, v, s); }
KV_EXPORT std::int32_t Vec4_AddScalar(Handle r, Handle v, float s) { return vs<4, Add>(r, v, s); }
KV_EXPORT std::int32_t Vec2_SubScalar(Handle r, Handle v, float s) { return vs<2, Sub>(r, v, s); }
KV_EXPORT std::int32_t Vec3_SubScalar(Handle r, Handle v, float s) { return vs<3, Sub>(r, v, s); }
KV_EXPORT std::int32_t Vec4_SubScalar(Handle r, Handle v, float s) { return vs<4, Sub>(r, v, s); }
KV_EXPORT std::int32_t Vec2_MulScalar(Handle r, Handle v, float s) { return vs<2, Mul>(r, v, s); }
KV_EXPORT std::int32_t Vec3_MulScalar(Handle r, Handle v, float s) { return vs<3, Mul>(r, v, s); }
KV_EXPORT std::int32_t Vec4_MulScalar(Handle r, Handle v, float s) { return vs<4, Mul>(r, v, s); }
KV_EXPORT std::int32_t Vec2_DivScalar(Handle r, Handle v, float s) { return vs<2, Div>(r, v, s); }
KV_EXPORT std::int32_t Vec3_DivScalar(Handle r, Handle v, float s) { return vs<3, Div>(r, v, s); }
KV_EXPORT std::int32_t Vec4_DivScalar(Handle r, Handle v, float s) { return vs<4, Div>(r, v, s); }

KV_EXPORT std::int32_t Vec2_AddValue(Handle r, Handle v, float x, float y) { return vx<2, Add>(r, v, {x, y}); }
KV_EXPORT std::int32_t Vec3_AddValue(Handle r, Handle v, float x, float y, float z) { return vx<3, Add>(r, v, {x, y, z}); }
KV_EXPORT std::int32_t Vec4_AddValue(Handle r, Handle v, float x, float y, float z, float w) { return vx<4, Add>(r, v, {x, y, z, w}); }
KV_EXPORT std::int32_t Vec2_SubValue(Handle r, Handle v, float x, float y) { return vx<2, Sub>(r, v, {x, y}); }
KV_EXPORT std::int32_t Vec3_SubValue(Handle r, Handle v, float x, float y, float z) { return vx<3, Sub>(r, v, {x, y, z}); }
KV_EXPORT std::int32_t Vec4_SubValue(Handle r, Handle v, float x, float y, float z, float w) { return vx<4, Sub>(r, v, {x, y, z, w}); }
KV_EXPORT std::int32_t Vec2_MulValue(Handle r, Handle v, float x, float y) { return vx<2, Mul>(r, v, {x, y}); }
KV_EXPORT std::int32_t Vec3_MulValue(Handle r, Handle v, float x, float y, float z) { return vx<3, Mul>(r, v, {x, y, z}); }
KV_EXPORT std::int32_t Vec4_MulValue(Handle r, Handle v, float x, float y, float z, float w) { return vx<4, Mul>(r, v, {x, y, z, w}); }
KV_EXPORT std::int32_t Vec2_DivValue(Handle r, Handle v, float x, float y) { return vx<2, Div>(r, v, {x, y}); }
KV_EXPORT std::int32_t Vec3_DivValue(Handle r, Handle v, float x, float y, float z) { return vx<3, Div>(r, v, {x, y, z}); }
KV_EXPORT std::int32_t Vec4_DivValue(Handle r, Handle v, float x, float y, float z, float w) { return vx<4, Div>(r, v, {x, y, z, w}); }

KV_EXPORT std::int32_t Vec2_ScalarSub(Handle r, float s, Handle v) { return sv<2, Sub>(r, s, v); }
KV_EXPORT std::int32_t Vec3_ScalarSub(Handle r, float s, Handle v) { return sv<3, Sub>(r, s, v); }
KV_EXPORT std::int32_t Vec4_ScalarSub(Handle r, float s, Handle v) { return sv<4, Sub>(r, s, v); }
KV_EXPORT std::int32_t Vec2_ScalarDiv(Handle r, float s, Handle v) { return sv<2, Div>(r, s, v); }
KV_EXPORT std::int32_t Vec3_ScalarDiv(Handle r, float s, Handle v) { return sv<3, Div>(r, s, v); }
KV_EXPORT std::int32_t Vec4_ScalarDiv(Handle r, float s, Handle v) { return sv<4, Div>(r, s, v); }
KV_EXPORT std::int32_t Vec2_ValueSub(Handle r, float x, float y, Handle v) { return xv<2, Sub>(r, {x, y}, v); }
KV_EXPORT std::int32_t Vec3_ValueSub(Handle r, float x, float y, float z, Handle v) { return xv<3, Sub>(r, {x, y, z}, v); }
KV_EXPORT std::int32_t Vec4_ValueSub(Handle r, float x, float y, float z, float w, Handle v) { return xv<4, Sub>(r, {x, y, z, w}, v); }
KV_EXPORT std::int32_t Vec2_ValueDiv(Handle r, float x, float y, Handle v) { return xv<2, Div>(r, {x, y}, v); }
KV_EXPORT std::int32_t Vec3_ValueDiv(Handle r, float x, float y, float z, Handle v) { return xv<3, Div>(r, {x, y, z}, v); }
KV_EXPORT std::int32_t Vec4_ValueDiv(Handle r, float x, float y, float z, float w, Handle v) { return xv<4, Div>(r, {x, y, z, w}, v); }
