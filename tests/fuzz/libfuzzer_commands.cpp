// libFuzzer's entry into the commands fuzz target (`make fuzz`).
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kv::test::fuzz_commands(data, size);
}
