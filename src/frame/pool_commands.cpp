// MakeNew and Delete of every value type, and the viewport copy.
#include "frame/pool_commands.h"

#include "frame/pool.h"

using kv::Handle;
using kv::frame::PoolId;
using kv::frame::pool;

namespace {

Handle make(PoolId id) { return pool(id).make_new(); }

// A handle that is not a live value of the pool (null, deleted already, another
// pool's, any other address) is ignored rather than corrupting the pool.
std::int32_t release(PoolId id, Handle h) {
  pool(id).remove(h);
  return 0;
}

}  // namespace

KV_EXPORT Handle Vec2_MakeNew() { return make(PoolId::Vec2); }
KV_EXPORT Handle Vec3_MakeNew() { return make(PoolId::Vec3); }
KV_EXPORT Handle Vec4_MakeNew() { return make(PoolId::Vec4); }
KV_EXPORT Handle Plane_MakeNew() { return make(PoolId::Vec4); }
KV_EXPORT Handle Quat_MakeNew() { return make(PoolId::Quat); }
KV_EXPORT Handle Mat4_MakeNew() { return make(PoolId::Mat4); }
KV_EXPORT Handle Frustum_MakeNew() { return make(PoolId::Frustum); }

// The number of values alive in a pool, kept as values are made and released.
KV_EXPORT std::int32_t Vec2_LiveCount() { return std::int32_t(pool(PoolId::Vec2).count()); }
KV_EXPORT std::int32_t Vec3_LiveCount() { return std::int32_t(pool(PoolId::Vec3).count()); }
KV_EXPORT std::int32_t Vec4_LiveCount() { return std::int32_t(pool(PoolId::Vec4).count()); }
KV_EXPORT std::int32_t Plane_LiveCount() { return std::int32_t(pool(PoolId::Vec4).count()); }
KV_EXPORT std::int32_t Quat_LiveCount() { return std::int32_t(pool(PoolId::Quat).count()); }
KV_EXPORT std::int32_t Mat4_LiveCount() { return std::int32_t(pool(PoolId::Mat4).count()); }
KV_EXPORT std::int32_t Frustum_LiveCount() { return std::int32_t(pool(PoolId::Frustum).count()); }
KV_EXPORT std::int32_t ViewPort_LiveCount() { return std::int32_t(pool(PoolId::ViewPort).count()); }

KV_EXPORT std::int32_t Vec2_Delete(Handle h) { return release(PoolId::Vec2, h); }
KV_EXPORT std::int32_t Vec3_Delete(Handle h) { return release(PoolId::Vec3, h); }
KV_EXPORT std::int32_t Vec4_Delete(Handle h) { return release(PoolId::Vec4, h); }
KV_EXPORT std::int32_t Plane_Delete(Handle h) { return release(PoolId::Vec4, h); }
KV_EXPORT std::int32_t Quat_Delete(Handle h) { return release(PoolId::Quat, h); }
KV_EXPORT std::int32_t Mat4_Delete(Handle h) { return release(PoolId::Mat4, h); }
KV_EXPORT std::int32_t Frustum_Delete(Handle h) { return release(PoolId::Frustum, h); }

// Copies the 24 bytes of a viewport record as they are.
KV_EXPORT std::int32_t ViewPort_Copy(Handle destination, Handle source) {
  struct Bytes24 {
    unsigned char b[24];
  };
  kv::store(destination, kv::load<Bytes24>(source));
  return 0;
}
