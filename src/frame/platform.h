// The thin layer between the plug-in and the operating system: the private heap,
// the lookup of host functions, and the fatal message box. A Windows build uses
// the Win32 calls; a native test build uses a heap of its own and lets tests
// stand in for the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::platform {

// The private heap: created at load, destroyed at unload with everything in it.
void heap_create();
void heap_destroy();
void* heap_alloc(std::size_t bytes);  // null when no memory can be had
void* heap_realloc(void* block, std::size_t bytes);  // null, block untouched, on failure
void heap_free(void* block);

// Address of the export `name` of the loaded module whose 32-bit handle the host
// handed over; null when the module lacks it.
void* resolve(std::uint32_t module, const char* name);

// A modal message box with one OK button, kept above the host's windows.
void show_fatal_message(const char* caption, const char* text);

#ifndef _WIN32
// Stand-ins for a native test build.
namespace fake {
// After `allocations` more successful heap requests, the heap reports no memory;
// a negative budget lifts the limit.
void set_allocation_budget(long allocations);
// Heap blocks allocated and not yet freed, their bytes, and the most bytes held
// at once since the last reset.
long live_allocations();
std::size_t live_bytes();
std::size_t peak_bytes();
void reset_peak();
// The function `resolve` asks; null resolves nothing.
void set_resolver(void* (*resolver)(std::uint32_t module, const char* name));
// The fatal messages shown so far, as "caption|text" lines.
const char* messages();
void clear_messages();
}  // namespace fake
#endif

}  // namespace kv::platform
