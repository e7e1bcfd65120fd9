// ViewPort values: the Direct3D 9 viewport, X, Y, Width, Height as unsigned
// 32-bit integers (pixels) and MinZ, MaxZ as floats, 24 bytes in their own pool;
// read and written as a whole, or as the rectangle alone, against a host
// camera's viewport. An absent camera (or the host's function not bound) gives
// zeros to the getters and nothing to the setters.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::Handle ViewPort_MakeNew();
KV_EXPORT kv::Handle ViewPort_MakeNewEx(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                        std::int32_t min_z, std::int32_t max_z);
KV_EXPORT std::int32_t ViewPort_Delete(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_Set(kv::Handle vp, std::int32_t x, std::int32_t y, std::int32_t width,
                                    std::int32_t height, std::int32_t min_z, std::int32_t max_z);
KV_EXPORT std::int32_t ViewPort_GetWidth(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetHeight(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetLeft(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetRight(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetTop(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetBottom(kv::Handle vp);
KV_EXPORT kv::FloatBits ViewPort_GetMinZ(kv::Handle vp);
KV_EXPORT kv::FloatBits ViewPort_GetMaxZ(kv::Handle vp);
KV_EXPORT std::int32_t ViewPort_GetCamera2D(kv::Handle vp, std::int32_t camera);
KV_EXPORT std::int32_t ViewPort_SetCamera2D(kv::Handle vp, std::int32_t camera);
KV_EXPORT std::int32_t ViewPort_GetCamera3D(kv::Handle vp, std::int32_t camera);
KV_EXPORT std::int32_t ViewPort_SetCamera3D(kv::Handle vp, std::int32_t camera);
KV_EXPORT std::int32_t ViewPort_TestPoint(kv::Handle vp, std::int32_t x, std::int32_t y);
