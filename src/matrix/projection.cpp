#include "matrix/projection.h"

#include "matrix/mat.h"

using namespace kv;
using namespace kv::mat;

namespace {

// Each element is formed in double from the single arguments and rounded once;
// the elements not set stay 0. No argument is tested: equal near and far, a zero
// width or zoom give non-finite elements.
struct Builder {
  Mat4 m{};
  Builder& at(int row, int col, double value) {
    m.m[row - 1][col - 1] = float(value);
    return *this;
  }
  std::int32_t into(Handle h) const {
    put(h, m);
    return 0;
  }
};

enum Hand { LH, RH };

// The depth elements of a perspective projection: z from zn..zf to 0..1 after
// the division by w = ±z.
Builder& perspective_depth(Builder& b, double zn, double zf, Hand hand) {
  return b.at(3, 3, hand == LH ? zf / (zf - zn) : zf / (zn - zf)).at(3, 4, hand == LH ? 1 : -1).at(4, 3, zn * zf / (zn - zf));
}

std::int32_t perspective(Handle h, double zn, double zf, double w, double height, Hand hand) {
  Builder b;
  b.at(1, 1, 2 * zn / w).at(2, 2, 2 * zn / height);
  return perspective_depth(b, zn, zf, hand).into(h);
}

// The field of view is the one angle in degrees among the builders: half of it
// in radians with π/180 as a single; the cotangent stays in double for m11.
std::int32_t perspective_fov(Handle h, double zn, double zf, float fov, double aspect, Hand hand) {
  const double half = double(fov) * 0.5 * double(vec::kDegToRad);
  const double cot = sm::cos(half) / sm::sin(half);
  Builder b;
  b.at(1, 1, cot / aspect).at(2, 2, cot);
  b.at(3, 3, hand == LH ? zf / (zf - zn) : zf / (zn - zf)).at(3, 4, hand == LH ? 1 : -1);
  return b.at(4, 3, hand == LH ? -zn * zf / (zf - zn) : zn * zf / (zn - zf)).into(h);
}

std::int32_t perspective_off_center(Handle h, double l, double r, double bottom, double t, double zn, double zf,
                                    Hand hand) {
  Builder b;
  b.at(1, 1, 2 * zn / (r - l)).at(2, 2, 2 * zn / (t - bottom));
  b.at(3, 1, hand == LH ? (l + r) / (l - r) : (l + r) / (r - l));
  b.at(3, 2, hand == LH ? (t + bottom) / (bottom - t) : (t + bottom) / (t - bottom));
  return perspective_depth(b, zn, zf, hand).into(h);
}

// The fourth column is (0, 0, 0, 1/k): every point gets w = 1/k, so the division
// by w scales x, y and depth by the zoom k.
std::int32_t ortho(Handle h, double zn, double zf, double w, double height, double k, Hand hand) {
  Builder b;
  b.at(1, 1, 2 / w).at(2, 2, 2 / height);
  b.at(3, 3, hand == LH ? 1 / (zf - zn) : 1 / (zn - zf)).at(4, 3, hand == LH ? -zn / (zf - zn) : zn / (zn - zf));
  return b.at(4, 4, 1 / k).into(h);
}

std::int32_t ortho_off_center(Handle h, double l, double r, double bottom, double t, double zn, double zf, Hand hand) {
  Builder b;
  b.at(1, 1, 2 / (r - l)).at(2, 2, 2 / (t - bottom)).at(3, 3, hand == LH ? 1 / (zf - zn) : 1 / (zn - zf));
  b.at(4, 1, (l + r) / (l - r)).at(4, 2, (t + bottom) / (bottom - t)).at(4, 3, zn / (zn - zf));
  return b.at(4, 4, 1).into(h);
}

// The world matrix of an object at `position` facing `target`: rows right, up and
// look (LH) or back (RH, so that −z faces the target), then (position, 1); the
// inverse of the view matrix LookAt builds from the same three vectors. Every
// output may be an input: they are read first.
std::int32_t face(Handle h, Handle position, Handle target, Handle up, Hand hand) {
  const Vec3 p = vec::get<3>(position), t = vec::get<3>(target);
  const Basis b = facing(hand == LH ? dx::difference(t, p) : dx::difference(p, t), dx::widen(vec::get<3>(up)));
  const dx::Vec3d rows[3] = {b.right, b.up, b.look};
  Mat4 m{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m.m[r][c] = float(rows[r].c[c]);
  }
  m.m[3][0] = p.c[0], m.m[3][1] = p.c[1], m.m[3][2] = p.c[2], m.m[3][3] = 1;
  put(h, m);
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Mat4_PerspectiveLH(Handle m, float zn, float zf, float w, float h) { return perspective(m, zn, zf, w, h, LH); }
KV_EXPORT std::int32_t Mat4_PerspectiveRH(Handle m, float zn, float zf, float w, float h) { return perspective(m, zn, zf, w, h, RH); }
KV_EXPORT std::int32_t Mat4_PerspectiveFOVLH(Handle m, float zn, float zf, float fov, float aspect) {
  return perspective_fov(m, zn, zf, fov, aspect, LH);
}
KV_EXPORT std::int32_t Mat4_PerspectiveFOVRH(Handle m, float zn, float zf, float fov, float aspect) {
  return perspective_fov(m, zn, zf, fov, aspect, RH);
}
KV_EXPORT std::int32_t Mat4_PerspectiveOffCenterLH(Handle m, float l, float r, float b, float t, float zn, float zf) {
  return perspective_off_center(m, l, r, b, t, zn, zf, LH);
}
KV_EXPORT std::int32_t Mat4_PerspectiveOffCenterRH(Handle m, float l, float r, float b, float t, float zn, float zf) {
  return perspective_off_center(m, l, r, b, t, zn, zf, RH);
}
KV_EXPORT std::int32_t Mat4_OrthoLH(Handle m, float zn, float zf, float w, float h, float k) { return ortho(m, zn, zf, w, h, k, LH); }
KV_EXPORT std::int32_t Mat4_OrthoRH(Handle m, float zn, float zf, float w, float h, float k) { return ortho(m, zn, zf, w, h, k, RH); }
KV_EXPORT std::int32_t Mat4_OrthoOffCenterLH(Handle m, float l, float r, float b, float t, float zn, float zf) {
  return ortho_off_center(m, l, r, b, t, zn, zf, LH);
}
KV_EXPORT std::int32_t Mat4_OrthoOffCenterRH(Handle m, float l, float r, float b, float t, float zn, float zf) {
  return ortho_off_center(m, l, r, b, t, zn, zf, RH);
}

KV_EXPORT std::int32_t Mat4_LookAtLH(Handle m, Handle eye, Handle at, Handle up) {
  dx::matrix_look_at_lh(kv::at<Mat4>(m), kv::at<Vec3>(eye), kv::at<Vec3>(at), kv::at<Vec3>(up));
  return 0;
}
KV_EXPORT std::int32_t Mat4_LookAtRH(Handle m, Handle eye, Handle at, Handle up) {
  dx::matrix_look_at_rh(kv::at<Mat4>(m), kv::at<Vec3>(eye), kv::at<Vec3>(at), kv::at<Vec3>(up));
  return 0;
}

KV_EXPORT std::int32_t Mat4_FaceLH(Handle m, Handle position, Handle target, Handle up) {
  return face(m, position, target, up, LH);
}
KV_EXPORT std::int32_t Mat4_FaceRH(Handle m, Handle position, Handle target, Handle up) {
  return face(m, position, target, up, RH);
}

// A handle of 0 for the centre, rotation or translation means none, as in D3DX.
KV_EXPORT std::int32_t Mat4_Affine(Handle m, float scaling, Handle centre, Handle rotation, Handle translation) {
  dx::matrix_affine_transformation(at<Mat4>(m), scaling, at<Vec3>(centre), at<Quat>(rotation), at<Vec3>(translation));
  return 0;
}
KV_EXPORT std::int32_t Mat4_Affine2D(Handle m, float scaling, Handle centre, float angle, Handle translation) {
  dx::matrix_affine_transformation_2d(at<Mat4>(m), scaling, at<dx::Vec2>(centre), angle, at<dx::Vec2>(translation));
  return 0;
}
