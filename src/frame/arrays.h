// Arrays: `count` values of one kind laid out one after another in one allocation
// of the private heap, named by the handle of element 0; element i's handle is
// that handle plus i times the kind's size, and every command taking a value takes
// an element. The bookkeeping (kind, count) sits before element 0, and an index by
// address range finds the array of any address inside it in O(log n).
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/abi.h"

namespace kv::frame {

// Quaternion and plane arrays are Vec4 arrays.
enum class ArrayKind : std::uint8_t { Vec2, Vec3, Vec4, Mat4, Float, Count };

inline constexpr std::size_t kArrayElementBytes[] = {8, 12, 16, 64, 4};
inline std::size_t element_bytes(ArrayKind k) { return kArrayElementBytes[static_cast<int>(k)]; }

struct Array {
  ArrayKind kind;
  std::uint32_t count;
  Handle first;                    // element 0
  std::uintptr_t begin, end;       // the heap block it lies in, bookkeeping and padding included
  std::size_t bytes() const { return count * element_bytes(kind); }
  Handle element(std::size_t i) const { return first + Handle(i * element_bytes(kind)); }
  template <class T>
  T* elements() const {
    return reinterpret_cast<T*>(first);
  }
};

// A zero-filled array; 0 for a count below 1, or when the memory cannot be had
// (everything else is left as it was).
Handle array_make(ArrayKind kind, std::int32_t count);
// Frees the array named by `handle`; anything else (0, a deleted array, an
// element's handle, a pool value) is ignored.
void array_delete(Handle handle);
// The array `handle` names (its element 0 exactly), or null: of the given kind
// unless that is ArrayKind::Count (any kind).
const Array* array_at(Handle handle, ArrayKind kind = ArrayKind::Count);
// The array whose elements hold `address`, or null.
const Array* array_holding(Handle address);
std::size_t array_live_count();
// The live array whose heap block holds `address` (before element 0, among the
// elements or past the last), or null.
const Array* array_block_holding(Handle address);
// The checked build: a freed array whose block holds `address`, as it was when
// it was freed, or null (always null in the release build). The 64 arrays freed
// last, or 16 MiB of them, whichever is less, are kept out of reuse; a larger one
// is released at once. Each is remembered until 4096 others have been freed since.
const Array* deleted_array_holding(Handle address);

// Meshes live in a store of their own, on the same terms: a block of `bytes` (not
// zeroed) named by its first byte, found by any address inside it, freed blocks
// quarantined in the checked build; `count` holds the mesh's triangle count.
Handle mesh_block_make(std::uint32_t triangles, std::uint64_t bytes);
const Array* mesh_block_at(Handle handle);
const Array* mesh_block_holding(Handle address);
const Array* deleted_mesh_holding(Handle address);
void mesh_block_delete(Handle handle);
std::size_t mesh_live_count();

// How many elements two arrays both have, 0 unless both are arrays.
inline std::size_t common_count(const Array* a, const Array* b) {
  return a && b ? (a->count < b->count ? a->count : b->count) : 0;
}

// Set-up and clean-up, with the pools: the heap that held every array and mesh goes at unload.
void arrays_create();

}  // namespace kv::frame
