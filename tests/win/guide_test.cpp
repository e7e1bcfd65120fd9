// The user guide's worked examples, run from the guide's own text by the BASIC
// runner through the DLL, with the substitute host standing in for the scene, and
// every number the guide states about them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "harness/basic.h"
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
  // The example under `## Example: <title>`, as the guide prints it, loaded into the runner.
  kvt::Basic& example(const char* title) {
    basic.load(kvt::guide_example("guide.md", title));
    return basic;
  }
  kvt::Basic basic{p()};
};

float x_of(std::uint32_t h) { return kvt::as_pointer(h)[0]; }
float y_of(std::uint32_t h) { return kvt::as_pointer(h)[1]; }
float z_of(std::uint32_t h) { return kvt::as_pointer(h)[2]; }
std::uint32_t handle(const kvt::Basic& b, const char* name) { return std::uint32_t(b.get(name).i); }

TEST_F(Guide, AnOrbitingCamera) {
  kvt::Basic& run = example("an orbiting camera");
  const std::uint32_t seen = vec3(0, 0, 0);
  run.run(157, [&](int frame) {  // whatever the angle, the target straight ahead at √(12² + 3²)
    p().command("pVec3_TransformCoord", "LLL", {seen, handle(run, "target"), handle(run, "view")});
    EXPECT_NEAR(x_of(seen), 0, 2e-5); EXPECT_NEAR(y_of(seen), 0, 2e-5);
    EXPECT_NEAR(z_of(seen), std::sqrt(153.0), 2e-5) << "frame " << frame;
  });
  const float* eye = run.floats("eye");
  EXPECT_NEAR(run.get("angle#").f, 1.57, 0.001);
  EXPECT_NEAR(eye[0], 12, 1e-3); EXPECT_EQ(eye[1], 4.0f); EXPECT_NEAR(eye[2], 0, 0.01) << "a quarter turn";
}

TEST_F(Guide, AnObjectFollowingAPath) {
  kvt::Basic& run = example("an object following a path");
  const float points[5][3] = {{-10, 0, 0}, {-4, 0, 6}, {4, 0, 6}, {10, 0, 0}, {0, 0, -8}};
  const std::uint32_t read = vec3(0, 0, 0);
  float last[3] = {points[0][0], points[0][1], points[0][2]}, longest = 0;
  int segments = 0, syncs_on_1 = 0;
  run.run(520, [&](int) {
    p().command("pVec3_GetObjectPosition", "LL", {read, 1});
    longest = std::max(longest, std::hypot(x_of(read) - last[0], y_of(read) - last[1], z_of(read) - last[2]));
    last[0] = x_of(read), last[1] = y_of(read), last[2] = z_of(read);
    // The segment turns 1 at the end of a frame; the next frame starts on waypoint 1.
    const bool leaving_1 = run.get("segment").i == 1 && ++syncs_on_1 == 2;
    EXPECT_NEAR(leaving_1 ? run.get("yaw#").f : 67.7f, 67.7f, 0.05f) << "leaving waypoint 1, toward the point 0.01 on";
    segments |= 1 << run.get("segment").i;
  });
  EXPECT_EQ(segments, 31) << "round the whole loop, the last waypoint to the first included";
  EXPECT_LT(longest, 0.16f) << "no jump";
  std::uint32_t waypoint[5];  // at s = 0 each segment starts on its waypoint exactly
  for (int k = 0; k < 5; ++k) waypoint[k] = vec3(points[k][0], points[k][1], points[k][2]);
  for (int k = 0; k < 5; ++k) {
    p().command("pVec3_CatmullRom", "LLLLLF", {read, waypoint[(k + 4) % 5], waypoint[k], waypoint[(k + 1) % 5], waypoint[(k + 2) % 5], 0.0f});
    EXPECT_EQ(x_of(read), points[k][0]); EXPECT_EQ(z_of(read), points[k][2]) << k;
  }
  // At waypoint 1 the path runs along (p2 − p0) / 2 = (7, 0, 3): a yaw of 66.8°.
  EXPECT_NEAR(std::atan2(7.0, 3.0) * 180 / 3.14159265, 66.8, 0.05);
}

