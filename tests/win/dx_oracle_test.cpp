// Our D3DX functions against Wine's d3dx9_43.dll, loaded at run time: every one
// of the 53 over at least 10 000 random draws and a set of degenerate inputs.
// One row per function: draws, largest error in ULPs, largest absolute error of
// the components near zero, the budget, and the verdict.
//
// Each function that sums terms of either sign has a magnitude: the size of those
// terms, given the input ranges below. A component below it may come out of
// cancellation, where no evaluation order keeps more than the precision of the
// terms: there the error is measured in ULPs of the magnitude, and reported as
// the largest absolute error near zero. Every other component, and every
// component of a function without cancellation (magnitude 0), is measured in its
// own ULPs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dx/matrix.h"
#include "dx/plane.h"
#include "dx/quaternion.h"
#include "dx/vector.h"
#include "harness/call.h"
#include "support/ulp.h"

namespace {

using namespace kv::dx;
using kv::test::ulp_distance;

HMODULE oracle() {
  static HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  return d3dx;
}

// A D3DX export by name, as a __stdcall function of the given type.
template <class Fn>
Fn d3dx(const char* name) {
  auto f = kvt::function_at<Fn>(GetProcAddress(oracle(), name));
  if (!f) throw std::runtime_error(std::string("d3dx9_43.dll lacks ") + name);
  return f;
}

struct Stats {
  long draws = 0;
  std::int64_t max_ulps = 0;
  double max_abs_near_zero = 0;
  std::int64_t max_near_zero_ulps = 0;  // near-zero error in ULPs of the value's scale
  std::string worst;
  std::vector<std::string> mismatches;  // result class differences (null, NaN)

  float magnitude = 1;

