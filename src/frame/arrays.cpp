#include "frame/arrays.h"

#include <cstring>

#include "frame/platform.h"

namespace kv::frame {
namespace {

// The bookkeeping before element 0, and where the heap block starts.
struct Header {
  Array array;
  void* block;
};

constexpr std::size_t kAlign = 16;  // element 0 on a 16-byte boundary, for the SSE loads of whole values
#ifdef KV_CHECKED
// Room past the last element, so that a handle one past the end (an off-by-one
// in a script's handle arithmetic) lands in the array's own block and is named.
constexpr std::size_t kTail = 64;
#else
constexpr std::size_t kTail = 0;
#endif

// The live arrays by the address of element 0, ascending.
Array** index_;
std::size_t live_, capacity_;

// The position of the first array whose element 0 lies above `address`.
std::size_t upper_bound(Handle address) {
  std::size_t lo = 0, hi = live_;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (index_[mid]->first <= address) lo = mid + 1; else hi = mid;
  }
  return lo;
}

}  // namespace

Handle array_make(ArrayKind kind, std::int32_t count) {
  if (count < 1 || kind >= ArrayKind::Count) return 0;
  const std::uint64_t bytes = std::uint64_t(count) * element_bytes(kind);
  const std::uint64_t total = bytes + sizeof(Header) + kAlign + kTail;
  if (total > 0x7FFFFFFFu) return 0;
  if (live_ == capacity_) {
    const std::size_t grown = capacity_ ? capacity_ * 2 : 64;
    auto** index = static_cast<Array**>(platform::heap_realloc(index_, grown * sizeof(Array*)));
    if (!index) return 0;
    index_ = index, capacity_ = grown;
  }
  void* block = platform::heap_alloc(std::size_t(total));
  if (!block) return 0;
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(block) + sizeof(Header) + kAlign - 1) / kAlign * kAlign;
  auto* header = reinterpret_cast<Header*>(first - sizeof(Header));
  header->array = {kind, std::uint32_t(count), Handle(first), reinterpret_cast<std::uintptr_t>(block),
                   reinterpret_cast<std::uintptr_t>(block) + std::uintptr_t(total)};
  header->block = block;
  std::memset(reinterpret_cast<void*>(first), 0, std::size_t(bytes));
  const std::size_t at = upper_bound(Handle(first));
  std::memmove(index_ + at + 1, index_ + at, (live_ - at) * sizeof(Array*));
  index_[at] = &header->array;
  ++live_;
  return Handle(first);
}

const Array* array_at(Handle handle, ArrayKind kind) {
  const std::size_t at = upper_bound(handle);
  if (at == 0 || index_[at - 1]->first != handle) return nullptr;
  const Array* a = index_[at - 1];
  return kind == ArrayKind::Count || a->kind == kind ? a : nullptr;
}

const Array* array_holding(Handle address) {
  const std::size_t at = upper_bound(address);
  if (at == 0) return nullptr;
  const Array* a = index_[at - 1];
  return address - a->first < a->bytes() ? a : nullptr;
}

const Array* array_block_holding(Handle address) {
  std::size_t lo = 0, hi = live_;  // the first array whose block begins above the address
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (index_[mid]->begin <= address) lo = mid + 1; else hi = mid;
  }
  return lo > 0 && address < index_[lo - 1]->end ? index_[lo - 1] : nullptr;
}

#ifdef KV_CHECKED
namespace {

// Freed arrays, as they were, by the start of their blocks; `held` while their
// memory is kept out of reuse. `freed` orders them, the oldest lowest.
struct Deleted {
  Array array;
  void* block;  // still allocated while held
  std::uint64_t freed;
};
constexpr std::size_t kHeld = 64, kHeldBytes = 16u << 20, kRemembered = 4096;
Deleted* deleted_;
std::size_t deleted_count_, held_count_, held_bytes_;
std::uint64_t frees_;

void release(Deleted& d) {
  if (!d.block) return;
  platform::heap_free(d.block);
  d.block = nullptr;
  --held_count_, held_bytes_ -= d.array.end - d.array.begin;
}

// The oldest of the records, held ones only when `held`.
std::size_t oldest(bool held) {
  std::size_t k = deleted_count_;
  for (std::size_t i = 0; i < deleted_count_; ++i) {
    if ((!held || deleted_[i].block) && (k == deleted_count_ || deleted_[i].freed < deleted_[k].freed)) k = i;
  }
  return k;
}

// Keeps the freed array's memory, or releases it at once when it is larger than
// the quarantine; either way its range is remembered.
void quarantine(const Array& a, void* block) {
  if (!deleted_ && !(deleted_ = static_cast<Deleted*>(platform::heap_alloc(kRemembered * sizeof(Deleted))))) {
    platform::heap_free(block);
    return;
  }
  if (deleted_count_ == kRemembered) {  // forget the oldest
    const std::size_t k = oldest(false);
    release(deleted_[k]);
    std::memmove(deleted_ + k, deleted_ + k + 1, (--deleted_count_ - k) * sizeof(Deleted));
  }
  // Records whose blocks the heap has since given to a later array are out of date.
  for (std::size_t i = 0; i < deleted_count_;) {
    if (!deleted_[i].block && deleted_[i].array.begin < a.end && a.begin < deleted_[i].array.end) {
      std::memmove(deleted_ + i, deleted_ + i + 1, (--deleted_count_ - i) * sizeof(Deleted));
    } else {
      ++i;
    }
  }
  std::size_t at = 0;
  while (at < deleted_count_ && deleted_[at].array.begin < a.begin) ++at;
  std::memmove(deleted_ + at + 1, deleted_ + at, (deleted_count_ - at) * sizeof(Deleted));
  if (a.end - a.begin > kHeldBytes) platform::heap_free(block), block = nullptr;
  deleted_[at] = {a, block, ++frees_};
  ++deleted_count_;
  if (!block) return;
  ++held_count_, held_bytes_ += a.end - a.begin;
  while (held_count_ > kHeld || held_bytes_ > kHeldBytes) release(deleted_[oldest(true)]);
}

}  // namespace

// The records' blocks do not overlap (a record under a later array's block goes
// when that array is freed): the last that begins at or below the address.
const Array* deleted_array_holding(Handle address) {
  std::size_t lo = 0, hi = deleted_count_;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (deleted_[mid].array.begin <= address) lo = mid + 1; else hi = mid;
  }
  return lo > 0 && address < deleted_[lo - 1].array.end ? &deleted_[lo - 1].array : nullptr;
}
#else
const Array* deleted_array_holding(Handle) { return nullptr; }
#endif

void array_delete(Handle handle) {
  const std::size_t at = upper_bound(handle);
  if (at == 0 || index_[at - 1]->first != handle) return;
  const Array* a = index_[at - 1];
  void* block = reinterpret_cast<Header*>(reinterpret_cast<std::uintptr_t>(a) - offsetof(Header, array))->block;
  const Array gone = *a;
  std::memmove(index_ + at - 1, index_ + at, (live_ - at) * sizeof(Array*));
  --live_;
#ifdef KV_CHECKED
  quarantine(gone, block);
#else
  (void)gone;
  platform::heap_free(block);
#endif
}

std::size_t array_live_count() { return live_; }

void arrays_create() {
  index_ = nullptr, live_ = capacity_ = 0;
#ifdef KV_CHECKED
  deleted_ = nullptr, deleted_count_ = held_count_ = held_bytes_ = 0, frees_ = 0;
#endif
}

}  // namespace kv::frame
