// Access to one float of any value by its number in storage order.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::FloatBits Mat4_GetElementIndex(kv::Handle h, std::int32_t index);
KV_EXPORT std::int32_t Mat4_SetElementIndex(kv::Handle h, std::int32_t index, float value);
