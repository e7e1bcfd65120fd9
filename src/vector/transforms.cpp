#include "vector/transforms.h"

#include "dx/vector.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::vec;
using kv::dx::Mat4;

namespace {

// Hands the three handles to a D3DX transform as its output, vector and matrix.
template <class Out, class In, class Transform>
std::int32_t by_matrix(Transform transform, Handle out, Handle v, Handle m) {
  transform(at<Out>(out), at<In>(v), at<Mat4>(m));
  return 0;
}

}  // namespace

using dx::Vec4;

KV_EXPORT std::int32_t Vec2_Transform(Handle o, Handle v, Handle m) { return by_matrix<Vec4, V<2>>(dx::vec_transform<2>, o, v, m); }
KV_EXPORT std::int32_t Vec2_TransformCoord(Handle o, Handle v, Handle m) { return by_matrix<V<2>, V<2>>(dx::vec_transform_coord<2>, o, v, m); }
KV_EXPORT std::int32_t Vec2_TransformNormal(Handle o, Handle v, Handle m) { return by_matrix<V<2>, V<2>>(dx::vec_transform_normal<2>, o, v, m); }
KV_EXPORT std::int32_t Vec3_Transform(Handle o, Handle v, Handle m) { return by_matrix<Vec4, V<3>>(dx::vec_transform<3>, o, v, m); }
KV_EXPORT std::int32_t Vec3_TransformCoord(Handle o, Handle v, Handle m) { return by_matrix<V<3>, V<3>>(dx::vec_transform_coord<3>, o, v, m); }
KV_EXPORT std::int32_t Vec3_TransformNormal(Handle o, Handle v, Handle m) { return by_matrix<V<3>, V<3>>(dx::vec_transform_normal<3>, o, v, m); }
KV_EXPORT std::int32_t Vec4_Transform(Handle o, Handle v, Handle m) { return by_matrix<Vec4, V<4>>(dx::vec_transform<4>, o, v, m); }

// v + w t + q × t with t = 2 (q × v), q = (x, y, z) and w its scalar, not
// normalised: for a unit quaternion the rotation q v q⁻¹. In double; t is
// complete before the first store.
KV_EXPORT std::int32_t Vec3_TransformQuat(Handle out, Handle v_handle, Handle q_handle) {
  const V<3> v = get<3>(v_handle);
  const V<4> q = get<4>(q_handle);
  const double x = q.x(), y = q.y(), z = q.z(), w = q.w();
  const double tx = 2 * (y * v.z() - z * v.y()), ty = 2 * (z * v.x() - x * v.z()), tz = 2 * (x * v.y() - y * v.x());
  put<3>(out, {float(v.x() + w * tx + (y * tz - z * ty)), float(v.y() + w * ty + (z * tx - x * tz)),
               float(v.z() + w * tz + (x * ty - y * tx))});
  return 0;
}

// The handles go to the math as they are: a matrix handle of 0 counts as the
// identity and a viewport handle of 0 leaves the point in clip coordinates.
KV_EXPORT std::int32_t Vec3_ProjectEx(Handle out, Handle point, Handle viewport, Handle projection, Handle view,
                                      Handle world) {
  dx::vec3_project(at<V<3>>(out), at<V<3>>(point), at<dx::Viewport>(viewport), at<Mat4>(projection), at<Mat4>(view),
                   at<Mat4>(world));
  return 0;
}
KV_EXPORT std::int32_t Vec3_Project(Handle out, Handle point, Handle viewport, Handle projection, Handle view) {
  return Vec3_ProjectEx(out, point, viewport, projection, view, 0);
}

KV_EXPORT std::int32_t Vec3_UnProjectEx(Handle out, Handle point, Handle viewport, Handle projection, Handle view,
                                        Handle world) {
  dx::vec3_unproject(at<V<3>>(out), at<V<3>>(point), at<dx::Viewport>(viewport), at<Mat4>(projection),
                     at<Mat4>(view), at<Mat4>(world));
  return 0;
}
KV_EXPORT std::int32_t Vec3_UnProject(Handle out, Handle point, Handle viewport, Handle projection, Handle view) {
  return Vec3_UnProjectEx(out, point, viewport, projection, view, 0);
}
