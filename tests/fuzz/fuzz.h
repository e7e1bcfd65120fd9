// Fuzz targets over the native build: the whole command surface, called with
// arguments built from each export's signature, and the value pools, checked
// against a model of what they hold. libFuzzer drives them for `make fuzz`; the
// unit tests replay the kept corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <cstdio>
#include <cstdlib>

// A broken expectation in a fuzz target: said, then a crash the fuzzer keeps.
#define KV_FUZZ_CHECK(condition) \
  ((condition) ? void() : kv::test::fuzz_failure(#condition, __FILE__, __LINE__))

namespace kv::test {

[[noreturn]] inline void fuzz_failure(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: %s does not hold\n", file, line, what);
  std::abort();
}

using Word = std::uintptr_t;

struct ExportCall {
  const char* name;
  std::uint64_t (*call)(const Word* args);
};

inline float as_float(Word w) {
  const std::uint32_t bits = std::uint32_t(w);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
template <class T>
std::uint64_t result_word(T result) {
  return std::uint64_t(result);
}

extern const ExportCall kExportCalls[];
extern const std::size_t kExportCallCount;

int fuzz_commands(const std::uint8_t* data, std::size_t size);
int fuzz_pools(const std::uint8_t* data, std::size_t size);

namespace surface {
class Source;
}
// The pool model run for `steps` steps of the source's choosing: the fuzz target's
// body, and the long soak of the unit tests.
void run_pool_model(surface::Source& source, long steps);

}  // namespace kv::test
