#include "frame/arrays.h"

#include <cstring>

#include "frame/platform.h"

namespace kv::frame {
namespace {

// The bookkeeping before the first byte a handle names, and where the heap block starts.
struct Header {
  Array array;
  void* block;
};

constexpr std::size_t kAlign = 16;  // element 0 on a 16-byte boundary, for the SSE loads of whole values
#ifdef KV_CHECKED
// Room past the last element, so that a handle one past the end (an off-by-one
// in a script's handle arithmetic) lands in the array's own block and is named.
constexpr std::size_t kTail = 64;
// Freed blocks kept out of reuse, and how many are remembered.
constexpr std::size_t kHeld = 64, kHeldBytes = 16u << 20, kRemembered = 4096;
#else
constexpr std::size_t kTail = 0;
#endif

// A freed block, as it was, while it is remembered; `block` still allocated while
// held. `freed` orders them, the oldest lowest.
struct Deleted {
  Array array;
  void* block;
  std::uint64_t freed;
};

// Live blocks by their first byte (which is also the order of their heap blocks,
// which do not overlap), and in the checked build the freed ones remembered.
struct Store {
  Array** index;
  std::size_t live, capacity;
  Deleted* deleted;
  std::size_t deleted_count, held_count, held_bytes;
  std::uint64_t frees;

  // The position of the first block whose first byte lies above `address`.
  std::size_t upper_bound(Handle address) const {
    std::size_t lo = 0, hi = live;
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (index[mid]->first <= address) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  Handle make(ArrayKind kind, std::uint32_t count, std::uint64_t bytes, bool zero) {
    const std::uint64_t total = bytes + sizeof(Header) + kAlign + kTail;
    if (total > 0x7FFFFFFFu) return 0;
    if (live == capacity) {
      const std::size_t grown = capacity ? capacity * 2 : 64;
      auto** bigger = static_cast<Array**>(platform::heap_realloc(index, grown * sizeof(Array*)));
      if (!bigger) return 0;
      index = bigger, capacity = grown;
    }
    void* block = platform::heap_alloc(std::size_t(total));
    if (!block) return 0;
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(block) + sizeof(Header) + kAlign - 1) / kAlign * kAlign;
    auto* header = reinterpret_cast<Header*>(first - sizeof(Header));
    header->array = {kind, count, Handle(first), reinterpret_cast<std::uintptr_t>(block),
                     reinterpret_cast<std::uintptr_t>(block) + std::uintptr_t(total)};
    header->block = block;
    if (zero) std::memset(reinterpret_cast<void*>(first), 0, std::size_t(bytes));
    const std::size_t at = upper_bound(Handle(first));
    std::memmove(index + at + 1, index + at, (live - at) * sizeof(Array*));
    index[at] = &header->array;
    ++live;
    return Handle(first);
  }

  const Array* at(Handle handle) const {
    const std::size_t k = upper_bound(handle);
    return k > 0 && index[k - 1]->first == handle ? index[k - 1] : nullptr;
  }

  const Array* block_holding(Handle address) const {
    std::size_t lo = 0, hi = live;  // the first block that begins above the address
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (index[mid]->begin <= address) lo = mid + 1; else hi = mid;
    }
    return lo > 0 && address < index[lo - 1]->end ? index[lo - 1] : nullptr;
  }

  void erase(Handle handle) {
    const std::size_t k = upper_bound(handle);
    if (k == 0 || index[k - 1]->first != handle) return;
    const Array* a = index[k - 1];
    void* block = reinterpret_cast<Header*>(reinterpret_cast<std::uintptr_t>(a) - offsetof(Header, array))->block;
    const Array gone = *a;
    std::memmove(index + k - 1, index + k, (live - k) * sizeof(Array*));
    --live;
#ifdef KV_CHECKED
    quarantine(gone, block);
#else
    (void)gone;
    platform::heap_free(block);
#endif
  }

