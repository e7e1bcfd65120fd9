// The host's record layouts as the substitute host lays them out, written down
// here on their own rather than taken from the plug-in's host_api.h: a test
// compares the two, so a wrong offset on either side shows.
#pragma once

#include <cstddef>

namespace kvt::layout {

// Core data record: the module handles of the objects and cameras DLLs.
inline constexpr std::size_t kCoreObjectsModule = 100;
inline constexpr std::size_t kCoreCamerasModule = 104;

// Object record: position, rotation in degrees, scale, three floats each.
inline constexpr std::size_t kObjectPosition = 132;
inline constexpr std::size_t kObjectRotation = 144;
inline constexpr std::size_t kObjectScale = 156;

// Camera record.
inline constexpr std::size_t kCameraProjection = 0;
inline constexpr std::size_t kCameraView = 64;
inline constexpr std::size_t kCameraLook = 128;
inline constexpr std::size_t kCameraUp = 140;
inline constexpr std::size_t kCameraRight = 152;
inline constexpr std::size_t kCameraPosition = 164;
inline constexpr std::size_t kCameraViewport = 200;

}  // namespace kvt::layout
