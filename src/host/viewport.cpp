#include "host/viewport.h"

#include "dx/types.h"
#include "frame/pool.h"
#include "host/records.h"

using namespace kv;
using dx::Viewport;
using host::Record;

namespace {

Viewport get(Handle vp) { return load<Viewport>(vp); }

// The depth range arrives as integers, as the command's letters say, and is kept as floats.
Viewport from_integers(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, std::int32_t min_z,
                       std::int32_t max_z) {
  return {std::uint32_t(x), std::uint32_t(y), std::uint32_t(width), std::uint32_t(height), float(min_z), float(max_z)};
}

// The rectangle is the first 16 bytes, the depth range the last 8.
constexpr std::size_t kRectangle = 4 * sizeof(std::uint32_t);
constexpr std::size_t kWhole = sizeof(Viewport);

std::int32_t from_camera(Handle vp, std::int32_t camera, std::size_t bytes) {
  const Record r = host::camera_record(camera);
  unsigned char copy[kWhole] = {};
  if (r) std::memcpy(copy, r + host::kCameraViewport, bytes);
  std::memcpy(reinterpret_cast<void*>(vp), copy, bytes);
  return 0;
}

std::int32_t to_camera(Handle vp, std::int32_t camera, std::size_t bytes) {
  if (const Record r = host::camera_record(camera)) std::memcpy(r + host::kCameraViewport, reinterpret_cast<const void*>(vp), bytes);
  return 0;
}

}  // namespace

KV_EXPORT Handle ViewPort_MakeNew() { return frame::pool(frame::PoolId::ViewPort).make_new(); }

KV_EXPORT Handle ViewPort_MakeNewEx(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                    std::int32_t min_z, std::int32_t max_z) {
  const Handle h = ViewPort_MakeNew();
  if (h) store(h, from_integers(x, y, width, height, min_z, max_z));
  return h;
}

// A handle that is not a live viewport is ignored.
KV_EXPORT std::int32_t ViewPort_Delete(Handle vp) {
  frame::pool(frame::PoolId::ViewPort).remove(vp);
  return 0;
}

KV_EXPORT std::int32_t ViewPort_Set(Handle vp, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                    std::int32_t min_z, std::int32_t max_z) {
  store(vp, from_integers(x, y, width, height, min_z, max_z));
  return 0;
}

KV_EXPORT std::int32_t ViewPort_GetWidth(Handle vp) { return std::int32_t(get(vp).width); }
KV_EXPORT std::int32_t ViewPort_GetHeight(Handle vp) { return std::int32_t(get(vp).height); }
KV_EXPORT std::int32_t ViewPort_GetLeft(Handle vp) { return std::int32_t(get(vp).x); }
KV_EXPORT std::int32_t ViewPort_GetTop(Handle vp) { return std::int32_t(get(vp).y); }
// X + Width and Y + Height in 32 bits, as the host's integers hold them.
KV_EXPORT std::int32_t ViewPort_GetRight(Handle vp) { return std::int32_t(get(vp).x + get(vp).width); }
KV_EXPORT std::int32_t ViewPort_GetBottom(Handle vp) { return std::int32_t(get(vp).y + get(vp).height); }
KV_EXPORT FloatBits ViewPort_GetMinZ(Handle vp) { return bits_of(get(vp).min_z); }
KV_EXPORT FloatBits ViewPort_GetMaxZ(Handle vp) { return bits_of(get(vp).max_z); }

KV_EXPORT std::int32_t ViewPort_GetCamera2D(Handle vp, std::int32_t camera) { return from_camera(vp, camera, kRectangle); }
KV_EXPORT std::int32_t ViewPort_SetCamera2D(Handle vp, std::int32_t camera) { return to_camera(vp, camera, kRectangle); }
KV_EXPORT std::int32_t ViewPort_GetCamera3D(Handle vp, std::int32_t camera) { return from_camera(vp, camera, kWhole); }
KV_EXPORT std::int32_t ViewPort_SetCamera3D(Handle vp, std::int32_t camera) { return to_camera(vp, camera, kWhole); }

// 1 when X ≤ x < X + Width and Y ≤ y < Y + Height, x and y signed, the edges
// formed in 64 bits so that nothing wraps at the integer limits.
KV_EXPORT std::int32_t ViewPort_TestPoint(Handle vp, std::int32_t x, std::int32_t y) {
  const Viewport v = get(vp);
  const std::int64_t left = v.x, top = v.y;
  return x >= left && x < left + v.width && y >= top && y < top + v.height;
}