TEST_F(Guide, BlendingTwoPoses) {
  kvt::Basic& run = example("blending two poses");
  const std::uint32_t square = make("pQuat_MakeNew"), rotation = make("pMat4_MakeNew"), end_pose = make("pMat4_MakeNew");
  const std::uint32_t where = vec3(0, 0, 0);
  run.run(1000, [&](int frame) {
    if (frame != 50) return;
    p().command("pQuat_Mul", "LLL", {square, handle(run, "rot"), handle(run, "rot")});
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(kvt::as_pointer(square)[i], run.floats("end_rot")[i], 1e-6) << "twice the halfway rot";
    const float* pos = run.floats("pos");
    EXPECT_EQ(pos[0], 0.0f); EXPECT_EQ(pos[1], 1.0f); EXPECT_EQ(pos[2], 0.0f);
  });
  EXPECT_EQ(run.get("frame").i, 101) << "the loop ran to its end";
  p().command("pMat4_RotationXYZ", "LFFF", {end_pose, 0.0f, 2.5f, 0.3f});
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
  p().command("pQuat_SLerp", "LLLF", {square, handle(run, "start_rot"), handle(run, "end_rot"), 0.5f});
  p().command("pQuat_GetEulerDeg", "LL", {other, square});
  EXPECT_NEAR(std::fabs(y_of(angles) - y_of(other)), 89, 0.5) << y_of(angles) << " against " << y_of(other);
}

TEST_F(Guide, CullingWhatACameraCannotSee) {
  camera_zero();
  kvt::Basic& run = example("culling what a camera cannot see");
  run.run(1);
  const std::uint32_t view_frustum = handle(run, "view_frustum");
  const float spheres[5][3] = {{0, 0, 50}, {0, 0, 101}, {0, 0, -10}, {60, 0, 50}, {5, 3, 20}};
  const std::uint32_t kept[5] = {1, 1, 0, 0, 1};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(p().command("pFrustum_TestSphere", "LLFFFF", {view_frustum, spheres[k][0], spheres[k][1], spheres[k][2], 2.0f}), kept[k]) << k;
  }
  // The extracted near plane lies at 100/199, not at the camera's near distance 1.
  EXPECT_NEAR(p().command_float("pFrustum_TestPoint", "FLFFF", {view_frustum, 0.0f, 0.0f, 0.6f}), 0.097, 5e-4);
  EXPECT_NEAR(p().command_float("pFrustum_PointDepth", "FLFFF", {view_frustum, 0.0f, 0.0f, 1.0f}), 0.497, 5e-4);
  EXPECT_NEAR(p().command_float("pFrustum_PointDepth", "FLFFF", {view_frustum, 0.0f, 0.0f, 100.0f / 199}), 0, 1e-6);
}

