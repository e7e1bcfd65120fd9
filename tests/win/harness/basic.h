// A runner for the BASIC the guide's examples are written in, enough of it to run
// them as printed: integer, float (#) and array (dim) variables; arithmetic with
// mod, comparisons, and, or; assignment; ':' between statements; backtick
// comments; for/next; if/then on one line, and if/else/endif blocks; do/loop for
// a fixed number of frames, each sync ending one; and the plug-in's keywords,
// resolved through the DLL's own string table by keyword and argument count and
// letters, as the host resolves them. Host words (mousex() …) are the caller's.
// Anything else throws: an example the runner cannot run fails its test.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness/plugin.h"

namespace kvt {

struct Value {
  bool is_float;
  float f;
  std::int32_t i;
  float as_float() const { return is_float ? f : float(i); }
  std::int32_t as_int() const { return is_float ? std::int32_t(f) : i; }
};

class Basic {
 public:
  explicit Basic(const Plugin& plugin);
  ~Basic();
  // A host word the script may call, such as mousex().
  void word(const std::string& name, std::function<Value()> fn) { words_[name] = std::move(fn); }
  // Parses the program; throws on a line it cannot read.
  void load(const std::string& code);
  // Runs it until it ends or until `frames` syncs; on_sync sees each frame end.
  void run(int frames, const std::function<void(int frame)>& on_sync = {});
  Value get(const std::string& name) const;
  const float* floats(const std::string& name) const { return as_pointer(std::uint32_t(get(name).i)); }

  struct Node;

 private:
  Value eval(const Node& n);
  void exec(const std::vector<std::unique_ptr<Node>>& block);
  Value call(const std::string& keyword, const std::vector<std::unique_ptr<Node>>& args, bool value);
  void assign(const Node& target, Value v);

  const Plugin& plugin_;
  std::map<std::string, std::function<Value()>> words_;
  std::map<std::string, Value> variables_;
  std::map<std::string, std::vector<Value>> arrays_;
  std::vector<std::unique_ptr<Node>> program_;
  int frame_ = 0, frames_ = 0;
  std::function<void(int)> on_sync_;
};

// The first ```basic block after the heading `## Example: <title>` of a guide.
std::string guide_example(const std::string& guide_path, const std::string& title);

}  // namespace kvt
