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
  const std::uint64_t total = bytes + sizeof(Header) + kAlign;
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
  header->array = {kind, std::uint32_t(count), Handle(first)};
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

void array_delete(Handle handle) {
  const std::size_t at = upper_bound(handle);
  if (at == 0 || index_[at - 1]->first != handle) return;
  void* block = reinterpret_cast<Header*>(reinterpret_cast<std::uintptr_t>(index_[at - 1]) - offsetof(Header, array))->block;
  std::memmove(index_ + at - 1, index_ + at, (live_ - at) * sizeof(Array*));
  --live_;
  platform::heap_free(block);
}

std::size_t array_live_count() { return live_; }

void arrays_create() { index_ = nullptr, live_ = capacity_ = 0; }

}  // namespace kv::frame
