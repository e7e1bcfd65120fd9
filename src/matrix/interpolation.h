// Blending two transforms row by row, the way a game blends two poses: the three
// basis rows and the translation row are interpolated, m44 becomes 1 and m14,
// m24, m34 of out are never written. t = 0 gives a, t = 1 gives b; t is not
// clamped. out may be a or b; b itself is never changed.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Mat4_Lerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);
KV_EXPORT std::int32_t Mat4_NLerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);
KV_EXPORT std::int32_t Mat4_SLerp(kv::Handle out, kv::Handle a, kv::Handle b, float t);
