// Load, thread notifications and unload of the DLL, as the host's process sees them.
#include <gtest/gtest.h>

#include <string>

#include "harness/plugin.h"

namespace {

DWORD process_heaps() { return GetProcessHeaps(0, nullptr); }

DWORD WINAPI idle_thread(LPVOID) { return 0; }

TEST(Lifecycle, ThreadNotificationsChangeNothing) {
  const kvt::Plugin& p = kvt::Plugin::get();
  const std::uint32_t v = p.command("pVec4_MakeNew", "LFFFF", {1.0f, 2.0f, 3.0f, 4.0f});
  const DWORD heaps = process_heaps();
  for (int i = 0; i < 3; ++i) {
    HANDLE t = CreateThread(nullptr, 0, idle_thread, nullptr, 0, nullptr);  // attach and detach
    ASSERT_NE(t, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
  }
  EXPECT_EQ(process_heaps(), heaps);
  EXPECT_EQ(p.command_float("pVec4_GetW", "FL", {v}), 4.0f);
  const std::uint32_t w = p.command("pVec4_MakeNew", "L", {});
  EXPECT_NE(w, 0u);
  p.command("pVec4_Delete", "L", {v});
  p.command("pVec4_Delete", "L", {w});
}

// A second copy of the DLL, loaded and unloaded with values still alive: its
// private heap comes and goes with it.
TEST(Lifecycle, UnloadReleasesThePrivateHeapWithEveryValue) {
  char path[MAX_PATH];
  GetModuleFileNameA(kvt::Plugin::get().module(), path, MAX_PATH);
  const std::string copy = std::string(path) + ".lifecycle.dll";
  ASSERT_TRUE(CopyFileA(path, copy.c_str(), FALSE));
  const DWORD before = process_heaps();
  for (int round = 0; round < 3; ++round) {
    HMODULE m = LoadLibraryA(copy.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(process_heaps(), before + 1);
    auto make = reinterpret_cast<const void*>(GetProcAddress(m, "Mat4_MakeNew"));
    for (int i = 0; i < 2000; ++i) ASSERT_NE(kvt::call(make, {}), 0u);
    ASSERT_TRUE(FreeLibrary(m));
    EXPECT_EQ(process_heaps(), before);
  }
  DeleteFileA(copy.c_str());
}

}  // namespace
