#include "matrix/algebra.h"

#include "frame/arrays.h"
#include "matrix/mat.h"

using namespace kv;
using namespace kv::mat;

namespace {

// The inverse into out; false, with out untouched, for a singular matrix.
bool invert(Handle out, Handle in, float* determinant) {
  return dx::matrix_inverse(at<Mat4>(out), determinant, at<Mat4>(in)) != nullptr;
}

std::int32_t euler(Handle out, Handle m, double unit) { return vec::put_angles(out, euler_angles(get(m)), unit); }

}  // namespace

KV_EXPORT std::int32_t Mat4_Mul(Handle out, Handle a, Handle b) {
  dx::matrix_multiply(at<Mat4>(out), at<Mat4>(a), at<Mat4>(b));
  return 0;
}

// out[i] = in[i] × m, m read before anything is stored.
KV_EXPORT std::int32_t Mat4_MulArray(Handle out, Handle in, Handle m) {
  const frame::Array *o = frame::array_at(out, frame::ArrayKind::Mat4), *i = frame::array_at(in, frame::ArrayKind::Mat4);
  const std::size_t n = frame::common_count(o, i);
  if (n == 0) return 0;
  const Mat4 b = get(m);
  Mat4* to = o->elements<Mat4>();
  const Mat4* from = i->elements<Mat4>();
  for (std::size_t k = 0; k < n; ++k) dx::matrix_multiply(to + k, from + k, &b);
  return 0;
}

KV_EXPORT std::int32_t Mat4_MulTranspose(Handle out, Handle a, Handle b) {
  dx::matrix_multiply_transpose(at<Mat4>(out), at<Mat4>(a), at<Mat4>(b));
  return 0;
}

KV_EXPORT std::int32_t Mat4_Transpose(Handle out, Handle in) {
  put(out, transpose(get(in)));
  return 0;
}

KV_EXPORT std::int32_t Mat4_Inverse(Handle out, Handle in) {
  invert(out, in, nullptr);
  return 0;
}

KV_EXPORT FloatBits Mat4_InverseDet(Handle out, Handle in) {
  float determinant = 0;
  invert(out, in, &determinant);
  return bits_of(determinant);
}

// The transpose only follows a successful inverse: a singular matrix leaves out
// as it was, rather than transposing whatever out held.
KV_EXPORT std::int32_t Mat4_InverseTranspose(Handle out, Handle in) {
  if (invert(out, in, nullptr)) put(out, transpose(get(out)));
  return 0;
}

KV_EXPORT FloatBits Mat4_Determinant(Handle m) { return bits_of(dx::matrix_determinant(at<Mat4>(m))); }

// The status is not passed on: a zero scale leaves the rotation untouched.
KV_EXPORT std::int32_t Mat4_Decompose(Handle scale, Handle rotation, Handle translation, Handle m) {
  dx::matrix_decompose(at<Vec3>(scale), at<Quat>(rotation), at<Vec3>(translation), at<Mat4>(m));
  return 0;
}

KV_EXPORT std::int32_t Mat4_GetEulerRad(Handle out, Handle m) { return euler(out, m, 1); }
KV_EXPORT std::int32_t Mat4_GetEulerDeg(Handle out, Handle m) { return euler(out, m, vec::kRadToDeg); }