// Camera 0 at the origin looking along +z, 60° across, 640 × 480; spheres of
// radius 1 at (0, 0, 10) (object 2) and (0.5, 0, 20) (object 1), the others far
// off; the objects past the substitute host's 7 do not exist.
TEST_F(Guide, PickingWhatTheMousePointsAt) {
  camera_zero();
  const float positions[7][3] = {{0.5f, 0, 20}, {0, 0, 10}, {50, 50, 50}, {-50, 0, 5}, {0, 80, 30}, {9, 9, -9}, {0, 0, -30}};
  for (int object = 1; object <= 7; ++object) place(object, positions[object - 1][0], positions[object - 1][1], positions[object - 1][2]);
  kvt::Basic& run = example("picking what the mouse points at");
  run.word("mousex", [] { return kvt::Value{false, 0, 320}; });
  run.word("mousey", [] { return kvt::Value{false, 0, 240}; });
  run.run(1);
  const float* start = run.floats("ray_start");
  const float* end = run.floats("ray_end");
  const float* hit = run.floats("hit_point");
  EXPECT_NEAR(start[0], 0, 1e-6); EXPECT_NEAR(start[1], 0, 1e-6); EXPECT_NEAR(start[2], 1, 1e-5) << "the near plane";
  EXPECT_NEAR(end[2], 100, 1e-3) << "the far plane";
  EXPECT_EQ(run.get("picked").i, 2);
  EXPECT_NEAR(run.get("nearest#").f, 8.0 / 99, 2e-6) << "the guide: t = 8/99, about 0.0808";
  EXPECT_NEAR(hit[0], 0, 1e-6); EXPECT_NEAR(hit[1], 0, 1e-6); EXPECT_NEAR(hit[2], 9, 2e-5);
  const std::uint32_t later = vec3(0.5f, 0, 20);
  EXPECT_NEAR(p().command_float("pRay_HitSphere", "FLLLF", {handle(run, "ray_start"), handle(run, "ray_dir"), later, 1.0f}), 0.1832f, 5e-5)
      << "the sphere at z = 20 is hit later";
}

// A thousand rocks turned and culled in one call each; camera 0 as in the culling
// example. Every rock's answer is Frustum_TestSphere's, and rock 820 gets the
// bits of the single transform.
TEST_F(Guide, AFieldOfRocks) {
  camera_zero();
  kvt::Basic& run = example("a field of rocks");
  run.run(1);
  const float* centres = run.floats("centres");
  const float* radii = run.floats("radii");
  const float* seen = run.floats("seen");
  int kept = 0;
  for (int i = 0; i < 1000; ++i) {
    const float* c = centres + 3 * i;
    const std::uint32_t one = p().command("pFrustum_TestSphere", "LLFFFF", {handle(run, "view_frustum"), c[0], c[1], c[2], radii[i]});
    EXPECT_EQ(seen[i], one ? 1.0f : 0.0f) << i;
    kept += int(one);
  }
  EXPECT_EQ(run.get("visible").i, kept);
  EXPECT_EQ(kept, 135) << "the guide: the first frame keeps 135";
  const std::uint32_t rock = vec3(2.5f, 0, 40);
  p().command("pVec3_TransformCoord", "LLL", {rock, rock, handle(run, "spin")});
  EXPECT_EQ(std::memcmp(kvt::as_pointer(rock), centres + 3 * 820, 12), 0) << "rock 820 as the single command turns it";
  EXPECT_NEAR(centres[3 * 820], 2.9, 0.05);
  EXPECT_NEAR(centres[3 * 820 + 2], 40.0, 0.05);
  EXPECT_EQ(seen[820], 1.0f);
}

