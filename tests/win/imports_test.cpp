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

// Windows' file properties show the version kept in the VERSION file.
TEST(Version, TheResourceCarriesTheVersionFile) {
  const kvt::VersionInfo v = kvt::version_info("Kestrom_Vandu.dll");
  ASSERT_TRUE(v.found);
  EXPECT_EQ(v.file_version, KV_VERSION);
  EXPECT_EQ(v.product_version, KV_VERSION);
  const std::string fixed = std::to_string(v.file[0]) + "." + std::to_string(v.file[1]) + "." + std::to_string(v.file[2]);
  EXPECT_EQ(fixed, KV_VERSION);
  EXPECT_EQ(v.file[3], 0u);
  EXPECT_EQ(v.product_name, "Kestrom_Vandu");
  EXPECT_NE(v.description.find("math plug-in"), std::string::npos);
  EXPECT_NE(v.copyright.find("Copyright"), std::string::npos);
}

}  // namespace
