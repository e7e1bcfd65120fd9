// The command table as the host reads it from the built DLL, checked row by row
// against the data file, and the DLL's exports checked against the rows.
#include <gtest/gtest.h>

#include <set>

#include "harness/plugin.h"
#include "support/table_file.h"

namespace {

using kv::test::TableFile;
using kvt::Plugin;

const TableFile& table_file() {
  static const TableFile t = kv::test::read_table_file("commands.tab");
  return t;
}

std::set<std::string> exported_names(HMODULE module) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::set<std::string> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) result.insert(reinterpret_cast<const char*>(base + names[i]));
  return result;
}

TEST(CommandTable, HoldsItsRowsUnderEnglishUnitedStates) {
  const auto& rows = Plugin::get().rows();
  EXPECT_EQ(rows.size(), 528u);
  EXPECT_EQ(rows.count(74), 0u);
  EXPECT_EQ(rows.at(1).text, "pVec2_MakeNew[%L%Vec2_MakeNew%");
  EXPECT_EQ(rows.at(200).text, "pVec3_VertexTBN%LLLLLLLLL%Vec3_VertexTBN%");
  EXPECT_EQ(rows.at(505).exportName, "Vec4_GetX");
  EXPECT_EQ(rows.at(523).exportName, "Plane_Raycast");
  EXPECT_EQ(rows.at(354).letters, "LLFFFF");
  // Blocks of sixteen strings: string 1 is in block 1, string 200 in block 13.
  const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  EXPECT_NE(FindResourceExA(Plugin::get().module(), RT_STRING, MAKEINTRESOURCEA(1), english), nullptr);
  EXPECT_NE(FindResourceExA(Plugin::get().module(), RT_STRING, MAKEINTRESOURCEA(13), english), nullptr);
}

TEST(CommandTable, MatchesTheDataFileRowByRow) {
  const auto& rows = Plugin::get().rows();
  const TableFile& file = table_file();
  ASSERT_EQ(rows.size(), file.rows.size());
  for (const auto& [number, row] : file.rows) {
    auto it = rows.find(number);
    ASSERT_NE(it, rows.end()) << "number " << number;
    EXPECT_EQ(it->second.text, row.text()) << "number " << number;
  }
}

TEST(CommandTable, EveryRowsExportResolves) {
  const Plugin& plugin = Plugin::get();
  for (const auto& [number, row] : table_file().rows) {
    EXPECT_EQ(row.state, "built") << number;
    EXPECT_NE(plugin.address(row.exportName), nullptr) << number << " " << row.exportName;
  }
  for (const auto& [name, state] : table_file().loose) {
    EXPECT_EQ(plugin.address(name) != nullptr, state == "built") << name;
  }
}

TEST(CommandTable, TheDllExportsNothingElse) {
  std::set<std::string> expected;
  for (const auto& [number, row] : table_file().rows) {
    if (row.state == "built") expected.insert(row.exportName);
  }
  for (const auto& [name, state] : table_file().loose) {
    if (state == "built") expected.insert(name);
  }
  for (const auto& [name, symbol] : table_file().plugin) expected.insert(name);
  EXPECT_EQ(exported_names(Plugin::get().module()), expected);
}

}  // namespace
