// Every export called as an MSVC-built Direct3D 9 host may call it: with the stack
// 4, 8 or 12 bytes off 16-byte alignment, under the x87 control words such hosts
// leave (single, double and extended precision), under MXCSR with and without
// flush-to-zero and denormals-are-zero, with handles 4, 8 or 12 bytes off 16-byte
// alignment. Results and stored values must be bit-identical to a plain call, and
// the control word, MXCSR and an empty x87 stack must be as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/table_file.h"

namespace {

// One line per export: its arguments (H a handle, I a small integer, F a float),
// and, for an export that makes a value, the export that releases it.
struct AbiCase {
  const char* name;
  const char* args;
  const char* release = nullptr;
};

const AbiCase kCases[] = {
    {"Vec2_MakeNew", "", "Vec2_Delete"},
    {"Vec3_MakeNew", "", "Vec3_Delete"},
    {"Vec4_MakeNew", "", "Vec4_Delete"},
    {"Plane_MakeNew", "", "Plane_Delete"},
    {"Quat_MakeNew", "", "Quat_Delete"},
    {"Mat4_MakeNew", "", "Mat4_Delete"},
    {"Frustum_MakeNew", "", "Frustum_Delete"},
    {"Vec2_Delete", "H"},
    {"Vec3_Delete", "H"},
    {"Vec4_Delete", "H"},
    {"Plane_Delete", "H"},
    {"Quat_Delete", "H"},
    {"Mat4_Delete", "H"},
    {"Frustum_Delete", "H"},
    {"ViewPort_Copy", "HH"},
    {"Vec2_MakeNewEx", "FF", "Vec2_Delete"},
    {"Vec3_MakeNewEx", "FFF", "Vec3_Delete"},
    {"Vec4_MakeNewEx", "FFFF", "Vec4_Delete"},
    {"Vec2_Set", "HFF"},
    {"Vec3_Set", "HFFF"},
    {"Vec4_Set", "HFFFF"},
    {"Vec4_GetX", "H"},
    {"Vec4_GetY", "H"},
    {"Vec4_GetZ", "H"},
    {"Vec4_GetW", "H"},
    {"Vec4_SetX", "HF"},
    {"Vec4_SetY", "HF"},
    {"Vec4_SetZ", "HF"},
    {"Vec4_SetW", "HF"},
    {"Vec2_Copy", "HH"},
    {"Vec3_Copy", "HH"},
    {"Vec4_Copy", "HH"},
    {"Vec2_IsEqual", "HH"},
    {"Vec3_IsEqual", "HH"},
    {"Vec4_IsEqual", "HH"},
    {"Vec2_Minimize", "HHH"},
    {"Vec3_Minimize", "HHH"},
    {"Vec4_Minimize", "HHH"},
    {"Vec2_Maximize", "HHH"},
    {"Vec3_Maximize", "HHH"},
    {"Vec4_Maximize", "HHH"},
    {"Mat4_GetElementIndex", "HI"},
    {"Mat4_SetElementIndex", "HIF"},
    {"Vec2_Add", "HHH"},
    {"Vec3_Add", "HHH"},
    {"Vec4_Add", "HHH"},
    {"Vec2_Sub", "HHH"},
    {"Vec3_Sub", "HHH"},
    {"Vec4_Sub", "HHH"},
    {"Vec2_Mul", "HHH"},
    {"Vec3_Mul", "HHH"},
    {"Vec4_Mul", "HHH"},
    {"Vec2_Div", "HHH"},
    {"Vec3_Div", "HHH"},
    {"Vec4_Div", "HHH"},
    {"Vec2_AddScalar", "HHF"},
    {"Vec3_AddScalar", "HHF"},
    {"Vec4_AddScalar", "HHF"},
    {"Vec2_SubScalar", "HHF"},
    {"Vec3_SubScalar", "HHF"},
    {"Vec4_SubScalar", "HHF"},
    {"Vec2_MulScalar", "HHF"},
    {"Vec3_MulScalar", "HHF"},
    {"Vec4_MulScalar", "HHF"},
    {"Vec2_DivScalar", "HHF"},
    {"Vec3_DivScalar", "HHF"},
    {"Vec4_DivScalar", "HHF"},
    {"Vec2_AddValue", "HHFF"},
    {"Vec3_AddValue", "HHFFF"},
    {"Vec4_AddValue", "HHFFFF"},
    {"Vec2_SubValue", "HHFF"},
    {"Vec3_SubValue", "HHFFF"},
    {"Vec4_SubValue", "HHFFFF"},
    {"Vec2_MulValue", "HHFF"},
    {"Vec3_MulValue", "HHFFF"},
    {"Vec4_MulValue", "HHFFFF"},
    {"Vec2_DivValue", "HHFF"},
    {"Vec3_DivValue", "HHFFF"},
    {"Vec4_DivValue", "HHFFFF"},
    {"Vec2_ScalarSub", "HFH"},
    {"Vec3_ScalarSub", "HFH"},
    {"Vec4_ScalarSub", "HFH"},
    {"Vec2_ScalarDiv", "HFH"},
    {"Vec3_ScalarDiv", "HFH"},
    {"Vec4_ScalarDiv", "HFH"},
    {"Vec2_ValueSub", "HFFH"},
    {"Vec3_ValueSub", "HFFFH"},
    {"Vec4_ValueSub", "HFFFFH"},
    {"Vec2_ValueDiv", "HFFH"},
    {"Vec3_ValueDiv", "HFFFH"},
    {"Vec4_ValueDiv", "HFFFFH"},
    {"Vec2_Dot", "HH"},
    {"Vec3_Dot", "HH"},
    {"Vec4_Dot", "HH"},
    {"Vec2_CCW", "HH"},
    {"Vec3_Cross", "HHH"},
    {"Vec2_Perp", "HH"},
    {"Vec3_Perp", "HH"},
    {"Vec2_Length", "H"},
    {"Vec3_Length", "H"},
    {"Vec2_LengthSq", "H"},
    {"Vec3_LengthSq", "H"},
    {"Vec4_LengthSq", "H"},
    {"Vec2_LengthManhatten", "H"},
    {"Vec3_LengthManhatten", "H"},
    {"Vec4_LengthManhatten", "H"},
    {"Vec2_Dist", "HH"},
    {"Vec3_Dist", "HH"},
    {"Vec4_Dist", "HH"},
    {"Vec2_DistSq", "HH"},
    {"Vec3_DistSq", "HH"},
    {"Vec4_DistSq", "HH"},
    {"Vec2_DistManhatten", "HH"},
    {"Vec3_DistManhatten", "HH"},
    {"Vec4_DistManhatten", "HH"},
    {"Vec2_Normalize", "HH"},
    {"Vec3_Normalize", "HH"},
    {"Vec4_Normalize", "HH"},
    {"Vec2_ScaleToLength", "HHF"},
    {"Vec3_ScaleToLength", "HHF"},
    {"Vec4_ScaleToLength", "HHF"},
    {"Vec2_Reflect", "HHH"},
    {"Vec3_Reflect", "HHH"},
    {"Vec4_Reflect", "HHH"},
    {"Vec3_ReflectPlane", "HHH"},
    {"Vec2_Refract", "HHHF"},
    {"Vec3_Refract", "HHHF"},
    {"Vec4_Refract", "HHHF"},
    {"Vec2_MirrorPoint", "HHH"},
    {"Vec3_MirrorPoint", "HHH"},
    {"Vec4_MirrorPoint", "HHH"},
    {"Vec2_Inverse", "HH"},
    {"Vec3_Inverse", "HH"},
    {"Vec4_Inverse", "HH"},
    {"Vec2_Invert", "HH"},
    {"Vec3_Invert", "HH"},
    {"Vec4_Invert", "HH"},
    {"Vec2_DegToRad", "HH"},
    {"Vec3_DegToRad", "HH"},
    {"Vec4_DegToRad", "HH"},
    {"Vec3_DegToRadEx", "HFFF"},
    {"Vec2_RadToDeg", "HH"},
    {"Vec3_RadToDeg", "HH"},
    {"Vec4_RadToDeg", "HH"},
    {"Vec3_RadToDegEx", "HFFF"},
    {"Vec2_WrapDegrees", "HH"},
    {"Vec3_WrapDegrees", "HH"},
    {"Vec4_WrapDegrees", "HH"},
    {"Vec2_WrapRadians", "HH"},
    {"Vec3_WrapRadians", "HH"},
    {"Vec4_WrapRadians", "HH"},
    {"Vec2_AxisToRad", "H"},
    {"Vec2_AxisToDeg", "H"},
    {"Vec2_RadToAxis", "HF"},
    {"Vec2_DegToAxis", "HF"},
    {"Vec3_AxisToRad", "HH"},
    {"Vec3_AxisToDeg", "HH"},
    {"Vec3_RadToAxis", "HH"},
    {"Vec3_RadToAxisEx", "HFF"},
    {"Vec3_DegToAxis", "HH"},
    {"Vec3_DegToAxisEx", "HFF"},
    {"Vec2_Lerp", "HHHF"},
    {"Vec2_NLerp", "HHHF"},
    {"Vec2_SLerp", "HHHF"},
    {"Vec2_Cerp", "HHHF"},
    {"Vec2_BiLerp", "HHHHHFF"},
    {"Vec2_BiCerp", "HHHHHFF"},
    {"Vec3_Lerp", "HHHF"},
    {"Vec3_NLerp", "HHHF"},
    {"Vec3_SLerp", "HHHF"},
    {"Vec3_Cerp", "HHHF"},
    {"Vec3_BiLerp", "HHHHHFF"},
    {"Vec3_BiCerp", "HHHHHFF"},
    {"Vec4_Lerp", "HHHF"},
    {"Vec4_NLerp", "HHHF"},
    {"Vec4_SLerp", "HHHF"},
    {"Vec4_Cerp", "HHHF"},
    {"Vec4_BiLerp", "HHHHHFF"},
    {"Vec4_BiCerp", "HHHHHFF"},
    {"Vec2_CatmullRom", "HHHHHF"},
    {"Vec2_Hermite", "HHHHHF"},
    {"Vec2_Cubic", "HHHHHF"},
    {"Vec2_Bezier", "HHHHHF"},
    {"Vec3_CatmullRom", "HHHHHF"},
    {"Vec3_Hermite", "HHHHHF"},
    {"Vec3_Cubic", "HHHHHF"},
    {"Vec3_Bezier", "HHHHHF"},
    {"Vec4_CatmullRom", "HHHHHF"},
    {"Vec4_Hermite", "HHHHHF"},
    {"Vec4_Cubic", "HHHHHF"},
    {"Vec4_Bezier", "HHHHHF"},
    {"Vec2_BaryCentric", "HHHHFF"},
    {"Vec2_BaryCentricWeights", "HHHHH"},
    {"Vec2_WeightedAvg3", "HHHHH"},
    {"Vec3_BaryCentric", "HHHHFF"},
    {"Vec3_BaryCentricWeights", "HHHHH"},
    {"Vec3_WeightedAvg3", "HHHHH"},
    {"Vec4_BaryCentric", "HHHHFF"},
    {"Vec4_BaryCentricWeights", "HHHHH"},
    {"Vec4_WeightedAvg3", "HHHHH"},
    {"Vec2_GetClosestPointOnLineSeg", "HHHH"},
    {"Vec3_GetClosestPointOnLineSeg", "HHHH"},
    {"Vec2_GetDistFromLineSeg", "HHH"},
    {"Vec3_GetDistFromLineSeg", "HHH"},
    {"Vec2_GetAngleBetween", "HH"},
    {"Vec3_GetAngleBetween", "HH"},
    {"Vec4_GetAngleBetween", "HH"},
    {"Vec3_VertexTBN", "HHHHHHHHH"},
    {"Vec2_Transform", "HHH"},
    {"Vec2_TransformCoord", "HHH"},
    {"Vec2_TransformNormal", "HHH"},
    {"Vec3_Transform", "HHH"},
    {"Vec3_TransformCoord", "HHH"},
    {"Vec3_TransformNormal", "HHH"},
    {"Vec4_Transform", "HHH"},
    {"Vec3_TransformQuat", "HHH"},
    {"Mat4_MakeNewEx", "FFFFFFFFFFFFFFFF", "Mat4_Delete"},
    {"Mat4_Set", "HFFFFFFFFFFFFFFFF"},
    {"Mat4_SetElement", "HIIF"},
    {"Mat4_GetElement", "HII"},
    {"Mat4_Copy", "HH"},
    {"Mat4_IsIdentity", "H"},
    {"Mat4_Identity", "H"},
    {"Mat4_Scaling", "HFFF"},
    {"Mat4_Translation", "HFFF"},
    {"Mat4_RotationX", "HF"},
    {"Mat4_RotationY", "HF"},
    {"Mat4_RotationZ", "HF"},
    {"Mat4_RotationXYZ", "HFFF"},
    {"Mat4_RotationVecXYZ", "HH"},
    {"Mat4_RotationYPR", "HFFF"},
    {"Mat4_RotationAxis", "HFFFF"},
    {"Mat4_RotationAxisVec", "HHF"},
    {"Mat4_FromBasis", "HHHH"},
    {"Mat4_FromQuat", "HH"},
    {"Mat4_RotateX", "HHF"},
    {"Mat4_RotateY", "HHF"},
    {"Mat4_RotateZ", "HHF"},
    {"Mat4_RotateXYZ", "HHFFF"},
    {"Mat4_RotateAxis", "HHFFFF"},
    {"Mat4_RotateAxisVec", "HHHF"},
    {"Mat4_RotateLocalX", "HHF"},
    {"Mat4_RotateLocalY", "HHF"},
    {"Mat4_RotateLocalZ", "HHF"},
    {"Mat4_RotateLocalXYZ", "HHFFF"},
    {"Mat4_RotateLocalAxis", "HHFFFF"},
    {"Mat4_RotateLocalAxisVec", "HHHF"},
    {"Mat4_MoveRight", "HHF"},
    {"Mat4_MoveUp", "HHF"},
    {"Mat4_MoveForward", "HHF"},
    {"Mat4_ScaleLocal", "HHFFF"},
    {"Mat4_ScaleGlobal", "HHFFF"},
    {"Mat4_SetScale", "HHFFF"},
    {"Mat4_RemoveScaling", "HH"},
    {"Mat4_GetScaleX", "H"},
    {"Mat4_GetScaleY", "H"},
    {"Mat4_GetScaleZ", "H"},
    {"Mat4_SetTranslation", "HHFFF"},
    {"Mat4_GetTranslationX", "H"},
    {"Mat4_GetTranslationY", "H"},
    {"Mat4_GetTranslationZ", "H"},
    {"Mat4_GetTranslationVec", "HH"},
    {"Mat4_GetRightVec", "HH"},
    {"Mat4_GetUpVec", "HH"},
    {"Mat4_GetLookVec", "HH"},
    {"Mat4_GetRightVecEx", "HHI"},
    {"Mat4_GetUpVecEx", "HHI"},
    {"Mat4_GetLookVecEx", "HHI"},
    {"Mat4_Mul", "HHH"},
    {"Mat4_MulTranspose", "HHH"},
    {"Mat4_Transpose", "HH"},
    {"Mat4_Inverse", "HH"},
    {"Mat4_InverseDet", "HH"},
    {"Mat4_InverseTranspose", "HH"},
    {"Mat4_Determinant", "H"},
    {"Mat4_Decompose", "HHHH"},
    {"Mat4_GetEulerRad", "HH"},
    {"Mat4_GetEulerDeg", "HH"},
    {"Mat4_PerspectiveLH", "HFFFF"},
    {"Mat4_PerspectiveRH", "HFFFF"},
    {"Mat4_PerspectiveFOVLH", "HFFFF"},
    {"Mat4_PerspectiveFOVRH", "HFFFF"},
    {"Mat4_PerspectiveOffCenterLH", "HFFFFFF"},
    {"Mat4_PerspectiveOffCenterRH", "HFFFFFF"},
    {"Mat4_OrthoLH", "HFFFFF"},
    {"Mat4_OrthoRH", "HFFFFF"},
    {"Mat4_OrthoOffCenterLH", "HFFFFFF"},
    {"Mat4_OrthoOffCenterRH", "HFFFFFF"},
    {"Mat4_LookAtLH", "HHHH"},
    {"Mat4_LookAtRH", "HHHH"},
    {"Mat4_Affine", "HFHHH"},
    {"Mat4_Affine2D", "HFHFH"},
    {"Mat4_Lerp", "HHHF"},
    {"Mat4_NLerp", "HHHF"},
    {"Mat4_SLerp", "HHHF"},
    {"Quat_MakeNewEx", "FFFF", "Quat_Delete"},
    {"Quat_Identity", "H"},
    {"Quat_IsIdentity", "H"},
    {"Quat_RotationX", "HF"},
    {"Quat_RotationY", "HF"},
    {"Quat_RotationZ", "HF"},
    {"Quat_RotationXYZ", "HFFF"},
    {"Quat_RotationVecXYZ", "HH"},
    {"Quat_RotationYPR", "HFFF"},
    {"Quat_RotationAxis", "HFFFF"},
    {"Quat_RotationAxisVec", "HHF"},
    {"Quat_FromMat4", "HH"},
    {"Quat_GetEulerRad", "HH"},
    {"Quat_GetEulerDeg", "HH"},
    {"Quat_GetAxis", "HH"},
    {"Quat_GetAxisEx", "HH"},
    {"Quat_RotateX", "HHF"},
    {"Quat_RotateY", "HHF"},
    {"Quat_RotateZ", "HHF"},
    {"Quat_RotateLocalX", "HHF"},
    {"Quat_RotateLocalY", "HHF"},
    {"Quat_RotateLocalZ", "HHF"},
    {"Quat_RotateXYZ", "HHFFF"},
    {"Quat_RotateLocalXYZ", "HHFFF"},
    {"Quat_RotateAxis", "HHFFFF"},
    {"Quat_RotateAxisVec", "HHHF"},
    {"Quat_RotateLocalAxis", "HHFFFF"},
    {"Quat_RotateLocalAxisVec", "HHHF"},
    {"Quat_Mul", "HHH"},
    {"Quat_Conjugate", "HH"},
    {"Quat_Inverse", "HH"},
    {"Quat_Normalize", "HH"},
    {"Quat_Magnitude", "H"},
    {"Quat_Log", "HH"},
    {"Quat_Exp", "HH"},
    {"Quat_SLerp", "HHHF"},
    {"Quat_SquadSetup", "HHHHHHH"},
    {"Quat_Squad", "HHHHHF"},
    {"Quat_BaryCentric", "HHHHFF"},
    {"Plane_MakeNewEx", "FFFF", "Plane_Delete"},
    {"Plane_FromPointNormal", "HHH"},
    {"Plane_FromPoints", "HHHH"},
    {"Plane_Normalize", "HH"},
    {"Plane_Transform", "HHH"},
    {"Plane_DotCoord", "HH"},
    {"Plane_DotNormal", "HH"},
    {"Plane_IntersectLine", "HHHH"},
    {"Plane_IntersectLineSeg", "HHHH"},
    {"Plane_Raycast", "HHHHH"},
    {"Plane_Inverse", "HH"},
    {"Frustum_SetRightPlane", "HH"},
    {"Frustum_SetLeftPlane", "HH"},
    {"Frustum_SetBottomPlane", "HH"},
    {"Frustum_SetTopPlane", "HH"},
    {"Frustum_SetFarPlane", "HH"},
    {"Frustum_SetNearPlane", "HH"},
    {"Frustum_SetPlanes", "HHHHHHH"},
    {"Frustum_Copy", "HH"},
    {"Frustum_ExtractVP", "HH"},
    {"Frustum_Normalize", "H"},
    {"Frustum_TestPoint", "HFFF"},
    {"Frustum_TestSphere", "HFFFF"},
    {"Frustum_TestSphereEx", "HFFFF"},
    {"Frustum_IntersectSphere", "HFFFF"},
    {"Frustum_PointDepth", "HFFF"},
    {"Frustum_SphereDepth", "HFFFF"},
    {"Frustum_TestAABB", "HFFFFFF"},
    {"Frustum_TestAABC", "HFFFF"},
    {"Frustum_IntersectAABB", "HFFFFFF"},
    {"Frustum_IntersectAABC", "HFFFF"},
    {"Frustum_ExtractCamera", "HI"},
    {"Vec3_GetObjectPosition", "HI"},
    {"Vec3_SetObjectPosition", "HI"},
    {"Vec3_GetObjectRotation", "HI"},
    {"Vec3_SetObjectRotation", "HI"},
    {"Vec3_GetObjectScale", "HI"},
    {"Vec3_SetObjectScale", "HI"},
    {"Mat4_GetObjectTranslation", "HI"},
    {"Mat4_SetObjectTranslation", "HI"},
    {"Mat4_GetObjectRotation", "HI"},
    {"Mat4_SetObjectRotation", "HI"},
    {"Mat4_GetObjectScale", "HI"},
    {"Mat4_SetObjectScale", "HI"},
    {"Mat4_SetObjectTransforms", "HIIII"},
    {"Quat_GetObjectRotation", "HI"},
    {"Quat_SetObjectRotation", "HI"},
    {"Mat4_GetObjectWorld", "HI"},
    {"Mat4_GetObjectWorldEx", "HII"},
    {"Mat4_SetObjectWorld", "HI"},
    {"Mat4_GetCameraView", "HI"},
    {"Mat4_GetCameraProjection", "HI"},
    {"Mat4_GetCameraViewProj", "HI"},
    {"Mat4_SetCameraProjection", "HI"},
    {"Vec3_GetCameraPosition", "HI"},
    {"Vec3_GetCameraLook", "HI"},
    {"Vec3_GetCameraUp", "HI"},
    {"Vec3_GetCameraRight", "HI"},
    {"Vec3_ProjectCamera", "HHI"},
    {"Vec3_ProjectCameraEx", "HHIH"},
    {"Vec3_UnProjectCamera", "HHI"},
    {"Vec3_UnProjectCameraEx", "HHIH"},
    {"Vec3_Project", "HHHHH"},
    {"Vec3_ProjectEx", "HHHHHH"},
    {"Vec3_UnProject", "HHHHH"},
    {"Vec3_UnProjectEx", "HHHHHH"},
    {"Mat4_GetScaleVec", "HH"},
    {"ViewPort_MakeNew", "", "ViewPort_Delete"},
    {"ViewPort_MakeNewEx", "IIIIII", "ViewPort_Delete"},
    {"ViewPort_Delete", "H"},
    {"ViewPort_Set", "HIIIIII"},
    {"ViewPort_GetWidth", "H"},
    {"ViewPort_GetHeight", "H"},
    {"ViewPort_GetLeft", "H"},
    {"ViewPort_GetRight", "H"},
    {"ViewPort_GetTop", "H"},
    {"ViewPort_GetBottom", "H"},
    {"ViewPort_GetMinZ", "H"},
    {"ViewPort_GetMaxZ", "H"},
    {"ViewPort_GetCamera2D", "HI"},
    {"ViewPort_SetCamera2D", "HI"},
    {"ViewPort_GetCamera3D", "HI"},
    {"ViewPort_SetCamera3D", "HI"},
    {"ViewPort_TestPoint", "HII"},
};

constexpr int kRegionFloats = 32;  // room for a frustum
constexpr int kMaxHandles = 10;

// Handle regions in one 16-byte-aligned arena, `offset` bytes past alignment.
struct Arena {
  alignas(16) float floats[kMaxHandles][kRegionFloats + 4];
  float* region(int i, int offset) { return floats[i] + offset / 4; }
};

// Deterministic, varied inputs of normal magnitude; equal pairs now and then so
// that comparisons see both answers.
float input(int region, int i) {
  const float v = static_cast<float>((region * 7 + i * 13) % 17 - 8) * 0.375f + 0.0625f * static_cast<float>(i % 3);
  return v == 0.0f ? 1.5f : v;
}

struct Outcome {
  std::uint32_t result = 0;
  std::vector<float> stored;  // the regions after the call, or the made value
};

Outcome run(const AbiCase& c, const void* fn, const void* release, const kvt::CallEnv& env, int offset, kvt::CallOutcome* out) {
  Arena arena;
  std::memset(&arena, 0, sizeof arena);
  std::vector<std::uint32_t> words;
  int handles = 0, floats = 0;
  for (const char* a = c.args; *a; ++a) {
    if (*a == 'H') {
      float* r = arena.region(handles, offset);
      for (int i = 0; i < kRegionFloats; ++i) r[i] = input(handles, i);
      words.push_back(kvt::word(r));
      ++handles;
    } else if (*a == 'I') {
      words.push_back(1);
    } else {
      words.push_back(kvt::word(input(9, floats++) * 1.25f));
    }
  }
  *out = kvt::call_raw(fn, words.data(), static_cast<std::uint32_t>(words.size()), env);
  Outcome r;
  if (release) {
    EXPECT_NE(out->result, 0u) << c.name;
    if (!out->result) return r;
    const float* made = kvt::as_pointer(out->result);
    r.stored.assign(made, made + (floats > 2 ? floats : 2));
    kvt::call(release, {out->result});
    return r;
  }
  r.result = out->result;
  for (int h = 0; h < handles; ++h) r.stored.insert(r.stored.end(), arena.region(h, offset), arena.region(h, offset) + kRegionFloats);
  return r;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Abi, EveryExportGivesTheSameBitsWhateverTheCallersStateAndLeavesItAsFound) {
  const kvt::Plugin& plugin = kvt::Plugin::get();
  for (const AbiCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const void* fn = plugin.address(c.name);
    const void* release = c.release ? plugin.address(c.release) : nullptr;
    ASSERT_NE(fn, nullptr);
    kvt::CallOutcome out;
    const Outcome plain = run(c, fn, release, kvt::CallEnv{}, 0, &out);
    for (std::uint32_t misalign : {4u, 8u, 12u}) {
      for (std::uint32_t control : {0x007Fu, 0x027Fu, 0x037Fu}) {
        for (std::uint32_t mxcsr : {0x1F80u, 0x9FC0u}) {
          for (int offset : {4, 8, 12}) {
            const kvt::CallEnv env{control, mxcsr, misalign};
            const Outcome r = run(c, fn, release, env, offset, &out);
            const std::string where = "stack -" + std::to_string(misalign) + ", x87 " + std::to_string(control) +
                                      ", mxcsr " + std::to_string(mxcsr) + ", handles +" + std::to_string(offset);
            EXPECT_EQ(r.result, plain.result) << where;
            EXPECT_TRUE(same_bits(r.stored, plain.stored)) << where;
            EXPECT_EQ(out.x87_control & 0xFFFF, control) << where;
            EXPECT_EQ(out.mxcsr & ~0x3Fu, mxcsr) << where << " (exception flags aside)";
            EXPECT_EQ(out.x87_tags(), 0xFFFF) << where << ": x87 stack not empty";
          }
        }
      }
    }
  }
}

// Each built export has a line above, and its letters agree with every row that
// names it: H and I stand for L, F for F.
TEST(Abi, CoversEveryBuiltExportWithTheRowsLetters) {
  const kv::test::TableFile table = kv::test::read_table_file("commands.tab");
  std::map<std::string, const AbiCase*> cases;
  for (const AbiCase& c : kCases) cases[c.name] = &c;
  for (const auto& [number, row] : table.rows) {
    if (row.state != "built") continue;
    auto it = cases.find(row.exportName);
    ASSERT_NE(it, cases.end()) << row.exportName << " has no line in the ABI test";
    std::string letters = it->second->args;
    for (char& l : letters) l = l == 'F' ? 'F' : 'L';
    EXPECT_EQ(letters, row.argument_letters()) << "row " << number << " " << row.keyword;
  }
  for (const auto& [name, state] : table.loose) {
    if (state == "built") {
      EXPECT_EQ(cases.count(name), 1u) << name;
    }
  }
}

}  // namespace
