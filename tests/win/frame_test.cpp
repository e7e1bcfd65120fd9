// The plug-in interface as the host drives it: dependency names, binding of the
// host functions in the substitute host DLLs, and the two fatal message boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness/image.h"
#include "harness/plugin.h"
#include "host/host_api.h"
#include "hosts/layout.h"

namespace {

using kvt::Plugin;

std::uint32_t plugin_call(const char* name, std::initializer_list<std::uint32_t> args) {
  const void* fn = Plugin::get().address(name);
  EXPECT_NE(fn, nullptr) << name;
  return fn ? kvt::call(fn, args) : 0;
}

const char* dependency(int index) {
  return kvt::as_pointer<const char>(plugin_call("?GetDependencyID@@YAPBDH@Z", {static_cast<std::uint32_t>(index)}));
}

void receive_core(const void* core) { plugin_call("?ReceiveCoreDataPtr@@YAXPAX@Z", {kvt::word(core)}); }

struct CoreRecord {
  unsigned char bytes[256] = {};
  CoreRecord(HMODULE objects, HMODULE cameras) {
    const auto o = kvt::word(objects), c = kvt::word(cameras);
    std::memcpy(bytes + kvt::layout::kCoreObjectsModule, &o, 4);
    std::memcpy(bytes + kvt::layout::kCoreCamerasModule, &c, 4);
  }
};

// --- spies on the DLL's own imports -------------------------------------------

struct Lookup {
  HMODULE module;
  std::string name;
  FARPROC result;
};
std::vector<Lookup> lookups;
FARPROC(WINAPI* real_get_proc_address)(HMODULE, LPCSTR);
FARPROC WINAPI spy_get_proc_address(HMODULE module, LPCSTR name) {
  FARPROC result = real_get_proc_address(module, name);
  lookups.push_back({module, HIWORD(reinterpret_cast<std::uintptr_t>(name)) ? name : "#ordinal", result});
  return result;
}

struct Box {
  HWND owner;
  std::string text, caption;
  UINT type;
  std::vector<bool> enabled, topmost;  // of the watched windows, while the box is up
};
std::vector<Box> boxes;
std::vector<HWND> watched;
int WINAPI spy_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Box b{owner, text, caption, type, {}, {}};
  for (HWND w : watched) {
    b.enabled.push_back(IsWindowEnabled(w) != FALSE);
    b.topmost.push_back((GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
  }
  boxes.push_back(b);
  return IDOK;
}

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    lookups.clear();
    boxes.clear();
    watched.clear();
  }
  HMODULE host(const char* path) {
    HMODULE m = LoadLibraryA(path);
    EXPECT_NE(m, nullptr) << path;
    return m;
  }
  void bind_with(HMODULE objects, HMODULE cameras) {
    kvt::ImportPatch gpa(Plugin::get().module(), "KERNEL32.dll", "GetProcAddress",
                         reinterpret_cast<void*>(spy_get_proc_address));
    kvt::ImportPatch box(Plugin::get().module(), "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(spy_message_box));
    ASSERT_NE(gpa.original(), nullptr);
    real_get_proc_address = reinterpret_cast<decltype(real_get_proc_address)>(gpa.original());
    CoreRecord core(objects, cameras);
    receive_core(core.bytes);
  }
};

TEST_F(Frame, NamesItsTwoHostDlls) {
  EXPECT_EQ(plugin_call("?GetNumDependencies@@YAHXZ", {}), 2u);
  EXPECT_STREQ(dependency(0), "DBProBasic3DDebug.dll");
  EXPECT_STREQ(dependency(1), "DBProCameraDebug.dll");
  dependency(1);
  EXPECT_STREQ(dependency(0), "DBProBasic3DDebug.dll");
  EXPECT_STREQ(dependency(2), "");
  EXPECT_STREQ(dependency(-1), "");
}

TEST_F(Frame, BindingLooksUpTheFourHostFunctionsInTheirDlls) {
  HMODULE objects = host("hosts\\full\\DBProBasic3DDebug.dll");
  HMODULE cameras = host("hosts\\full\\DBProCameraDebug.dll");
  bind_with(objects, cameras);
  const struct {
    HMODULE module;
    const char* name;
  } expected[] = {{objects, kv::host::kGetObjectName},
                  {objects, kv::host::kGetWorldMatrixName},
                  {objects, kv::host::kSetWorldMatrixName},
                  {cameras, kv::host::kGetInternalDataName}};
  ASSERT_EQ(lookups.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lookups[i].module, expected[i].module) << i;
    EXPECT_EQ(lookups[i].name, expected[i].name) << i;
    EXPECT_NE(lookups[i].result, nullptr) << expected[i].name;
    EXPECT_EQ(lookups[i].result, GetProcAddress(expected[i].module, expected[i].name));
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Frame, AHostDllLackingAnExportLeavesThatSlotEmptyWithoutAMessage) {
  HMODULE partial = host("hosts\\partial\\DBProBasic3DDebug.dll");
  HMODULE cameras = host("hosts\\full\\DBProCameraDebug.dll");
  ASSERT_EQ(GetProcAddress(partial, kv::host::kSetWorldMatrixName), nullptr);
  bind_with(partial, cameras);
  ASSERT_EQ(lookups.size(), 4u);
  EXPECT_NE(lookups[0].result, nullptr);
  EXPECT_EQ(lookups[2].name, kv::host::kSetWorldMatrixName);
  EXPECT_EQ(lookups[2].result, nullptr);
  EXPECT_NE(lookups[3].result, nullptr);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Frame, ANullCoreRecordShowsTwoFatalMessagesAndVectorsStillWork) {
  // Two windows of this thread: the box must set aside every visible one but the
  // foreground window, and give them back afterwards.
  HWND first = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "first", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                               nullptr, nullptr, nullptr, nullptr);
  HWND second = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "second", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(first && second) << "the Wine prefix needs its null graphics driver";
  watched = {first, second};
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  const HWND owner = process == GetCurrentProcessId() ? foreground : nullptr;

  {
    kvt::ImportPatch box(Plugin::get().module(), "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(spy_message_box));
    receive_core(nullptr);
  }
  ASSERT_EQ(boxes.size(), 2u);
  const char* texts[] = {"Fatal Error: Could not initialise DBProBasic3DDebug.dll",
                         "Fatal Error: Could not initialise DBProCameraDebug.dll"};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(boxes[i].caption, "Brisvel Math Plugin");
    EXPECT_EQ(boxes[i].text, texts[i]);
    EXPECT_EQ(boxes[i].type, 0u);
    EXPECT_EQ(boxes[i].owner, owner);
    for (std::size_t w = 0; w < watched.size(); ++w) {
      const bool set_aside = watched[w] != foreground;
      EXPECT_EQ(boxes[i].enabled[w], !set_aside) << "window " << w;
      EXPECT_EQ(boxes[i].topmost[w], !set_aside) << "window " << w;
    }
  }
  for (HWND w : watched) {
    EXPECT_TRUE(IsWindowEnabled(w));
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
  if (first) DestroyWindow(first);
  if (second) DestroyWindow(second);

  const Plugin& p = Plugin::get();
  const std::uint32_t v = p.command("pVec3_MakeNew", "LFFF", {1.0f, 2.0f, 3.0f});
  ASSERT_NE(v, 0u);
  EXPECT_EQ(p.command_float("pVec3_GetZ", "FL", {v}), 3.0f);
  p.command("pVec3_Delete", "L", {v});
}

}  // namespace
