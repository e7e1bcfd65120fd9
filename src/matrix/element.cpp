#include "matrix/element.h"

using kv::FloatBits;
using kv::Handle;

namespace {

// Element (row, col), both from 1, sits at float (row − 1) × 4 + (col − 1).
std::intptr_t index_of(std::int32_t row, std::int32_t col) { return (std::intptr_t(row) - 1) * 4 + (col - 1); }

}  // namespace

KV_EXPORT FloatBits Mat4_GetElement(Handle m, std::int32_t row, std::int32_t col) {
  return kv::load_bits(m, index_of(row, col));
}

KV_EXPORT std::int32_t Mat4_SetElement(Handle m, std::int32_t row, std::int32_t col, float value) {
  kv::store_float(m, index_of(row, col), value);
  return 0;
}

// Float number `index`, counted from 0, of whatever value the handle names: a
// matrix element in storage order, or x, y, z, w of a vector. Unchecked.
KV_EXPORT FloatBits Mat4_GetElementIndex(Handle h, std::int32_t index) { return kv::load_bits(h, index); }

KV_EXPORT std::int32_t Mat4_SetElementIndex(Handle h, std::int32_t index, float value) {
  kv::store_float(h, index, value);
  return 0;
}
