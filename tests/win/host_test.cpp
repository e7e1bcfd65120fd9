// The scene bridge against the substitute host: object and camera commands with
// the object or camera present, absent, at a negative address, and with the host
// functions unbound; the bytes around each field; one host call per command.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "harness/plugin.h"
#include "host/host_api.h"
#include "hosts/layout.h"
#include "support/ulp.h"

namespace {

using kvt::Plugin;
using namespace kvt::layout;
using kv::host::kGetInternalDataName;
using kv::host::kGetObjectName;

const Plugin& p() { return Plugin::get(); }

struct Record {
  unsigned char bytes[256];
};

template <class Fn>
Fn host_fn(HMODULE module, const char* name) {
  return kvt::function_at<Fn>(GetProcAddress(module, name));
}

constexpr int kObject = 3, kNoObject = 8, kNegative = 9, kCamera = 1, kNoCamera = 5;
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class HostBridge : public ::testing::Test {
 protected:
  HMODULE objects = LoadLibraryA("hosts\\full\\DBProBasic3DDebug.dll");
  HMODULE cameras = LoadLibraryA("hosts\\full\\DBProCameraDebug.dll");

  void SetUp() override {
    ASSERT_TRUE(objects && cameras);
    bind(objects, cameras);
    host_fn<void(__cdecl*)()>(objects, "SubstituteHost_ResetObjects")();
    host_fn<void(__cdecl*)()>(cameras, "SubstituteHost_ResetCameras")();
  }
  void TearDown() override { bind(objects, cameras); }

  // The handshake with these module handles; null ones leave every slot unbound.
  void bind(HMODULE o, HMODULE c) {
    unsigned char core[256] = {};
    const std::uint32_t words[2] = {kvt::word(o), kvt::word(c)};
    std::memcpy(core + kCoreObjectsModule, &words[0], 4);
    std::memcpy(core + kCoreCamerasModule, &words[1], 4);
    kvt::call(p().address("?ReceiveCoreDataPtr@@YAXPAX@Z"), {kvt::word(core)});
  }

  Record* object(int n) {
    auto* r = static_cast<Record*>(host_fn<void*(__cdecl*)(std::int32_t)>(objects, kGetObjectName)(n));
    host_fn<void(__cdecl*)()>(objects, "SubstituteHost_ClearCalls")();  // the test's own call is not the command's
    return r;
  }
  Record* camera(int n) { return static_cast<Record*>(host_fn<void*(__cdecl*)(std::int32_t)>(cameras, kGetInternalDataName)(n)); }
  std::string object_calls() { return host_fn<const char*(__cdecl*)()>(objects, "SubstituteHost_ObjectCalls")(); }
  int camera_calls() { return host_fn<int(__cdecl*)()>(cameras, "SubstituteHost_CameraCalls")(); }
};

void put3(Record* r, std::size_t offset, float x, float y, float z) {
  const float v[3] = {x, y, z};
  std::memcpy(r->bytes + offset, v, sizeof v);
}

// A command on a value of `floats` floats and an object or camera number.
struct Case {
  const char* name;
  std::function<void(float* value, int number)> call;
  int floats;                  // what a getter stores
  const float* fallback;       // what a getter stores without the object or camera; null for setters
  std::size_t field, bytes;    // what a setter writes in the record
};

const float kZero[4] = {0, 0, 0, 0}, kUnitQuat[4] = {0, 0, 0, 1};

std::function<void(float*, int)> command(const char* keyword, const char* letters) {
  return [=](float* v, int n) { p().command(keyword, letters, {v, n}); };
}

const Case kObjectCases[] = {
    {"Vec3_GetObjectPosition", command("pVec3_GetObjectPosition", "LL"), 3, kZero, 0, 0},
    {"Vec3_GetObjectRotation", command("pVec3_GetObjectRotation", "LL"), 3, kZero, 0, 0},
    {"Vec3_GetObjectScale", command("pVec3_GetObjectScale", "LL"), 3, kZero, 0, 0},
    {"Mat4_GetObjectTranslation", command("pMat4_GetObjectTranslation", "LL"), 16, kIdentity, 0, 0},
    {"Mat4_GetObjectRotation", command("pMat4_GetObjectRotation", "LL"), 16, kIdentity, 0, 0},
    {"Mat4_GetObjectScale", command("pMat4_GetObjectScale", "LL"), 16, kIdentity, 0, 0},
    {"Quat_GetObjectRotation", command("pQuat_GetObjectRotation", "LL"), 4, kUnitQuat, 0, 0},
    {"Vec3_SetObjectPosition", command("pVec3_SetObjectPosition", "LL"), 0, nullptr, kObjectPosition, 12},
    {"Vec3_SetObjectRotation", command("pVec3_SetObjectRotation", "LL"), 0, nullptr, kObjectRotation, 12},
    {"Vec3_SetObjectScale", command("pVec3_SetObjectScale", "LL"), 0, nullptr, kObjectScale, 12},
    {"Mat4_SetObjectTranslation", command("pMat4_SetObjectTranslation", "LL"), 0, nullptr, kObjectPosition, 12},
    {"Mat4_SetObjectRotation", command("pMat4_SetObjectRotation", "LL"), 0, nullptr, kObjectRotation, 12},
    {"Mat4_SetObjectScale", command("pMat4_SetObjectScale", "LL"), 0, nullptr, kObjectScale, 12},
    {"Quat_SetObjectRotation", command("pQuat_SetObjectRotation", "LL"), 0, nullptr, kObjectRotation, 12},
    {"Mat4_SetObjectTransforms", [](float* v, int n) { p().command("pMat4_SetObjectTransforms", "LLLLL", {v, n, 1, 1, 1}); },
     0, nullptr, kObjectPosition, 36},
};

const Case kCameraCases[] = {
    {"Mat4_GetCameraView", command("pMat4_GetCameraView", "LL"), 16, kIdentity, 0, 0},
    {"Mat4_GetCameraProjection", command("pMat4_GetCameraProjection", "LL"), 16, kIdentity, 0, 0},
    {"Mat4_GetCameraViewProj", command("pMat4_GetCameraViewProj", "LL"), 16, kIdentity, 0, 0},
    {"Vec3_GetCameraPosition", command("pVec3_GetCameraPosition", "LL"), 3, kZero, 0, 0},
    {"Vec3_GetCameraLook", command("pVec3_GetCameraLook", "LL"), 3, kZero, 0, 0},
    {"Vec3_GetCameraUp", command("pVec3_GetCameraUp", "LL"), 3, kZero, 0, 0},
    {"Vec3_GetCameraRight", command("pVec3_GetCameraRight", "LL"), 3, kZero, 0, 0},
    {"Vec3_ProjectCamera", [](float* v, int n) { p().command("pVec3_ProjectCamera", "LLL", {v, v, n}); }, 3, kZero, 0, 0},
    {"Vec3_ProjectCameraEx", [](float* v, int n) { p().command("pVec3_ProjectCamera", "LLLL", {v, v, n, kIdentity}); }, 3, kZero, 0, 0},
    {"Vec3_UnProjectCamera", [](float* v, int n) { p().command("pVec3_UnProjectCamera", "LLL", {v, v, n}); }, 3, kZero, 0, 0},
    {"Vec3_UnProjectCameraEx", [](float* v, int n) { p().command("pVec3_UnProjectCamera", "LLLL", {v, v, n, kIdentity}); }, 3, kZero, 0, 0},
    {"Mat4_SetCameraProjection", command("pMat4_SetCameraProjection", "LL"), 0, nullptr, kCameraProjection, 64},
};

// A value the commands read: a rotation by (0.3, −0.2, 0.1) with scale (2, 3, 4)
// and translation (5, 6, 7), for the setters.
void fill(float* v) {
  p().command("pMat4_RotationXYZ", "LFFF", {v, 0.3f, -0.2f, 0.1f});
  p().command("pMat4_ScaleLocal", "LLFFF", {v, v, 2.0f, 3.0f, 4.0f});
  p().command("pMat4_SetTranslation", "LLFFF", {v, v, 5.0f, 6.0f, 7.0f});
}

// The plug-in's record offsets against the substitute host's own.
TEST(HostLayout, ThePluginReadsTheRecordsWhereTheHostLaysThemOut) {
  const struct {
    const char* field;
    std::size_t plugin, host;
  } fields[] = {
      {"core: objects module", kv::host::kCoreObjectsModule, kCoreObjectsModule},
      {"core: cameras module", kv::host::kCoreCamerasModule, kCoreCamerasModule},
      {"object: position", kv::host::kObjectPosition, kObjectPosition},
      {"object: rotation", kv::host::kObjectRotation, kObjectRotation},
      {"object: scale", kv::host::kObjectScale, kObjectScale},
      {"camera: projection", kv::host::kCameraProjection, kCameraProjection},
      {"camera: view", kv::host::kCameraView, kCameraView},
      {"camera: look", kv::host::kCameraLook, kCameraLook},
      {"camera: up", kv::host::kCameraUp, kCameraUp},
      {"camera: right", kv::host::kCameraRight, kCameraRight},
      {"camera: position", kv::host::kCameraPosition, kCameraPosition},
      {"camera: viewport", kv::host::kCameraViewport, kCameraViewport},
  };
  for (const auto& f : fields) EXPECT_EQ(f.plugin, f.host) << f.field;
}

TEST_F(HostBridge, ObjectCommandsWithAndWithoutTheirObject) {
  for (const Case& c : kObjectCases) {
    SCOPED_TRACE(c.name);
    for (int situation = 0; situation < 4; ++situation) {
      const bool present = situation == 0, unbound = situation == 3;
      const int number = situation == 1 ? kNoObject : situation == 2 ? kNegative : kObject;
      SetUp();
      Record* r = object(kObject);
      put3(r, kObjectPosition, 1.5f, -2.5f, 3.5f), put3(r, kObjectRotation, 10, 20, 30), put3(r, kObjectScale, 2, 3, 4);
      Record before[8];
      for (int i = 1; i < 8; ++i) before[i] = *object(i);
      if (unbound) bind(nullptr, nullptr);
      float value[16];
      fill(value);
      c.call(value, number);
      EXPECT_EQ(object_calls(), unbound ? "" : "O") << situation << ": one GetObjectA, and no call through an unbound slot";
      for (int i = 1; i < 8; ++i) {
        if (!present || !c.bytes || i != kObject) {
          EXPECT_EQ(std::memcmp(object(i), &before[i], sizeof(Record)), 0) << situation << ": record " << i << " changed";
        } else {
          Record expected = before[i];
          std::memcpy(expected.bytes + c.field, object(i)->bytes + c.field, c.bytes);
          EXPECT_EQ(std::memcmp(object(i), &expected, sizeof(Record)), 0) << "bytes around the field changed";
        }
      }
      EXPECT_TRUE(!c.fallback || present || kv::test::floats_close(c.fallback, value, c.floats, 0)) << situation;
    }
  }
}

TEST_F(HostBridge, ObjectValuesRoundTripBitForBit) {
  const float position[3] = {1.5f, -2.5f, 0.1f}, angles[3] = {10, -20, 30.25f}, scale[3] = {2, 0.3f, 4};
  float got[16];
  const struct {
    const char* set;
    const char* get;
    const float* value;
  } fields[] = {{"pVec3_SetObjectPosition", "pVec3_GetObjectPosition", position},
                {"pVec3_SetObjectRotation", "pVec3_GetObjectRotation", angles},
                {"pVec3_SetObjectScale", "pVec3_GetObjectScale", scale}};
  for (const auto& f : fields) {
    p().command(f.set, "LL", {f.value, kObject});
    p().command(f.get, "LL", {got, kObject});
    EXPECT_EQ(std::memcmp(got, f.value, 12), 0) << f.get;
  }
  // Matrices and quaternions from the fields, against the commands that build them.
  float expected[16], radians[3], rotation[16], quat[4];
  p().command("pMat4_GetObjectTranslation", "LL", {got, kObject});
  p().command("pMat4_Translation", "LFFF", {expected, 1.5f, -2.5f, 0.1f});
  EXPECT_EQ(std::memcmp(got, expected, 64), 0);
  p().command("pMat4_GetObjectScale", "LL", {got, kObject});
  p().command("pMat4_Scaling", "LFFF", {expected, 2.0f, 0.3f, 4.0f});
  EXPECT_EQ(std::memcmp(got, expected, 64), 0);
  p().command("pVec3_DegToRad", "LL", {radians, angles});
  p().command("pMat4_GetObjectRotation", "LL", {rotation, kObject});
  p().command("pMat4_RotationXYZ", "LL", {expected, radians});
  EXPECT_EQ(std::memcmp(rotation, expected, 64), 0);
  p().command("pQuat_GetObjectRotation", "LL", {quat, kObject});
  p().command("pQuat_RotationXYZ", "LL", {expected, radians});
  EXPECT_EQ(std::memcmp(quat, expected, 16), 0);
  // Back into the record: the angles come back within rounding, the scale as row lengths.
  float back[3];
  p().command("pQuat_SetObjectRotation", "LL", {quat, kObject});
  p().command("pVec3_GetObjectRotation", "LL", {back, kObject});
  EXPECT_TRUE(kv::test::floats_close(angles, back, 3, 64, 1e-4f));
  p().command("pMat4_SetObjectRotation", "LL", {rotation, kObject});
  p().command("pVec3_GetObjectRotation", "LL", {back, kObject});
  EXPECT_TRUE(kv::test::floats_close(angles, back, 3, 64, 1e-4f));
  float m[16];
  fill(m);
  p().command("pMat4_SetObjectTranslation", "LL", {m, kObject});
  p().command("pVec3_GetObjectPosition", "LL", {back, kObject});
  EXPECT_EQ(std::memcmp(back, m + 12, 12), 0) << "row 4 of the matrix";
  p().command("pMat4_SetObjectScale", "LL", {m, kObject});
  p().command("pVec3_GetObjectScale", "LL", {back, kObject});
  const float rows[3] = {2, 3, 4};
  EXPECT_TRUE(kv::test::floats_close(rows, back, 3, 2));
}

TEST_F(HostBridge, SetObjectRotationKeepsTheSmallerEulerSolution) {
  float m[16], degrees[3];
  p().command("pMat4_RotationXYZ", "LFFF", {m, 3.14159274f, 0.2f, 3.14159274f});
  p().command("pMat4_SetObjectRotation", "LL", {m, kObject});
  p().command("pVec3_GetObjectRotation", "LL", {degrees, kObject});
  const float expected[3] = {0, 168.54085f, 0};
  EXPECT_TRUE(kv::test::floats_close(expected, degrees, 3, 16, 2e-4f));
  p().command("pMat4_RotationXYZ", "LFFF", {m, 1.5707964f, 0.0f, 0.0f});
  p().command("pMat4_SetObjectRotation", "LL", {m, kObject});
  p().command("pVec3_GetObjectRotation", "LL", {degrees, kObject});
  const float ninety[3] = {90, 0, 0};
  EXPECT_TRUE(kv::test::floats_close(ninety, degrees, 3, 16, 2e-4f));
  // At a pitch of 90° no path writes NaN, and the angles rebuild the rotation.
  float q[4], rebuilt[16];
  p().command("pQuat_RotationXYZ", "LFFF", {q, -1.5722122f, 1.5707964f, 0.26537535f});
  p().command("pMat4_FromQuat", "LL", {m, q});
  for (const auto& [keyword, value] : {std::pair{"pQuat_SetObjectRotation", q}, {"pMat4_SetObjectRotation", m},
                                       {"pMat4_SetObjectTransforms", m}}) {
    put3(object(kObject), kObjectRotation, 7, 7, 7);
    if (std::string(keyword) == "pMat4_SetObjectTransforms") {
      p().command(keyword, "LLLLL", {value, kObject, 0, 1, 0});
    } else {
      p().command(keyword, "LL", {value, kObject});
    }
    p().command("pMat4_GetObjectRotation", "LL", {rebuilt, kObject});
    EXPECT_TRUE(kv::test::floats_close(m, rebuilt, 16, 0, 2e-5f)) << keyword;
  }
}

// Every quarter-turn rotation (the 24 of the cube): the angles written rebuild it,
// are the smaller of the two Euler solutions, and on a tie the first, whose pitch
// lies within ±90°.
TEST_F(HostBridge, SetObjectRotationKeepsTheFirstSolutionOnEveryTie) {
  const int perms[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  int ties = 0;
  for (const auto& perm : perms) {
    for (int signs = 0; signs < 8; ++signs) {
      float m[16] = {}, degrees[3], radians[3], rebuilt[16];
      for (int r = 0; r < 3; ++r) m[4 * r + perm[r]] = signs >> r & 1 ? -1.0f : 1.0f;
      m[15] = 1;
      const float det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) + m[2] * (m[4] * m[9] - m[5] * m[8]);
      if (det < 0) continue;  // a mirror, not a rotation
      p().command("pMat4_SetObjectRotation", "LL", {m, kObject});
      p().command("pVec3_GetObjectRotation", "LL", {degrees, kObject});
      p().command("pVec3_DegToRad", "LL", {radians, degrees});
      p().command("pMat4_RotationXYZ", "LL", {rebuilt, radians});
      EXPECT_TRUE(kv::test::floats_close(m, rebuilt, 16, 0, 2e-6f)) << perm[0] << perm[1] << perm[2] << " " << signs;
      auto half_turn = [](float a) { return a > 0 ? a - 180 : a + 180; };
      const float other[3] = {half_turn(degrees[0]), 180 - degrees[1], half_turn(degrees[2])};
      const float size = std::fabs(degrees[0]) + std::fabs(degrees[1]) + std::fabs(degrees[2]);
      const float other_size = std::fabs(other[0]) + std::fabs(other[1]) + std::fabs(other[2]);
      EXPECT_LE(size, other_size + 1e-3f) << "the smaller solution";
      if (std::fabs(size - other_size) > 1e-3f) continue;
      ++ties;
      EXPECT_LE(std::fabs(degrees[1]), 90.0f) << "a tie keeps the first";
    }
  }
  EXPECT_GT(ties, 0);
  const float m[16] = {-1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};  // Rx(90°)·Rz(180°)
  float degrees[3];
  p().command("pMat4_SetObjectRotation", "LL", {m, kObject});
  p().command("pVec3_GetObjectRotation", "LL", {degrees, kObject});
  EXPECT_EQ(degrees[0], 90.0f); EXPECT_TRUE(degrees[1] == 0 && std::signbit(degrees[1])); EXPECT_EQ(degrees[2], 180.0f);
}

TEST_F(HostBridge, SetObjectTransformsWritesTheFlaggedFields) {
  Record* r = object(kObject);
  put3(r, kObjectRotation, 10, 20, 30);
  float m[16], field[3];
  p().command("pMat4_Scaling", "LFFF", {m, 2.0f, 3.0f, 4.0f});
  p().command("pMat4_SetTranslation", "LLFFF", {m, m, 5.0f, 6.0f, 7.0f});
  const Record before = *object(kObject);
  p().command("pMat4_SetObjectTransforms", "LLLLL", {m, kObject, 0, 0, 0});
  EXPECT_EQ(std::memcmp(object(kObject), &before, sizeof before), 0) << "no flag, no change";
  p().command("pMat4_SetObjectTransforms", "LLLLL", {m, kObject, 1, 0, 0});
  p().command("pVec3_GetObjectScale", "LL", {field, kObject});
  EXPECT_EQ(field[0], 2.0f); EXPECT_EQ(field[1], 3.0f); EXPECT_EQ(field[2], 4.0f);
  EXPECT_EQ(std::memcmp(object(kObject)->bytes + kObjectPosition, before.bytes + kObjectPosition, 24), 0);
  // A zero scale fails the decomposition: the position is written, the rotation kept.
  p().command("pMat4_Scaling", "LFFF", {m, 0.0f, 1.0f, 1.0f});
  p().command("pMat4_SetTranslation", "LLFFF", {m, m, 8.0f, 9.0f, 10.0f});
  p().command("pMat4_SetObjectTransforms", "LLLLL", {m, kObject, 1, 1, 1});
  p().command("pVec3_GetObjectPosition", "LL", {field, kObject});
  EXPECT_EQ(field[0], 8.0f);
  p().command("pVec3_GetObjectScale", "LL", {field, kObject});
  EXPECT_EQ(field[0], 0.0f); EXPECT_EQ(field[1], 1.0f) << "the scale as the decomposition leaves it";
  p().command("pVec3_GetObjectRotation", "LL", {field, kObject});
  EXPECT_EQ(field[0], 10.0f); EXPECT_EQ(field[2], 30.0f);
  // Rotation only: the angles of the decomposition; scale and position stay.
  fill(m);
  const Record kept = *object(kObject);
  p().command("pMat4_SetObjectTransforms", "LLLLL", {m, kObject, 0, 1, 0});
  EXPECT_EQ(std::memcmp(object(kObject)->bytes + kObjectPosition, kept.bytes + kObjectPosition, 12), 0);
  EXPECT_EQ(std::memcmp(object(kObject)->bytes + kObjectScale, kept.bytes + kObjectScale, 12), 0);
  p().command("pVec3_GetObjectRotation", "LL", {field, kObject});
  const float expected[3] = {0.3f * 57.2957802f, -0.2f * 57.2957802f, 0.1f * 57.2957802f};
  EXPECT_TRUE(kv::test::floats_close(expected, field, 3, 64, 1e-4f));
}

TEST_F(HostBridge, WorldMatricesGoThroughTheHostWithTheSelector) {
  float m[16], got[16];
  fill(m);
  p().command("pMat4_SetObjectWorld", "LL", {m, kObject});
  p().command("pMat4_GetObjectWorld", "LLL", {got, kObject, 5});
  EXPECT_EQ(std::memcmp(got, m, 64), 0);
  EXPECT_EQ(object_calls(), "SG") << "the host directly, no GetObjectA";
  int get_object, selector, set_object;
  host_fn<void(__cdecl*)(int*, int*, int*)>(objects, "SubstituteHost_LastWorldCalls")(&get_object, &selector, &set_object);
  EXPECT_EQ(selector, 5); EXPECT_EQ(get_object, kObject); EXPECT_EQ(set_object, kObject);
  p().command("pMat4_GetObjectWorld", "LL", {got, kObject});
  host_fn<void(__cdecl*)(int*, int*, int*)>(objects, "SubstituteHost_LastWorldCalls")(&get_object, &selector, &set_object);
  EXPECT_EQ(selector, 0);
  bind(nullptr, nullptr);
  p().command("pMat4_GetObjectWorld", "LL", {got, kObject});
  EXPECT_EQ(std::memcmp(got, kIdentity, 64), 0) << "unbound: the identity";
  float other[16];
  p().command("pMat4_Identity", "L", {other});
  p().command("pMat4_SetObjectWorld", "LL", {other, kObject});
  bind(objects, cameras);
  p().command("pMat4_GetObjectWorld", "LL", {got, kObject});
  EXPECT_EQ(std::memcmp(got, m, 64), 0) << "unbound: nothing set";
}

TEST_F(HostBridge, CameraCommandsWithAndWithoutTheirCamera) {
  for (const Case& c : kCameraCases) {
    SCOPED_TRACE(c.name);
    for (int situation = 0; situation < 4; ++situation) {
      const bool present = situation == 0, unbound = situation == 3;
      const int number = situation == 1 ? kNoCamera : situation == 2 ? kNegative : kCamera;
      SetUp();
      Record before[4];
      for (int i = 0; i < 4; ++i) before[i] = *camera(i);
      const int calls = camera_calls();
      if (unbound) bind(nullptr, nullptr);
      float value[16];
      fill(value);
      c.call(value, number);
      EXPECT_EQ(camera_calls() - calls, unbound ? 0 : 1) << situation;
      for (int i = 0; i < 4; ++i) {
        Record expected = before[i];
        if (present && c.bytes && i == kCamera) std::memcpy(expected.bytes + c.field, value, c.bytes);
        EXPECT_EQ(std::memcmp(camera(i), &expected, sizeof(Record)), 0) << situation << ": record " << i;
      }
      EXPECT_TRUE(!c.fallback || present || kv::test::floats_close(c.fallback, value, c.floats, 0)) << situation;
    }
  }
}

TEST_F(HostBridge, CameraMatricesProjectionAndFrustum) {
  Record* r = camera(kCamera);
  const struct {
    const char* keyword;
    std::size_t offset;
  } vectors[] = {{"pVec3_GetCameraPosition", kCameraPosition}, {"pVec3_GetCameraLook", kCameraLook},
                 {"pVec3_GetCameraUp", kCameraUp}, {"pVec3_GetCameraRight", kCameraRight}};
  for (std::size_t k = 0; k < 4; ++k) put3(r, vectors[k].offset, 1.0f + k, -2.0f - k, 0.5f * k);
  for (const auto& v : vectors) {
    float got[3];
    p().command(v.keyword, "LL", {got, kCamera});
    EXPECT_EQ(std::memcmp(got, r->bytes + v.offset, 12), 0) << v.keyword;
  }
  float view[16], projection[16];
  p().command("pMat4_Translation", "LFFF", {view, 0.0f, 0.0f, 5.0f});
  p().command("pMat4_Scaling", "LFFF", {projection, 2.0f, 2.0f, 2.0f});
  std::memcpy(r->bytes + kCameraView, view, 64);
  p().command("pMat4_SetCameraProjection", "LL", {projection, kCamera});
  float got[16];
  p().command("pMat4_GetCameraProjection", "LL", {got, kCamera});
  EXPECT_EQ(std::memcmp(got, projection, 64), 0);
  p().command("pMat4_GetCameraView", "LL", {got, kCamera});
  EXPECT_EQ(std::memcmp(got, view, 64), 0);
  p().command("pMat4_GetCameraViewProj", "LL", {got, kCamera});
  EXPECT_EQ(got[0], 2.0f); EXPECT_EQ(got[14], 10.0f) << "view × projection, not projection × view";
  // A perspective camera: projecting and unprojecting comes back to the point.
  p().command("pMat4_PerspectiveFOVLH", "LFFFF", {projection, 0.5f, 200.0f, 60.0f, 1.3333f});
  p().command("pMat4_SetCameraProjection", "LL", {projection, kCamera});
  const float point[3] = {1.25f, -0.75f, 20.0f};
  float on_screen[3], plain[3], back[3];
  p().command("pVec3_ProjectCamera", "LLL", {on_screen, point, kCamera});
  p().command("pVec3_ProjectCamera", "LLLL", {plain, point, kCamera, kIdentity});
  EXPECT_EQ(std::memcmp(on_screen, plain, 12), 0);
  EXPECT_GT(on_screen[0], 320.0f); EXPECT_GT(on_screen[1], 240.0f) << "right of and below the centre";
  p().command("pVec3_UnProjectCamera", "LLL", {back, on_screen, kCamera});
  EXPECT_TRUE(kv::test::floats_close(point, back, 3, 4096, 1e-3f));
  p().command("pVec3_UnProjectCamera", "LLLL", {plain, on_screen, kCamera, kIdentity});
  EXPECT_EQ(std::memcmp(back, plain, 12), 0);
  // The frustum of the camera is the frustum of its view × projection.
  float from_camera[24], from_matrix[24];
  p().command("pFrustum_ExtractCamera", "LL", {from_camera, kCamera});
  p().command("pMat4_GetCameraViewProj", "LL", {got, kCamera});
  p().command("pFrustum_ExtractVP", "LL", {from_matrix, got});
  EXPECT_EQ(std::memcmp(from_camera, from_matrix, sizeof from_camera), 0);
  for (int absent : {kNoCamera, kNegative}) {
    p().command("pFrustum_ExtractCamera", "LL", {from_camera, absent});
    p().command("pFrustum_ExtractVP", "LL", {from_matrix, kIdentity});
    EXPECT_EQ(std::memcmp(from_camera, from_matrix, sizeof from_camera), 0) << "the ±1 cube";
  }
}

TEST_F(HostBridge, ViewPortsAgainstTheCameraViewport) {
  Record* r = camera(kCamera);
  const std::uint32_t rectangle[4] = {10, 20, 800, 600};
  const float depths[2] = {0.25f, 0.75f};
  std::memcpy(r->bytes + kCameraViewport, rectangle, 16);
  std::memcpy(r->bytes + kCameraViewport + 16, depths, 8);
  const std::uint32_t vp = p().command("pViewPort_MakeNew", "LLLLLLL", {1, 2, 3, 4, 5, 6});
  ASSERT_NE(vp, 0u);
  unsigned char* v = kvt::as_pointer<unsigned char>(vp);
  p().command("pViewPort_GetCamera2D", "LL", {vp, kCamera});
  EXPECT_EQ(std::memcmp(v, rectangle, 16), 0);
  EXPECT_EQ(p().command_float("pViewPort_GetMinZ", "FL", {vp}), 5.0f) << "2D leaves the depths alone";
  p().command("pViewPort_GetCamera3D", "LL", {vp, kCamera});
  EXPECT_EQ(std::memcmp(v, r->bytes + kCameraViewport, 24), 0);
  for (int absent : {kNoCamera, kNegative}) {
    p().command("pViewPort_Set", "LLLLLLL", {vp, 1, 2, 3, 4, 5, 6});
    p().command("pViewPort_GetCamera2D", "LL", {vp, absent});
    EXPECT_EQ(p().command("pViewPort_GetWidth", "LL", {vp}), 0u);
    EXPECT_EQ(p().command_float("pViewPort_GetMaxZ", "FL", {vp}), 6.0f);
    p().command("pViewPort_GetCamera3D", "LL", {vp, absent});
    EXPECT_EQ(p().command_float("pViewPort_GetMaxZ", "FL", {vp}), 0.0f);
  }
  // Setting: 2D writes the rectangle only, 3D all 24 bytes, an absent camera nothing.
  const Record before = *camera(kCamera);
  p().command("pViewPort_Set", "LLLLLLL", {vp, 7, 8, 9, 10, 0, 1});
  p().command("pViewPort_SetCamera2D", "LL", {vp, kCamera});
  Record expected = before;
  std::memcpy(expected.bytes + kCameraViewport, v, 16);
  EXPECT_EQ(std::memcmp(camera(kCamera), &expected, sizeof expected), 0);
  p().command("pViewPort_SetCamera3D", "LL", {vp, kCamera});
  std::memcpy(expected.bytes + kCameraViewport, v, 24);
  EXPECT_EQ(std::memcmp(camera(kCamera), &expected, sizeof expected), 0);
  p().command("pViewPort_Set", "LLLLLLL", {vp, 70, 80, 90, 100, 0, 1});
  p().command("pViewPort_SetCamera3D", "LL", {vp, kNoCamera});
  p().command("pViewPort_SetCamera3D", "LL", {vp, kNegative});
  EXPECT_EQ(std::memcmp(camera(kCamera), &expected, sizeof expected), 0);
  // The viewport forms of projection give what the camera forms give.
  float view[16], projection[16];
  p().command("pMat4_Translation", "LFFF", {view, 1.0f, -2.0f, 30.0f});
  p().command("pMat4_PerspectiveFOVLH", "LFFFF", {projection, 0.5f, 200.0f, 60.0f, 1.3333f});
  std::memcpy(r->bytes + kCameraView, view, 64);
  std::memcpy(r->bytes + kCameraProjection, projection, 64);
  p().command("pViewPort_GetCamera3D", "LL", {vp, kCamera});
  float world[16];
  p().command("pMat4_RotationYPR", "LFFF", {world, 0.3f, -0.2f, 0.1f});
  const float point[3] = {1.25f, -0.75f, 2.0f};
  float by_camera[3], by_viewport[3], back[3];
  p().command("pVec3_ProjectCamera", "LLLL", {by_camera, point, kCamera, world});
  p().command("pVec3_Project", "LLLLLL", {by_viewport, point, vp, projection, view, world});
  EXPECT_EQ(std::memcmp(by_camera, by_viewport, 12), 0);
  p().command("pVec3_ProjectCamera", "LLL", {by_camera, point, kCamera});
  p().command("pVec3_Project", "LLLLL", {by_viewport, point, vp, projection, view});
  EXPECT_EQ(std::memcmp(by_camera, by_viewport, 12), 0);
  p().command("pVec3_UnProject", "LLLLL", {back, by_viewport, vp, projection, view});
  p().command("pVec3_UnProjectCamera", "LLL", {by_camera, by_viewport, kCamera});
  EXPECT_EQ(std::memcmp(by_camera, back, 12), 0);
  EXPECT_TRUE(kv::test::floats_close(point, back, 3, 4096, 1e-3f)) << "there and back";
  p().command("pVec3_Project", "LLLLLL", {by_viewport, point, vp, projection, view, world});
  p().command("pVec3_UnProject", "LLLLLL", {back, by_viewport, vp, projection, view, world});
  p().command("pVec3_UnProjectCamera", "LLLL", {by_camera, by_viewport, kCamera, world});
  EXPECT_EQ(std::memcmp(by_camera, back, 12), 0);
  p().command("pViewPort_Delete", "L", {vp});
}

// A host that hands over modules that are not its DLLs (another DLL, a number that
// names no module), twice, or a null record: no call goes anywhere, every command
// falls back, nothing crashes.
TEST_F(HostBridge, HostileHandshakesLeaveTheCommandsOnTheirFallbacks) {
  const HMODULE strangers[][2] = {{GetModuleHandleA("kernel32.dll"), GetModuleHandleA("kernel32.dll")},
                                  {reinterpret_cast<HMODULE>(0x12340000), reinterpret_cast<HMODULE>(0x7FFE0000)},
                                  {cameras, objects}};  // each DLL where the other should be
  for (const auto& pair : strangers) {
    bind(objects, cameras);
    bind(pair[0], pair[1]);  // the second handshake replaces the first
    float v[16] = {9, 9, 9}, m[16];
    p().command("pVec3_GetObjectPosition", "LL", {v, kObject});
    EXPECT_EQ(v[0], 0.0f);
    p().command("pMat4_GetCameraView", "LL", {m, kCamera});
    EXPECT_EQ(std::memcmp(m, kIdentity, 64), 0);
    p().command("pMat4_GetObjectWorld", "LL", {m, kObject});
    EXPECT_EQ(std::memcmp(m, kIdentity, 64), 0);
    p().command("pMat4_SetObjectWorld", "LL", {m, kObject});
    EXPECT_EQ(object_calls(), "") << "no call into the host";
  }
}

}  // namespace