  // Component-wise comparison of two values of n floats.
  void compare(const float* ours, const float* theirs, int n, const char* what = "", float scale = -1) {
    if (scale < 0) scale = magnitude;
    for (int i = 0; i < n; ++i) {
      if (std::isnan(ours[i]) || std::isnan(theirs[i])) {
        if (std::isnan(ours[i]) != std::isnan(theirs[i])) class_mismatch(std::string(what) + " NaN in one only");
        continue;
      }
      if (std::fabs(theirs[i]) < scale) {
        const double diff = std::fabs(double(ours[i]) - theirs[i]);
        max_abs_near_zero = std::max(max_abs_near_zero, diff);
        const auto in_scale = std::int64_t(std::ceil(diff / std::ldexp(scale, -23)));
        max_near_zero_ulps = std::max(max_near_zero_ulps, in_scale);
        continue;
      }
      const std::int64_t d = ulp_distance(ours[i], theirs[i]);
      if (d > max_ulps) {
        max_ulps = d;
        char buf[160];
        std::snprintf(buf, sizeof buf, "%s[%d]: ours %.9g, oracle %.9g", what, i, ours[i], theirs[i]);
        worst = buf;
      }
    }
  }
  template <class T>
  void same(const T& ours, const T& theirs, const char* what = "", float scale = -1) {
    compare(reinterpret_cast<const float*>(&ours), reinterpret_cast<const float*>(&theirs), sizeof(T) / 4, what,
            scale);
  }
  void class_mismatch(const std::string& what) {
    if (mismatches.size() < 5) mismatches.push_back(what);
    else mismatches.back() = "...";
  }
};

// A source of realistic inputs.
struct Inputs {
  std::mt19937 rng{20261207};
  float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
  template <int N>
  Vec<N> vec(float range = 10) {
    Vec<N> v;
    for (int i = 0; i < N; ++i) v.c[i] = uniform(-range, range);
    return v;
  }
  Vec3 v3(float range = 10) { return vec<3>(range); }
  float angle() { return uniform(-7, 7); }
  float param() { return uniform(-1, 2); }
  Quat quat(float range = 10) { return {uniform(-range, range), uniform(-range, range), uniform(-range, range), uniform(-range, range)}; }
  Quat unit_quat() {
    Quat q = quat(1);
    quaternion_normalize(&q, &q);
    return q;
  }
  Mat4 general(float range = 2) {
    Mat4 m;
    for (auto& row : m.m) {
      for (float& e : row) e = uniform(-range, range);
    }
    return m;
  }
  // Scaling, rotation and translation: well conditioned, invertible, decomposable.
  Mat4 affine() {
    Mat4 s{}, r, m;
    s.m[0][0] = uniform(0.5f, 2), s.m[1][1] = uniform(0.5f, 2), s.m[2][2] = uniform(0.5f, 2), s.m[3][3] = 1;
    const Quat q = unit_quat();
    matrix_rotation_quaternion(&r, &q);
    matrix_multiply(&m, &s, &r);
    for (int j = 0; j < 3; ++j) m.m[3][j] = uniform(-10, 10);
    return m;
  }
  Mat4 perspective() {
    const float zn = uniform(0.5f, 1), zf = uniform(50, 500), ys = uniform(0.8f, 3), xs = ys * uniform(0.5f, 1);
    Mat4 p{};
    p.m[0][0] = xs, p.m[1][1] = ys, p.m[2][2] = zf / (zf - zn), p.m[2][3] = 1, p.m[3][2] = -zn * zf / (zf - zn);
    return p;
  }
  Viewport viewport() {
    return {unsigned(uniform(0, 100)), unsigned(uniform(0, 100)), unsigned(uniform(100, 2000)),
            unsigned(uniform(100, 2000)), uniform(0, 0.4f), uniform(0.6f, 1)};
  }
};

struct Check {
  const char* name;
  int ulps;              // budget, in ULPs of each component (or of the magnitude near zero)
  float magnitude;       // size of the terms the results are formed from
  const char* why;       // why a budget above 4 is needed
  std::function<void(Inputs&, Stats&)> draw;
  std::function<void(Stats&)> degenerate;
};

constexpr int kDraws = 10000;

// --- function types of the oracle -------------------------------------------
template <class V>
using Unary = V*(__stdcall*)(V*, const V*);
template <class V>
using ByMatrix = V*(__stdcall*)(V*, const V*, const Mat4*);
using ToVec4 = Vec4*(__stdcall*)(Vec4*, const void*, const Mat4*);
template <class V>
using Curve = V*(__stdcall*)(V*, const V*, const V*, const V*, const V*, float);
template <class V>
using Bary = V*(__stdcall*)(V*, const V*, const V*, const V*, float, float);
using Projection = Vec3*(__stdcall*)(Vec3*, const Vec3*, const Viewport*, const Mat4*, const Mat4*, const Mat4*);
using MatMat = Mat4*(__stdcall*)(Mat4*, const Mat4*, const Mat4*);
using MatAngle = Mat4*(__stdcall*)(Mat4*, float);
using MatAxis = Mat4*(__stdcall*)(Mat4*, const Vec3*, float);
using MatAngles = Mat4*(__stdcall*)(Mat4*, float, float, float);
using MatQuat = Mat4*(__stdcall*)(Mat4*, const Quat*);
using Inverse = Mat4*(__stdcall*)(Mat4*, float*, const Mat4*);
using Determinant = float(__stdcall*)(const Mat4*);
using Decompose = HRESULT(__stdcall*)(Vec3*, Quat*, Vec3*, const Mat4*);
using LookAt = Mat4*(__stdcall*)(Mat4*, const Vec3*, const Vec3*, const Vec3*);
using Affine = Mat4*(__stdcall*)(Mat4*, float, const Vec3*, const Quat*, const Vec3*);
using Affine2D = Mat4*(__stdcall*)(Mat4*, float, const Vec2*, float, const Vec2*);
using QuatAxis = Quat*(__stdcall*)(Quat*, const Vec3*, float);
using QuatAngles = Quat*(__stdcall*)(Quat*, float, float, float);
using QuatMat = Quat*(__stdcall*)(Quat*, const Mat4*);
using AxisAngle = void(__stdcall*)(const Quat*, Vec3*, float*);
using QuatQuat = Quat*(__stdcall*)(Quat*, const Quat*, const Quat*);
using QuatSlerp = Quat*(__stdcall*)(Quat*, const Quat*, const Quat*, float);
using QuatSquad = Quat*(__stdcall*)(Quat*, const Quat*, const Quat*, const Quat*, const Quat*, float);
using QuatSetup = void(__stdcall*)(Quat*, Quat*, Quat*, const Quat*, const Quat*, const Quat*, const Quat*);
using QuatBary = Quat*(__stdcall*)(Quat*, const Quat*, const Quat*, const Quat*, float, float);
using PlanePN = Plane*(__stdcall*)(Plane*, const Vec3*, const Vec3*);
using PlanePoints = Plane*(__stdcall*)(Plane*, const Vec3*, const Vec3*, const Vec3*);
using PlaneMat = Plane*(__stdcall*)(Plane*, const Plane*, const Mat4*);
using PlaneLine = Vec3*(__stdcall*)(Vec3*, const Plane*, const Vec3*, const Vec3*);
using PlaneUnary = Plane*(__stdcall*)(Plane*, const Plane*);

// --- the families written once over the component count ----------------------
template <int N>
Check normalize_check(const char* name) {
  const auto f = d3dx<Unary<Vec<N>>>(name);
  return {name, 1, 0, "", [f](Inputs& in, Stats& s) {
            const Vec<N> v = in.vec<N>();
            Vec<N> a, b;
            vec_normalize(&a, &v);
            f(&b, &v);
            s.same(a, b);
          },
          [f](Stats& s) {
            for (float x : {0.0f, 1e-30f, 3e37f}) {
              Vec<N> v{}, a, b;
              v.c[0] = x;
              vec_normalize(&a, &v);
              f(&b, &v);
              s.same(a, b, "zero, tiny, huge");
            }
          }};
}

template <int N>
Check transform_check(const char* name) {
  const auto f = d3dx<ToVec4>(name);
  return {name, 1, 40, "", [f](Inputs& in, Stats& s) {
            const Vec<N> v = in.vec<N>();
            const Mat4 m = in.general();
            Vec4 a, b;
            vec_transform(&a, &v, &m);
            f(&b, &v, &m);
            s.same(a, b);
          },
          nullptr};
}

template <int N>
Check transform_coord_check(const char* name) {
  const auto f = d3dx<ByMatrix<Vec<N>>>(name);
  return {name, 2, 20, "", [f](Inputs& in, Stats& s) {
            const Vec<N> v = in.vec<N>();
            Mat4 m = in.affine();
            m.m[0][3] = in.uniform(-0.05f, 0.05f), m.m[3][3] = in.uniform(1, 2);  // a w that varies, far from 0
            Vec<N> a, b;
            vec_transform_coord(&a, &v, &m);
            f(&b, &v, &m);
            s.same(a, b);
          },
          [f](Stats& s) {
            Mat4 m{};  // w = 0
            const Vec<N> v{{1, 2}};
            Vec<N> a, b;
            vec_transform_coord(&a, &v, &m);
            f(&b, &v, &m);
            s.same(a, b, "w = 0");
          }};
}

template <int N>
Check transform_normal_check(const char* name) {
  const auto f = d3dx<ByMatrix<Vec<N>>>(name);
  return {name, 1, 40, "", [f](Inputs& in, Stats& s) {
            const Vec<N> v = in.vec<N>();
            const Mat4 m = in.general();
            Vec<N> a, b;
            vec_transform_normal(&a, &v, &m);
            f(&b, &v, &m);
            s.same(a, b);
          },
          nullptr};
}

template <int N, bool Hermite>
Check curve_check(const char* name) {
  const auto f = d3dx<Curve<Vec<N>>>(name);
  return {name, 4, 100, "", [f](Inputs& in, Stats& s) {
            const Vec<N> p0 = in.vec<N>(), p1 = in.vec<N>(), p2 = in.vec<N>(), p3 = in.vec<N>();
            const float t = in.param();
            Vec<N> a, b;
            if (Hermite) vec_hermite(&a, &p0, &p1, &p2, &p3, t);
            else vec_catmull_rom(&a, &p0, &p1, &p2, &p3, t);
            f(&b, &p0, &p1, &p2, &p3, t);
            s.same(a, b);
          },
          nullptr};
}

template <int N>
Check barycentric_check(const char* name) {
  const auto f = d3dx<Bary<Vec<N>>>(name);
  return {name, 2, 40, "", [f](Inputs& in, Stats& s) {
            const Vec<N> p0 = in.vec<N>(), p1 = in.vec<N>(), p2 = in.vec<N>();
            const float u = in.param(), v = in.param();
            Vec<N> a, b;
            vec_barycentric(&a, &p0, &p1, &p2, u, v);
            f(&b, &p0, &p1, &p2, u, v);
            s.same(a, b);
          },
          [f](Stats& s) {
            const Vec<N> p0{{1, 2}}, p1{{3, 5}}, p2{{-4, 9}};
            Vec<N> a, b;
            vec_barycentric(&a, &p0, &p1, &p2, 0.5f, -0.5f);
            f(&b, &p0, &p1, &p2, 0.5f, -0.5f);
            s.same(a, b, "f + g = 0");
          }};
}

Check matrix_axis_check(const char* name, Mat4* (*ours)(Mat4*, float)) {
  const auto f = d3dx<MatAngle>(name);
  return {name, 1, 1, "", [f, ours](Inputs& in, Stats& s) {
            const float angle = in.angle();
            Mat4 a, b;
            ours(&a, angle);
            f(&b, angle);
            s.same(a, b);
          },
          nullptr};
}

Check look_at_check(const char* name, Mat4* (*ours)(Mat4*, const Vec3*, const Vec3*, const Vec3*)) {
  const auto f = d3dx<LookAt>(name);
  return {name, 8, 20, "D3DX rounds the axes to single before row 4 is formed from them; ours keeps them in double",
          [f, ours](Inputs& in, Stats& s) {
            const Vec3 eye = in.v3(), at = in.v3(), up = in.v3();
            Mat4 a, b;
            ours(&a, &eye, &at, &up);
            f(&b, &eye, &at, &up);
            s.same(a, b);
          },
          [f, ours](Stats& s) {
            const Vec3 eye{{1, 2, 3}}, up{{0, 1, 0}}, above{{1, 7, 3}};
            Mat4 a, b;
            ours(&a, &eye, &eye, &up);
            f(&b, &eye, &eye, &up);
            s.same(a, b, "eye = at");
            ours(&a, &eye, &above, &up);
            f(&b, &eye, &above, &up);
            s.same(a, b, "up along the view");
          }};
}

Check projection_check(const char* name, bool unproject) {
  const auto f = d3dx<Projection>(name);
  return {name, unproject ? 32 : 16, unproject ? 20.0f : 2000.0f,
          "D3DX rounds the matrix product and the clip point to single, ours keeps them in double; unprojection"
          " inverts a perspective product: depth read back from a float z amplifies every rounding"
          " (32 ULPs: a relative error under 4e-6)",
          [f, unproject](Inputs& in, Stats& s) {
            const Viewport vp = in.viewport();
            const Mat4 proj = in.perspective(), view = in.affine(), world = in.affine();
            // Something 1 to 5 units in front of the camera, or its screen point.
            Mat4 to_view, from_view;
            matrix_multiply(&to_view, &world, &view);
            matrix_inverse(&from_view, nullptr, &to_view);
            const float z = in.uniform(1, 5);
            const Vec3 seen{{in.uniform(-z, z) / 2, in.uniform(-z, z) / 2, z}};
            Vec3 v;
            vec_transform_coord(&v, &seen, &from_view);
            if (unproject) vec3_project(&v, &v, &vp, &proj, &view, &world);
            Vec3 a, b;
            (unproject ? vec3_unproject : vec3_project)(&a, &v, &vp, &proj, &view, &world);
            f(&b, &v, &vp, &proj, &view, &world);
            s.same(a, b);
          },
          [f, unproject](Stats& s) {
            const Viewport vp{10, 5, 800, 680, 0.2f, 0.9f};
            const Vec3 v{{9, 6, 2}};
            const Mat4 singular{};
            Vec3 a, b;
            (unproject ? vec3_unproject : vec3_project)(&a, &v, &vp, nullptr, nullptr, nullptr);
            f(&b, &v, &vp, nullptr, nullptr, nullptr);
            s.same(a, b, "null matrices");
            (unproject ? vec3_unproject : vec3_project)(&a, &v, nullptr, nullptr, nullptr, nullptr);
            f(&b, &v, nullptr, nullptr, nullptr, nullptr);
            s.same(a, b, "null viewport");
            (unproject ? vec3_unproject : vec3_project)(&a, &v, &vp, &singular, nullptr, nullptr);
            f(&b, &v, &vp, &singular, nullptr, nullptr);
            s.same(a, b, "singular");
          }};
}

std::vector<Check> checks() {
  std::vector<Check> c = {
      normalize_check<2>("D3DXVec2Normalize"),
      normalize_check<3>("D3DXVec3Normalize"),
      transform_check<2>("D3DXVec2Transform"),
      transform_check<3>("D3DXVec3Transform"),
      transform_check<4>("D3DXVec4Transform"),
      transform_coord_check<2>("D3DXVec2TransformCoord"),
      transform_coord_check<3>("D3DXVec3TransformCoord"),
      transform_normal_check<2>("D3DXVec2TransformNormal"),
      transform_normal_check<3>("D3DXVec3TransformNormal"),
      curve_check<2, false>("D3DXVec2CatmullRom"),
      curve_check<3, false>("D3DXVec3CatmullRom"),
      curve_check<4, false>("D3DXVec4CatmullRom"),
      curve_check<2, true>("D3DXVec2Hermite"),
      curve_check<3, true>("D3DXVec3Hermite"),
      curve_check<4, true>("D3DXVec4Hermite"),
      barycentric_check<2>("D3DXVec2BaryCentric"),
      barycentric_check<3>("D3DXVec3BaryCentric"),
      barycentric_check<4>("D3DXVec4BaryCentric"),
      projection_check("D3DXVec3Project", false),
      projection_check("D3DXVec3Unproject", true),
      {"D3DXMatrixMultiply", 1, 16, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<MatMat>("D3DXMatrixMultiply");
         const Mat4 x = in.general(), y = in.general();
         Mat4 a, b = x;
         matrix_multiply(&a, &x, &y);
         f(&b, &b, &y);  // in place, as the commands call it
         s.same(a, b);
       },
       nullptr},
      {"D3DXMatrixMultiplyTranspose", 1, 16, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<MatMat>("D3DXMatrixMultiplyTranspose");
         const Mat4 x = in.general(), y = in.general();
         Mat4 a, b;
         matrix_multiply_transpose(&a, &x, &y);
         f(&b, &x, &y);
         s.same(a, b);
       },
       nullptr},
      matrix_axis_check("D3DXMatrixRotationX", matrix_rotation_x),
      matrix_axis_check("D3DXMatrixRotationY", matrix_rotation_y),
      matrix_axis_check("D3DXMatrixRotationZ", matrix_rotation_z),
      {"D3DXMatrixRotationAxis", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<MatAxis>("D3DXMatrixRotationAxis");
         const Vec3 axis = in.v3();
         const float angle = in.angle();
         Mat4 a, b;
         matrix_rotation_axis(&a, &axis, angle);
         f(&b, &axis, angle);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<MatAxis>("D3DXMatrixRotationAxis");
         const Vec3 zero{{0, 0, 0}};
         Mat4 a, b;
         matrix_rotation_axis(&a, &zero, 0.7f);
         f(&b, &zero, 0.7f);
         s.same(a, b, "zero axis");
       }},
      {"D3DXMatrixRotationYawPitchRoll", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<MatAngles>("D3DXMatrixRotationYawPitchRoll");
         const float y = in.angle(), p = in.angle(), r = in.angle();
         Mat4 a, b;
         matrix_rotation_yaw_pitch_roll(&a, y, p, r);
         f(&b, y, p, r);
         s.same(a, b);
       },
       nullptr},
      {"D3DXMatrixRotationQuaternion", 1, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<MatQuat>("D3DXMatrixRotationQuaternion");
         const Quat q = in.unit_quat();
         Mat4 a, b;
         matrix_rotation_quaternion(&a, &q);
         f(&b, &q);
         s.same(a, b);
       },
       nullptr},
      {"D3DXMatrixInverse", 4, 20, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Inverse>("D3DXMatrixInverse");
         const Mat4 m = in.affine();
         Mat4 a, b;
         float da = 0, db = 0;
         const bool ours = matrix_inverse(&a, &da, &m) != nullptr, theirs = f(&b, &db, &m) != nullptr;
         if (ours != theirs) s.class_mismatch("null vs non-null");
         s.same(a, b);
         s.compare(&da, &db, 1, "determinant");
       },
       [](Stats& s) {
         static auto f = d3dx<Inverse>("D3DXMatrixInverse");
         const Mat4 singular = {{{1, 5, -8, -4}, {2, 6, -7, -3}, {3, 7, -6, -2}, {4, 8, -5, -1}}};
         Mat4 a{}, b{};
         float da = 7, db = 7;
         const bool ours = matrix_inverse(&a, &da, &singular) != nullptr, theirs = f(&b, &db, &singular) != nullptr;
         if (ours || theirs) s.class_mismatch("singular inverted");
         s.same(a, b, "singular leaves out");
         s.compare(&da, &db, 1, "singular leaves det");
       }},
      {"D3DXMatrixDeterminant", 4, 8, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Determinant>("D3DXMatrixDeterminant");
         const Mat4 m = in.affine();
         const float a = matrix_determinant(&m), b = f(&m);
         s.compare(&a, &b, 1);
       },
       nullptr},
      {"D3DXMatrixDecompose", 4, 10, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Decompose>("D3DXMatrixDecompose");
         const Mat4 m = in.affine();
         Vec3 sa, sb, ta, tb;
         Quat qa, qb;
         const bool ours = matrix_decompose(&sa, &qa, &ta, &m), theirs = f(&sb, &qb, &tb, &m) == S_OK;
         if (ours != theirs) s.class_mismatch("status");
         s.same(sa, sb, "scale");
         s.same(qa, qb, "rotation");
         s.same(ta, tb, "translation");
       },
       [](Stats& s) {
         static auto f = d3dx<Decompose>("D3DXMatrixDecompose");
         Mat4 mirror{}, flat{};
         mirror.m[0][0] = -2, mirror.m[1][1] = 3, mirror.m[2][2] = 4, mirror.m[3][3] = 1;
         flat.m[0][0] = 1, flat.m[2][2] = 1, flat.m[3][3] = 1;
         for (const Mat4* m : {&mirror, &flat}) {
           Vec3 sa, sb, ta, tb;
           Quat qa{9, 9, 9, 9}, qb{9, 9, 9, 9};
           const bool ours = matrix_decompose(&sa, &qa, &ta, m), theirs = f(&sb, &qb, &tb, m) == S_OK;
           if (ours != theirs) s.class_mismatch("status");
           s.same(sa, sb, "scale");
           s.same(qa, qb, m == &flat ? "zero scale leaves rotation" : "mirror");
         }
       }},
      look_at_check("D3DXMatrixLookAtLH", matrix_look_at_lh),
      look_at_check("D3DXMatrixLookAtRH", matrix_look_at_rh),
      {"D3DXMatrixAffineTransformation", 2, 30, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Affine>("D3DXMatrixAffineTransformation");
         const float k = in.uniform(0.1f, 5);
         const Vec3 c = in.v3(), t = in.v3();
         const Quat q = in.unit_quat();
         Mat4 a, b;
         matrix_affine_transformation(&a, k, &c, &q, &t);
         f(&b, k, &c, &q, &t);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Affine>("D3DXMatrixAffineTransformation");
         Mat4 a, b;
         matrix_affine_transformation(&a, 3, nullptr, nullptr, nullptr);
         f(&b, 3, nullptr, nullptr, nullptr);
         s.same(a, b, "nulls");
       }},
      {"D3DXMatrixAffineTransformation2D", 2, 50, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Affine2D>("D3DXMatrixAffineTransformation2D");
         const float k = in.uniform(0.1f, 5), angle = in.angle();
         const Vec2 c = in.vec<2>(), t = in.vec<2>();
         Mat4 a, b;
         matrix_affine_transformation_2d(&a, k, &c, angle, &t);
         f(&b, k, &c, angle, &t);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Affine2D>("D3DXMatrixAffineTransformation2D");
         Mat4 a, b;
         matrix_affine_transformation_2d(&a, 3, nullptr, 0.5f, nullptr);
         f(&b, 3, nullptr, 0.5f, nullptr);
         s.same(a, b, "nulls");
       }},
      {"D3DXQuaternionRotationAxis", 2, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatAxis>("D3DXQuaternionRotationAxis");
         const Vec3 axis = in.v3();
         const float angle = in.angle();
         Quat a, b;
         quaternion_rotation_axis(&a, &axis, angle);
         f(&b, &axis, angle);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<QuatAxis>("D3DXQuaternionRotationAxis");
         const Vec3 zero{{0, 0, 0}};
         Quat a, b;
         quaternion_rotation_axis(&a, &zero, 1.3f);
         f(&b, &zero, 1.3f);
         s.same(a, b, "zero axis");
       }},
      {"D3DXQuaternionRotationYawPitchRoll", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatAngles>("D3DXQuaternionRotationYawPitchRoll");
         const float y = in.angle(), p = in.angle(), r = in.angle();
         Quat a, b;
         quaternion_rotation_yaw_pitch_roll(&a, y, p, r);
         f(&b, y, p, r);
         s.same(a, b);
       },
       nullptr},
      {"D3DXQuaternionRotationMatrix", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatMat>("D3DXQuaternionRotationMatrix");
         Mat4 m;
         const Quat q = in.unit_quat();
         matrix_rotation_quaternion(&m, &q);
         Quat a, b;
         quaternion_rotation_matrix(&a, &m);
         f(&b, &m);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<QuatMat>("D3DXQuaternionRotationMatrix");
         for (Quat q : {Quat{1, 0, 0, 0}, Quat{0, 1, 0, 0}, Quat{0, 0, 1, 0}, Quat{0.5f, 0.5f, 0.5f, -0.5f}}) {
           Mat4 m;
           matrix_rotation_quaternion(&m, &q);
           Quat a, b;
           quaternion_rotation_matrix(&a, &m);
           f(&b, &m);
           s.same(a, b, "each branch");
         }
       }},
      {"D3DXQuaternionToAxisAngle", 2, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<AxisAngle>("D3DXQuaternionToAxisAngle");
         const Quat q = in.unit_quat();
         Vec3 va, vb;
         float aa, ab;
         quaternion_to_axis_angle(&q, &va, &aa);
         f(&q, &vb, &ab);
         s.same(va, vb, "axis");
         s.compare(&aa, &ab, 1, "angle");
       },
       [](Stats& s) {
         static auto f = d3dx<AxisAngle>("D3DXQuaternionToAxisAngle");
         for (Quat q : {Quat{0, 0, 0, 0}, Quat{1, 2, 3, 4}}) {
           Vec3 va, vb;
           float aa, ab;
           quaternion_to_axis_angle(&q, &va, &aa);
           f(&q, &vb, &ab);
           s.same(va, vb, "zero, |w| > 1");
           s.compare(&aa, &ab, 1, "zero, |w| > 1");
         }
       }},
      {"D3DXQuaternionMultiply", 1, 400, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatQuat>("D3DXQuaternionMultiply");
         const Quat x = in.quat(), y = in.quat();
         Quat a, b = y;
         quaternion_multiply(&a, &x, &y);
         f(&b, &x, &b);
         s.same(a, b);
       },
       nullptr},
      {"D3DXQuaternionNormalize", 1, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionNormalize");
         const Quat q = in.quat();
         Quat a, b = q;
         quaternion_normalize(&a, &q);
         f(&b, &b);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionNormalize");
         const Quat zero{0, 0, 0, 0};
         Quat a, b;
         quaternion_normalize(&a, &zero);
         f(&b, &zero);
         s.same(a, b, "zero");
       }},
      {"D3DXQuaternionInverse", 1, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionInverse");
         const Quat q = in.quat();
         Quat a, b;
         quaternion_inverse(&a, &q);
         f(&b, &q);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionInverse");
         const Quat zero{0, 0, 0, 0};
         Quat a, b;
         quaternion_inverse(&a, &zero);
         f(&b, &zero);
         s.same(a, b, "zero");
       }},
      {"D3DXQuaternionLn", 4, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionLn");
         const Quat q = in.unit_quat();
         Quat a, b;
         quaternion_ln(&a, &q);
         f(&b, &q);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionLn");
         for (Quat q : {Quat{1, 2, 4, 10}, Quat{1, 2, 3, -1}, Quat{1, 2, 3, -2}, Quat{0, 0, 0, 1}}) {
           Quat a, b;
           quaternion_ln(&a, &q);
           f(&b, &q);
           s.same(a, b, "w >= 1, w = -1, w < -1");
         }
       }},
      {"D3DXQuaternionExp", 4, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionExp");
         const Quat q = in.quat(2);
         Quat a, b;
         quaternion_exp(&a, &q);
         f(&b, &q);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<Unary<Quat>>("D3DXQuaternionExp");
         const Quat zero{0, 0, 0, 3};
         Quat a, b;
         quaternion_exp(&a, &zero);
         f(&b, &zero);
         s.same(a, b, "zero vector part");
       }},
      {"D3DXQuaternionSlerp", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatSlerp>("D3DXQuaternionSlerp");
         const Quat x = in.unit_quat(), y = in.unit_quat();
         const float t = in.param();
         Quat a, b;
         quaternion_slerp(&a, &x, &y, t);
         f(&b, &x, &y, t);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<QuatSlerp>("D3DXQuaternionSlerp");
         const Quat q{0, 0.6f, 0, 0.8f}, minus_q{0, -0.6f, 0, -0.8f};
         for (const Quat* other : {&q, &minus_q}) {
           Quat a, b;
           quaternion_slerp(&a, &q, other, 0.3f);
           f(&b, &q, other, 0.3f);
           s.same(a, b, "identical, antipodal");
         }
       }},
      {"D3DXQuaternionSquad", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatSquad>("D3DXQuaternionSquad");
         const Quat q = in.unit_quat(), x = in.unit_quat(), y = in.unit_quat(), z = in.unit_quat();
         const float t = in.uniform(0, 1);
         Quat a, b;
         quaternion_squad(&a, &q, &x, &y, &z, t);
         f(&b, &q, &x, &y, &z, t);
         s.same(a, b);
       },
       nullptr},
      {"D3DXQuaternionSquadSetup", 4, 4, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatSetup>("D3DXQuaternionSquadSetup");
         const Quat q0 = in.unit_quat(), q1 = in.unit_quat(), q2 = in.unit_quat(), q3 = in.unit_quat();
         Quat a[3], b[3];
         quaternion_squad_setup(&a[0], &a[1], &a[2], &q0, &q1, &q2, &q3);
         f(&b[0], &b[1], &b[2], &q0, &q1, &q2, &q3);
         s.same(a, b);
       },
       nullptr},
      {"D3DXQuaternionBaryCentric", 4, 1, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<QuatBary>("D3DXQuaternionBaryCentric");
         const Quat x = in.unit_quat(), y = in.unit_quat(), z = in.unit_quat();
         const float u = in.uniform(0.05f, 1), v = in.uniform(0.05f, 1);
         Quat a, b;
         quaternion_barycentric(&a, &x, &y, &z, u, v);
         f(&b, &x, &y, &z, u, v);
         s.same(a, b);
       },
       nullptr},
      {"D3DXPlaneFromPointNormal", 1, 300, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<PlanePN>("D3DXPlaneFromPointNormal");
         const Vec3 p = in.v3(), n = in.v3();
         Plane a, b;
         plane_from_point_normal(&a, &p, &n);
         f(&b, &p, &n);
         s.same(a, b);
       },
       nullptr},
      {"D3DXPlaneFromPoints", 8, 10, "the oracle rounds the edges' cross product before normalising it",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<PlanePoints>("D3DXPlaneFromPoints");
         const Vec3 p = in.v3(), q = in.v3(), r = in.v3();
         Plane a, b;
         plane_from_points(&a, &p, &q, &r);
         f(&b, &p, &q, &r);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<PlanePoints>("D3DXPlaneFromPoints");
         const Vec3 p{{1, 2, 3}}, q{{2, 4, 6}};
         Plane a, b;
         plane_from_points(&a, &p, &q, &q);
         f(&b, &p, &q, &q);
         s.same(a, b, "collinear");
       }},
      {"D3DXPlaneTransform", 1, 40, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<PlaneMat>("D3DXPlaneTransform");
         const Vec4 v = in.vec<4>();
         const Plane p{v.c[0], v.c[1], v.c[2], v.c[3]};
         const Mat4 m = in.general();
         Plane a, b;
         plane_transform(&a, &p, &m);
         f(&b, &p, &m);
         s.same(a, b);
       },
       nullptr},
      {"D3DXPlaneIntersectLine", 4, 100, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<PlaneLine>("D3DXPlaneIntersectLine");
         const Vec4 v = in.vec<4>();
         const Plane p{v.c[0], v.c[1], v.c[2], v.c[3]};
         Vec3 x, y;
         for (;;) {  // lines that meet the plane at more than about 10 degrees
           x = in.v3(), y = in.v3();
           const double n[3] = {p.a, p.b, p.c}, d[3] = {y.c[0] - x.c[0], y.c[1] - x.c[1], y.c[2] - x.c[2]};
           const double dot = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
           const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2], dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
           if (dot * dot > 0.03 * nn * dd) break;
         }
         Vec3 a{}, b{};
         const bool ours = plane_intersect_line(&a, &p, &x, &y) != nullptr, theirs = f(&b, &p, &x, &y) != nullptr;
         if (ours != theirs) s.class_mismatch("null vs non-null");
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<PlaneLine>("D3DXPlaneIntersectLine");
         const Plane p{-3, -1, 4, 7};
         const Vec3 x{{11, 13, 15}}, y{{17, 31, 24}};
         Vec3 a{{5, 5, 5}}, b{{5, 5, 5}};
         const bool ours = plane_intersect_line(&a, &p, &x, &y) != nullptr, theirs = f(&b, &p, &x, &y) != nullptr;
         if (ours || theirs) s.class_mismatch("parallel line intersected");
         s.same(a, b, "parallel leaves out");
         if (plane_intersect_line(&a, &p, &x, &x) || f(&b, &p, &x, &x)) s.class_mismatch("v1 = v2 intersected");
       }},
      {"D3DXPlaneNormalize", 1, 0, "",
       [](Inputs& in, Stats& s) {
         static auto f = d3dx<PlaneUnary>("D3DXPlaneNormalize");
         const Vec4 v = in.vec<4>();
         const Plane p{v.c[0], v.c[1], v.c[2], v.c[3]};
         Plane a, b = p;
         plane_normalize(&a, &p);
         f(&b, &b);
         s.same(a, b);
       },
       [](Stats& s) {
         static auto f = d3dx<PlaneUnary>("D3DXPlaneNormalize");
         const Plane zero{0, 0, 0, 4};
         Plane a, b;
         plane_normalize(&a, &zero);
         f(&b, &zero);
         s.same(a, b, "zero normal");
       }},
  };
  return c;
}

