#include "host/records.h"

#include "frame/abi.h"
#include "frame/platform.h"
#include "frame/plugin.h"

namespace kv::host {

Slots slots;

namespace {

template <class Fn>
Fn resolve(std::uint32_t module, const char* name) {
  return reinterpret_cast<Fn>(platform::resolve(module, name));
}

void bind_objects(std::uint32_t module) {
  slots.get_object = resolve<GetObjectFn>(module, kGetObjectName);
  slots.get_world_matrix = resolve<GetWorldMatrixFn>(module, kGetWorldMatrixName);
  slots.set_world_matrix = resolve<SetWorldMatrixFn>(module, kSetWorldMatrixName);
}
void forget_objects() { slots.get_object = nullptr, slots.get_world_matrix = nullptr, slots.set_world_matrix = nullptr; }

void bind_cameras(std::uint32_t module) { slots.get_internal_data = resolve<GetInternalDataFn>(module, kGetInternalDataName); }
void forget_cameras() { slots.get_internal_data = nullptr; }

Record present(void* address) { return given(reinterpret_cast<Handle>(address)) ? static_cast<Record>(address) : nullptr; }

}  // namespace

Record object_record(std::int32_t object) {
  return slots.get_object ? present(slots.get_object(object)) : nullptr;
}

Record camera_record(std::int32_t camera) {
  return slots.get_internal_data ? present(slots.get_internal_data(camera)) : nullptr;
}

}  // namespace kv::host

// The host DLLs the frame tells the host of and binds, objects first.
const kv::frame::HostDll kv::frame::kHostDlls[2] = {
    {kv::host::kObjectsDll, "Fatal Error: Could not initialise DBProBasic3DDebug.dll", kv::host::kCoreObjectsModule,
     kv::host::bind_objects, kv::host::forget_objects},
    {kv::host::kCamerasDll, "Fatal Error: Could not initialise DBProCameraDebug.dll", kv::host::kCoreCamerasModule,
     kv::host::bind_cameras, kv::host::forget_cameras},
};
