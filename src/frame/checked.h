// The checked build: before a command runs, every handle it is given is checked
// against what the command reads and writes through it, and a mistake is reported
// (naming the keyword, the export, the argument and what is wrong with it) instead
// of the call going ahead. The release build is the same commands without this.
#pragma once

#include <cstdint>

namespace kv::checked {

enum class Kind : std::uint8_t { None, Vec2, Vec3, Vec4, Quat, Plane, Mat4, Frustum, ViewPort, Value };

// One argument of a command: a handle (kind not None) or another word.
struct Argument {
  const char* name;
  Kind kind;
  std::uint8_t bytes;  // the bytes the command touches from the handle on, or 0 when `index` gives them
  std::int8_t index;   // the argument holding the number of the float touched last, or −1
  bool written, optional;
};

struct Command {
  const char* keywords;  // as scripts write them, the export's own first
  const char* name;      // the export
  const Argument* arguments;
  std::uint8_t count;
  std::int8_t deletes;  // the pool a Delete releases into (a frame::PoolId), or −1
};

// True when the call may go ahead. Otherwise the mistake has been reported (a
// message box, or a line of the log file KESTROM_VANDU_LOG names, and
// OutputDebugString), and the caller skips the call and returns 0. A warning
// (a Delete given something that is not a live value of its pool) lets it go ahead.
bool allowed(const Command& command, const std::uint32_t* words);

// At unload: the values of each type still alive, when there are any.
void report_leaks();

}  // namespace kv::checked
