#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "harness/image.h"
#include "harness/plugin.h"

namespace {

// The DLL must load on a bare Windows: no DirectX runtime, no compiler runtime DLLs.
TEST(Imports, AreOnlyKernel32User32AndMsvcrt) {
  std::vector<std::string> dlls = kvt::imported_dlls(kvt::Plugin::get().module());
  for (std::string& d : dlls) std::transform(d.begin(), d.end(), d.begin(), [](unsigned char c) { return std::tolower(c); });
  std::sort(dlls.begin(), dlls.end());
  EXPECT_EQ(dlls, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll", "user32.dll"}));
}

}  // namespace
