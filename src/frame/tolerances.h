// Every cut-off a command decides by, said once with its reason. The command
// table's texts quote them as {kName}, which the generator replaces by the value
// written here (2^-20 for 0x1p-20, no f suffix), so the reference says what the
// code does.
#pragma once

namespace kv::tolerance {

// IsEqual without an eps: components closer than this are equal. 1.2e-8 as a
// single (bits 0x324E288F): practically exact for numbers of 0.125 and more.
inline constexpr float kIsEqual = 1.2e-8f;

// Vector and matrix SLerp: only a dot product below −kSlerpFlip·|a|·|b| turns
// toward −b. Directions a quarter turn apart as singles (π/2 rounded) give a dot
// product a few ULPs either side of 0, and must keep b.
inline constexpr double kSlerpFlip = 0x1p-20;

// Vector and matrix SLerp: above this cosine the arc's sine has lost its digits,
// and the straight line made unit length is the better answer.
inline constexpr float kSlerpStraight = 0.9995f;

// Quaternion SLerp, as D3DX: within this of parallel (1 − |cos| at most this,
// as a single) a straight blend of the two, not renormalised.
inline constexpr float kQuatSlerpStraight = 0.001f;

// Euler angles: below this cos(pitch) the roll and yaw are ill-determined apart,
// and their sum or difference is read from the elements that keep it.
inline constexpr double kEulerNearPole = 0x1p-7;

// Euler angles: below this cos(pitch) the pitch is ±90 degrees as far as the
// elements tell, and the turn the other two share is split evenly.
inline constexpr double kEulerPole = 0x1p-20;

// Facing a direction: an up whose cross product with the unit look is shorter
// than this times its length is too near the look's line to give a right axis.
inline constexpr double kUpParallel = 1e-6;

// The turn between two opposite directions: a direction whose x is at least this
// share of its length lies near the x axis, and the half turn is about from × y.
inline constexpr double kArcNearX = 0.9;

// Tangent frame: a texture mapping whose determinant is within this of 0 does not
// span the triangle, and the tangent and binormal are left undivided.
inline constexpr double kTangentSingular = 0.0001;

// Meshes: two triangles sharing an edge whose planes meet at less than this many
// degrees (turned to agree across the edge) are one surface there. A sphere that
// touches the edge, or a corner all of whose edges are such, takes the triangle's
// normal: it rolls over the seams of a floor or a ramp instead of catching on them.
inline constexpr double kSmoothEdge = 5.0;

}  // namespace kv::tolerance
