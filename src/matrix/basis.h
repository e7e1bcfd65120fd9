// A matrix's local axes as vectors: rows 1, 2 and 3 are its right, up and look
// directions. The Ex forms normalise when their flag is not 0.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Mat4_GetRightVec(kv::Handle out, kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetUpVec(kv::Handle out, kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetLookVec(kv::Handle out, kv::Handle m);
KV_EXPORT std::int32_t Mat4_GetRightVecEx(kv::Handle out, kv::Handle m, std::int32_t normalise);
KV_EXPORT std::int32_t Mat4_GetUpVecEx(kv::Handle out, kv::Handle m, std::int32_t normalise);
KV_EXPORT std::int32_t Mat4_GetLookVecEx(kv::Handle out, kv::Handle m, std::int32_t normalise);
