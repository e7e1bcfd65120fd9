// Stand-in for the host's camera DLL: camera records at the host's offsets for
// cameras 0 to 3; any other camera number does not exist, and camera 9 answers
// with an address that is negative as a signed integer, which must never be read.
#include <cstdint>
#include <cstring>

#include "hosts/layout.h"

namespace {

constexpr int kCameras = 4;

struct CameraRecord {
  unsigned char bytes[256];
};

CameraRecord records[kCameras];
int calls;

void put(unsigned char* record, std::size_t offset, const void* value, std::size_t bytes) {
  std::memcpy(record + offset, value, bytes);
}

}  // namespace

extern "C" void* __cdecl host_GetInternalData(std::int32_t camera) {
  ++calls;
  if (camera == 9) return reinterpret_cast<void*>(std::uintptr_t(0xFFFF0000u));
  return camera >= 0 && camera < kCameras ? &records[camera] : nullptr;
}

extern "C" int __cdecl SubstituteHost_CameraCalls() { return calls; }

// Test controls: identity view and projection, the axes of an unrotated camera at
// the origin, and a 640 by 480 viewport with depth 0 to 1.
extern "C" void __cdecl SubstituteHost_ResetCameras() {
  using namespace kvt::layout;
  std::memset(records, 0xCD, sizeof records);
  calls = 0;
  float identity[16] = {};
  for (int e = 0; e < 16; e += 5) identity[e] = 1;
  const float look[3] = {0, 0, 1}, up[3] = {0, 1, 0}, right[3] = {1, 0, 0}, position[3] = {0, 0, 0};
  const std::uint32_t viewport[4] = {0, 0, 640, 480};
  const float depth[2] = {0, 1};
  for (CameraRecord& r : records) {
    put(r.bytes, kCameraProjection, identity, sizeof identity);
    put(r.bytes, kCameraView, identity, sizeof identity);
    put(r.bytes, kCameraLook, look, sizeof look);
    put(r.bytes, kCameraUp, up, sizeof up);
    put(r.bytes, kCameraRight, right, sizeof right);
    put(r.bytes, kCameraPosition, position, sizeof position);
    put(r.bytes, kCameraViewport, viewport, sizeof viewport);
    put(r.bytes, kCameraViewport + sizeof viewport, depth, sizeof depth);
  }
}
