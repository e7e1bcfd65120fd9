// The user guide's worked examples, run through the DLL as a script runs them,
// with the substitute host standing in for the scene: the example's calls in
// order, and every number the guide states about them.
#include <gtest/gtest.h>

#include <cstring>

#include "harness/plugin.h"
#include "hosts/layout.h"
#include "host/host_api.h"
#include "support/ulp.h"

namespace {

using kvt::Plugin;

const Plugin& p() { return Plugin::get(); }

class Guide : public ::testing::Test {
 protected:
  HMODULE objects = LoadLibraryA("hosts\\full\\DBProBasic3DDebug.dll");
  HMODULE cameras = LoadLibraryA("hosts\\full\\DBProCameraDebug.dll");

  void SetUp() override {
    ASSERT_TRUE(objects && cameras);
    unsigned char core[256] = {};
    const std::uint32_t words[2] = {kvt::word(objects), kvt::word(cameras)};
    std::memcpy(core + kvt::layout::kCoreObjectsModule, &words[0], 4);
    std::memcpy(core + kvt::layout::kCoreCamerasModule, &words[1], 4);
    kvt::call(p().address("?ReceiveCoreDataPtr@@YAXPAX@Z"), {kvt::word(core)});
    reinterpret_cast<void(__cdecl*)()>(GetProcAddress(objects, "SubstituteHost_ResetObjects"))();
    reinterpret_cast<void(__cdecl*)()>(GetProcAddress(cameras, "SubstituteHost_ResetCameras"))();
  }
  std::uint32_t vec3(float x, float y, float z) { return p().command("pVec3_MakeNew", "LFFF", {x, y, z}); }
};

// Camera 0 at the origin looking along +z, 60° across, 640 × 480; spheres of
// radius 1 at (0, 0, 10) (object 2) and (0.5, 0, 20) (object 1), the others far off.
TEST_F(Guide, PickingWhatTheMousePointsAt) {
  const std::uint32_t projection = p().command("pMat4_MakeNew", "L", {});
  p().command("pMat4_PerspectiveFOVLH", "LFFFF", {projection, 1.0f, 100.0f, 60.0f, 640.0f / 480.0f});
  p().command("pMat4_SetCameraProjection", "LL", {projection, 0});
  const float positions[7][3] = {{0.5f, 0, 20}, {0, 0, 10}, {50, 50, 50}, {-50, 0, 5}, {0, 80, 30}, {9, 9, -9}, {0, 0, -30}};
  for (int object = 1; object <= 7; ++object) {
    const std::uint32_t at = vec3(positions[object - 1][0], positions[object - 1][1], positions[object - 1][2]);
    p().command("pVec3_SetObjectPosition", "LL", {at, object});
  }
  const float mouse_x = 320, mouse_y = 240;

  const std::uint32_t ray_start = vec3(0, 0, 0), ray_end = vec3(0, 0, 0), ray_dir = vec3(0, 0, 0);
  const std::uint32_t centre = vec3(0, 0, 0), hit_point = vec3(0, 0, 0);
  p().command("pVec3_Set", "LFFF", {ray_start, mouse_x, mouse_y, 0.0f});
  p().command("pVec3_Set", "LFFF", {ray_end, mouse_x, mouse_y, 1.0f});
  p().command("pVec3_UnProjectCamera", "LLL", {ray_start, ray_start, 0});
  p().command("pVec3_UnProjectCamera", "LLL", {ray_end, ray_end, 0});
  p().command("pVec3_Sub", "LLL", {ray_dir, ray_end, ray_start});
  int picked = 0;
  float nearest = -1;
  for (int object = 1; object <= 7; ++object) {
    p().command("pVec3_GetObjectPosition", "LL", {centre, object});
    const float t = p().command_float("pRay_HitSphere", "FLLLF", {ray_start, ray_dir, centre, 1.0f});
    if (object == 1) EXPECT_NEAR(t, 0.1832f, 5e-5) << "the sphere at z = 20 is hit later";
    if (t >= 0 && (nearest < 0 || t < nearest)) nearest = t, picked = object;
  }
  if (picked > 0) p().command("pVec3_Lerp", "LLLF", {hit_point, ray_start, ray_end, nearest});

  const float* start = kvt::as_pointer(ray_start);
  const float* end = kvt::as_pointer(ray_end);
  const float* hit = kvt::as_pointer(hit_point);
  EXPECT_NEAR(start[0], 0, 1e-6); EXPECT_NEAR(start[1], 0, 1e-6); EXPECT_NEAR(start[2], 1, 1e-5) << "the near plane";
  EXPECT_NEAR(end[2], 100, 1e-3) << "the far plane";
  EXPECT_EQ(picked, 2);
  EXPECT_NEAR(nearest, 8.0 / 99, 2e-6) << "the guide: t = 8/99, about 0.0808";
  EXPECT_NEAR(hit[0], 0, 1e-6); EXPECT_NEAR(hit[1], 0, 1e-6); EXPECT_NEAR(hit[2], 9, 2e-5);
}

}  // namespace
