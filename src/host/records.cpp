#include "host/records.h"

#include "frame/abi.h"

namespace kv::host {
namespace {

Record present(void* address) { return given(reinterpret_cast<Handle>(address)) ? static_cast<Record>(address) : nullptr; }

}  // namespace

Record object_record(std::int32_t object) {
  return slots.get_object ? present(slots.get_object(object)) : nullptr;
}

Record camera_record(std::int32_t camera) {
  return slots.get_internal_data ? present(slots.get_internal_data(camera)) : nullptr;
}

}  // namespace kv::host
