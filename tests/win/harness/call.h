// Calling exports the way a host does: raw 32-bit argument words pushed for a
// cdecl call, with a chosen stack alignment, x87 control word and MXCSR, and a
// record of the floating-point state the call left behind.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace kvt {

struct CallEnv {
  std::uint32_t x87_control = 0x027F;  // low 16 bits loaded with fldcw
  std::uint32_t mxcsr = 0x1F80;
  std::uint32_t misalign = 0;  // bytes below 16-byte alignment of esp at the call
};

struct CallOutcome {
  std::uint32_t result;        // EAX
  std::uint32_t x87_control;   // after the call
  std::uint32_t mxcsr;         // after the call
  std::uint32_t x87_env[7];    // fnstenv image after the call
  std::uint16_t x87_tags() const { return static_cast<std::uint16_t>(x87_env[2]); }
};

CallOutcome call_raw(const void* fn, const std::uint32_t* args, std::uint32_t count, const CallEnv& env);

// The registers a cdecl callee must keep, as the callee left them: the thunk loads
// marker values into ebx, esi, edi and ebp before the call.
struct Preserved {
  std::uint32_t ebx, esi, edi, ebp, esp_change;
  static constexpr std::uint32_t kEbx = 0x5EB1E5B1, kEsi = 0x51E5E5E1, kEdi = 0xED1ED1ED, kEbp = 0xEB9EB9EB;
  bool intact() const { return ebx == kEbx && esi == kEsi && edi == kEdi && ebp == kEbp && esp_change == 0; }
};

// As call_raw, and the callee-saved registers and esp checked.
CallOutcome call_guarded(const void* fn, const std::uint32_t* args, std::uint32_t count, const CallEnv& env,
                         Preserved* preserved);

inline std::uint32_t call(const void* fn, std::initializer_list<std::uint32_t> args) {
  return call_raw(fn, args.begin(), static_cast<std::uint32_t>(args.size()), CallEnv{}).result;
}

inline std::uint32_t word(float f) {
  std::uint32_t w;
  std::memcpy(&w, &f, 4);
  return w;
}
// A function found by GetProcAddress as the type it has: through void (*)(), the
// cast that says so.
template <class Fn>
inline Fn function_at(FARPROC p) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

inline std::uint32_t word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }
inline float as_float(std::uint32_t w) {
  float f;
  std::memcpy(&f, &w, 4);
  return f;
}
template <class T = float>
inline T* as_pointer(std::uint32_t w) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(w));
}

}  // namespace kvt
