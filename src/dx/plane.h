// D3DX 9 plane functions. A plane (a, b, c, d) holds the points with
// a·x + b·y + c·z + d = 0; nothing is normalised unless the name says so.
#pragma once

#include "dx/types.h"

namespace kv::dx {

// (n, −p·n). Every input is read before the output is stored, so the output may
// be the point (D3DX itself would compute d from the overwritten point).
Plane* plane_from_point_normal(Plane* out, const Vec3* point, const Vec3* normal);
// Through p1 with the unit normal of (p2 − p1) × (p3 − p1); collinear points give (0, 0, 0, −0).
Plane* plane_from_points(Plane* out, const Vec3* p1, const Vec3* p2, const Vec3* p3);
// (a, b, c, d)·m: pass the inverse transpose of the point transform.
Plane* plane_transform(Plane* out, const Plane* plane, const Mat4* m);
// The point where the line through v1 and v2 meets the plane, outside the segment
// too; null, with *out untouched, when the line is parallel (or v1 = v2).
Vec3* plane_intersect_line(Vec3* out, const Plane* plane, const Vec3* v1, const Vec3* v2);
// All four divided by the length of (a, b, c); a zero normal gives (0, 0, 0, 0).
Plane* plane_normalize(Plane* out, const Plane* plane);

}  // namespace kv::dx
