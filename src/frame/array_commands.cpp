#include "frame/array_commands.h"

#include <cstring>

#include "frame/arrays.h"

using namespace kv;
using frame::Array;
using frame::ArrayKind;

namespace {

// Element `index` of a Float array, or null out of range (or for anything else).
float* float_at(Handle array, std::int32_t index) {
  const Array* a = frame::array_at(array, ArrayKind::Float);
  return a && index >= 0 && std::uint32_t(index) < a->count ? a->elements<float>() + index : nullptr;
}

}  // namespace

KV_EXPORT Handle Vec2_MakeArray(std::int32_t count) { return frame::array_make(ArrayKind::Vec2, count); }
KV_EXPORT Handle Vec3_MakeArray(std::int32_t count) { return frame::array_make(ArrayKind::Vec3, count); }
KV_EXPORT Handle Vec4_MakeArray(std::int32_t count) { return frame::array_make(ArrayKind::Vec4, count); }
KV_EXPORT Handle Mat4_MakeArray(std::int32_t count) { return frame::array_make(ArrayKind::Mat4, count); }
KV_EXPORT Handle Float_MakeArray(std::int32_t count) { return frame::array_make(ArrayKind::Float, count); }

KV_EXPORT std::int32_t Array_Delete(Handle array) {
  frame::array_delete(array);
  return 0;
}

KV_EXPORT std::int32_t Array_Count(Handle array) {
  const Array* a = frame::array_at(array);
  return a ? std::int32_t(a->count) : 0;
}

KV_EXPORT Handle Array_Element(Handle array, std::int32_t index) {
  const Array* a = frame::array_at(array);
  return a && index >= 0 && std::uint32_t(index) < a->count ? a->element(std::size_t(index)) : 0;
}

// The bits as stored, NaN payloads included.
KV_EXPORT FloatBits Float_ArrayGet(Handle array, std::int32_t index) {
  const float* f = float_at(array, index);
  return f ? load_bits(Handle(f), 0) : 0;
}

KV_EXPORT std::int32_t Float_ArraySet(Handle array, std::int32_t index, float value) {
  if (float* f = float_at(array, index)) std::memcpy(f, &value, sizeof value);
  return 0;
}

// The elements both arrays have, when they are of one kind.
KV_EXPORT std::int32_t Array_Copy(Handle destination, Handle source) {
  const Array *to = frame::array_at(destination), *from = frame::array_at(source);
  if (!to || !from || to->kind != from->kind) return 0;
  std::memmove(reinterpret_cast<void*>(to->first), reinterpret_cast<const void*>(from->first),
               (to->count < from->count ? to->count : from->count) * frame::element_bytes(to->kind));
  return 0;
}

KV_EXPORT std::int32_t Array_LiveCount() { return std::int32_t(frame::array_live_count()); }