  // The records' blocks do not overlap (a record under a later block goes when
  // that block is freed): the last that begins at or below the address.
  const Array* deleted_holding(Handle address) const {
    std::size_t lo = 0, hi = deleted_count;
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (deleted[mid].array.begin <= address) lo = mid + 1; else hi = mid;
    }
    return lo > 0 && address < deleted[lo - 1].array.end ? &deleted[lo - 1].array : nullptr;
  }

#ifdef KV_CHECKED
  void release(Deleted& d) {
    if (!d.block) return;
    platform::heap_free(d.block);
    d.block = nullptr;
    --held_count, held_bytes -= d.array.end - d.array.begin;
  }

  // The oldest of the records, held ones only when `held`.
  std::size_t oldest(bool held) const {
    std::size_t k = deleted_count;
    for (std::size_t i = 0; i < deleted_count; ++i) {
      if ((!held || deleted[i].block) && (k == deleted_count || deleted[i].freed < deleted[k].freed)) k = i;
    }
    return k;
  }

  // Keeps the freed block's memory, or releases it at once when it is larger than
  // the quarantine; either way its range is remembered.
  void quarantine(const Array& a, void* block) {
    if (!deleted && !(deleted = static_cast<Deleted*>(platform::heap_alloc(kRemembered * sizeof(Deleted))))) {
      platform::heap_free(block);
      return;
    }
    if (deleted_count == kRemembered) {  // forget the oldest
      const std::size_t k = oldest(false);
      release(deleted[k]);
      std::memmove(deleted + k, deleted + k + 1, (--deleted_count - k) * sizeof(Deleted));
    }
    // Records whose blocks the heap has since given to a later block are out of date.
    for (std::size_t i = 0; i < deleted_count;) {
      if (!deleted[i].block && deleted[i].array.begin < a.end && a.begin < deleted[i].array.end) {
        std::memmove(deleted + i, deleted + i + 1, (--deleted_count - i) * sizeof(Deleted));
      } else {
        ++i;
      }
    }
    std::size_t k = 0;
    while (k < deleted_count && deleted[k].array.begin < a.begin) ++k;
    std::memmove(deleted + k + 1, deleted + k, (deleted_count - k) * sizeof(Deleted));
    if (a.end - a.begin > kHeldBytes) platform::heap_free(block), block = nullptr;
    deleted[k] = {a, block, ++frees};
    ++deleted_count;
    if (!block) return;
    ++held_count, held_bytes += a.end - a.begin;
    while (held_count > kHeld || held_bytes > kHeldBytes) release(deleted[oldest(true)]);
  }
#endif
};

Store arrays_, meshes_;

}  // namespace

Handle array_make(ArrayKind kind, std::int32_t count) {
  if (count < 1 || kind >= ArrayKind::Count) return 0;
  return arrays_.make(kind, std::uint32_t(count), std::uint64_t(count) * element_bytes(kind), true);
}

const Array* array_at(Handle handle, ArrayKind kind) {
  const Array* a = arrays_.at(handle);
  return a && (kind == ArrayKind::Count || a->kind == kind) ? a : nullptr;
}

const Array* array_holding(Handle address) {
  const Array* a = arrays_.block_holding(address);
  return a && address - a->first < a->bytes() ? a : nullptr;
}

const Array* array_block_holding(Handle address) { return arrays_.block_holding(address); }
const Array* deleted_array_holding(Handle address) { return arrays_.deleted_holding(address); }
void array_delete(Handle handle) { arrays_.erase(handle); }
std::size_t array_live_count() { return arrays_.live; }

Handle mesh_block_make(std::uint32_t triangles, std::uint64_t bytes) { return meshes_.make(ArrayKind::Count, triangles, bytes, false); }
const Array* mesh_block_at(Handle handle) { return meshes_.at(handle); }
const Array* mesh_block_holding(Handle address) { return meshes_.block_holding(address); }
const Array* deleted_mesh_holding(Handle address) { return meshes_.deleted_holding(address); }
void mesh_block_delete(Handle handle) { meshes_.erase(handle); }
std::size_t mesh_live_count() { return meshes_.live; }

void arrays_create() { arrays_ = {}, meshes_ = {}; }

}  // namespace kv::frame
