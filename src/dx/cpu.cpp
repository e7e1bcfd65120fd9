#include "dx/cpu.h"

#include <cpuid.h>

namespace kv::dx {

// AVX needs the instructions (CPUID) and a system that saves the wide registers
// on a thread switch (OSXSAVE, and XCR0 with the SSE and AVX state bits).
bool cpu_has_avx() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  if (!(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
  unsigned lo, hi;
  asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (lo & 6) == 6;
}

bool cpu_has_fma() {
  unsigned a, b, c, d;
  return cpu_has_avx() && __get_cpuid(1, &a, &b, &c, &d) && (c & bit_FMA);
}

}  // namespace kv::dx
