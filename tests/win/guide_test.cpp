// The user guide's worked examples, run through the DLL as a script runs them,
// with the substitute host standing in for the scene: the example's calls in
// order, and every number the guide states about them.
#include <gtest/gtest.h>

#include <cmath>
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
  std::uint32_t make(const char* keyword) { return p().command(keyword, "L", {}); }
  // Camera 0 at the origin looking along +z: near 1, far 100, 60°, 640 × 480.
  void camera_zero() {
    const std::uint32_t projection = make("pMat4_MakeNew");
    p().command("pMat4_PerspectiveFOVLH", "LFFFF", {projection, 1.0f, 100.0f, 60.0f, 640.0f / 480.0f});
    p().command("pMat4_SetCameraProjection", "LL", {projection, 0});
  }
  void place(int object, float x, float y, float z) { p().command("pVec3_SetObjectPosition", "LL", {vec3(x, y, z), object}); }
};

float x_of(std::uint32_t h) { return kvt::as_pointer(h)[0]; }
float y_of(std::uint32_t h) { return kvt::as_pointer(h)[1]; }
float z_of(std::uint32_t h) { return kvt::as_pointer(h)[2]; }

TEST_F(Guide, AnOrbitingCamera) {
  const std::uint32_t target = vec3(0, 1, 0), up = vec3(0, 1, 0), eye = vec3(0, 0, 0), view = make("pMat4_MakeNew");
  const std::uint32_t seen = vec3(0, 0, 0);
  const float radius = 12, height = 4;
  auto frame = [&](float angle) {
    p().command("pVec3_RadToAxis", "LFF", {eye, 0.0f, angle});
    p().command("pVec3_MulScalar", "LLF", {eye, eye, radius});
    p().command("pVec3_AddValue", "LLFFF", {eye, eye, 0.0f, height, 0.0f});
    p().command("pMat4_LookAtLH", "LLLL", {view, eye, target, up});
    p().command("pVec3_TransformCoord", "LLL", {seen, target, view});
    EXPECT_NEAR(x_of(seen), 0, 2e-5); EXPECT_NEAR(y_of(seen), 0, 2e-5);
    EXPECT_NEAR(z_of(seen), std::sqrt(153.0), 2e-5) << "the target straight ahead at angle " << angle;
  };
  frame(0);
  EXPECT_NEAR(x_of(eye), 0, 1e-6); EXPECT_EQ(y_of(eye), 4.0f); EXPECT_NEAR(z_of(eye), 12, 1e-5);
  float angle = 0;
  for (int n = 1; n <= 157; ++n) frame(angle = angle + 0.01f);
  EXPECT_NEAR(x_of(eye), 12, 1e-3); EXPECT_EQ(y_of(eye), 4.0f); EXPECT_NEAR(z_of(eye), 0, 0.01) << "a quarter turn";
}

