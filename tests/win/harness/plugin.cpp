#include "harness/plugin.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace kvt {

bool parse_row(const std::string& text, CommandRow& row) {
  const auto first = text.find('%');
  if (first == std::string::npos || text.empty() || text.back() != '%') return false;
  const auto second = text.find('%', first + 1);
  if (second == std::string::npos || second + 1 >= text.size() - 1) return false;
  row.text = text;
  row.value = first > 0 && text[first - 1] == '[';
  row.keyword = text.substr(0, row.value ? first - 1 : first);
  row.letters = text.substr(first + 1, second - first - 1);
  row.exportName = text.substr(second + 1, text.size() - second - 2);
  return !row.keyword.empty() && !row.letters.empty() && row.exportName.find('%') == std::string::npos;
}

// The release DLL next to the program, or the one the KV_DLL variable names (the
// checked build, when the suite runs against it: its reports then go to
// reports.log beside it, unless KESTROM_VANDU_LOG names a file, rather than to
// message boxes that would wait for a click).
Plugin& Plugin::get() {
  static const std::string path = [] {
    const char* dll = std::getenv("KV_DLL");
    if (!dll || !*dll) return std::string("Kestrom_Vandu.dll");
    const std::string p = dll;
    if (!std::getenv("KESTROM_VANDU_LOG")) {
      SetEnvironmentVariableA("KESTROM_VANDU_LOG", (p.substr(0, p.find_last_of("\\/") + 1) + "reports.log").c_str());
    }
    return p;
  }();
  static Plugin plugin(path.c_str());
  return plugin;
}

Plugin::Plugin(const char* path) : module_(LoadLibraryA(path)) {
  if (!module_) throw std::runtime_error(std::string("cannot load ") + path);
  // The host reads every string number its table may use.
  char buffer[512];
  for (int n = 1; n < 1024; ++n) {
    const int length = LoadStringA(module_, n, buffer, sizeof buffer);
    if (length <= 0) continue;
    CommandRow row;
    if (!parse_row(std::string(buffer, length), row)) {
      throw std::runtime_error("malformed row " + std::to_string(n) + ": " + buffer);
    }
    row.number = n;
    rows_[n] = row;
  }
}

const void* Plugin::address(const std::string& exportName) const {
  return reinterpret_cast<const void*>(GetProcAddress(module_, exportName.c_str()));
}

std::uint32_t Plugin::command(const std::string& keyword, const std::string& letters,
                              std::initializer_list<Arg> args) const {
  return command(keyword, letters, std::vector<Arg>(args));
}

std::uint32_t Plugin::command(const std::string& keyword, const std::string& letters, const std::vector<Arg>& args) const {
  for (const auto& [number, row] : rows_) {
    if (row.keyword != keyword || row.letters != letters) continue;
    const std::string expected = row.argument_letters();
    std::string given;
    std::vector<std::uint32_t> words;
    for (const Arg& a : args) given += a.letter, words.push_back(a.word);
    if (given != expected) {
      throw std::runtime_error(keyword + ": arguments " + given + " where the row says " + expected);
    }
    const void* fn = address(row.exportName);
    if (!fn) throw std::runtime_error(keyword + ": export " + row.exportName + " does not resolve");
    return call_raw(fn, words.data(), static_cast<std::uint32_t>(words.size()), CallEnv{}).result;
  }
  throw std::runtime_error("no row " + keyword + " with letters " + letters);
}

}  // namespace kvt
