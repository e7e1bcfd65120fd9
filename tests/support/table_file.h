// Reads the command-table data file on its own terms (independently of the
// generator), for the tests that check the table and the exports against it.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace kv::test {

struct TableRow {
  std::string keyword, value, letters, exportName, state;
  bool yields_value() const { return value == "["; }
  // The row as the string table holds it.
  std::string text() const { return keyword + (yields_value() ? "[" : "") + "%" + letters + "%" + exportName + "%"; }
  // The letters of the export's arguments, without the result's.
  std::string argument_letters() const { return yields_value() ? letters.substr(1) : letters; }
};

struct TableFile {
  std::map<int, TableRow> rows;
  std::map<std::string, std::string> loose;    // exports without a row, and their state
  std::map<std::string, std::string> plugin;   // decorated plug-in export names and their symbols
};

inline TableFile read_table_file(const std::string& path) {
  TableFile t;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    if (!(words >> kind) || kind[0] == '#') continue;
    if (kind == "row") {
      int number;
      TableRow r;
      if (!(words >> number >> r.keyword >> r.value >> r.letters >> r.exportName >> r.state)) {
        throw std::runtime_error("unreadable row: " + line);
      }
      if (!t.rows.emplace(number, r).second) throw std::runtime_error("number twice: " + line);
    } else if (kind == "export") {
      std::string name, state;
      words >> name >> state;
      t.loose[name] = state;
    } else if (kind == "plugin") {
      std::string name, symbol;
      words >> name >> symbol;
      t.plugin[name] = symbol;
    } else {
      throw std::runtime_error("unknown line: " + line);
    }
  }
  return t;
}

}  // namespace kv::test
