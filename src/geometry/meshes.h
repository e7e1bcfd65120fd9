// Meshes: a level's triangles in a bounding volume hierarchy, made once from a
// Vec3 array of corners, and the queries that answer over them exactly what the
// same query over every triangle answers (Ray_HitTriangleArray, and a loop of
// Vec3_ClosestPointOnTriangle), visiting only the triangles near the query.
#pragma once

#include "frame/abi.h"

namespace kv::geometry {
// The triangles of a leaf are tested 4 at a time with AVX, where the processor has
// it, else 2 (0 until the first query chooses); every width gives the same answers.
extern int mesh_lanes;
}  // namespace kv::geometry

KV_EXPORT kv::Handle Mesh_Make(kv::Handle corners);
KV_EXPORT std::int32_t Mesh_Delete(kv::Handle mesh);
KV_EXPORT std::int32_t Mesh_Refit(kv::Handle mesh, kv::Handle corners);
KV_EXPORT std::int32_t Mesh_TriangleCount(kv::Handle mesh);
KV_EXPORT std::int32_t Mesh_AABB(kv::Handle lo, kv::Handle hi, kv::Handle mesh);
KV_EXPORT std::int32_t Mesh_LiveCount();
KV_EXPORT std::int32_t Ray_HitMesh(kv::Handle origin, kv::Handle dir, kv::Handle mesh, kv::Handle tuv);
KV_EXPORT std::int32_t Ray_HitMeshAny(kv::Handle origin, kv::Handle dir, kv::Handle mesh, float max_t);
KV_EXPORT std::int32_t Sphere_HitMesh(kv::Handle centre, float radius, kv::Handle mesh);
KV_EXPORT kv::FloatBits Mesh_ClosestPoint(kv::Handle out, kv::Handle point, kv::Handle mesh);
