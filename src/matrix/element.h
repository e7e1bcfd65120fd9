// Access to one element of a matrix by row and column, counted from 1, and to one
// float of any value by its number in storage order, counted from 0.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::FloatBits Mat4_GetElement(kv::Handle m, std::int32_t row, std::int32_t col);
KV_EXPORT std::int32_t Mat4_SetElement(kv::Handle m, std::int32_t row, std::int32_t col, float value);
KV_EXPORT kv::FloatBits Mat4_GetElementIndex(kv::Handle h, std::int32_t index);
KV_EXPORT std::int32_t Mat4_SetElementIndex(kv::Handle h, std::int32_t index, float value);
