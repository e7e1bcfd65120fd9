#include "frame/plugin.h"

#include <cstring>

#include "frame/arrays.h"
#include "frame/platform.h"
#include "frame/pool.h"

namespace kv::frame {
namespace {

constexpr char kCaption[] = "Brisvel Math Plugin";
constexpr int kDependencies = sizeof kHostDlls / sizeof *kHostDlls;

char* name_buffer;  // the string GetDependencyID hands out, on the private heap
const unsigned char* core_data;
const char kNoName[] = "";

std::uint32_t module_at(std::size_t offset) {
  std::uint32_t module;
  std::memcpy(&module, core_data + offset, sizeof module);
  return module;
}

void bind(const HostDll& dll) {
  if (!core_data) {
    platform::show_fatal_message(kCaption, dll.fatal_message);
    return;
  }
  dll.bind(module_at(dll.core_offset));
}

}  // namespace

void set_up() {
  platform::heap_create();
  name_buffer = static_cast<char*>(platform::heap_alloc(1));
  if (name_buffer) name_buffer[0] = '\0';
  core_data = nullptr;
  for (const HostDll& dll : kHostDlls) dll.forget();
  pools_create();
  arrays_create();
}

void clean_up() {
  platform::heap_destroy();
  name_buffer = nullptr;
  pools_forget();
  arrays_create();
}

}  // namespace kv::frame

using namespace kv::frame;

KV_EXPORT std::int32_t kv_GetNumDependencies() { return kDependencies; }

// Copies the name into the library's buffer, which stays valid until the next
// call. An index the host never asks for gives the empty string.
KV_EXPORT const char* kv_GetDependencyID(std::int32_t index) {
  const bool known = index >= 0 && index < kDependencies;
  const char* name = known ? kHostDlls[index].name : kNoName;
  const std::size_t bytes = std::strlen(name) + 1;
  char* buffer = static_cast<char*>(kv::platform::heap_realloc(name_buffer, bytes));
  if (!buffer) return name;  // the names themselves are static
  name_buffer = buffer;
  std::memcpy(name_buffer, name, bytes);
  return name_buffer;
}

// Stores the host's core data record and binds each host DLL's functions in the
// table's order. A later call binds again with the record it brings.
KV_EXPORT void kv_ReceiveCoreDataPtr(void* core) {
  core_data = static_cast<const unsigned char*>(core);
  for (const HostDll& dll : kHostDlls) bind(dll);
}
