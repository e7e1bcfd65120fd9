// Rotation frames, shared by the matrix and quaternion commands: the Euler angles
// of a rotation, the axes of an object facing a direction, and the turn from one
// direction to another. All in double; the callers round once.
#pragma once

#include "dx/wide.h"

namespace kv::dx {

// The elements of a rotation matrix that Euler angles are read from, in double:
// a matrix's own, or a quaternion's times its squared length. Every angle is a
// quotient of elements, so that common scale does not matter.
struct RotationElements {
  double m11, m12, m13, m21, m22, m23, m31, m32, m33;
};

// The angles (ax, ay, az) in radians for which the X-then-Y-then-Z rotation gives
// these elements, ay in [−π/2, π/2].
Vec3d euler_angles(const RotationElements& e);

// The unit rows right, up and look of an object whose look axis points along
// `look` (right = up × look, up' = look × right), in double. A zero look gives
// the identity's rows. An up within 1e-6 of the look's line (or zero) is
// replaced by the world axis least aligned with the look: the first of x, y, z
// whose component of the unit look is smallest in size.
struct Basis {
  Vec3d right, up, look;
};

Basis facing(const Vec3d& look, Vec3d up);

// The turn from one direction to another by the smaller angle:
// (f × t, |f|·|t| + f·t) made unit length, accurate as long as that has any
// length at all. Where it has none (below the smallest normal double: opposite
// directions) the turn is half a turn about f × x, or about f × y when f lies near
// the x axis (|f.x| ≥ 0.9·|f|); a zero direction gives the identity.
Quatd arc(const Vec3d& from, const Vec3d& to);

}  // namespace kv::dx
