// The scalar functions every command uses (square root, sine, cosine, tangent,
// arc sine, arc cosine, two-argument arc tangent), in double precision.
//
// A Direct3D 9 host leaves the x87 unit in single precision, and the C runtime of
// the target computes these functions on the x87 unit: called as they are, they
// would lose half their bits. These wrappers give the same bits whatever x87
// control word the caller left, and leave it as they found it.
#pragma once

namespace kv::sm {

double sqrt(double x);
double sin(double x);
double cos(double x);
double tan(double x);
double asin(double x);
double acos(double x);
double atan2(double y, double x);

}  // namespace kv::sm