// Three triangles in one Vec3 array, the corners read from the example as printed:
// the wall is picked before the floor behind it, with the t, u, v and point the
// guide states, and the array is freed; rays from above aimed all along the floor's
// shared diagonal, its corners included, each hit one of its two halves.
TEST_F(Guide, PickingAmongTriangles) {
  const std::uint32_t arrays = p().command("pArray_LiveCount", "L", {});
  const std::string code = kvt::guide_example("guide.md", "picking among triangles");
  std::vector<float> corner;
  const std::regex set(R"(pVec3_Set pArray_Element\(corners, \d+\),\s*([-\d.]+),\s*([-\d.]+),\s*([-\d.]+))");
  for (std::sregex_iterator m(code.begin(), code.end(), set), end; m != end; ++m) {
    for (int k = 1; k <= 3; ++k) corner.push_back(std::stof((*m)[k].str()));
  }
  ASSERT_EQ(corner.size(), 27u);
  kvt::Basic& run = example("picking among triangles");
  run.run(1);
  EXPECT_EQ(run.get("hit").i, 2) << "the wall";
  EXPECT_NEAR(run.get("t#").f, 15, 1e-5); EXPECT_NEAR(run.get("u#").f, 0.4375, 1e-6); EXPECT_NEAR(run.get("v#").f, 0.125, 1e-6);
  const float* point = run.floats("hit_point");
  EXPECT_NEAR(point[0], 0, 1e-5); EXPECT_NEAR(point[1], 1.25, 1e-5); EXPECT_NEAR(point[2], 5, 1e-5);
  EXPECT_EQ(run.get("corners").i, 0);
  EXPECT_EQ(p().command("pArray_LiveCount", "L", {}), arrays) << "the array freed";

  const std::uint32_t all = p().command("pVec3_MakeArray", "LL", {9}), floor = p().command("pVec3_MakeArray", "LL", {6});
  std::memcpy(kvt::as_pointer(all), corner.data(), 27 * 4), std::memcpy(kvt::as_pointer(floor), corner.data(), 18 * 4);
  auto at = [&](std::uint32_t array, int k) { return p().command("pArray_Element", "LLL", {array, k}); };
  const std::uint32_t same = vec3(0, 0, 0), tuv = vec3(0, 0, 0), origin = handle(run, "origin"), dir = handle(run, "dir");
  p().command("pVec3_BaryCentric", "LLLLFF", {same, at(all, 6), at(all, 7), at(all, 8), run.get("u#").f, run.get("v#").f});
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(kvt::as_pointer(same)[i], point[i], 1e-5) << "corner 6 + u·(7 − 6) + v·(8 − 6)";
  EXPECT_EQ(p().command("pRay_HitTriangleArray", "LLLLL", {origin, dir, floor, tuv}), 1u) << "the floor behind the wall";
  EXPECT_NEAR(x_of(tuv), 20, 1e-5);
  EXPECT_NEAR(5 + x_of(tuv) * y_of(dir), 0, 1e-5); EXPECT_NEAR(-10 + x_of(tuv) * z_of(dir), 10, 1e-5) << "at (0, 0, 10)";
  const float* a = &corner[3], * b = &corner[6];  // the diagonal: corners 1 and 2
  for (int from = 0; from < 64; ++from) {
    const std::uint32_t eye = vec3(-12.0f + 0.375f * from, 3.0f + 0.5f * (from % 7), -12.0f + 0.25f * from), aim = vec3(0, 0, 0);
    for (int k = 0; k <= 256; ++k) {
      const float s = k / 256.0f;
      p().command("pVec3_Set", "LFFF", {aim, a[0] + s * (b[0] - a[0]) - x_of(eye), a[1] + s * (b[1] - a[1]) - y_of(eye),
                                        a[2] + s * (b[2] - a[2]) - z_of(eye)});
      const std::uint32_t hit = p().command("pRay_HitTriangleArray", "LLLLL", {eye, aim, floor, tuv});
      EXPECT_TRUE(hit == 0 || hit == 1) << "from " << from << ", at " << s << " along the diagonal";
      EXPECT_NEAR(x_of(tuv), 1, 1e-4) << from << ", " << s;
    }
  }
}

