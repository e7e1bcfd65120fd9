// The commands that rely on D3DX or follow its conventions, called through their
// exports and compared with Wine's d3dx9_43.dll on random inputs: the command must
// hand its handles and floats to the math in D3DX's order and store what it gives.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/ulp.h"

namespace {

struct Case {
  const char* command;  // our export
  const char* oracle;   // the D3DX function with the same arguments
  int out_floats;       // what the command writes
  std::vector<int> inputs;  // floats of each input handle; a matrix has 16
  int floats;           // float arguments after the handles
  std::vector<int> order = {};  // the oracle's float i is our float order[i] (empty: the same order)
};

const Case kCases[] = {
    {"Vec2_Normalize", "D3DXVec2Normalize", 2, {2}, 0},
    {"Vec3_Normalize", "D3DXVec3Normalize", 3, {3}, 0},
    {"Vec2_CatmullRom", "D3DXVec2CatmullRom", 2, {2, 2, 2, 2}, 1},
    {"Vec3_CatmullRom", "D3DXVec3CatmullRom", 3, {3, 3, 3, 3}, 1},
    {"Vec4_CatmullRom", "D3DXVec4CatmullRom", 4, {4, 4, 4, 4}, 1},
    {"Vec2_Hermite", "D3DXVec2Hermite", 2, {2, 2, 2, 2}, 1},
    {"Vec3_Hermite", "D3DXVec3Hermite", 3, {3, 3, 3, 3}, 1},
    {"Vec4_Hermite", "D3DXVec4Hermite", 4, {4, 4, 4, 4}, 1},
    {"Vec2_BaryCentric", "D3DXVec2BaryCentric", 2, {2, 2, 2}, 2},
    {"Vec3_BaryCentric", "D3DXVec3BaryCentric", 3, {3, 3, 3}, 2},
    {"Vec4_BaryCentric", "D3DXVec4BaryCentric", 4, {4, 4, 4}, 2},
    {"Vec2_Transform", "D3DXVec2Transform", 4, {2, 16}, 0},
    {"Vec3_Transform", "D3DXVec3Transform", 4, {3, 16}, 0},
    {"Vec4_Transform", "D3DXVec4Transform", 4, {4, 16}, 0},
    {"Vec2_TransformCoord", "D3DXVec2TransformCoord", 2, {2, 16}, 0},
    {"Vec3_TransformCoord", "D3DXVec3TransformCoord", 3, {3, 16}, 0},
    {"Vec2_TransformNormal", "D3DXVec2TransformNormal", 2, {2, 16}, 0},
    {"Vec3_TransformNormal", "D3DXVec3TransformNormal", 3, {3, 16}, 0},
    {"Mat4_Mul", "D3DXMatrixMultiply", 16, {16, 16}, 0},
    {"Mat4_MulTranspose", "D3DXMatrixMultiplyTranspose", 16, {16, 16}, 0},
    {"Mat4_Transpose", "D3DXMatrixTranspose", 16, {16}, 0},
    {"Mat4_FromQuat", "D3DXMatrixRotationQuaternion", 16, {4}, 0},
    {"Mat4_RotationAxisVec", "D3DXMatrixRotationAxis", 16, {3}, 1},
    {"Mat4_RotationX", "D3DXMatrixRotationX", 16, {}, 1},
    {"Mat4_RotationY", "D3DXMatrixRotationY", 16, {}, 1},
    {"Mat4_RotationZ", "D3DXMatrixRotationZ", 16, {}, 1},
    {"Mat4_RotationYPR", "D3DXMatrixRotationYawPitchRoll", 16, {}, 3},
    {"Mat4_Scaling", "D3DXMatrixScaling", 16, {}, 3},
    {"Mat4_Translation", "D3DXMatrixTranslation", 16, {}, 3},
    {"Mat4_LookAtLH", "D3DXMatrixLookAtLH", 16, {3, 3, 3}, 0},
    {"Mat4_LookAtRH", "D3DXMatrixLookAtRH", 16, {3, 3, 3}, 0},
    {"Mat4_PerspectiveLH", "D3DXMatrixPerspectiveLH", 16, {}, 4, {2, 3, 0, 1}},
    {"Mat4_PerspectiveRH", "D3DXMatrixPerspectiveRH", 16, {}, 4, {2, 3, 0, 1}},
    {"Mat4_PerspectiveOffCenterLH", "D3DXMatrixPerspectiveOffCenterLH", 16, {}, 6},
    {"Mat4_PerspectiveOffCenterRH", "D3DXMatrixPerspectiveOffCenterRH", 16, {}, 6},
    {"Mat4_OrthoOffCenterLH", "D3DXMatrixOrthoOffCenterLH", 16, {}, 6},
    {"Mat4_OrthoOffCenterRH", "D3DXMatrixOrthoOffCenterRH", 16, {}, 6},
    {"Quat_Mul", "D3DXQuaternionMultiply", 4, {4, 4}, 0},
    {"Quat_Inverse", "D3DXQuaternionInverse", 4, {4}, 0},
    {"Quat_Normalize", "D3DXQuaternionNormalize", 4, {4}, 0},
    {"Quat_Log", "D3DXQuaternionLn", 4, {4}, 0},
    {"Quat_Exp", "D3DXQuaternionExp", 4, {4}, 0},
    {"Quat_SLerp", "D3DXQuaternionSlerp", 4, {4, 4}, 1},
    {"Quat_Squad", "D3DXQuaternionSquad", 4, {4, 4, 4, 4}, 1},
    {"Quat_BaryCentric", "D3DXQuaternionBaryCentric", 4, {4, 4, 4}, 2},
    {"Quat_RotationAxisVec", "D3DXQuaternionRotationAxis", 4, {3}, 1},
    {"Quat_RotationYPR", "D3DXQuaternionRotationYawPitchRoll", 4, {}, 3},
    {"Quat_FromMat4", "D3DXQuaternionRotationMatrix", 4, {16}, 0},
    {"Plane_FromPointNormal", "D3DXPlaneFromPointNormal", 4, {3, 3}, 0},
    {"Plane_FromPoints", "D3DXPlaneFromPoints", 4, {3, 3, 3}, 0},
    {"Plane_Normalize", "D3DXPlaneNormalize", 4, {4}, 0},
    {"Plane_Transform", "D3DXPlaneTransform", 4, {4, 16}, 0},
};

TEST(VectorOracle, CommandsBackedByD3dxAgreeWithWinesD3dx) {
  HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  ASSERT_NE(d3dx, nullptr);
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-10, 10), param(-1, 2);
  for (const Case& c : kCases) {
    const void* ours = kvt::Plugin::get().address(c.command);
    const void* theirs = reinterpret_cast<const void*>(GetProcAddress(d3dx, c.oracle));
    ASSERT_TRUE(ours && theirs) << c.command;
    for (int draw = 0; draw < 2000; ++draw) {
      std::vector<std::vector<float>> inputs;
      for (int n : c.inputs) {
        std::vector<float> v(n);
        for (float& f : v) f = value(rng);
        if (n == 16) v[3] = v[7] = v[11] = 0, v[15] = value(rng) > 0 ? 1.5f : 2.5f;  // w far from 0
        inputs.push_back(v);
      }
      float a[16] = {}, b[16] = {};
      std::vector<std::uint32_t> words{0};
      for (auto& v : inputs) words.push_back(kvt::word(v.data()));
      const std::size_t first_float = words.size();
      for (int i = 0; i < c.floats; ++i) words.push_back(kvt::word(param(rng)));
      words[0] = kvt::word(a);
      kvt::call_raw(ours, words.data(), std::uint32_t(words.size()), kvt::CallEnv{});
      words[0] = kvt::word(b);
      std::vector<std::uint32_t> theirs_words = words;
      for (std::size_t i = 0; i < c.order.size(); ++i) theirs_words[first_float + i] = words[first_float + c.order[i]];
      kvt::call_raw(theirs, theirs_words.data(), std::uint32_t(words.size()), kvt::CallEnv{});  // stdcall: the thunk restores esp
      for (int i = 0; i < c.out_floats; ++i) {
        ASSERT_TRUE(kv::test::close_in_ulps(b[i], a[i], 4, 4 * 100 * 1.2e-7f)) << c.command << " [" << i << "]";
      }
    }
  }
}

}  // namespace
