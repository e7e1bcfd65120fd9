// The boundary between the host's compiled scripts and the plug-in's commands.
//
// Every command is a plain C export with the C calling convention. Each argument
// is 32 bits on the target: a handle, an integer, or a single float by value.
// A handle is the address of a value's first float (pointer-sized on a native
// test build). Results are 32 bits too: 0 for commands that store through a
// handle, an integer, a handle, or a float's bit pattern — never a float return,
// which the target would hand back in ST0 while the host reads EAX.
#pragma once

#include <cstdint>
#include <cstring>

#define KV_EXPORT extern "C"

namespace kv {

using Handle = std::uintptr_t;
using FloatBits = std::uint32_t;

inline FloatBits bits_of(float f) {
  FloatBits b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

inline float float_of(FloatBits b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

// Handles may be only 4-byte aligned and may name any memory of enough floats:
// values are moved in and out with unaligned copies, never through typed pointers.
template <class T>
inline T load(Handle h) {
  T value;
  std::memcpy(&value, reinterpret_cast<const void*>(h), sizeof value);
  return value;
}

template <class T>
inline void store(Handle h, const T& value) {
  std::memcpy(reinterpret_cast<void*>(h), &value, sizeof value);
}

// The value a handle names, for the D3DX functions, which take pointers and read
// everything before they write. (The library is built without type-based alias
// analysis: one handle may be read as floats, a vector or a matrix.)
template <class T>
inline T* at(Handle h) {
  return reinterpret_cast<T*>(h);
}

// An optional output is given when its handle, read as a signed integer, is above 0.
inline bool given(Handle h) { return static_cast<std::intptr_t>(h) > 0; }

// Float number `index` of whatever value the handle names, as raw bits.
inline FloatBits load_bits(Handle h, std::intptr_t index) {
  return load<FloatBits>(h + static_cast<Handle>(index) * sizeof(float));
}

inline void store_float(Handle h, std::intptr_t index, float f) {
  store(h + static_cast<Handle>(index) * sizeof(float), f);
}

}  // namespace kv
