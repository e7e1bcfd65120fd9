// Reads the command-table data file on its own terms (independently of the
// generator), for the tests that check the table and the exports against it.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::test {

struct TableRow {
  std::string keyword, value, letters, exportName, state;
  bool yields_value() const { return value == "["; }
  // The row as the string table holds it.
  std::string text() const { return keyword + (yields_value() ? "[" : "") + "%" + letters + "%" + exportName + "%"; }
  // The letters of the export's arguments, without the result's.
  std::string argument_letters() const { return yields_value() ? letters.substr(1) : letters; }
};

// One argument of an export: its name, its kind (Vec3, Mat4, Index, Radians, …),
// whether the command writes through it and whether a handle of 0 is allowed.
struct Param {
  std::string name, kind;
  std::string extent;  // the bytes it touches when fewer than the kind's, or the argument that says
  std::string rule;    // what its value must be: "~direction", "=LOW..HIGH", or nothing

  bool written = false, optional = false;
  bool is_array() const { return kind == "Array" || (kind.size() > 2 && kind.compare(kind.size() - 2, 2, "[]") == 0); }
  bool is_handle() const {
    return kind == "Vec2" || kind == "Vec3" || kind == "Vec4" || kind == "Quat" || kind == "Plane" || kind == "Mat4" ||
           kind == "Frustum" || kind == "ViewPort" || kind == "Value" || kind == "Mesh" || is_array();
  }
  bool is_float() const { return kind == "Float" || kind == "Radians" || kind == "Degrees" || kind == "Param"; }
  char letter() const { return is_float() ? 'F' : 'L'; }
};

struct Signature {
  std::string family;
  std::vector<Param> params;
  std::string result;  // empty for commands that store and return 0
  std::string letters() const {
    std::string l;
    for (const Param& p : params) l += p.letter();
    return l;
  }
};

// The D3DX function that computes an export's result, and the export's arguments
// in the function's order: a name, "(x y z)", "rad(name)" or "0" (see commands.tab).
struct Oracle {
  std::string function;
  std::vector<std::string> args;
};

struct TableFile {
  std::map<int, TableRow> rows;
  std::map<std::string, std::string> loose;    // exports without a row, and their state
  std::map<std::string, std::string> plugin;   // decorated plug-in export names and their symbols
  std::map<std::string, Signature> sigs;       // each export's family and arguments
  std::map<std::string, std::string> families; // family name -> title
  std::map<std::string, Oracle> oracles;       // export -> its D3DX counterpart
  std::map<int, std::vector<std::string>> names;  // row -> its arguments' names, where not the signature's
  // Result kind ("Handle" for every handle kind) -> its row letter and what a skipped call gives.
  std::map<std::string, std::pair<char, int>> results;
  const std::pair<char, int>& result(const std::string& kind) const {
    Param p;
    p.kind = kind;
    return results.at(p.is_handle() ? "Handle" : kind);
  }
  // The word a call the checked build skips returns: the result's "nothing".
  std::uint32_t nothing_word(const std::string& kind) const {
    if (kind.empty()) return 0;
    const float f = float(result(kind).second);
    std::uint32_t w;
    std::memcpy(&w, &f, 4);
    return result(kind).first == 'F' ? w : std::uint32_t(result(kind).second);
  }
  // The names of a row's arguments as the reference writes them.
  std::vector<std::string> names_of(int number) const {
    if (names.count(number)) return names.at(number);
    std::vector<std::string> n;
    for (const Param& p : sigs.at(rows.at(number).exportName).params) n.push_back(p.name);
    return n;
  }
};

// "name!?:Kind" → a parameter.
inline Param parse_param(const std::string& word) {
  const std::size_t colon = word.find(':');
  if (colon == std::string::npos) throw std::runtime_error("argument without a kind: " + word);
  Param p;
  p.name = word.substr(0, colon);
  p.kind = word.substr(colon + 1);
  const std::size_t rule = p.kind.find_first_of("~=");  // "Vec3~direction", "Kind=LOW..HIGH": what the value must be
  if (rule != std::string::npos) p.rule = p.kind.substr(rule), p.kind.erase(rule);
  const std::size_t at = p.kind.find('@');  // "Kind@bytes" or "Kind@argument": what the command touches
  if (at != std::string::npos) p.extent = p.kind.substr(at + 1), p.kind.erase(at);
  while (!p.name.empty() && (p.name.back() == '!' || p.name.back() == '?')) {
    (p.name.back() == '!' ? p.written : p.optional) = true;
    p.name.pop_back();
  }
  return p;
}

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
    } else if (kind == "family") {
      std::string name, title;
      words >> name;
      std::getline(words, title);
      t.families[name] = title;
    } else if (kind == "about" || kind == "edges" || kind == "arg" || kind == "return" || kind == "see") {
      continue;
    } else if (kind == "result") {
      std::string result;
      char letter;
      int value;
      words >> result >> letter >> value;
      t.results[result] = {letter, value};
    } else if (kind == "names") {
      int number;
      words >> number;
      for (std::string name; words >> name;) t.names[number].push_back(name.substr(0, name.find(':')));
    } else if (kind == "sig") {
      std::string name, word;
      Signature sig;
      words >> name >> sig.family;
      while (words >> word) {
        if (word == "->") {
          words >> sig.result;
          break;
        }
        sig.params.push_back(parse_param(word));
      }
      if (!t.sigs.emplace(name, sig).second) throw std::runtime_error("two signatures: " + name);
    } else if (kind == "oracle") {
      std::string name, word;
      Oracle o;
      words >> name >> o.function;
      while (words >> word) {
        if (word[0] == '(') {  // "(x y z)": three words, one argument
          for (std::string more; word.back() != ')' && words >> more;) word += " " + more;
        }
        o.args.push_back(word);
      }
      t.oracles[name] = o;
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