TEST_F(Guide, AnObjectFollowingAPath) {
  const float points[5][3] = {{-10, 0, 0}, {-4, 0, 6}, {4, 0, 6}, {10, 0, 0}, {0, 0, -8}};
  std::uint32_t waypoint[5];
  for (int i = 0; i < 5; ++i) waypoint[i] = vec3(points[i][0], points[i][1], points[i][2]);
  const std::uint32_t pos = vec3(0, 0, 0), ahead = vec3(0, 0, 0), flat = make("pVec2_MakeNew"), angles = vec3(0, 0, 0);
  const std::uint32_t read = vec3(0, 0, 0);
  int segment = 0, visited = 0;
  bool left_waypoint_1 = false;
  float s = 0, last[3] = {points[0][0], points[0][1], points[0][2]}, longest = 0;
  for (int frame = 0; frame < 520; ++frame) {
    const std::uint32_t p0 = waypoint[(segment + 4) % 5], p1 = waypoint[segment];
    const std::uint32_t p2 = waypoint[(segment + 1) % 5], p3 = waypoint[(segment + 2) % 5];
    p().command("pVec3_CatmullRom", "LLLLLF", {pos, p0, p1, p2, p3, s});
    p().command("pVec3_SetObjectPosition", "LL", {pos, 1});
    p().command("pVec3_CatmullRom", "LLLLLF", {ahead, p0, p1, p2, p3, s + 0.01f});
    p().command("pVec3_Sub", "LLL", {ahead, ahead, pos});
    const float ahead_z = p().command_float("pVec3_GetZ", "FL", {ahead}), ahead_x = p().command_float("pVec3_GetX", "FL", {ahead});
    p().command("pVec2_Set", "LFF", {flat, ahead_z, ahead_x});
    const float yaw = p().command_float("pVec2_AxisToDeg", "FL", {flat});
    p().command("pVec3_Set", "LFFF", {angles, 0.0f, yaw, 0.0f});
    p().command("pVec3_SetObjectRotation", "LL", {angles, 1});
    EXPECT_NEAR(segment == 1 && !left_waypoint_1 ? yaw : 67.7f, 67.7f, 0.05f) << "leaving waypoint 1, toward the point 0.01 on";
    left_waypoint_1 |= segment == 1;
    p().command("pVec3_GetObjectPosition", "LL", {read, 1});
    longest = std::max(longest, std::hypot(x_of(read) - last[0], y_of(read) - last[1], z_of(read) - last[2]));
    last[0] = x_of(read), last[1] = y_of(read), last[2] = z_of(read);
    s = s + 0.01f;
    if (s >= 1.0f) s = s - 1.0f, segment = (segment + 1) % 5, ++visited;
  }
  EXPECT_GE(visited, 5) << "round the whole loop";
  EXPECT_LT(longest, 0.16f) << "no jump, the last waypoint to the first included";
  for (int k = 0; k < 5; ++k) {  // at s = 0 each segment starts on its waypoint exactly
    p().command("pVec3_CatmullRom", "LLLLLF", {pos, waypoint[(k + 4) % 5], waypoint[k], waypoint[(k + 1) % 5], waypoint[(k + 2) % 5], 0.0f});
    EXPECT_EQ(x_of(pos), points[k][0]); EXPECT_EQ(z_of(pos), points[k][2]) << k;
  }
  // At waypoint 1 the path runs along (7, 0, 3): a yaw of 66.8°.
  p().command("pVec3_CatmullRom", "LLLLLF", {pos, waypoint[0], waypoint[1], waypoint[2], waypoint[3], 1e-4f});
  EXPECT_NEAR(std::atan2(x_of(pos) + 4, z_of(pos) - 6) * 180 / 3.14159265, 66.8, 0.05);
}

TEST_F(Guide, BlendingTwoPoses) {
  const std::uint32_t start_rot = make("pQuat_MakeNew"), end_rot = make("pQuat_MakeNew"), rot = make("pQuat_MakeNew");
  const std::uint32_t start_pos = vec3(-5, 0, 0), end_pos = vec3(5, 2, 0), pos = vec3(0, 0, 0);
  p().command("pQuat_RotationXYZ", "LFFF", {start_rot, 0.0f, 0.0f, 0.0f});
  p().command("pQuat_RotationXYZ", "LFFF", {end_rot, 0.0f, 2.5f, 0.3f});
  const std::uint32_t square = make("pQuat_MakeNew"), rotation = make("pMat4_MakeNew"), end_pose = make("pMat4_MakeNew");
  const std::uint32_t where = vec3(0, 0, 0);
  p().command("pMat4_RotationXYZ", "LFFF", {end_pose, 0.0f, 2.5f, 0.3f});
  for (int frame = 0; frame <= 100; ++frame) {
    const float t = frame / 100.0f;
    p().command("pQuat_SLerp", "LLLF", {rot, start_rot, end_rot, t});
    p().command("pVec3_Lerp", "LLLF", {pos, start_pos, end_pos, t});
    p().command("pQuat_SetObjectRotation", "LL", {rot, 1});
    p().command("pVec3_SetObjectPosition", "LL", {pos, 1});
    if (frame == 50) {
      p().command("pQuat_Mul", "LLL", {square, rot, rot});
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(kvt::as_pointer(square)[i], kvt::as_pointer(end_rot)[i], 1e-6) << "twice the halfway rot";
      EXPECT_EQ(x_of(pos), 0.0f); EXPECT_EQ(y_of(pos), 1.0f); EXPECT_EQ(z_of(pos), 0.0f);
    }
  }
  p().command("pMat4_GetObjectRotation", "LL", {rotation, 1});
  p().command("pVec3_GetObjectPosition", "LL", {where, 1});
  for (int e = 0; e < 16; ++e) EXPECT_NEAR(kvt::as_pointer(rotation)[e], kvt::as_pointer(end_pose)[e], 1e-5) << "the end pose, element " << e;
  EXPECT_EQ(x_of(where), 5.0f); EXPECT_EQ(y_of(where), 2.0f); EXPECT_EQ(z_of(where), 0.0f);

  // pMat4_SLerp of the same poses: the look row ends reversed, and halfway the yaw
  // differs from the quaternion blend's by 89°.
  const std::uint32_t start_pose = make("pMat4_MakeNew"), blend = make("pMat4_MakeNew"), angles = vec3(0, 0, 0), other = vec3(0, 0, 0);
  p().command("pMat4_RotationXYZ", "LFFF", {start_pose, 0.0f, 0.0f, 0.0f});
  p().command("pMat4_SLerp", "LLLF", {blend, start_pose, end_pose, 1.0f});
  const float* b = kvt::as_pointer(blend);
  const float* e = kvt::as_pointer(end_pose);
  EXPECT_NEAR(std::acos(e[10]) * 180 / 3.14159265, 143.2, 0.1) << "the look row turns by 143°";
  EXPECT_NEAR(std::acos(e[0]) * 180 / 3.14159265, 139.9, 0.1) << "the right row by 140°";
  EXPECT_NEAR(b[8] * e[8] + b[9] * e[9] + b[10] * e[10], -1, 1e-5) << "facing 180° away pos t = 1";
  p().command("pMat4_SLerp", "LLLF", {blend, start_pose, end_pose, 0.5f});
  p().command("pMat4_GetEulerDeg", "LL", {angles, blend});
  p().command("pQuat_SLerp", "LLLF", {rot, start_rot, end_rot, 0.5f});
  p().command("pQuat_GetEulerDeg", "LL", {other, rot});
  EXPECT_NEAR(std::fabs(y_of(angles) - y_of(other)), 89, 0.5) << y_of(angles) << " against " << y_of(other);
}

