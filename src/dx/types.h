// The value types of the plug-in, in the layouts of D3DX 9.
//
// Conventions, once for the whole library:
// - Vec2, Vec3, Vec4: 2, 3 or 4 consecutive floats x, y, z, w.
// - Quat: x, y, z, w with w the scalar part; it shares the Vec4 layout.
// - Plane: a, b, c, d for a·x + b·y + c·z + d = 0; signed distance a·x + b·y + c·z + d.
// - Mat4: sixteen floats, row-major: m[r][c] is element (r + 1, c + 1), float r·4 + c.
//   Row vectors: a point is the row (x, y, z, 1) times the matrix, so the translation
//   is row 4 (m[3][0..2]). A·B applies A first, then B. Rows 1, 2, 3 are a world
//   matrix's right, up and look axes.
// - Angles are radians unless a name says Deg.
//
// src/dx computes, in our own code, every D3DX 9 result the commands rely on, so
// the plug-in needs no d3dx9_43.dll. Its functions keep the D3DX argument order
// (output first), are pure functions of plain values, and give the same result
// when the output is also one of the inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::dx {

// A vector of N floats. The component names read the formulas; operator[] serves
// the code written once over the component count.
template <int N>
struct Vec {
  static_assert(N >= 2 && N <= 4, "vectors have 2, 3 or 4 components");
  static constexpr int size = N;
  float c[N];

  constexpr float& operator[](int i) { return c[i]; }
  constexpr float operator[](int i) const { return c[i]; }
  constexpr float x() const { return c[0]; }
  constexpr float y() const { return c[1]; }
  constexpr float z() const {
    static_assert(N >= 3);
    return c[2];
  }
  constexpr float w() const {
    static_assert(N >= 4);
    return c[3];
  }
};

using Vec2 = Vec<2>;
using Vec3 = Vec<3>;
using Vec4 = Vec<4>;

struct Quat {
  float x, y, z, w;
};

struct Plane {
  float a, b, c, d;
};

struct Mat4 {
  float m[4][4];
};

// A Direct3D 9 viewport: the pixel rectangle and the depth range.
struct Viewport {
  std::uint32_t x, y, width, height;
  float min_z, max_z;
};

static_assert(sizeof(Viewport) == 24);
static_assert(sizeof(Vec2) == 8 && sizeof(Vec3) == 12 && sizeof(Vec4) == 16);
static_assert(sizeof(Quat) == 16 && sizeof(Plane) == 16 && sizeof(Mat4) == 64);

}  // namespace kv::dx
