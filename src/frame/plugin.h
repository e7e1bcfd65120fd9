// The plug-in frame: set-up and clean-up of the library, and the three exports
// through which the host learns the plug-in's dependencies and hands over its
// core data record.
#pragma once

#include <cstdint>

#include "frame/abi.h"

namespace kv::frame {

// Process attach: private heap, dependency-name buffer, dependency and binder
// lists with the two host DLLs, value pools. Never fails visibly.
void set_up();
// Process detach: destroys the private heap, every value with it.
void clean_up();

}  // namespace kv::frame

KV_EXPORT std::int32_t kv_GetNumDependencies();
KV_EXPORT const char* kv_GetDependencyID(std::int32_t index);
KV_EXPORT void kv_ReceiveCoreDataPtr(void* core);
