// Angle units: degrees and radians, wrapping into one turn, and conversions
// between angles and directions (a 2D direction and its angle; a 3D direction
// and its pitch and yaw).
#pragma once

#include "dx/vector.h"
#include "frame/abi.h"

namespace kv::vec {

// π/180 and 180/π rounded to single (bits 0x3C8EFA35 and 0x42652EE1).
inline constexpr float kDegToRad = 0.0174532924f;
inline constexpr float kRadToDeg = 57.2957802f;
// One turn in radians, held in double for wrapping.
inline constexpr double kTurn = 6.283185307179586;

// Euler angles in radians stored into a Vec3, each multiplied by `unit` (1, or
// kRadToDeg for degrees) and rounded once.
std::int32_t put_angles(Handle out, const dx::Vec3d& radians, double unit);

// x wrapped into [0, period): the exact truncated remainder, plus the period when
// negative, rounded to single once. A tiny negative x rounds up to the period
// itself; an exact negative multiple gives −0.
float wrap(double x, double period);

}  // namespace kv::vec

KV_EXPORT std::int32_t Vec2_DegToRad(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_DegToRad(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_DegToRad(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_DegToRadEx(kv::Handle result, float x, float y, float z);
KV_EXPORT std::int32_t Vec2_RadToDeg(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_RadToDeg(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_RadToDeg(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_RadToDegEx(kv::Handle result, float x, float y, float z);
KV_EXPORT std::int32_t Vec2_WrapDegrees(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_WrapDegrees(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_WrapDegrees(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec2_WrapRadians(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec3_WrapRadians(kv::Handle result, kv::Handle v);
KV_EXPORT std::int32_t Vec4_WrapRadians(kv::Handle result, kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_AxisToRad(kv::Handle v);
KV_EXPORT kv::FloatBits Vec2_AxisToDeg(kv::Handle v);
KV_EXPORT std::int32_t Vec2_RadToAxis(kv::Handle result, float angle);
KV_EXPORT std::int32_t Vec2_DegToAxis(kv::Handle result, float angle);
KV_EXPORT std::int32_t Vec3_AxisToRad(kv::Handle result, kv::Handle direction);
KV_EXPORT std::int32_t Vec3_AxisToDeg(kv::Handle result, kv::Handle direction);
KV_EXPORT std::int32_t Vec3_RadToAxis(kv::Handle result, kv::Handle angles);
KV_EXPORT std::int32_t Vec3_RadToAxisEx(kv::Handle result, float pitch, float yaw);
KV_EXPORT std::int32_t Vec3_DegToAxis(kv::Handle result, kv::Handle angles);
KV_EXPORT std::int32_t Vec3_DegToAxisEx(kv::Handle result, float pitch, float yaw);
