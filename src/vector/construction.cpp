#include "vector/construction.h"

#include "frame/pool.h"
#include "vector/vec.h"

namespace kv::vec {
namespace {

template <int N>
Handle make_new(frame::PoolId id, const V<N>& v) {
  const Handle h = frame::pool(id).make_new();
  if (h) put(h, v);
  return h;
}

template <int N>
std::int32_t set(Handle h, const V<N>& v) {
  put(h, v);
  return 0;
}

template <int N>
std::int32_t copy(Handle destination, Handle source) {
  put(destination, get<N>(source));
  return 0;
}

// Ties and NaN take a.
template <int N>
std::int32_t minimize(Handle result, Handle a, Handle b) {
  put(result, zip(get<N>(a), get<N>(b), [](float p, float q) { return p > q ? q : p; }));
  return 0;
}

// Ties take a; NaN takes b.
template <int N>
std::int32_t maximize(Handle result, Handle a, Handle b) {
  put(result, zip(get<N>(a), get<N>(b), [](float p, float q) { return p >= q ? p : q; }));
  return 0;
}

std::int32_t set_component(Handle h, int i, float value) {
  store_float(h, i, value);
  return 0;
}

}  // namespace
}  // namespace kv::vec

using namespace kv;
using namespace kv::vec;
using frame::PoolId;

KV_EXPORT Handle Vec2_MakeNewEx(float x, float y) { return make_new<2>(PoolId::Vec2, {x, y}); }
KV_EXPORT Handle Vec3_MakeNewEx(float x, float y, float z) { return make_new<3>(PoolId::Vec3, {x, y, z}); }
KV_EXPORT Handle Vec4_MakeNewEx(float x, float y, float z, float w) { return make_new<4>(PoolId::Vec4, {x, y, z, w}); }

KV_EXPORT std::int32_t Vec2_Set(Handle v, float x, float y) { return set<2>(v, {x, y}); }
KV_EXPORT std::int32_t Vec3_Set(Handle v, float x, float y, float z) { return set<3>(v, {x, y, z}); }
KV_EXPORT std::int32_t Vec4_Set(Handle v, float x, float y, float z, float w) { return set<4>(v, {x, y, z, w}); }

// The component getters and setters serve every vector, quaternion and plane:
// component i sits at float i in all of them. Bits pass unchanged, NaN payloads included.
KV_EXPORT FloatBits Vec4_GetX(Handle v) { return load_bits(v, 0); }
KV_EXPORT FloatBits Vec4_GetY(Handle v) { return load_bits(v, 1); }
KV_EXPORT FloatBits Vec4_GetZ(Handle v) { return load_bits(v, 2); }
KV_EXPORT FloatBits Vec4_GetW(Handle v) { return load_bits(v, 3); }
KV_EXPORT std::int32_t Vec4_SetX(Handle v, float value) { return set_component(v, 0, value); }
KV_EXPORT std::int32_t Vec4_SetY(Handle v, float value) { return set_component(v, 1, value); }
KV_EXPORT std::int32_t Vec4_SetZ(Handle v, float value) { return set_component(v, 2, value); }
KV_EXPORT std::int32_t Vec4_SetW(Handle v, float value) { return set_component(v, 3, value); }

KV_EXPORT std::int32_t Vec2_Copy(Handle destination, Handle source) { return copy<2>(destination, source); }
KV_EXPORT std::int32_t Vec3_Copy(Handle destination, Handle source) { return copy<3>(destination, source); }
KV_EXPORT std::int32_t Vec4_Copy(Handle destination, Handle source) { return copy<4>(destination, source); }

KV_EXPORT std::int32_t Vec2_IsEqual(Handle a, Handle b) { return equal_within(a, b, 2, tolerance::kIsEqual, true); }
KV_EXPORT std::int32_t Vec3_IsEqual(Handle a, Handle b) { return equal_within(a, b, 3, tolerance::kIsEqual, true); }
KV_EXPORT std::int32_t Vec4_IsEqual(Handle a, Handle b) { return equal_within(a, b, 4, tolerance::kIsEqual, true); }
KV_EXPORT std::int32_t Vec2_IsEqualEps(Handle a, Handle b, float eps) { return equal_within(a, b, 2, eps, false); }
KV_EXPORT std::int32_t Vec3_IsEqualEps(Handle a, Handle b, float eps) { return equal_within(a, b, 3, eps, false); }
KV_EXPORT std::int32_t Vec4_IsEqualEps(Handle a, Handle b, float eps) { return equal_within(a, b, 4, eps, false); }

KV_EXPORT std::int32_t Vec2_Minimize(Handle result, Handle a, Handle b) { return minimize<2>(result, a, b); }
KV_EXPORT std::int32_t Vec3_Minimize(Handle result, Handle a, Handle b) { return minimize<3>(result, a, b); }
KV_EXPORT std::int32_t Vec4_Minimize(Handle result, Handle a, Handle b) { return minimize<4>(result, a, b); }
KV_EXPORT std::int32_t Vec2_Maximize(Handle result, Handle a, Handle b) { return maximize<2>(result, a, b); }
KV_EXPORT std::int32_t Vec3_Maximize(Handle result, Handle a, Handle b) { return maximize<3>(result, a, b); }
KV_EXPORT std::int32_t Vec4_Maximize(Handle result, Handle a, Handle b) { return maximize<4>(result, a, b); }
