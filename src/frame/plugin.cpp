#include "frame/plugin.h"

#include <cstring>

#include "frame/platform.h"
#include "frame/pool.h"
#include "host/host_api.h"

namespace kv::host {
Slots slots;
}

namespace kv::frame {
namespace {

constexpr char kCaption[] = "Brisvel Math Plugin";
constexpr int kMaxDependencies = 2;
using Binder = void (*)();

// The host DLLs the plug-in needs, each registered with the binder that
// resolves its functions once the host hands over its core data record.
struct Dependencies {
  const char* names[kMaxDependencies];
  Binder binders[kMaxDependencies];
  int count;
};

Dependencies dependencies;
char* name_buffer;  // the string GetDependencyID hands out, on the private heap
const unsigned char* core_data;
const char kNoName[] = "";

void register_dependency(const char* name, Binder binder) {
  dependencies.names[dependencies.count] = name;
  dependencies.binders[dependencies.count] = binder;
  ++dependencies.count;
}

std::uint32_t module_at(std::size_t offset) {
  std::uint32_t module;
  std::memcpy(&module, core_data + offset, sizeof module);
  return module;
}

template <class Fn>
Fn resolve(std::uint32_t module, const char* name) {
  return reinterpret_cast<Fn>(platform::resolve(module, name));
}

void bind_objects() {
  if (!core_data) {
    platform::show_fatal_message(kCaption, "Fatal Error: Could not initialise DBProBasic3DDebug.dll");
    return;
  }
  const std::uint32_t module = module_at(host::kCoreObjectsModule);
  host::slots.get_object = resolve<host::GetObjectFn>(module, host::kGetObjectName);
  host::slots.get_world_matrix = resolve<host::GetWorldMatrixFn>(module, host::kGetWorldMatrixName);
  host::slots.set_world_matrix = resolve<host::SetWorldMatrixFn>(module, host::kSetWorldMatrixName);
}

void bind_cameras() {
  if (!core_data) {
    platform::show_fatal_message(kCaption, "Fatal Error: Could not initialise DBProCameraDebug.dll");
    return;
  }
  const std::uint32_t module = module_at(host::kCoreCamerasModule);
  host::slots.get_internal_data = resolve<host::GetInternalDataFn>(module, host::kGetInternalDataName);
}

}  // namespace

void set_up() {
  platform::heap_create();
  name_buffer = static_cast<char*>(platform::heap_alloc(1));
  if (name_buffer) name_buffer[0] = '\0';
  dependencies = {};
  core_data = nullptr;
  host::slots = {};
  register_dependency(host::kObjectsDll, bind_objects);
  register_dependency(host::kCamerasDll, bind_cameras);
  pools_create();
}

void clean_up() {
  platform::heap_destroy();
  name_buffer = nullptr;
  pools_forget();
}

}  // namespace kv::frame

using namespace kv::frame;

KV_EXPORT std::int32_t kv_GetNumDependencies() { return dependencies.count; }

// Copies the name into the library's buffer, which stays valid until the next
// call. An index the host never asks for gives the empty string.
KV_EXPORT const char* kv_GetDependencyID(std::int32_t index) {
  const bool known = index >= 0 && index < dependencies.count;
  const char* name = known ? dependencies.names[index] : kNoName;
  const std::size_t bytes = std::strlen(name) + 1;
  char* buffer = static_cast<char*>(kv::platform::heap_realloc(name_buffer, bytes));
  if (!buffer) return name;  // the names themselves are static
  name_buffer = buffer;
  std::memcpy(name_buffer, name, bytes);
  return name_buffer;
}

// Stores the host's core data record and runs the binders in registration
// order. A later call binds again with the record it brings.
KV_EXPORT void kv_ReceiveCoreDataPtr(void* core) {
  core_data = static_cast<const unsigned char*>(core);
  for (int i = 0; i < dependencies.count; ++i) dependencies.binders[i]();
}