// A level's mesh, its corners and things read from the example as printed: the mouse
// at the centre picks as the guide says, and over the whole view what
// pRay_HitTriangleArray picks, bit for bit; line of sight everywhere is a hit at t ≤ 0.999.
TEST_F(Guide, PickingAndLineOfSightInALevel) {
  camera_zero();
  const std::string code = kvt::guide_example("guide.md", "picking and line of sight in a level");
  std::map<std::string, std::vector<float>> set;  // the pVec3_Set lines, by array
  const std::regex line(R"(pVec3_Set pArray_Element\((\w+), \d+\),\s*([-\d.]+),\s*([-\d.]+),\s*([-\d.]+))");
  for (std::sregex_iterator m(code.begin(), code.end(), line), end; m != end; ++m) {
    for (int k = 2; k <= 4; ++k) set[(*m)[1].str()].push_back(std::stof((*m)[k].str()));
  }
  ASSERT_EQ(set["corners"].size(), 36u); ASSERT_EQ(set["things"].size(), 12u);
  const std::uint32_t corners = p().command("pVec3_MakeArray", "LL", {12}), tuv = vec3(0, 0, 0), to = vec3(0, 0, 0);
  std::memcpy(kvt::as_pointer(corners), set["corners"].data(), 36 * 4);
  const std::uint32_t meshes = p().command("pMesh_LiveCount", "L", {}), arrays = p().command("pArray_LiveCount", "L", {});
  int now = 0, picked = 0;  // frame 0 at the centre, then a 17 × 13 grid over the 640 × 480 view
  kvt::Basic& run = example("picking and line of sight in a level");
  run.word("mousex", [&] { return kvt::Value{false, 0, now ? 40 * ((now - 1) % 17) : 320}; });
  run.word("mousey", [&] { return kvt::Value{false, 0, now ? 40 * ((now - 1) / 17) : 240}; });
  run.run(1 + 17 * 13, [&](int frame) {
    const int expect = int(p().command("pRay_HitTriangleArray", "LLLLL", {handle(run, "ray_start"), handle(run, "ray_dir"), corners, tuv}));
    EXPECT_EQ(run.get("picked").i, expect) << frame;
    if (expect >= 0) { EXPECT_EQ(std::memcmp(kvt::as_pointer(tuv), run.floats("tuv"), 12), 0) << frame; }
    picked |= 1 << (expect + 1), ++now;
    if (frame) return;
    const float *t = run.floats("tuv"), *at = run.floats("hit_point"), *seen = run.floats("in_sight");
    EXPECT_NEAR(run.floats("ray_start")[2], 1, 1e-5); EXPECT_NEAR(run.floats("ray_end")[2], 100, 1e-3);
    EXPECT_EQ(expect, 2) << "the wall's lower triangle";
    EXPECT_NEAR(t[0], 19.0 / 99, 2e-6); EXPECT_NEAR(t[1], 0.75, 1e-5); EXPECT_NEAR(t[2], 0.125, 1e-5);
    EXPECT_NEAR(at[0], 0, 1e-5); EXPECT_NEAR(at[1], 0, 1e-5); EXPECT_NEAR(at[2], 20, 1e-4);
    EXPECT_EQ(run.get("visible").i, 3);
    EXPECT_EQ(seen[0], 1.0f); EXPECT_EQ(seen[1], 0.0f); EXPECT_EQ(seen[2], 1.0f); EXPECT_EQ(seen[3], 1.0f);
  });
  EXPECT_EQ(picked, 31) << "the sweep saw misses and each of the four triangles";
  EXPECT_EQ(p().command("pMesh_LiveCount", "L", {}), meshes + 1);  // the corners freed, the things and in_sight not:
  EXPECT_EQ(p().command("pArray_LiveCount", "L", {}), arrays + 2);
  const std::uint32_t player = handle(run, "player"), level = handle(run, "level");
  const float* thing = set["things"].data();
  EXPECT_NEAR(thing[6] * (20 - z_of(player)) / (thing[8] - z_of(player)), 6.4, 0.05) << "the guard past the wall's end";
  p().command("pVec3_Sub", "LLL", {to, p().command("pArray_Element", "LLL", {handle(run, "things"), 3}), player});
  EXPECT_EQ(p().command("pRay_HitMesh", "LLLLL", {player, to, level, tuv}), 3u);
  EXPECT_EQ(x_of(tuv), 1.0f) << "the sign's own wall at t = 1";
  EXPECT_EQ(p().command("pRay_HitMeshAny", "LLLLF", {player, to, level, 1.0f}), 1u) << "max_t 1.0 would hide the sign";
  int blocked = 0;
  for (int k = 0; k < 15 * 7 * 17; ++k) {  // line of sight to points all over the level, its surfaces included
    p().command("pVec3_Set", "LFFF", {to, 2.0f * (k % 15) - 14 - x_of(player), 2.0f * (k / 15 % 7) - 3 - y_of(player), 2.0f * (k / 105) - z_of(player)});
    const bool hit = int(p().command("pRay_HitTriangleArray", "LLLLL", {player, to, corners, tuv})) >= 0 && x_of(tuv) <= 0.999f;
    EXPECT_EQ(p().command("pRay_HitMeshAny", "LLLLF", {player, to, level, 0.999f}), hit ? 1u : 0u) << k;
    blocked += hit;
  }
  EXPECT_GT(blocked, 100); EXPECT_LT(blocked, 15 * 7 * 17 - 100);
  run.load(code.substr(code.rfind("loop\n") + 5)), run.run(1);  // the level's end, as printed
  EXPECT_EQ(run.get("level").i, 0); EXPECT_EQ(p().command("pMesh_LiveCount", "L", {}), meshes); EXPECT_EQ(p().command("pArray_LiveCount", "L", {}), arrays);
}


