// The plug-in as the host sees it: the DLL loaded by name, its command table read
// back from the string-table resource, and commands called by keyword and type
// letters with 32-bit argument words.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "harness/call.h"

namespace kvt {

struct CommandRow {
  int number;
  std::string text, keyword, letters, exportName;
  bool value;  // the row yields a value to the script
  std::string argument_letters() const { return value ? letters.substr(1) : letters; }
};

// Splits a row as the host does; false when the text is not a well-formed row.
bool parse_row(const std::string& text, CommandRow& row);

// An argument word with the letter it stands for.
struct Arg {
  char letter;
  std::uint32_t word;
  Arg(float f) : letter('F'), word(kvt::word(f)) {}
  Arg(double) = delete;  // scripts pass singles: write 1.5f
  Arg(int i) : letter('L'), word(static_cast<std::uint32_t>(i)) {}
  Arg(std::uint32_t w) : letter('L'), word(w) {}
  template <class T>
  Arg(T* p) : letter('L'), word(kvt::word(static_cast<const void*>(p))) {}
};

class Plugin {
 public:
  // The DLL next to the test program, loaded once for the whole run.
  static Plugin& get();
  explicit Plugin(const char* path);

  HMODULE module() const { return module_; }
  const std::map<int, CommandRow>& rows() const { return rows_; }
  const void* address(const std::string& exportName) const;

  // Calls the command whose row has this keyword and these type letters (the
  // result's letter first for a value command), checking each argument's letter.
  std::uint32_t command(const std::string& keyword, const std::string& letters, std::initializer_list<Arg> args) const;
  std::uint32_t command(const std::string& keyword, const std::string& letters, const std::vector<Arg>& args) const;
  float command_float(const std::string& keyword, const std::string& letters, std::initializer_list<Arg> args) const {
    return as_float(command(keyword, letters, args));
  }

 private:
  HMODULE module_;
  std::map<int, CommandRow> rows_;
};

}  // namespace kvt
