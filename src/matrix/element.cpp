#include "matrix/element.h"

using kv::FloatBits;
using kv::Handle;

// Float number `index`, counted from 0, of whatever value the handle names: a
// matrix element in storage order, or x, y, z, w of a vector. Unchecked.
KV_EXPORT FloatBits Mat4_GetElementIndex(Handle h, std::int32_t index) { return kv::load_bits(h, index); }

KV_EXPORT std::int32_t Mat4_SetElementIndex(Handle h, std::int32_t index, float value) {
  kv::store_float(h, index, value);
  return 0;
}