TEST_F(Guide, CullingWhatACameraCannotSee) {
  camera_zero();
  const float spheres[5][3] = {{0, 0, 50}, {0, 0, 101}, {0, 0, -10}, {60, 0, 50}, {5, 3, 20}};
  const int kept[5] = {1, 1, 0, 0, 1};
  for (int object = 1; object <= 5; ++object) place(object, spheres[object - 1][0], spheres[object - 1][1], spheres[object - 1][2]);
  const std::uint32_t view_frustum = make("pFrustum_MakeNew"), centre = vec3(0, 0, 0);
  p().command("pFrustum_ExtractCamera", "LL", {view_frustum, 0});
  for (int object = 1; object <= 200; ++object) {
    p().command("pVec3_GetObjectPosition", "LL", {centre, object});
    const std::uint32_t keep =
        p().command("pFrustum_TestSphere", "LLFFFF", {view_frustum, x_of(centre), y_of(centre), z_of(centre), 2.0f});
    EXPECT_EQ(keep, object <= 5 ? std::uint32_t(kept[object - 1]) : keep) << "object " << object;
  }
  // The extracted near plane lies at 100/199, not at the camera's near distance 1.
  EXPECT_NEAR(p().command_float("pFrustum_TestPoint", "FLFFF", {view_frustum, 0.0f, 0.0f, 0.6f}), 0.6 - 100.0 / 199, 1e-6);
  EXPECT_NEAR(p().command_float("pFrustum_PointDepth", "FLFFF", {view_frustum, 0.0f, 0.0f, 1.0f}), 1 - 100.0 / 199, 1e-6);
  EXPECT_NEAR(p().command_float("pFrustum_PointDepth", "FLFFF", {view_frustum, 0.0f, 0.0f, 100.0f / 199}), 0, 1e-6);
}

// Camera 0 at the origin looking along +z, 60° across, 640 × 480; spheres of
// radius 1 at (0, 0, 10) (object 2) and (0.5, 0, 20) (object 1), the others far off.
TEST_F(Guide, PickingWhatTheMousePointsAt) {
  camera_zero();
  const float positions[7][3] = {{0.5f, 0, 20}, {0, 0, 10}, {50, 50, 50}, {-50, 0, 5}, {0, 80, 30}, {9, 9, -9}, {0, 0, -30}};
  for (int object = 1; object <= 7; ++object) place(object, positions[object - 1][0], positions[object - 1][1], positions[object - 1][2]);
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
    EXPECT_NEAR(object == 1 ? t : 0.1832f, 0.1832f, 5e-5) << "the sphere at z = 20 is hit later";
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
