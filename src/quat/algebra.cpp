#include "quat/algebra.h"

#include "quat/quat.h"

using namespace kv;
using namespace kv::quat;

namespace {

// A D3DX function of one quaternion into out; every D3DX function reads its
// inputs before it writes, so out may be any input.
template <Quat* (*Fn)(Quat*, const Quat*)>
std::int32_t unary(Handle out, Handle q) {
  Fn(at<Quat>(out), at<Quat>(q));
  return 0;
}

}  // namespace

namespace {

// The product is the command a script calls most often among these, so its export
// jumps straight into a form made for the processor, chosen at the first call:
// the kernel is inlined into that form by the DLL's link-time optimisation, which
// spares a second call. Every form gives the same bits.
template <Quat* (*Kernel)(Quat*, const Quat*, const Quat*)>
std::int32_t multiply_with(Handle out, Handle a, Handle b) {
  Kernel(at<Quat>(out), at<Quat>(a), at<Quat>(b));
  return 0;
}
__attribute__((target("avx,fma"))) std::int32_t multiply_fused(Handle out, Handle a, Handle b) {
  dx::quaternion_multiply_fma(at<Quat>(out), at<Quat>(a), at<Quat>(b));
  return 0;
}
__attribute__((target("avx"))) std::int32_t multiply_avx(Handle out, Handle a, Handle b) {
  dx::quaternion_multiply_avx(at<Quat>(out), at<Quat>(a), at<Quat>(b));
  return 0;
}

std::int32_t multiply_first(Handle out, Handle a, Handle b);
std::int32_t (*multiply)(Handle, Handle, Handle) = multiply_first;
std::int32_t multiply_first(Handle out, Handle a, Handle b) {
  multiply = dx::cpu_has_fma()   ? multiply_fused
             : dx::cpu_has_avx() ? multiply_avx
                                 : multiply_with<dx::quaternion_multiply_sse2>;
  return multiply(out, a, b);
}

}  // namespace

KV_EXPORT std::int32_t Quat_Mul(Handle out, Handle a, Handle b) { return multiply(out, a, b); }

// (−x, −y, −z, w): the conjugate of +0 is −0.
KV_EXPORT std::int32_t Quat_Conjugate(Handle out, Handle q) {
  const Quat r = get(q);
  put(out, {-r.x, -r.y, -r.z, r.w});
  return 0;
}

KV_EXPORT std::int32_t Quat_Inverse(Handle out, Handle q) { return unary<dx::quaternion_inverse>(out, q); }
KV_EXPORT std::int32_t Quat_Normalize(Handle out, Handle q) { return unary<dx::quaternion_normalize>(out, q); }
KV_EXPORT std::int32_t Quat_Log(Handle out, Handle q) { return unary<dx::quaternion_ln>(out, q); }
KV_EXPORT std::int32_t Quat_Exp(Handle out, Handle q) { return unary<dx::quaternion_exp>(out, q); }

// √(x² + y² + z² + w²), the sum in double, rounded once.
KV_EXPORT FloatBits Quat_Magnitude(Handle q) { return bits_of(float(vec::length(vec::get<4>(q)))); }

KV_EXPORT std::int32_t Quat_SLerp(Handle out, Handle a, Handle b, float t) {
  dx::quaternion_slerp(at<Quat>(out), at<Quat>(a), at<Quat>(b), t);
  return 0;
}

// The three outputs may be any of the four inputs: all are read first.
KV_EXPORT std::int32_t Quat_SquadSetup(Handle a_out, Handle b_out, Handle c_out, Handle q0, Handle q1, Handle q2,
                                       Handle q3) {
  dx::quaternion_squad_setup(at<Quat>(a_out), at<Quat>(b_out), at<Quat>(c_out), at<Quat>(q0), at<Quat>(q1),
                             at<Quat>(q2), at<Quat>(q3));
  return 0;
}

KV_EXPORT std::int32_t Quat_Squad(Handle out, Handle q1, Handle a, Handle b, Handle c, float t) {
  dx::quaternion_squad(at<Quat>(out), at<Quat>(q1), at<Quat>(a), at<Quat>(b), at<Quat>(c), t);
  return 0;
}

KV_EXPORT std::int32_t Quat_BaryCentric(Handle out, Handle q1, Handle q2, Handle q3, float f, float g) {
  dx::quaternion_barycentric(at<Quat>(out), at<Quat>(q1), at<Quat>(q2), at<Quat>(q3), f, g);
  return 0;
}
