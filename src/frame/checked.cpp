#include "frame/checked.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "frame/arrays.h"
#include "frame/pool.h"

#ifndef KV_VERSION
#define KV_VERSION "?"
#endif

namespace kv::checked {
namespace {

using frame::Place;
using frame::PoolId;

constexpr char kCaption[] = "Kestrom_Vandu checked build";
constexpr char kLogVariable[] = "KESTROM_VANDU_LOG";
constexpr long kRepeatsPerLine = 10000;

// The values a pool holds, as a report names them.
const char* pool_name(PoolId p) {
  static const char* const names[] = {"Vec2", "Vec3", "Vec4 or Plane", "Mat4", "Quat", "Frustum", "ViewPort"};
  return names[static_cast<int>(p)];
}

const char* kind_name(Kind k) {
  static const char* const names[] = {"",      "Vec2",         "Vec3",         "Vec4",         "Quat",
                                      "Plane", "Mat4",         "Frustum",      "ViewPort",     "value",
                                      "Vec2 array", "Vec3 array", "Vec4 array", "Mat4 array", "Float array", "array",
                                      "Mesh"};
  return names[static_cast<int>(k)];
}

std::uint32_t kind_bytes(Kind k) {
  static const std::uint8_t bytes[] = {0, 8, 12, 16, 16, 16, 64, 96, 24, 4, 0, 0, 0, 0, 0, 0, 0};
  return bytes[static_cast<int>(k)];
}

bool is_array(Kind k) { return k >= Kind::Vec2Array && k <= Kind::AnyArray; }
// An element number: its range is the count of the array another argument names.
bool elements(const Argument& a) { return std::strcmp(a.range, "elements") == 0; }
const char* array_name(frame::ArrayKind k) {
  static const char* const names[] = {"Vec2 array", "Vec3 array", "Vec4 array", "Mat4 array", "Float array"};
  return names[static_cast<int>(k)];
}

// A line of text built in place: the reports are short.
struct Text {
  char s[512];
  std::size_t n = 0;
  Text() { s[0] = '\0'; }
  Text& operator<<(const char* t) {
    while (*t && n + 1 < sizeof s) s[n++] = *t++;
    s[n] = '\0';
    return *this;
  }
  Text& operator<<(long long v) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lld", v);
    return *this << digits;
  }
};

void debug_line(const char* line) {
  OutputDebugStringA(line);
  OutputDebugStringA("\n");
}

bool ask_box(const char* text, UINT buttons) {
  return MessageBoxA(GetActiveWindow(), text, kCaption, buttons | MB_ICONWARNING | MB_TASKMODAL) != IDCANCEL;
}

// The log file KESTROM_VANDU_LOG names: each run starts with a header line, and a
// report repeated (the same command, argument and kind of mistake, whatever the
// numbers) is written once and then counted. A file that cannot be written is
// said once, in a message box, and the reports go to boxes instead.
struct Log {
  char path[MAX_PATH] = "";
  bool header = false, said_unwritable = false;
  const Command* command = nullptr;  // the report written last
  int argument = 0, what = 0;
  long repeats = 0;
} log;

bool write_file(const char* path, const char* line, bool header) {
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written;
  if (header || GetFileSize(file, nullptr) == 0) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const char* name = std::strrchr(exe, '\\') ? std::strrchr(exe, '\\') + 1 : exe;
    char first[MAX_PATH + 128];
    std::snprintf(first, sizeof first, "Kestrom_Vandu %s checked build, %04u-%02u-%02u %02u:%02u:%02u, process %lu %s\r\n",
                  KV_VERSION, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, GetCurrentProcessId(), name);
    WriteFile(file, first, DWORD(std::strlen(first)), &written, nullptr);
  }
  WriteFile(file, line, DWORD(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
  return true;
}

// Writes a line to the log, or to the debugger alone when no log is named; false
// when no log is named or it cannot be written.
bool write_line(const char* line) {
  debug_line(line);
  const char* path = log.path;
  if (!path[0]) return false;
  if (write_file(path, line, log.header)) {
    log.header = false;
    return true;
  }
  if (!log.said_unwritable) {
    log.said_unwritable = true;
    char reason[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, reason,
                   sizeof reason, nullptr);
    for (char* c = reason; *c; ++c) *c = (*c == '\r' || *c == '\n' || *c < 0) ? ' ' : *c;
    std::size_t end = std::strlen(reason);
    while (end > 0 && (reason[end - 1] == ' ' || reason[end - 1] == '.')) reason[--end] = '\0';
    Text t;
    t << kCaption << ": cannot write the log file " << path << " (" << reason << "); reports will show here instead.";
    ask_box(t.s, MB_OK);
  }
  return false;
}

// The count of repeats not yet written, under the line they repeat.
void flush_repeats() {
  if (log.repeats == 0) return;
  Text t;
  t << "  (the line above " << (long long)log.repeats << " more times)";
  log.repeats = 0;
  write_line(t.s);
}

// A report: once, then counted while it repeats. A mistake with no log to go to
// shows in a message box, where OK skips the call and Cancel ends the program; a
// warning goes to the debugger then, never to a box.
// The log KESTROM_VANDU_LOG names now; another log than before starts a run of its own.
void follow_variable() {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA(kLogVariable, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) path[0] = '\0';
  if (std::strcmp(path, log.path) == 0) return;
  flush_repeats();
  std::strcpy(log.path, path);
  log.header = true, log.said_unwritable = false, log.command = nullptr;
}

void report(const Command& c, int argument, int what, const char* line, bool warning) {
  follow_variable();
  if (log.command == &c && log.argument == argument && log.what == what) {
    if (++log.repeats == kRepeatsPerLine) flush_repeats();
    if (warning || (log.path[0] && !log.said_unwritable)) return;
  } else {
    flush_repeats();
    log.command = &c, log.argument = argument, log.what = what;
  }
  if (write_line(line) || warning) return;
  Text t;
  t << line << "\n\nOK skips this call. Cancel ends the program.";
  if (!ask_box(t.s, MB_OKCANCEL)) ExitProcess(3);
}

// Every page of [address, address + bytes) committed and readable, and writable
// when the command writes there: asked of the system each time, so that memory
// freed since the last call is never taken for usable.
bool usable(std::uintptr_t address, std::uint64_t bytes, bool written) {
  const std::uint64_t end = address + bytes;
  if (end > 0x100000000ull || end < address) return false;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY;
  const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  for (std::uint64_t at = address; at < end;) {
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery(reinterpret_cast<const void*>(std::uintptr_t(at)), &m, sizeof m)) return false;
    const DWORD p = m.Protect & 0xFF;
    if (m.State != MEM_COMMIT || (m.Protect & PAGE_GUARD) || !(p & readable) || (written && !(p & writable))) return false;
    at = std::uintptr_t(m.BaseAddress) + m.RegionSize;
  }
  return true;
}

// What is wrong with an argument, if anything.
enum What { Fine, Zero, Small, Deleted, TooSmall, Unusable, Misaligned, OutOfRange, Beyond, Thread, NotLive, NotArray,
            OtherArray, Counts, DeletedArray, OffArray, Elements, NotMesh, DeletedMesh, InMesh };

struct Finding {
  What what = Fine;
  Place place{};
  const char* in = "";  // what the value lies in: a pool's values, an element of an array, an array
  const frame::Array* array = nullptr;  // the array it lies in or names, live or deleted
};

// "a" or "an" before a noun.
const char* article(const char* noun) { return std::strchr("AEIOUaeiou", noun[0]) ? "an " : "a "; }

// The element names of the array kinds, as the reports name a place in an array.
const char* element_of(frame::ArrayKind k) {
  static const char* const names[] = {"element of a Vec2 array", "element of a Vec3 array", "element of a Vec4 array",
                                      "element of a Mat4 array", "element of a Float array"};
  return names[static_cast<int>(k)];
}

// The bytes from `value` within the value or element `place` starts: enough, or not, or off a float.
Finding inside(const Place& place, std::uint32_t value, std::uint64_t bytes, const char* in, const frame::Array* array) {
  if ((value - place.value) % 4) return {Misaligned, place, in, array};
  return {bytes <= place.value + place.bytes - value ? Fine : TooSmall, place, in, array};
}

Finding examine(const Argument& a, std::uint32_t value, std::uint64_t bytes) {
  if (value == 0) return {Zero};
  if (value < 65536) return {Small};
  if (a.kind == Kind::Mesh) {
    if (frame::mesh_block_at(value)) return {Fine};
    if (frame::deleted_mesh_holding(value)) return {DeletedMesh};
    return {NotMesh};
  }
  if (frame::mesh_block_holding(value) || frame::deleted_mesh_holding(value)) return {InMesh};
  if (is_array(a.kind)) {
    if (const frame::Array* array = frame::array_at(value)) {
      const bool fits = a.kind == Kind::AnyArray || int(array->kind) == int(a.kind) - int(Kind::Vec2Array);
      return {fits ? Fine : OtherArray, {}, array_name(array->kind), array};
    }
    if (const frame::Array* gone = frame::deleted_array_holding(value)) return {DeletedArray, {}, "", gone};
    return {NotArray};
  }
  // Each element of an array is a value of the array's kind; the rest of its block
  // (its bookkeeping, padding, the room past the end) is no value.
  if (const frame::Array* array = frame::array_block_holding(value)) {
    if (value < array->first || value - array->first >= array->bytes()) return {OffArray, {}, "", array};
    const std::size_t size = frame::element_bytes(array->kind);
    const Place place{Place::InValue, PoolId::Count, value - (value - array->first) % size, size};
    return inside(place, value, bytes, element_of(array->kind), array);
  }
  const Place place = frame::locate(value);
  if (place.where == Place::NoValue) return {Deleted};
  if (place.where == Place::InValue) return inside(place, value, bytes, pool_name(place.pool), nullptr);
  if (const frame::Array* gone = frame::deleted_array_holding(value)) return {DeletedArray, {}, "", gone};
  return {usable(value, bytes, a.written) ? Fine : Unusable};
}

void start_line(Text& t, const Command& c, int position, const Argument& a, bool warning) {
  t << c.heading << ": " << (warning ? "warning: " : "") << "argument " << (long long)(position + 1) << " '" << a.name
    << "' is ";
}

// The report of a finding on argument i, in the words a script writer reads.
void report_finding(const Command& c, int i, std::uint32_t value, std::uint64_t bytes, const Finding& f) {
  const Argument& a = c.arguments[i];
  Text t;
  start_line(t, c, i, a, false);
  const long long v = value;
  switch (f.what) {
    case Zero: t << "0 - a variable never given a value"; break;
    case Small: t << v << ", not a handle"; break;
    case Deleted: t << v << ", which was deleted"; break;
    case Unusable: t << v << ", which does not point at usable memory"; break;
    case Misaligned: t << v << ", " << (long long)(value - f.place.value) << " bytes into " << article(f.in) << f.in << ": not on a float"; break;
    case NotArray: t << v << ", not an array"; break;
    case NotMesh: t << v << ", not a mesh"; break;
    case DeletedMesh: t << v << ", a deleted Mesh"; break;
    case InMesh: t << v << ", a Mesh: this argument needs " << (is_array(a.kind) ? "an array" : "a value"); break;
    case OtherArray: t << v << ", a " << f.in << "; this argument needs a " << kind_name(a.kind); break;
    case DeletedArray:
      t << v << ", " << (value == f.array->first ? "a deleted " : value >= f.array->first && value - f.array->first < f.array->bytes()
                                                                     ? "an element of a deleted " : "inside a deleted ")
        << array_name(f.array->kind);
      break;
    case OffArray:
      if (value < f.array->first) {
        t << v << ", " << (long long)(f.array->first - value) << " bytes before element 0 of ";
      } else {
        t << v << ", " << (long long)(value - f.array->first - f.array->bytes()) << " bytes past the end of ";
      }
      t << "a " << array_name(f.array->kind) << " of " << (long long)f.array->count;
      break;
    default:
      t << v << ", ";
      if (value != f.place.value) t << (long long)(value - f.place.value) << " bytes into ";
      t << article(f.in) << f.in << " (" << (long long)f.place.bytes << " bytes); this argument needs ";
      if (a.kind != Kind::Value && bytes == kind_bytes(a.kind)) {
        t << "a " << kind_name(a.kind) << " (" << (long long)bytes << " bytes)";
      } else {
        t << (long long)bytes << " bytes";
      }
  }
  t << ", skipped";
  report(c, i, f.what, t.s, false);
}

// An integer outside its kind's range: a row or column outside 1 to 4, a float
// number below 0, one past the value the handle `at` points into (`f`), or an
// element number outside the array's (`count`).
void report_range(const Command& c, int i, std::int32_t v, std::uint32_t at = 0, const Finding* f = nullptr,
                  long long count = -1) {
  const Argument& a = c.arguments[i];
  Text t;
  start_line(t, c, i, a, false);
  t << (long long)v << ": ";
  if (f) {
    const long long left = (f->place.value + f->place.bytes - at) / 4;
    t << (at != f->place.value ? "from this handle, " : "") << "the " << f->in << " there has floats 0 to " << left - 1;
  } else if (count >= 0) {
    t << "the array has elements 0 to " << count - 1;
  } else if (a.high < 0) {
    t << a.range << " count from " << (long long)a.low;
  } else {
    t << a.range << " are " << (long long)a.low << " to " << (long long)a.high;
  }
  t << ", skipped";
  report(c, i, f ? Beyond : count >= 0 ? Elements : OutOfRange, t.s, false);
}

// The thread of the first command call, and the other threads already reported
// (in a list of their ids that grows as they come, on the process heap).
DWORD first_thread;
DWORD* other_threads;
unsigned others, others_room;

void check_thread(const Command& c) {
  const DWORD me = GetCurrentThreadId();
  if (!first_thread) first_thread = me;
  if (me == first_thread) return;
  for (unsigned k = 0; k < others; ++k) {
    if (other_threads[k] == me) return;
  }
  if (others == others_room) {
    const unsigned room = others_room ? 2 * others_room : 16;
    void* grown = other_threads ? HeapReAlloc(GetProcessHeap(), 0, other_threads, room * sizeof(DWORD))
                                : HeapAlloc(GetProcessHeap(), 0, room * sizeof(DWORD));
    if (!grown) return;  // no room to remember it: said again next time, rather than lost
    other_threads = static_cast<DWORD*>(grown), others_room = room;
  }
  other_threads[others++] = me;
  Text t;
  t << c.keyword << ": called from a second thread (id " << (long long)me << "): the pools are not thread-safe";
  report(c, -1, Thread, t.s, true);
}

}  // namespace

