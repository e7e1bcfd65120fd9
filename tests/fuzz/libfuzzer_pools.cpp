// libFuzzer's entry into the pools fuzz target (`make fuzz`).
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kv::test::fuzz_pools(data, size);
}
