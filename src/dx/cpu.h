// What the processor offers beyond SSE2. Kernels that have an AVX form are
// chosen by their first call; every form gives the same bits.
#pragma once

namespace kv::dx {

bool cpu_has_avx();
bool cpu_has_fma();  // AVX with fused multiply-add

}  // namespace kv::dx
