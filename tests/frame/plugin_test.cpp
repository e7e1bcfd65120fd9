#include "frame/plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host_api.h"
#include "support/library.h"
#include "vector/construction.h"
#include "frame/pool_commands.h"

namespace kv::test {
namespace {

class PluginTest : public Library {};

// Stand-ins for the host's functions: only their addresses matter here.
host::sObject* KV_CDECL fake_get_object(std::int32_t) { return nullptr; }
void KV_CDECL fake_get_world(std::int32_t, std::int32_t, dx::Mat4*) {}
void KV_CDECL fake_set_world(std::int32_t, dx::Mat4*) {}
void* KV_CDECL fake_get_camera(std::int32_t) { return nullptr; }
void* KV_CDECL other_get_camera(std::int32_t) { return nullptr; }

constexpr std::uint32_t kObjectsModule = 0x10000000, kCamerasModule = 0x20000000, kOtherCameras = 0x30000000;
bool objects_lack_set_world = false;

void* fake_resolver(std::uint32_t module, const char* name) {
  const std::string n = name;
  if (module == kObjectsModule) {
    if (n == host::kGetObjectName) return reinterpret_cast<void*>(fake_get_object);
    if (n == host::kGetWorldMatrixName) return reinterpret_cast<void*>(fake_get_world);
    if (n == host::kSetWorldMatrixName && !objects_lack_set_world) return reinterpret_cast<void*>(fake_set_world);
  }
  if (module == kCamerasModule && n == host::kGetInternalDataName) return reinterpret_cast<void*>(fake_get_camera);
  if (module == kOtherCameras && n == host::kGetInternalDataName) return reinterpret_cast<void*>(other_get_camera);
  return nullptr;
}

struct CoreRecord {
  unsigned char bytes[128] = {};
  CoreRecord(std::uint32_t objects, std::uint32_t cameras) {
    std::memcpy(bytes + host::kCoreObjectsModule, &objects, 4);
    std::memcpy(bytes + host::kCoreCamerasModule, &cameras, 4);
  }
};

TEST_F(PluginTest, ReportsTheTwoHostDllsInOrder) {
  EXPECT_EQ(kv_GetNumDependencies(), 2);
  EXPECT_STREQ(kv_GetDependencyID(0), "DBProBasic3DDebug.dll");
  EXPECT_STREQ(kv_GetDependencyID(1), "DBProCameraDebug.dll");
  // The buffer is the library's: the second call's answer is what it holds now.
  kv_GetDependencyID(1);
  const char* name = kv_GetDependencyID(0);
  EXPECT_STREQ(name, "DBProBasic3DDebug.dll");
  kv_ReceiveCoreDataPtr(nullptr);
  EXPECT_EQ(kv_GetNumDependencies(), 2);
}

TEST_F(PluginTest, AnIndexOutsideTheListGivesTheEmptyString) {
  for (std::int32_t index : {-1, 2, 1000, INT32_MIN}) {
    const char* name = kv_GetDependencyID(index);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "") << index;
  }
}

TEST_F(PluginTest, BindingResolvesTheFourHostFunctionsWithoutMessages) {
  objects_lack_set_world = false;
  platform::fake::set_resolver(fake_resolver);
  CoreRecord core(kObjectsModule, kCamerasModule);
  kv_ReceiveCoreDataPtr(core.bytes);
  EXPECT_EQ(host::slots.get_object, fake_get_object);
  EXPECT_EQ(host::slots.get_world_matrix, fake_get_world);
  EXPECT_EQ(host::slots.set_world_matrix, fake_set_world);
  EXPECT_EQ(host::slots.get_internal_data, fake_get_camera);
  EXPECT_STREQ(platform::fake::messages(), "");
}

TEST_F(PluginTest, AMissingExportLeavesItsSlotNullWithoutAMessage) {
  objects_lack_set_world = true;
  platform::fake::set_resolver(fake_resolver);
  CoreRecord core(kObjectsModule, kCamerasModule);
  kv_ReceiveCoreDataPtr(core.bytes);
  objects_lack_set_world = false;
  EXPECT_EQ(host::slots.set_world_matrix, nullptr);
  EXPECT_EQ(host::slots.get_world_matrix, fake_get_world);
  EXPECT_EQ(host::slots.get_internal_data, fake_get_camera);
  EXPECT_STREQ(platform::fake::messages(), "");
}

TEST_F(PluginTest, ASecondCoreRecordBindsAgain) {
  platform::fake::set_resolver(fake_resolver);
  CoreRecord first(kObjectsModule, kCamerasModule), second(kObjectsModule, kOtherCameras);
  kv_ReceiveCoreDataPtr(first.bytes);
  kv_ReceiveCoreDataPtr(second.bytes);
  EXPECT_EQ(host::slots.get_internal_data, other_get_camera);
  EXPECT_EQ(host::slots.get_object, fake_get_object);
}

TEST_F(PluginTest, ANullCoreRecordShowsBothFatalMessagesAndVectorsStillWork) {
  kv_ReceiveCoreDataPtr(nullptr);
  EXPECT_STREQ(platform::fake::messages(),
               "Brisvel Math Plugin|Fatal Error: Could not initialise DBProBasic3DDebug.dll\n"
               "Brisvel Math Plugin|Fatal Error: Could not initialise DBProCameraDebug.dll\n");
  EXPECT_EQ(host::slots.get_object, nullptr);
  EXPECT_EQ(host::slots.get_internal_data, nullptr);
  Handle v = Vec3_MakeNewEx(1, 2, 3);
  ASSERT_NE(v, 0u);
  EXPECT_EQ(Vec4_GetZ(v), bits(3.0f));
  Vec3_Delete(v);
}

TEST_F(PluginTest, UnloadReleasesEveryValueAtOnce) {
  for (int i = 0; i < 3000; ++i) Mat4_MakeNew();
  EXPECT_GT(platform::fake::live_allocations(), 10);
  frame::clean_up();
  EXPECT_EQ(platform::fake::live_allocations(), 0);
  frame::set_up();  // for the fixture's own clean-up
}

}  // namespace
}  // namespace kv::test