bool allowed(const Command& c, const std::uint32_t* words) {
  check_thread(c);
  if (c.deletes >= 0) {
    const std::uint32_t h = words[0];
    const bool arrays = c.deletes == 100, meshes = c.deletes == 101;
    if (h == 0 || (arrays   ? frame::array_at(h) != nullptr
                   : meshes ? frame::mesh_block_at(h) != nullptr
                            : frame::pool(static_cast<PoolId>(c.deletes)).holds(h))) {
      return true;
    }
    Text t;
    start_line(t, c, 0, c.arguments[0], true);
    t << (long long)h << ", not a live " << (arrays ? "array" : meshes ? "Mesh" : pool_name(static_cast<PoolId>(c.deletes)))
      << ": Delete ignores it";
    report(c, 0, NotLive, t.s, true);
    return true;
  }
  for (int i = 0; i < c.count; ++i) {
    const Argument& a = c.arguments[i];
    const std::int32_t v = static_cast<std::int32_t>(words[i]);
    if (a.range[0] && !elements(a) && (v < a.low || (a.high >= 0 && v > a.high))) {
      report_range(c, i, v);
      return false;
    }
    float f;
    std::memcpy(&f, &words[i], 4);
    if (a.min <= a.max && !(f >= a.min && f <= a.max)) {
      char text[96];
      std::snprintf(text, sizeof text, "%g: it is %g to %g, skipped", double(f), double(a.min), double(a.max));
      Text t;
      start_line(t, c, i, a, false);
      t << text;
      report(c, i, OutOfRange, t.s, false);
      return false;
    }
  }
  for (int i = 0; i < c.count; ++i) {
    const Argument& a = c.arguments[i];
    if (a.kind == Kind::None || (a.optional && words[i] == 0)) continue;
    const std::uint64_t bytes = a.index >= 0 ? 4 * (std::uint64_t(words[a.index]) + 1) : a.bytes;
    const Finding f = examine(a, words[i], bytes);
    if (f.what == TooSmall && a.index >= 0 && !is_array(a.kind)) {  // the float number is what is off, not the handle
      report_range(c, a.index, static_cast<std::int32_t>(words[a.index]), words[i], &f);
      return false;
    }
    if (f.what != Fine) {
      report_finding(c, i, words[i], bytes, f);
      return false;
    }
  }
  // A direction: finite, and not (0, 0, 0).
  for (int i = 0; i < c.count; ++i) {
    if (!c.arguments[i].direction) continue;
    float v[3];
    std::memcpy(v, reinterpret_cast<const void*>(std::uintptr_t(words[i])), sizeof v);
    if (v[0] - v[0] == 0 && v[1] - v[1] == 0 && v[2] - v[2] == 0 && (v[0] != 0 || v[1] != 0 || v[2] != 0)) continue;
    char text[128];
    std::snprintf(text, sizeof text, "%lu, (%g, %g, %g): no direction (not finite, or of no length), skipped",
                  static_cast<unsigned long>(words[i]), double(v[0]), double(v[1]), double(v[2]));
    Text t;
    start_line(t, c, i, c.arguments[i], false);
    t << text;
    report(c, i, OutOfRange, t.s, false);
    return false;
  }
  // An element number within its array's count; an array of the same kind as
  // the one another argument names.
  for (int i = 0; i < c.count; ++i) {
    const Argument& a = c.arguments[i];
    if (a.index < 0 || (!elements(a) && !is_array(a.kind))) continue;
    const frame::Array* array = frame::array_at(words[a.index]);
    if (!array) continue;
    if (!is_array(a.kind)) {
      const std::int32_t v = static_cast<std::int32_t>(words[i]);
      if (v >= 0 && std::uint32_t(v) < array->count) continue;
      report_range(c, i, v, 0, nullptr, array->count);
      return false;
    }
    const frame::Array* other = frame::array_at(words[i]);
    if (!other || other->kind == array->kind) continue;
    Text t;
    start_line(t, c, i, a, false);
    t << (long long)words[i] << ", a " << array_name(other->kind) << "; this argument needs a " << array_name(array->kind)
      << ", as " << c.arguments[a.index].name << ", skipped";
    report(c, i, OtherArray, t.s, false);
    return false;
  }
  // A mesh and corners for it: the same number of whole triangles, or nothing is done.
  for (int i = 0; i < c.count; ++i) {
    if (c.arguments[i].kind != Kind::Mesh) continue;
    const frame::Array* mesh = frame::mesh_block_at(words[i]);
    for (int k = 0; k < c.count && mesh; ++k) {
      const frame::Array* corners = c.arguments[k].kind == Kind::Vec3Array ? frame::array_at(words[k]) : nullptr;
      if (!corners || corners->count / 3 == mesh->count) continue;
      Text t;
      t << c.heading << ": warning: the mesh has " << (long long)mesh->count << " triangles and argument " << (long long)(k + 1)
        << " '" << c.arguments[k].name << "' " << (long long)(corners->count / 3) << ": nothing is done";
      report(c, k, Counts, t.s, true);
    }
  }
  // Arrays of different counts: the elements they all have are used, and said.
  const frame::Array* first = nullptr;
  for (int i = 0; i < c.count; ++i) {
    if (!is_array(c.arguments[i].kind)) continue;
    const frame::Array* a = frame::array_at(words[i]);
    if (first && a && a->count != first->count) {
      Text t;
      t << c.heading << ": warning: the arrays' counts differ (" << (long long)first->count << " and "
        << (long long)a->count << "): only the elements all of them have are used";
      report(c, i, Counts, t.s, true);
      break;
    }
    first = first ? first : a;
  }
  return true;
}

void report_leaks() {
  follow_variable();
  flush_repeats();
  Text t;
  t << kCaption << ": values still alive at unload:";
  bool any = false;
  for (int p = 0; p < static_cast<int>(PoolId::Count); ++p) {
    const std::size_t n = frame::pools[p].count();
    if (n == 0) continue;
    t << (any ? ", " : " ") << (long long)n << " " << pool_name(static_cast<PoolId>(p));
    any = true;
  }
  if (const std::size_t n = frame::array_live_count()) t << (any ? ", " : " ") << (long long)n << (n == 1 ? " array" : " arrays"), any = true;
  if (const std::size_t n = frame::mesh_live_count()) t << (any ? ", " : " ") << (long long)n << (n == 1 ? " Mesh" : " Meshes"), any = true;
  if (any) write_line(t.s);
}

}  // namespace kv::checked
