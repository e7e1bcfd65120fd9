#include "vector/transforms.h"

#include "dx/vector.h"
#include "frame/arrays.h"
#include "vector/vec.h"

using namespace kv;
using namespace kv::vec;
using kv::dx::Mat4;

namespace {

using frame::Array;
using frame::ArrayKind;

// Hands the three handles to a D3DX transform as its output, vector and matrix.
template <class Out, class In, class Transform>
std::int32_t by_matrix(Transform transform, Handle out, Handle v, Handle m) {
  transform(at<Out>(out), at<In>(v), at<Mat4>(m));
  return 0;
}

// The same transform on every element out and in both have; the matrix is read
// before anything is stored, and out may be in.
template <class Out, class In, class Transform>
std::int32_t each_by_matrix(Transform transform, Handle out, ArrayKind out_kind, Handle in, ArrayKind in_kind, Handle m,
                            void (*many)(Out*, const In*, std::size_t, const Mat4*) = nullptr) {
  const Array *o = frame::array_at(out, out_kind), *i = frame::array_at(in, in_kind);
  const std::size_t n = frame::common_count(o, i);
  if (n == 0) return 0;
  const Mat4 matrix = load<Mat4>(m);
  Out* to = o->elements<Out>();
  const In* from = i->elements<In>();
  if (many) return many(to, from, n, &matrix), 0;
  for (std::size_t k = 0; k < n; ++k) transform(to + k, from + k, &matrix);
  return 0;
}

// v + w t + q × t with t = 2 (q × v), q = (x, y, z) and w its scalar, not
// normalised: for a unit quaternion the rotation q v q⁻¹. In double. One copy of
// the code for the single command and the array's loop: where two NaN meet, which
// one a product passes on depends on the operand order the compiler chose, so
// both must run the same instructions.
__attribute__((noinline)) V<3> turned(const V<3>& v, const V<4>& q) {
  const double x = q.x(), y = q.y(), z = q.z(), w = q.w();
  const double tx = 2 * (y * v.z() - z * v.y()), ty = 2 * (z * v.x() - x * v.z()), tz = 2 * (x * v.y() - y * v.x());
  return {float(v.x() + w * tx + (y * tz - z * ty)), float(v.y() + w * ty + (z * tx - x * tz)),
          float(v.z() + w * tz + (x * ty - y * tx))};
}

// Every element of an array projected (or unprojected) through one projector.
std::int32_t each_projected(Handle out, Handle in, Handle viewport, Handle projection, Handle view, Handle world, bool back) {
  const Array *o = frame::array_at(out, ArrayKind::Vec3), *i = frame::array_at(in, ArrayKind::Vec3);
  const std::size_t n = frame::common_count(o, i);
  if (n == 0) return 0;
  const dx::Projector p = dx::projector(at<dx::Viewport>(viewport), at<Mat4>(projection), at<Mat4>(view), at<Mat4>(world), back);
  V<3>* to = o->elements<V<3>>();
  const V<3>* from = i->elements<V<3>>();
  for (std::size_t k = 0; k < n; ++k) to[k] = back ? dx::unproject(p, from[k]) : dx::project(p, from[k]);
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

// The vector turned by q, read whole before the store.
KV_EXPORT std::int32_t Vec3_TransformQuat(Handle out, Handle v, Handle q) {
  put<3>(out, turned(get<3>(v), get<4>(q)));
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

constexpr ArrayKind kVec2s = ArrayKind::Vec2, kVec3s = ArrayKind::Vec3, kVec4s = ArrayKind::Vec4;
KV_EXPORT std::int32_t Vec2_TransformCoordArray(Handle o, Handle i, Handle m) {
  return each_by_matrix<V<2>, V<2>>(dx::vec_transform_coord<2>, o, kVec2s, i, kVec2s, m, dx::vec_transform_coord_many<2>);
}
KV_EXPORT std::int32_t Vec3_TransformCoordArray(Handle o, Handle i, Handle m) {
  return each_by_matrix<V<3>, V<3>>(dx::vec_transform_coord<3>, o, kVec3s, i, kVec3s, m, dx::vec_transform_coord_many<3>);
}
KV_EXPORT std::int32_t Vec3_TransformNormalArray(Handle o, Handle i, Handle m) {
  return each_by_matrix<V<3>, V<3>>(dx::vec_transform_normal<3>, o, kVec3s, i, kVec3s, m);
}
KV_EXPORT std::int32_t Vec3_TransformArray(Handle o, Handle i, Handle m) {
  return each_by_matrix<Vec4, V<3>>(dx::vec_transform<3>, o, kVec4s, i, kVec3s, m);
}
KV_EXPORT std::int32_t Vec4_TransformArray(Handle o, Handle i, Handle m) {
  return each_by_matrix<Vec4, V<4>>(dx::vec_transform<4>, o, kVec4s, i, kVec4s, m);
}

KV_EXPORT std::int32_t Vec3_TransformQuatArray(Handle out, Handle in, Handle q_handle) {
  const Array *o = frame::array_at(out, kVec3s), *i = frame::array_at(in, kVec3s);
  const std::size_t n = frame::common_count(o, i);
  if (n == 0) return 0;
  const V<4> q = get<4>(q_handle);
  V<3>* to = o->elements<V<3>>();
  const V<3>* from = i->elements<V<3>>();
  for (std::size_t k = 0; k < n; ++k) to[k] = turned(from[k], q);
  return 0;
}

KV_EXPORT std::int32_t Vec3_ProjectArray(Handle o, Handle i, Handle viewport, Handle projection, Handle view, Handle world) {
  return each_projected(o, i, viewport, projection, view, world, false);
}
KV_EXPORT std::int32_t Vec3_UnProjectArray(Handle o, Handle i, Handle viewport, Handle projection, Handle view, Handle world) {
  return each_projected(o, i, viewport, projection, view, world, true);
}
