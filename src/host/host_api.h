// The host's side of the scene bridge: the four functions the plug-in binds in
// the host's DLLs, and the byte layouts of the host records it reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/types.h"

#ifdef _WIN32
#define KV_CDECL __cdecl
#else
#define KV_CDECL
#endif

namespace kv::host {

struct sObject;  // the host's object record, reached only at the offsets below

// The host functions, all with the C calling convention.
using GetObjectFn = sObject*(KV_CDECL*)(std::int32_t object);
using GetWorldMatrixFn = void(KV_CDECL*)(std::int32_t object, std::int32_t selector, dx::Mat4* out);
using SetWorldMatrixFn = void(KV_CDECL*)(std::int32_t object, dx::Mat4* matrix);
using GetInternalDataFn = void*(KV_CDECL*)(std::int32_t camera);

// Their decorated export names in the host DLLs.
inline constexpr const char kObjectsDll[] = "DBProBasic3DDebug.dll";
inline constexpr const char kCamerasDll[] = "DBProCameraDebug.dll";
inline constexpr const char kGetObjectName[] = "?GetObjectA@@YAPAUsObject@@H@Z";
inline constexpr const char kGetWorldMatrixName[] = "?GetWorldMatrix@@YAXHHPAUD3DXMATRIX@@@Z";
inline constexpr const char kSetWorldMatrixName[] = "?SetWorldMatrix@@YAXHPAUD3DXMATRIX@@@Z";
inline constexpr const char kGetInternalDataName[] = "?GetInternalData@@YAPAXH@Z";

// The bound functions; null until bound, and null where a host DLL lacks one.
struct Slots {
  GetObjectFn get_object;
  GetWorldMatrixFn get_world_matrix;
  SetWorldMatrixFn set_world_matrix;
  GetInternalDataFn get_internal_data;
};
extern Slots slots;

// Core data record: the 32-bit module handles of the two host DLLs.
inline constexpr std::size_t kCoreObjectsModule = 100;
inline constexpr std::size_t kCoreCamerasModule = 104;

// Object record: nine floats, position, rotation in degrees, scale.
inline constexpr std::size_t kObjectPosition = 132;
inline constexpr std::size_t kObjectRotation = 144;
inline constexpr std::size_t kObjectScale = 156;

// Camera record.
inline constexpr std::size_t kCameraProjection = 0;  // Mat4
inline constexpr std::size_t kCameraView = 64;       // Mat4
inline constexpr std::size_t kCameraLook = 128;      // Vec3
inline constexpr std::size_t kCameraUp = 140;        // Vec3
inline constexpr std::size_t kCameraRight = 152;     // Vec3
inline constexpr std::size_t kCameraPosition = 164;  // Vec3
inline constexpr std::size_t kCameraViewport = 200;  // X, Y, Width, Height (uint32), MinZ, MaxZ (float)

}  // namespace kv::host