TEST(DxOracle, EveryFunctionAgreesWithWinesD3dx) {
  ASSERT_NE(oracle(), nullptr) << "Wine's d3dx9_43.dll";
  const std::vector<Check> all = checks();
  EXPECT_EQ(all.size(), 53u);
  Inputs in;
  std::printf("  %-36s %6s %8s %11s %9s %6s %9s\n", "function", "draws", "max ulp", "max abs ~0", "(in ulp)", "bound",
              "magnitude");
  for (const Check& c : all) {
    Stats s;
    s.magnitude = c.magnitude;
    for (int i = 0; i < kDraws; ++i, ++s.draws) c.draw(in, s);
    if (c.degenerate) c.degenerate(s);
    const bool pass = s.max_ulps <= c.ulps && s.max_near_zero_ulps <= c.ulps && s.mismatches.empty();
    std::printf("  %-36s %6ld %8lld %11.3g %9lld %6d %9g %s\n", c.name, s.draws, (long long)s.max_ulps,
                s.max_abs_near_zero, (long long)s.max_near_zero_ulps, c.ulps, c.magnitude, pass ? "pass" : "FAIL");
    EXPECT_TRUE(pass) << c.name << ": " << s.max_ulps << " ulps (" << s.worst << "), near zero "
                      << s.max_near_zero_ulps << " ulps of scale" << (s.mismatches.empty() ? "" : ", " + s.mismatches[0]);
  }
}

