// Moving through a level: a sphere swept through a mesh to its first contact, and
// a sphere or an axis-aligned ellipsoid moved by a wanted amount, stopping short
// of the mesh's surfaces and sliding along them, with whether it touched ground.
#pragma once

#include "frame/abi.h"

KV_EXPORT kv::FloatBits Sphere_SweepMesh(kv::Handle centre, float radius, kv::Handle move, kv::Handle mesh, kv::Handle point,
                                         kv::Handle normal);
KV_EXPORT std::int32_t Sphere_SlideMesh(kv::Handle out, kv::Handle centre, float radius, kv::Handle move, kv::Handle mesh,
                                        kv::Handle ground);
KV_EXPORT std::int32_t Ellipsoid_SlideMesh(kv::Handle out, kv::Handle centre, kv::Handle radii, kv::Handle move, kv::Handle mesh,
                                           kv::Handle ground);
KV_EXPORT std::int32_t Sphere_SlideSettings(kv::Handle up, float max_slope_degrees, float skin, std::int32_t iterations);
