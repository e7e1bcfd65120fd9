// Helpers shared by the matrix commands: moving a Mat4 through a handle, and the
// matrices every family builds on. The layout and conventions are those of
// dx/types.h: row-major, row vectors, translation in row 4, A·B applies A first.
#pragma once

#include <xmmintrin.h>

#include <cmath>

#include "dx/matrix.h"
#include "dx/types.h"
#include "frame/abi.h"
#include "dx/rotation.h"
#include "vector/angles.h"
#include "vector/vec.h"

namespace kv::mat {

using dx::Mat4;
using dx::Quat;
using dx::Basis;
using dx::facing;
using dx::Vec3;

inline Mat4 get(Handle h) { return load<Mat4>(h); }
inline void put(Handle h, const Mat4& m) { store(h, m); }

// Four rows straight between memory and registers, all read before any is
// written: a matrix built element by element on the stack and then copied would
// stall on the wide loads of its narrow stores.
inline void put_rows(Handle h, __m128 r0, __m128 r1, __m128 r2, __m128 r3) {
  float* f = reinterpret_cast<float*>(h);
  _mm_storeu_ps(f, r0), _mm_storeu_ps(f + 4, r1), _mm_storeu_ps(f + 8, r2), _mm_storeu_ps(f + 12, r3);
}
inline void copy(Handle destination, Handle source) {
  const float* f = reinterpret_cast<const float*>(source);
  put_rows(destination, _mm_loadu_ps(f), _mm_loadu_ps(f + 4), _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12));
}
inline void put_identity(Handle h) {
  put_rows(h, _mm_setr_ps(1, 0, 0, 0), _mm_setr_ps(0, 1, 0, 0), _mm_setr_ps(0, 0, 1, 0), _mm_setr_ps(0, 0, 0, 1));
}

inline Mat4 identity() {
  Mat4 m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
  return m;
}

inline Mat4 transpose(const Mat4& m) {
  Mat4 t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) t.m[r][c] = m.m[c][r];
  }
  return t;
}

inline Mat4 product(const Mat4& a, const Mat4& b) {
  Mat4 r;
  dx::matrix_multiply(&r, &a, &b);
  return r;
}

// Row k (0 for right, 1 up, 2 look, 3 translation) as a Vec3, and back.
inline Vec3 row(const Mat4& m, int k) { return {{m.m[k][0], m.m[k][1], m.m[k][2]}}; }
inline void set_row(Mat4& m, int k, const Vec3& v) {
  for (int c = 0; c < 3; ++c) m.m[k][c] = v.c[c];
}

// Rx(ax)·Ry(ay)·Rz(az): about X first, then the fixed Y, then the fixed Z; the
// products in double, each element rounded once.
inline Mat4 rotation_xyz(float ax, float ay, float az) {
  using dx::rotation_about;
  return dx::narrow(dx::product(dx::product(rotation_about(0, ax), rotation_about(1, ay)), rotation_about(2, az)));
}

// The angles (ax, ay, az) in radians for which rotation_xyz gives m's rotation.
inline dx::Vec3d euler_angles(const Mat4& m) {
  const auto& e = m.m;
  return dx::euler_angles({e[0][0], e[0][1], e[0][2], e[1][0], e[1][1], e[1][2], e[2][0], e[2][1], e[2][2]});
}

}  // namespace kv::mat
