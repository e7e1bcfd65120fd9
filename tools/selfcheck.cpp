// A short check of the built DLL, run under Wine at the end of `make`: the command
// table read back, the exports it names, the DLL's imports, and one round trip of
// a value through the pools.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "harness/image.h"
#include "harness/plugin.h"
#include "support/table_file.h"

int main() {
  bool ok = true;
  try {
    kvt::Plugin plugin("Kestrom_Vandu.dll");
    const kvt::VersionInfo version = kvt::version_info("Kestrom_Vandu.dll");
    ok &= version.found;
    std::printf("  version: %s\n", version.found ? version.file_version.c_str() : "NO VERSION RESOURCE");
    int resolved = 0;
    for (const auto& [number, row] : plugin.rows()) resolved += plugin.address(row.exportName) != nullptr;
    const std::size_t rows = plugin.rows().size(), expected = kv::test::read_table_file("commands.tab").rows.size();
    ok &= rows == expected && std::size_t(resolved) == rows;
    std::printf("  command table: %zu rows read back (%zu expected)\n", rows, expected);
    std::printf("  exports: %d of %zu rows resolve (all expected)\n", resolved, rows);

    std::string imports;
    bool only_system = true;
    for (std::string dll : kvt::imported_dlls(plugin.module())) {
      imports += " " + dll;
      std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
      only_system &= dll == "kernel32.dll" || dll == "user32.dll" || dll == "msvcrt.dll";
    }
    ok &= only_system;
    std::printf("  imports:%s (%s)\n", imports.c_str(), only_system ? "only system DLLs" : "UNEXPECTED");

    const std::uint32_t v = plugin.command("pVec3_MakeNew", "L", {});
    plugin.command("pVec3_Set", "LFFF", {v, 1.0f, 2.0f, 3.0f});
    const float x = plugin.command_float("pVec3_GetX", "FL", {v});
    const float y = plugin.command_float("pVec3_GetY", "FL", {v});
    const float z = plugin.command_float("pVec3_GetZ", "FL", {v});
    plugin.command("pVec3_Delete", "L", {v});
    const bool round_trip = v != 0 && x == 1 && y == 2 && z == 3;
    ok &= round_trip;
    std::printf("  Vec3 round trip: made, set (1, 2, 3), read (%g, %g, %g), deleted (%s)\n", x, y, z,
                round_trip ? "ok" : "FAILED");

    kvt::Plugin checked("checked\\Kestrom_Vandu.dll");
    int checked_resolved = 0;
    for (const auto& [number, row] : checked.rows()) checked_resolved += checked.address(row.exportName) != nullptr;
    const bool same = checked.rows().size() == rows && std::size_t(checked_resolved) == rows;
    ok &= same;
    std::printf("  checked build: %zu rows, %d resolve (%s)\n", checked.rows().size(), checked_resolved,
                same ? "the same command table" : "DIFFERENT");
  } catch (const std::exception& e) {
    std::printf("  FAILED: %s\n", e.what());
    ok = false;
  }
  std::printf("Self-check %s\n", ok ? "passed" : "FAILED");
  return ok ? 0 : 1;
}
