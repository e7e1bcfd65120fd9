// Making, freeing, counting, reading and copying arrays: the commands common to
// every kind.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle Vec2_MakeArray(std::int32_t count);
KV_EXPORT kv::Handle Vec3_MakeArray(std::int32_t count);
KV_EXPORT kv::Handle Vec4_MakeArray(std::int32_t count);
KV_EXPORT kv::Handle Mat4_MakeArray(std::int32_t count);
KV_EXPORT kv::Handle Float_MakeArray(std::int32_t count);
KV_EXPORT std::int32_t Array_Delete(kv::Handle array);
KV_EXPORT std::int32_t Array_Count(kv::Handle array);
KV_EXPORT kv::Handle Array_Element(kv::Handle array, std::int32_t index);
KV_EXPORT kv::FloatBits Float_ArrayGet(kv::Handle array, std::int32_t index);
KV_EXPORT std::int32_t Float_ArraySet(kv::Handle array, std::int32_t index, float value);
KV_EXPORT std::int32_t Array_Copy(kv::Handle destination, kv::Handle source);
KV_EXPORT std::int32_t Array_LiveCount();
