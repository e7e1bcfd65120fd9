#include "host/cameras.h"

#include "dx/vector.h"
#include "geometry/frustum.h"
#include "host/records.h"
#include "matrix/mat.h"

using namespace kv;
using dx::Mat4;
using dx::Vec3;
using dx::Viewport;
using host::Record;

namespace kv::host {

Mat4 camera_view_projection(Record camera) {
  if (!camera) return mat::identity();
  return mat::product(read<Mat4>(camera, kCameraView), read<Mat4>(camera, kCameraProjection));
}

}  // namespace kv::host

namespace {

std::int32_t get_matrix(Handle out, std::int32_t camera, std::size_t offset) {
  const Record r = host::camera_record(camera);
  mat::put(out, r ? host::read<Mat4>(r, offset) : mat::identity());
  return 0;
}

std::int32_t get_vector(Handle out, std::int32_t camera, std::size_t offset) {
  const Record r = host::camera_record(camera);
  vec::put<3>(out, r ? host::read<Vec3>(r, offset) : Vec3{{0, 0, 0}});
  return 0;
}

using Through = Vec3* (*)(Vec3*, const Vec3*, const Viewport*, const Mat4*, const Mat4*, const Mat4*);

// The point through the camera's viewport, projection and view, and a world
// matrix (the identity for the plain forms); (0, 0, 0) without a camera.
std::int32_t through_camera(Through through, Handle out, Handle point, std::int32_t camera, const Mat4& world) {
  const Record r = host::camera_record(camera);
  Vec3 p{{0, 0, 0}};
  if (r) {
    const Vec3 v = vec::get<3>(point);
    const Viewport viewport = host::read<Viewport>(r, host::kCameraViewport);
    const Mat4 projection = host::read<Mat4>(r, host::kCameraProjection), view = host::read<Mat4>(r, host::kCameraView);
    through(&p, &v, &viewport, &projection, &view, &world);
  }
  vec::put<3>(out, p);
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Mat4_GetCameraView(Handle out, std::int32_t c) { return get_matrix(out, c, host::kCameraView); }
KV_EXPORT std::int32_t Mat4_GetCameraProjection(Handle out, std::int32_t c) { return get_matrix(out, c, host::kCameraProjection); }

KV_EXPORT std::int32_t Mat4_GetCameraViewProj(Handle out, std::int32_t camera) {
  mat::put(out, host::camera_view_projection(host::camera_record(camera)));
  return 0;
}

// The one command that writes into the host: the sixteen floats of the projection.
KV_EXPORT std::int32_t Mat4_SetCameraProjection(Handle m, std::int32_t camera) {
  if (const Record r = host::camera_record(camera)) host::write(r, host::kCameraProjection, mat::get(m));
  return 0;
}

KV_EXPORT std::int32_t Vec3_GetCameraPosition(Handle out, std::int32_t c) { return get_vector(out, c, host::kCameraPosition); }
KV_EXPORT std::int32_t Vec3_GetCameraLook(Handle out, std::int32_t c) { return get_vector(out, c, host::kCameraLook); }
KV_EXPORT std::int32_t Vec3_GetCameraUp(Handle out, std::int32_t c) { return get_vector(out, c, host::kCameraUp); }
KV_EXPORT std::int32_t Vec3_GetCameraRight(Handle out, std::int32_t c) { return get_vector(out, c, host::kCameraRight); }

KV_EXPORT std::int32_t Vec3_ProjectCamera(Handle out, Handle point, std::int32_t camera) {
  return through_camera(dx::vec3_project, out, point, camera, mat::identity());
}
KV_EXPORT std::int32_t Vec3_ProjectCameraEx(Handle out, Handle point, std::int32_t camera, Handle world) {
  return through_camera(dx::vec3_project, out, point, camera, mat::get(world));
}
KV_EXPORT std::int32_t Vec3_UnProjectCamera(Handle out, Handle point, std::int32_t camera) {
  return through_camera(dx::vec3_unproject, out, point, camera, mat::identity());
}
KV_EXPORT std::int32_t Vec3_UnProjectCameraEx(Handle out, Handle point, std::int32_t camera, Handle world) {
  return through_camera(dx::vec3_unproject, out, point, camera, mat::get(world));
}

// The planes of the camera's view × projection. An absent camera (or the host's
// function not bound) gives the planes of the identity: the cube from −1 to 1.
KV_EXPORT std::int32_t Frustum_ExtractCamera(Handle f, std::int32_t camera) {
  store(f, geometry::extract(host::camera_view_projection(host::camera_record(camera))));
  return 0;
}
