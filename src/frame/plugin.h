// The plug-in frame: set-up and clean-up of the library, and the three exports
// through which the host learns the plug-in's dependencies and hands over its
// core data record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/abi.h"

namespace kv::frame {

// A host DLL the plug-in depends on, as the host room declares it: its name, the
// message shown when the host hands over no core data record, where that record
// keeps the DLL's module handle, and the functions that bind its exports (after
// the handshake) and forget them (at set-up).
struct HostDll {
  const char* name;
  const char* fatal_message;
  std::size_t core_offset;
  void (*bind)(std::uint32_t module);
  void (*forget)();
};
// The host room's table, in the order the host is told of them and they are bound.
extern const HostDll kHostDlls[2];

// Process attach: private heap, dependency-name buffer, dependency and binder
// lists with the two host DLLs, value pools. Never fails visibly.
void set_up();
// Process detach: destroys the private heap, every value with it.
void clean_up();

}  // namespace kv::frame

KV_EXPORT std::int32_t kv_GetNumDependencies();
KV_EXPORT const char* kv_GetDependencyID(std::int32_t index);
KV_EXPORT void kv_ReceiveCoreDataPtr(void* core);
