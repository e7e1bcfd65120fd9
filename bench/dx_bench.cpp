// Our D3DX functions against Wine's d3dx9_43.dll in the same process, each called
// through a function pointer over the same inputs.
#include <random>
#include <vector>

#include "bench.h"
#include "dx/matrix.h"
#include "dx/plane.h"
#include "dx/quaternion.h"
#include "dx/vector.h"
#include "harness/call.h"

namespace {

using namespace kv::dx;

constexpr int kInputs = 256;
constexpr long kCalls = 2000000;

struct Data {
  std::vector<Mat4> m;
  std::vector<Quat> q;
  std::vector<Vec3> v;
  std::vector<Plane> p;
  Data() {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int i = 0; i < kInputs; ++i) {
      Mat4 s{}, r;
      s.m[0][0] = 1.5f + u(rng), s.m[1][1] = 1.5f + u(rng), s.m[2][2] = 1.5f + u(rng), s.m[3][3] = 1;
      Quat rot{u(rng), u(rng), u(rng), u(rng)};
      quaternion_normalize(&rot, &rot);
      matrix_rotation_quaternion(&r, &rot);
      Mat4 a;
      matrix_multiply(&a, &s, &r);
      a.m[3][0] = 10 * u(rng), a.m[3][1] = 10 * u(rng), a.m[3][2] = 10 * u(rng);
      m.push_back(a);
      q.push_back(rot);
      v.push_back(Vec3{{10 * u(rng), 10 * u(rng), 10 * u(rng)}});
      p.push_back(Plane{u(rng), u(rng), u(rng), 5 * u(rng)});
    }
  }
};

template <class Fn>
Fn oracle(const char* name) {
  static HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  return kvt::function_at<Fn>(GetProcAddress(d3dx, name));
}

// Ours behind a call, as the commands reach them from another translation unit.
#define KV_OUTLINE __attribute__((noinline))
KV_OUTLINE Mat4* our_multiply(Mat4* o, const Mat4* a, const Mat4* b) { return matrix_multiply(o, a, b); }
KV_OUTLINE Mat4* our_inverse(Mat4* o, float* d, const Mat4* m) { return matrix_inverse(o, d, m); }
KV_OUTLINE Quat* our_slerp(Quat* o, const Quat* a, const Quat* b, float t) { return quaternion_slerp(o, a, b, t); }
KV_OUTLINE Vec3* our_transform_coord(Vec3* o, const Vec3* v, const Mat4* m) { return vec_transform_coord(o, v, m); }
KV_OUTLINE Vec3* our_normalize(Vec3* o, const Vec3* v) { return vec_normalize(o, v); }
KV_OUTLINE Plane* our_plane_normalize(Plane* o, const Plane* p) { return plane_normalize(o, p); }

// Times `call(i)` over the inputs, ours and the oracle's, and reports the ratio.
template <class Ours, class Theirs>
void race(const char* name, double goal, Ours ours, Theirs theirs) {
  volatile float sink = 0;
  const double a = kvb::best_ns_per_op(kCalls, [&] {
    for (long i = 0; i < kCalls; ++i) sink = sink + ours(int(i % kInputs));
  });
  const double b = kvb::best_ns_per_op(kCalls, [&] {
    for (long i = 0; i < kCalls; ++i) sink = sink + theirs(int(i % kInputs));
  });
  kvb::report(name, a, "Wine's d3dx9_43", b, goal);
}

}  // namespace

void bench_dx() {
  static const Data d;
  using MatMat = Mat4*(__stdcall*)(Mat4*, const Mat4*, const Mat4*);
  using Inv = Mat4*(__stdcall*)(Mat4*, float*, const Mat4*);
  using Slerp = Quat*(__stdcall*)(Quat*, const Quat*, const Quat*, float);
  using Coord = Vec3*(__stdcall*)(Vec3*, const Vec3*, const Mat4*);
  using Norm = Vec3*(__stdcall*)(Vec3*, const Vec3*);
  using PNorm = Plane*(__stdcall*)(Plane*, const Plane*);
  static auto multiply = oracle<MatMat>("D3DXMatrixMultiply");
  static auto inverse = oracle<Inv>("D3DXMatrixInverse");
  static auto slerp = oracle<Slerp>("D3DXQuaternionSlerp");
  static auto coord = oracle<Coord>("D3DXVec3TransformCoord");
  static auto normalize = oracle<Norm>("D3DXVec3Normalize");
  static auto plane_norm = oracle<PNorm>("D3DXPlaneNormalize");
  Mat4 mo;
  Quat qo;
  Vec3 vo;
  Plane po;
  auto next = [](int i) { return (i + 1) % kInputs; };
  race("D3DXMatrixMultiply", 2, [&](int i) { return our_multiply(&mo, &d.m[i], &d.m[next(i)])->m[1][1]; },
       [&](int i) { return multiply(&mo, &d.m[i], &d.m[next(i)])->m[1][1]; });
  race("D3DXMatrixInverse", 2, [&](int i) { return our_inverse(&mo, nullptr, &d.m[i])->m[1][1]; },
       [&](int i) { return inverse(&mo, nullptr, &d.m[i])->m[1][1]; });
  race("D3DXQuaternionSlerp", 2, [&](int i) { return our_slerp(&qo, &d.q[i], &d.q[next(i)], 0.3f)->w; },
       [&](int i) { return slerp(&qo, &d.q[i], &d.q[next(i)], 0.3f)->w; });
  race("D3DXVec3TransformCoord", 1, [&](int i) { return our_transform_coord(&vo, &d.v[i], &d.m[i])->c[0]; },
       [&](int i) { return coord(&vo, &d.v[i], &d.m[i])->c[0]; });
  race("D3DXVec3Normalize", 1, [&](int i) { return our_normalize(&vo, &d.v[i])->c[0]; },
       [&](int i) { return normalize(&vo, &d.v[i])->c[0]; });
  race("D3DXPlaneNormalize", 1, [&](int i) { return our_plane_normalize(&po, &d.p[i])->a; },
       [&](int i) { return plane_norm(&po, &d.p[i])->a; });
}