// Where we deliberately part from D3DX.
TEST(DxOracle, DocumentedDepartures) {
  // Barycentric interpolation with f + g = 0: D3DX divides 0 by 0; both inner
  // points are q1, so q1 is the answer.
  static auto bary = d3dx<QuatBary>("D3DXQuaternionBaryCentric");
  const Quat q1{0, 0.6f, 0, 0.8f}, q2{0.6f, 0, 0, 0.8f}, q3{0, 0, 0.6f, 0.8f};
  Quat ours, theirs;
  quaternion_barycentric(&ours, &q1, &q2, &q3, 0.5f, -0.5f);
  bary(&theirs, &q1, &q2, &q3, 0.5f, -0.5f);
  EXPECT_TRUE(kv::test::values_close(q1, ours, 0));
  EXPECT_TRUE(std::isnan(theirs.x)) << "the oracle still gives NaN here";

  // A plane from a point and a normal, written over the point: D3DX computes d
  // from the overwritten point.
  static auto from_pn = d3dx<PlanePN>("D3DXPlaneFromPointNormal");
  const Vec3 normal{{0, 2, 0}};
  float mine[4] = {1, 3, 5, 0}, oracles[4] = {1, 3, 5, 0};
  plane_from_point_normal(reinterpret_cast<Plane*>(mine), reinterpret_cast<const Vec3*>(mine), &normal);
  from_pn(reinterpret_cast<Plane*>(oracles), reinterpret_cast<const Vec3*>(oracles), &normal);
  EXPECT_EQ(mine[3], -6.0f);
  EXPECT_NE(oracles[3], -6.0f) << "the oracle reads the point after writing the normal over it";
}

}  // namespace
