#include "matrix/basis.h"

#include "dx/vector.h"
#include "matrix/mat.h"

using namespace kv;
using namespace kv::mat;

namespace {

// Row k unchanged, or normalised (a zero row stays zero) when the flag is not 0.
std::int32_t axis(Handle out, Handle m, int k, std::int32_t normalise = 0) {
  Vec3 v = vec::get<3>(m + Handle(k) * 4 * sizeof(float));
  if (normalise != 0) dx::vec_normalize(&v, &v);
  vec::put<3>(out, v);
  return 0;
}

}  // namespace

KV_EXPORT std::int32_t Mat4_GetRightVec(Handle out, Handle m) { return axis(out, m, 0); }
KV_EXPORT std::int32_t Mat4_GetUpVec(Handle out, Handle m) { return axis(out, m, 1); }
KV_EXPORT std::int32_t Mat4_GetLookVec(Handle out, Handle m) { return axis(out, m, 2); }
KV_EXPORT std::int32_t Mat4_GetRightVecEx(Handle out, Handle m, std::int32_t n) { return axis(out, m, 0, n); }
KV_EXPORT std::int32_t Mat4_GetUpVecEx(Handle out, Handle m, std::int32_t n) { return axis(out, m, 1, n); }
KV_EXPORT std::int32_t Mat4_GetLookVecEx(Handle out, Handle m, std::int32_t n) { return axis(out, m, 2, n); }
