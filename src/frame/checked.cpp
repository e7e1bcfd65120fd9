#include "frame/checked.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "frame/pool.h"

namespace kv::checked {
namespace {

using frame::Place;
using frame::PoolId;

constexpr char kCaption[] = "Kestrom_Vandu checked build";
constexpr char kLogVariable[] = "KESTROM_VANDU_LOG";

// The values a pool holds, as a report names them.
const char* pool_name(PoolId p) {
  static const char* const names[] = {"Vec2", "Vec3", "Vec4 or Plane", "Mat4", "Quat", "Frustum", "ViewPort"};
  return names[static_cast<int>(p)];
}

const char* kind_name(Kind k) {
  static const char* const names[] = {"", "Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort", "value"};
  return names[static_cast<int>(k)];
}

std::uint32_t kind_bytes(Kind k) {
  static const std::uint8_t bytes[] = {0, 8, 12, 16, 16, 16, 64, 96, 24, 4};
  return bytes[static_cast<int>(k)];
}

// A line of text built in place: the reports are short.
struct Text {
  char s[512];
  std::size_t n = 0;
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

// The file KESTROM_VANDU_LOG names, or an empty name.
bool log_path(char (&path)[MAX_PATH]) {
  const DWORD n = GetEnvironmentVariableA(kLogVariable, path, MAX_PATH);
  return n > 0 && n < MAX_PATH;
}

void append_line(const char* path, const char* line) {
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, line, DWORD(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

void debug_line(const char* line) {
  OutputDebugStringA(line);
  OutputDebugStringA("\n");
}

// The report goes to the debugger, and to the log file when one is named;
// otherwise to a message box, where Cancel ends the program.
void report(const char* line) {
  debug_line(line);
  char path[MAX_PATH];
  if (log_path(path)) {
    append_line(path, line);
    return;
  }
  Text text;
  text << line << "\n\nOK skips this call. Cancel ends the program.";
  wchar_t wide[600], caption[64];
  MultiByteToWideChar(CP_UTF8, 0, text.s, -1, wide, 600);
  MultiByteToWideChar(CP_UTF8, 0, kCaption, -1, caption, 64);
  if (MessageBoxW(GetActiveWindow(), wide, caption, MB_OKCANCEL | MB_ICONWARNING | MB_TASKMODAL) == IDCANCEL) {
    ExitProcess(3);
  }
}

// The last regions found usable, so that a script passing the same memory again
// (its own arrays, the host's records) costs no system call: a region freed since
// would be missed until it leaves this list.
struct Region {
  std::uint64_t begin, end;
  bool writable;
};
Region usable_regions[4];
unsigned next_region;

// Every page of [address, address + bytes) committed and readable, and writable
// when the command writes there.
bool usable(std::uintptr_t address, std::uint64_t bytes, bool written) {
  const std::uint64_t end = address + bytes;
  if (end > 0x100000000ull || end < address) return false;
  for (const Region& r : usable_regions) {
    if (address >= r.begin && end <= r.end && (r.writable || !written)) return true;
  }
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY;
  const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  for (std::uint64_t at = address; at < end;) {
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery(reinterpret_cast<const void*>(std::uintptr_t(at)), &m, sizeof m)) return false;
    const DWORD p = m.Protect & 0xFF;
    if (m.State != MEM_COMMIT || (m.Protect & PAGE_GUARD) || !(p & readable) || (written && !(p & writable))) return false;
    at = std::uintptr_t(m.BaseAddress) + m.RegionSize;
    if (address >= std::uintptr_t(m.BaseAddress) && end <= at) {
      usable_regions[next_region++ % 4] = {std::uintptr_t(m.BaseAddress), at, (p & writable) != 0};
    }
  }
  return true;
}

// What is wrong with a handle argument, if anything.
struct Finding {
  enum What { Fine, Zero, Small, Deleted, TooSmall, Unusable } what = Fine;
  Place place{};
};

Finding examine(const Argument& a, std::uint32_t value, std::uint64_t bytes) {
  if (value == 0) return {Finding::Zero};
  if (value < 65536) return {Finding::Small};
  const Place place = frame::locate(value);
  if (place.where == Place::NoValue) return {Finding::Deleted};
  if (place.where == Place::InValue) return {bytes <= place.value + place.bytes - value ? Finding::Fine : Finding::TooSmall, place};
  return {usable(value, bytes, a.written) ? Finding::Fine : Finding::Unusable};
}

void start_line(Text& t, const Command& c, int position, const Argument& a, bool warning) {
  t << c.keywords << " (" << c.name << "): " << (warning ? "warning: " : "") << "argument " << (long long)position
    << " '" << a.name << "' ";
}

// The report of a finding, in the words a script writer reads.
void report_finding(const Command& c, int i, std::uint32_t value, std::uint64_t bytes, const Finding& f) {
  const Argument& a = c.arguments[i];
  Text t;
  start_line(t, c, i + 1, a, false);
  const long long v = value;
  switch (f.what) {
    case Finding::Zero: t << "is 0 — a variable that was never given a value?"; break;
    case Finding::Small: t << "is " << v << ", not a handle"; break;
    case Finding::Deleted: t << "is " << v << ", which was deleted"; break;
    case Finding::Unusable: t << "is " << v << ", which does not point at usable memory"; break;
    default:
      t << "is " << v << ", ";
      if (value != f.place.value) t << (long long)(value - f.place.value) << " bytes into ";
      t << "a " << pool_name(f.place.pool) << " (" << (long long)f.place.bytes << " bytes); this argument needs ";
      if (a.kind != Kind::Value && bytes == kind_bytes(a.kind)) {
        t << "a " << kind_name(a.kind) << " (" << (long long)bytes << " bytes)";
      } else {
        t << (long long)bytes << " bytes";
      }
  }
  report(t.s);
}

}  // namespace

bool allowed(const Command& c, const std::uint32_t* words) {
  if (c.deletes >= 0) {
    const std::uint32_t h = words[0];
    if (frame::pool(static_cast<PoolId>(c.deletes)).holds(h)) return true;
    Text t;
    start_line(t, c, 1, c.arguments[0], true);
    t << "is " << (long long)h << ", not a live " << pool_name(static_cast<PoolId>(c.deletes)) << ": Delete ignores it";
    report(t.s);
    return true;
  }
  for (int i = 0; i < c.count; ++i) {
    const Argument& a = c.arguments[i];
    if (a.kind == Kind::None || (a.optional && words[i] == 0)) continue;
    std::uint64_t bytes = a.bytes;
    if (a.index >= 0) {
      const std::int32_t index = static_cast<std::int32_t>(words[a.index]);
      if (index < 0) {
        Text t;
        start_line(t, c, a.index + 1, c.arguments[a.index], false);
        t << "is " << (long long)index << ", before the value's first float";
        report(t.s);
        return false;
      }
      bytes = 4 * (std::uint64_t(index) + 1);
    }
    const Finding f = examine(a, words[i], bytes);
    if (f.what != Finding::Fine) {
      report_finding(c, i, words[i], bytes, f);
      return false;
    }
  }
  return true;
}

void report_leaks() {
  Text t;
  t << kCaption << ": values still alive at unload:";
  bool any = false;
  for (int p = 0; p < static_cast<int>(PoolId::Count); ++p) {
    const std::size_t n = frame::pools[p].count();
    if (n == 0) continue;
    t << (any ? ", " : " ") << (long long)n << " " << pool_name(static_cast<PoolId>(p));
    any = true;
  }
  if (!any) return;
  char path[MAX_PATH];
  if (log_path(path)) {
    append_line(path, t.s);
  } else {
    debug_line(t.s);
  }
}

}  // namespace kv::checked
