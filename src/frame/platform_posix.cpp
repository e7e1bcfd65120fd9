// Native stand-in for the Windows platform layer, for unit tests on Linux.
#include "frame/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace kv::platform {
namespace {

// Every block carries links so that destroying the heap frees all of them,
// as HeapDestroy does. The header is 24 bytes: the payload is 8-byte aligned and
// never 16-byte aligned, as the Windows heap of a 32-bit process may give it, so
// that code counting on more is caught here.
struct BlockHeader {
  BlockHeader* next;
  BlockHeader* prev;
  std::size_t bytes;
};
static_assert(sizeof(BlockHeader) == 24, "the payload is 8 bytes past a 16-byte boundary");

BlockHeader* blocks = nullptr;
long live = 0;
long budget = -1;
std::size_t live_bytes = 0, peak_bytes = 0;
void* (*host_resolver)(std::uint32_t, const char*) = nullptr;
std::string shown;

bool take_budget() {
  if (budget == 0) return false;
  if (budget > 0) --budget;
  return true;
}

void link(BlockHeader* b) {
  ++live, live_bytes += b->bytes, peak_bytes = live_bytes > peak_bytes ? live_bytes : peak_bytes;
  b->prev = nullptr;
  b->next = blocks;
  if (blocks) blocks->prev = b;
  blocks = b;
}

void unlink(BlockHeader* b) {
  --live, live_bytes -= b->bytes;
  if (b->prev) b->prev->next = b->next; else blocks = b->next;
  if (b->next) b->next->prev = b->prev;
}

}  // namespace

void heap_create() { blocks = nullptr, live = 0, live_bytes = peak_bytes = 0; }

void heap_destroy() {
  while (blocks) {
    BlockHeader* next = blocks->next;
    std::free(blocks);
    blocks = next;
  }
  live = 0, live_bytes = peak_bytes = 0;
}

void* heap_alloc(std::size_t bytes) {
  if (!take_budget()) return nullptr;
  auto* b = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (!b) return nullptr;
  b->bytes = bytes;
  link(b);
  return b + 1;
}

void* heap_realloc(void* block, std::size_t bytes) {
  if (!block) return heap_alloc(bytes);
  if (!take_budget()) return nullptr;
  BlockHeader* old = static_cast<BlockHeader*>(block) - 1;
  unlink(old);
  auto* b = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + bytes));
  if (b) b->bytes = bytes;
  link(b ? b : old);  // on failure the old block stays valid and owned
  return b ? b + 1 : nullptr;
}

void heap_free(void* block) {
  if (!block) return;
  BlockHeader* b = static_cast<BlockHeader*>(block) - 1;
  unlink(b);
  std::free(b);
}

void* resolve(std::uint32_t module, const char* name) {
  return host_resolver ? host_resolver(module, name) : nullptr;
}

void show_fatal_message(const char* caption, const char* text) {
  shown += caption;
  shown += '|';
  shown += text;
  shown += '\n';
}

namespace fake {
void set_allocation_budget(long allocations) { budget = allocations; }
long live_allocations() { return live; }
std::size_t live_bytes() { return platform::live_bytes; }
std::size_t peak_bytes() { return platform::peak_bytes; }
void reset_peak() { platform::peak_bytes = platform::live_bytes; }
void set_resolver(void* (*resolver)(std::uint32_t, const char*)) { host_resolver = resolver; }
const char* messages() { return shown.c_str(); }
void clear_messages() { shown.clear(); }
}  // namespace fake

}  // namespace kv::platform
