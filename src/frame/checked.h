// The checked build: before a command runs, every argument it is given is checked
// against what the command reads and writes through it, and a mistake is reported
// (naming the keyword, the argument and what is wrong with it) instead of the call
// going ahead. The release build is the same commands without this.
#pragma once

#include <cstdint>

namespace kv::checked {

enum class Kind : std::uint8_t {
  None, Vec2, Vec3, Vec4, Quat, Plane, Mat4, Frustum, ViewPort, Value,
  Vec2Array, Vec3Array, Vec4Array, Mat4Array, FloatArray, AnyArray,  // an array a MakeArray gave
  Mesh
};

// One argument of a command: a handle (kind not None) or another word.
struct Argument {
  const char* name;
  Kind kind;
  std::uint8_t bytes;  // the bytes the command touches from the handle on, or 0 when `index` gives them
  std::int8_t index;   // the argument holding the number of the float touched last, or −1
  std::int32_t low, high;  // an integer's range (high −1: no top but the value's own), when `range` names it
  bool written, optional;
  const char* range;  // "rows", "columns", "floats", "elements", the argument's name for a range of its own,
                      // or "" for an integer of any value
  float min, max;     // a float's range, none when max < min
  bool direction;     // a Vec3 that must be finite and not (0, 0, 0)
};

struct Command {
  const char* heading;  // the keywords as scripts write them, the export's own first (and the export, where it differs)
  const char* keyword;  // the export's own keyword
  const Argument* arguments;
  std::uint8_t count;
  std::int8_t deletes;  // the pool a Delete releases into (a frame::PoolId; 100: the arrays, 101: the meshes), or −1
};

// True when the call may go ahead. Otherwise the mistake has been reported (a
// message box, or a line of the log file KESTROM_VANDU_LOG names, and
// OutputDebugString), and the caller skips the call and returns its result's
// "nothing". A Delete given something that is not a live value of its pool is a
// warning (never a box) and goes ahead; a Delete of 0 raises nothing. A call from
// another thread than the first command's is reported once per thread and goes ahead.
bool allowed(const Command& command, const std::uint32_t* words);

// At unload: a count of repeats not yet written, and the values of each type still alive.
void report_leaks();

}  // namespace kv::checked