// A character walked through a level as the guide prints it, its corners and radii
// read from the example: every frame it keeps out of the level (where coordinates
// are divided by its radii, a unit sphere no triangle comes within) and its centre
// its horizontal radius from each wall; it stands, is blocked and climbs where and
// when the guide says, and with 20° in place of the 45° slope limit it never gets
// up the ramp.
TEST_F(Guide, WalkingThroughALevel) {
  std::string code = kvt::guide_example("guide.md", "walking through a level");
  std::vector<float> corner, radii;
  const std::regex set(R"(pVec3_Set pArray_Element\(corners, \d+\),\s*([-\d.]+),\s*([-\d.]+),\s*([-\d.]+))");
  for (std::sregex_iterator m(code.begin(), code.end(), set), end; m != end; ++m) {
    for (int k = 1; k <= 3; ++k) corner.push_back(std::stof((*m)[k].str()));
  }
  std::smatch r;
  ASSERT_TRUE(std::regex_search(code, r, std::regex(R"(radii = pVec3_MakeNew\(([-\d.]+), ([-\d.]+), ([-\d.]+)\))")));
  for (int k = 1; k <= 3; ++k) radii.push_back(std::stof(r[k].str()));
  ASSERT_EQ(corner.size(), 90u);
  std::vector<float> walls, squashed;  // the triangles upright across x or z; every corner divided by the radii
  for (const float* c = corner.data(); c < corner.data() + 90; c += 9) {
    if ((c[0] == c[3] && c[3] == c[6]) || (c[2] == c[5] && c[5] == c[8])) walls.insert(walls.end(), c, c + 9);
  }
  for (std::size_t k = 0; k < 90; ++k) squashed.push_back(corner[k] / radii[k % 3]);
  ASSERT_EQ(walls.size(), 36u) << "two walls of two triangles";
  auto mesh_of = [&](const std::vector<float>& c) {
    const std::uint32_t array = p().command("pVec3_MakeArray", "LL", {std::uint32_t(c.size() / 3)});
    std::memcpy(kvt::as_pointer(array), c.data(), c.size() * 4);
    return p().command("pMesh_Make", "LL", {array});
  };
  const std::uint32_t wall_mesh = mesh_of(walls), squashed_mesh = mesh_of(squashed), spot = vec3(0, 0, 0), centre = vec3(0, 0, 0);
  const std::uint32_t meshes = p().command("pMesh_LiveCount", "L", {});
  struct Frame { float at[3], ground[3]; int result; };
  float nearest_wall = 1e9f;
  auto walk = [&](const std::string& text) {
    std::vector<Frame> frames;
    kvt::Basic run(p());
    run.load(text);
    run.run(1000, [&](int frame) {
      const float *q = run.floats("pos"), *g = run.floats("ground");
      frames.push_back({{q[0], q[1], q[2]}, {g[0], g[1], g[2]}, run.get("result").i});
      p().command("pVec3_Set", "LFFF", {centre, q[0] / radii[0], q[1] / radii[1], q[2] / radii[2]});
      EXPECT_GE(p().command_float("pMesh_ClosestPoint", "FLLL", {spot, centre, squashed_mesh}), 1.0f) << "inside the level at frame " << frame;
      const float wall = p().command_float("pMesh_ClosestPoint", "FLLL", {spot, handle(run, "pos"), wall_mesh});
      EXPECT_GE(wall, radii[0]) << "inside a wall at frame " << frame;
      nearest_wall = std::min(nearest_wall, wall);
    });
    EXPECT_EQ(run.get("frame").i, 240) << "the loop ran to its end";
    EXPECT_EQ(run.get("level").i, 0); EXPECT_EQ(p().command("pMesh_LiveCount", "L", {}), meshes) << "the level's mesh freed";
    return frames;
  };
  const std::vector<Frame> f = walk(code);
  auto first = [&](int k, auto&& when) { while (k < int(f.size()) && !when(f[k])) ++k; return k; };
  std::vector<int> off_ground;
  for (int k = 0; k < int(f.size()); ++k) if (f[k].result != 2) off_ground.push_back(k);
  EXPECT_EQ(off_ground, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 147})) << "falling, then 2 but at the ramp's top";
  for (int k = 7; k < 106; ++k) EXPECT_NEAR(f[k].at[1], 0.904, 1e-5) << "on the floor, frame " << k;
  EXPECT_EQ(first(0, [](const Frame& a) { return a.at[2] > 3.59f; }), 28);
  for (int k = 28; k < 60; ++k) EXPECT_NEAR(f[k].at[2], 3.596, 1e-5) << "blocked by the north wall, frame " << k;
  EXPECT_EQ(first(7, [](const Frame& a) { return a.at[1] > 0.91f; }), 106) << "the ramp met";
  for (int k = 107; k < 147; ++k) {
    EXPECT_NEAR(f[k].at[0] - f[k - 1].at[0], 0.1, 1e-5); EXPECT_NEAR(f[k].at[1] - f[k - 1].at[1], 0.05, 1e-5) << "up the ramp, frame " << k;
    EXPECT_NEAR(f[k].ground[0], -0.447, 5e-4); EXPECT_NEAR(f[k].ground[1], 0.894, 5e-4); EXPECT_EQ(f[k].ground[2], 0.0f);
  }
  EXPECT_EQ(f[147].result, 0); EXPECT_NEAR(f[147].at[1] - radii[1] - 2, 0.022, 5e-4) << "feet above the platform";
  EXPECT_NEAR(f[148].at[1] - radii[1] - 2, 0.002, 5e-4);
  EXPECT_EQ(first(0, [](const Frame& a) { return a.at[0] > 7.59f; }), 175) << "the east wall";
  EXPECT_NEAR(f.back().at[0], 7.596, 5e-4); EXPECT_NEAR(f.back().at[1], 2.902, 5e-4); EXPECT_NEAR(f.back().at[2], 1.721, 5e-4);
  EXPECT_NEAR(nearest_wall, 0.404, 5e-4);

  const std::size_t slope = code.find("45.0", code.find("pSphere_SlideSettings"));
  ASSERT_NE(slope, std::string::npos);
  const std::vector<Frame> steep = walk(code.replace(slope, 4, "20.0"));
  float highest = 0, furthest = -1e9f;
  int back_at_foot = 0;
  for (int k = 106; k < int(steep.size()); ++k) {
    highest = std::max(highest, steep[k].at[1]), furthest = std::max(furthest, steep[k].at[0]), back_at_foot += steep[k].result == 2;
    if (steep[k].at[1] > 0.91f) { EXPECT_EQ(steep[k].result, 1) << "the ramp no ground, frame " << k; }
  }
  EXPECT_NEAR(highest - radii[1], 0.34, 5e-3) << "the feet up the ramp"; EXPECT_LT(furthest, 4.0f) << "the platform never reached";
  EXPECT_GE(back_at_foot, 3) << "slid back to the ramp's foot again and again";
  p().command("pMesh_Delete", "L", {wall_mesh}), p().command("pMesh_Delete", "L", {squashed_mesh});
}

}  // namespace
