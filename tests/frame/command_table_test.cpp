// Reads the command-table data file on its own terms and checks it against what
// the host expects of the table: numbering, row text, routes, and that every row is built.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "support/table_file.h"

namespace kv::test {
namespace {

TableFile read_table() { return read_table_file(KV_COMMANDS_TAB); }

TEST(CommandTable, HasItsRowsInOneBlockPerType) {
  const TableFile t = read_table();
  EXPECT_EQ(t.rows.size(), 528u);
  const struct {
    int first, last;
    const char* prefix;
  } blocks[] = {{1, 73, "pVec2_"},     {101, 200, "pVec3_"},    {201, 267, "pVec4_"},    {301, 398, "pMat4_"},
                {401, 453, "pQuat_"},  {501, 523, "pPlane_"},   {601, 623, "pFrustum_"}, {701, 718, "pViewPort_"},
                {719, 741, "p"},   // picking, collision and comparisons, of several types
                {742, 742, "pObject_"},
                {751, 758, "p"},   // live counts
                {759, 785, "p"},   // arrays
                {786, 799, "p"}};  // meshes, and moving through them
  std::size_t counted = 0;
  for (const auto& b : blocks) {
    for (int n = b.first; n <= b.last; ++n) {
      auto it = t.rows.find(n);
      ASSERT_NE(it, t.rows.end()) << "missing number " << n;
      EXPECT_EQ(it->second.keyword.rfind(b.prefix, 0), 0u) << n;
      ++counted;
    }
  }
  EXPECT_EQ(counted, t.rows.size()) << "numbers outside the blocks";
}

TEST(CommandTable, RowTextsAreTheOnesTheHostReads) {
  const TableFile t = read_table();
  EXPECT_EQ(t.rows.at(1).text(), "pVec2_MakeNew[%L%Vec2_MakeNew%");
  EXPECT_EQ(t.rows.count(74), 0u);
  EXPECT_EQ(t.rows.at(200).text(), "pVec3_VertexTBN%LLLLLLLLL%Vec3_VertexTBN%");
  EXPECT_EQ(t.rows.at(354).text(), "pMat4_RotateLocalAxis%LLFFFF%Mat4_RotateLocalAxis%");
  EXPECT_EQ(t.rows.at(505).text(), "pPlane_GetA[%FL%Vec4_GetX%");
  EXPECT_EQ(t.rows.at(523).text(), "pPlane_RayCast[%LLLLLL%Plane_Raycast%");
  EXPECT_EQ(t.rows.at(389).text(), "pMat4_Inverse[%FLL%Mat4_InverseDet%");
  EXPECT_EQ(t.rows.at(238).text(), "pVec4_Normalize%LL%Quat_Normalize%");
  EXPECT_EQ(t.rows.at(146).keyword, t.rows.at(183).keyword) << "pVec3_DegToRad is overloaded";
  for (const auto& [number, row] : t.rows) {
    for (char c : row.letters) EXPECT_TRUE(c == 'L' || c == 'F') << number;
    EXPECT_TRUE(row.value == "[" || row.value == "-") << number;
  }
}

TEST(CommandTable, RoutesOnlyTheRowsWhoseExportIsNotTheKeyword) {
  const TableFile t = read_table();
  int routed = 0;
  for (const auto& [number, row] : t.rows) {
    if (row.exportName != row.keyword.substr(1)) ++routed;
  }
  EXPECT_EQ(routed, 68);
  EXPECT_EQ(t.rows.at(66).exportName, "Mat4_SetElementIndex");
  EXPECT_EQ(t.rows.at(259).exportName, "Mat4_GetElementIndex");
  EXPECT_EQ(t.rows.at(371).exportName, "Mat4_GetObjectWorldEx");
  EXPECT_EQ(t.rows.at(702).exportName, "ViewPort_MakeNewEx");
}

TEST(CommandTable, EveryRowIsBuilt) {
  const TableFile t = read_table();
  for (const auto& [number, row] : t.rows) EXPECT_EQ(row.state, "built") << number << " " << row.exportName;
  EXPECT_EQ(t.rows.at(703).text(), "pViewPort_Delete%L%ViewPort_Delete%") << "one handle, no value";
  ASSERT_EQ(t.loose.count("Vec4_Normalize"), 1u);
}

// Each export's arguments, as its signature line names them, agree with the letters
// of every row that reaches it; only handles are written or optional.
TEST(CommandTable, SignaturesAgreeWithTheRows) {
  const TableFile t = read_table();
  const std::set<std::string> kinds = {"Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort", "Value", "Mesh",
                                       "Int", "Index", "Element", "Row", "Column", "Object", "Camera", "Flag", "Selector",
                                       "Float", "Radians", "Degrees", "Param", "Vec2[]", "Vec3[]", "Vec4[]", "Mat4[]",
                                       "Float[]", "Array"};
  for (const auto& [number, row] : t.rows) {
    auto it = t.sigs.find(row.exportName);
    ASSERT_NE(it, t.sigs.end()) << row.exportName << " has no signature line";
    EXPECT_EQ(it->second.letters(), row.argument_letters()) << number << " " << row.keyword;
    EXPECT_EQ(it->second.result.empty(), !row.yields_value()) << number << " " << row.keyword;
    if (row.yields_value()) {
      const std::string& r = it->second.result;
      ASSERT_NO_THROW(t.result(r)) << row.exportName << ": no result line for " << r;
      EXPECT_EQ(row.letters[0], t.result(r).first) << number;
    }
  }
  for (const auto& [name, sig] : t.sigs) {
    EXPECT_TRUE(t.loose.count(name) || std::any_of(t.rows.begin(), t.rows.end(), [&](const auto& r) { return r.second.exportName == name; }))
        << name << ": a signature for no export";
    for (const Param& p : sig.params) {
      EXPECT_EQ(kinds.count(p.kind), 1u) << name << " " << p.name << ":" << p.kind;
      EXPECT_TRUE(p.is_handle() || (!p.written && !p.optional)) << name << " " << p.name;
    }
  }
}

// The reference a script writer reads covers every row: each keyword has its
// entry, each row its form, and each form names all its arguments, each with a
// description beyond its kind, and the export, string and letters behind it.
TEST(CommandTable, TheReferenceDocumentsEveryRowAndArgument) {
  const TableFile t = read_table();
  std::ifstream in(KV_COMMANDS_MD);
  ASSERT_TRUE(in) << KV_COMMANDS_MD;
  std::map<std::string, std::string> entries;  // keyword -> its entry's text
  std::string line, keyword;
  while (std::getline(in, line)) {
    if (line.rfind("#### `", 0) == 0) keyword = line.substr(6, line.size() - 7);
    if (line.rfind("## ", 0) == 0 || line.rfind("### ", 0) == 0) keyword.clear();
    if (!keyword.empty()) entries[keyword] += line + "\n";
  }
  for (const auto& [number, row] : t.rows) {
    ASSERT_TRUE(entries.count(row.keyword)) << row.keyword << " has no entry";
    const std::string& entry = entries[row.keyword];
    std::string names;
    for (const std::string& n : t.names_of(number)) names += (names.empty() ? "" : ", ") + n;
    const std::string form = row.yields_value() ? row.keyword + "(" + names + ")" : row.keyword + (names.empty() ? "" : " " + names);
    const std::size_t at = entry.find("- **`" + form + "`**");
    ASSERT_NE(at, std::string::npos) << "row " << number << ": no form " << form;
    const std::string rest = entry.substr(at);
    const std::string this_form = rest.substr(0, rest.find("\n- **", 1));
    for (const std::string& n : t.names_of(number)) {
      const std::size_t arg = this_form.find("\n  - `" + n + "` (");
      ASSERT_NE(arg, std::string::npos) << number << " " << n;
      const std::string text = this_form.substr(arg, this_form.find('\n', arg + 1) - arg);
      const std::size_t open = text.find(" ("), colon = text.find("): ");
      ASSERT_NE(colon, std::string::npos) << number << ": " << text;
      const std::string kind = text.substr(open + 2, colon - open - 2), what = text.substr(colon + 3);
      EXPECT_TRUE(what.size() > 3 && what.find(' ') != std::string::npos && kind.find(what) == std::string::npos)
          << number << ": " << text << " — says no more than its kind";
    }
    EXPECT_NE(this_form.find("export `" + row.exportName + "`, string " + std::to_string(number)), std::string::npos) << number;
  }
}

// The reference kept in docs/ next to the guide is the one the table generates.
TEST(CommandTable, TheReferenceInTheDocsIsTheGeneratedOne) {
  for (const std::string name : {"commands.md", "commands.html"}) {
    std::ifstream generated(std::string(KV_GENERATED) + "/" + name), kept(std::string(KV_DOCS) + "/" + name);
    const std::string a((std::istreambuf_iterator<char>(generated)), {}), b((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_TRUE(!a.empty() && a == b) << "docs/" << name << " is not the one generated from commands.tab: run make docs";
  }
}

TEST(CommandTable, AnExportIsEitherBuiltForEveryRowOrForNone) {
  const TableFile t = read_table();
  std::map<std::string, std::string> state;
  for (const auto& [number, row] : t.rows) {
    auto [it, inserted] = state.emplace(row.exportName, row.state);
    EXPECT_TRUE(inserted || it->second == row.state) << row.exportName;
  }
}

}  // namespace
}  // namespace kv::test
