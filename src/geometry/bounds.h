// Bounds of a set of points: the smallest box and the smallest sphere holding
// every point of a Vec3 array.
#pragma once

#include "frame/abi.h"

KV_EXPORT std::int32_t Vec3_ArrayAABB(kv::Handle lo, kv::Handle hi, kv::Handle points);
KV_EXPORT kv::FloatBits Vec3_ArrayBoundingSphere(kv::Handle centre, kv::Handle points);
