"""Vectors: component arithmetic, products, lengths and distances, reflection,
refraction and inversion, angle units and wrapping."""

import math

from .common import (ref, gen, single, f32, div, dot, cross, sub, length, unit, mpf, mpmath,
                     F_DEG_TO_RAD, F_RAD_TO_DEG)

TWO_PI = mpf(2 * math.pi)  # the period of radians, held at double precision
NAN = mpf("nan")


def each(*names):
    return [f"Vec{n}_{name}" for n in (2, 3, 4) for name in names]


OPS = {"Add": lambda x, y: x + y, "Sub": lambda x, y: x - y, "Mul": lambda x, y: x * y, "Div": div}


def op_of(export):
    name = export.split("_")[1]
    return next(f for word, f in OPS.items() if word in name)


def values(a, n):
    return [getattr(a, c) for c in "xyzw"[:n]]


@ref(*each("Add", "Sub", "Mul", "Div"))
def vector_vector(a):
    f = op_of(a.export)
    return {"result": [f(x, y) for x, y in zip(a.a, a.b)]}


@ref(*each("AddScalar", "SubScalar", "MulScalar", "DivScalar"))
def vector_scalar(a):
    f = op_of(a.export)
    return {"result": [f(x, a.s) for x in a.v]}


@ref(*each("AddValue", "SubValue", "MulValue", "DivValue"))
def vector_values(a):
    f = op_of(a.export)
    return {"result": [f(x, y) for x, y in zip(a.v, values(a, len(a.v)))]}


@ref(*each("ScalarSub", "ScalarDiv"))
def scalar_vector(a):
    f = op_of(a.export)
    return {"result": [f(a.s, x) for x in a.v]}


@ref(*each("ValueSub", "ValueDiv"))
def values_vector(a):
    f = op_of(a.export)
    return {"result": [f(y, x) for x, y in zip(a.v, values(a, len(a.v)))]}


@ref(*each("Inverse", "Invert"))
def reciprocal(a):
    return {"result": [div(mpf(1), x) for x in a.v]}


@ref(*each("MirrorPoint"))
def mirror_point(a):
    return {"result": [2 * c - p for p, c in zip(a.p, a.c)]}


@ref(*each("Dot"))
def vec_dot(a):
    return {"return": dot(a.a, a.b)}


@ref("Vec2_CCW")
def ccw(a):
    return {"return": a.a[0] * a.b[1] - a.a[1] * a.b[0]}


@ref("Vec3_Cross")
def vec_cross(a):
    return {"result": cross(a.a, a.b)}


@ref("Vec2_Perp")
def perp2(a):
    return {"result": [-a.v[1], a.v[0]]}


@ref("Vec3_Perp")
def perp3(a):
    """Turned in the z = 0 plane when |z| < |x|, else in the x = 0 plane."""
    x, y, z = a.v
    return {"result": [-y, x, mpf(0)] if abs(z) < abs(x) else [mpf(0), -z, y]}


@ref("Vec2_Length", "Vec3_Length")
def vec_length(a):
    return {"return": length(a.v)}


@ref(*each("LengthSq"))
def length_sq(a):
    return {"return": dot(a.v, a.v)}


@ref(*each("LengthManhatten"))
def length_manhattan(a):
    return {"return": mpmath.fsum(abs(x) for x in a.v)}


@ref(*each("Dist"))
def dist(a):
    return {"return": length(sub(a.a, a.b))}


@ref(*each("DistSq"))
def dist_sq(a):
    d = sub(a.a, a.b)
    return {"return": dot(d, d)}


@ref(*each("DistManhatten"))
def dist_manhattan(a):
    return {"return": mpmath.fsum(abs(x - y) for x, y in zip(a.a, a.b))}


@ref("Vec2_Normalize", "Vec3_Normalize")
def normalize(a):
    """D3DX: v / |v|, the zero vector stays zero."""
    return {"result": unit(a.v)}


@ref(*each("ScaleToLength"))
def scale_to_length(a):
    """v · length / |v|; the zero vector gives NaN for any length."""
    n = length(a.v)
    if n == 0:
        return {"result": [NAN] * len(a.v)}
    return {"result": [x * a.length / n for x in a.v]}


def reflect(v, n):
    s = 2 * dot(v, n)
    return [k * s - x for x, k in zip(v, n)]


@ref(*each("Reflect"))
def vec_reflect(a):
    return {"result": reflect(a.v, a.n)}


@ref("Vec3_ReflectPlane")
def reflect_plane(a):
    return {"result": reflect(a.v, a.plane[:3])}


@ref(*each("Refract"))
def refract(a):
    """eta·i − (eta·d + √k)·n with d = i·n, k = 1 − eta²(1 − d²); zero on total internal reflection (k < 0)."""
    d, eta = dot(a.i, a.n), a.eta
    k = 1 - eta * eta * (1 - d * d)
    if k < 0:
        return {"result": [mpf(0)] * len(a.i)}
    f = eta * d + mpmath.sqrt(k)
    return {"result": [eta * x - f * m for x, m in zip(a.i, a.n)]}


def wrap(x, period, rounded=False):
    """x less its whole periods (truncated toward zero), plus a period when negative;
    with `rounded`, x within a period of zero, the sign is that of x rounded to single."""
    if not mpmath.isfinite(x):
        return NAN
    with mpmath.workprec(400):
        r = x - mpmath.floor(abs(x) / period) * period * mpmath.sign(x)
        negative = (f32(x) < 0) if rounded else (r < 0)
        return +(r + period if negative else r)


def safe_asin(x):
    return mpmath.asin(x) if abs(x) <= 1 else NAN


@ref(*each("DegToRad"))
def deg_to_rad(a):
    return {"result": [x * F_DEG_TO_RAD for x in a.v]}


@ref(*each("RadToDeg"))
def rad_to_deg(a):
    return {"result": [x * F_RAD_TO_DEG for x in a.v]}


@ref("Vec3_DegToRadEx")
def deg_to_rad_ex(a):
    return {"result": [x * F_DEG_TO_RAD for x in (a.x, a.y, a.z)]}


@ref("Vec3_RadToDegEx")
def rad_to_deg_ex(a):
    return {"result": [x * F_RAD_TO_DEG for x in (a.x, a.y, a.z)]}


@ref(*each("WrapDegrees"))
def wrap_degrees(a):
    return {"result": [wrap(x, mpf(360)) for x in a.v]}


@ref(*each("WrapRadians"))
def wrap_radians(a):
    return {"result": [wrap(x, TWO_PI) for x in a.v]}


@ref("Vec2_RadToAxis", "Vec2_DegToAxis")
def angle_to_axis2(a):
    t = a.angle * (F_DEG_TO_RAD if "Deg" in a.export else 1)
    return {"result": [mpmath.cos(t), mpmath.sin(t)]}


@ref("Vec2_AxisToRad")
def axis_to_rad2(a):
    return {"return": mpmath.atan2(a.v[1], a.v[0])}


@ref("Vec2_AxisToDeg")
def axis_to_deg2(a):
    return {"return": mpmath.atan2(a.v[1], a.v[0]) * F_RAD_TO_DEG}


@ref("Vec3_AxisToRad", "Vec3_AxisToDeg")
def axis_to_angles3(a):
    """(pitch, yaw, 0) of a direction, each wrapped into one turn."""
    x, y, z = a.direction
    pitch, yaw = safe_asin(-y), mpmath.atan2(x, z)
    if "Deg" in a.export:
        return {"result": [wrap(t * F_RAD_TO_DEG, mpf(360), True) for t in (pitch, yaw)] + [mpf(0)]}
    return {"result": [wrap(t, TWO_PI, True) for t in (pitch, yaw)] + [mpf(0)]}


def direction(pitch, yaw):
    p = -pitch
    return [mpmath.sin(yaw) * mpmath.cos(p), mpmath.sin(p), mpmath.cos(yaw) * mpmath.cos(p)]


@ref("Vec3_RadToAxis", "Vec3_DegToAxis")
def angles_to_axis3(a):
    k = F_DEG_TO_RAD if "Deg" in a.export else 1
    return {"result": direction(a.angles[0] * k, a.angles[1] * k)}


@ref("Vec3_RadToAxisEx", "Vec3_DegToAxisEx")
def angles_to_axis3_ex(a):
    k = F_DEG_TO_RAD if "Deg" in a.export else 1
    return {"result": direction(a.pitch * k, a.yaw * k)}


def unit_floats(rng, n):
    v = [rng.gauss(0, 1) for _ in range(n)]
    s = math.sqrt(sum(x * x for x in v))
    return [x / s for x in v]


@gen("random", *each("Reflect"), "Vec3_ReflectPlane")
def unit_normal(rng, a):
    if hasattr(a, "plane"):
        a.plane[:3] = unit_floats(rng, 3)
    else:
        a.n = unit_floats(rng, len(a.n))


@gen("random", *each("Refract"))
def incident_ray(rng, a):
    # A unit ray arriving against a unit normal, between glass and air either way.
    a.n = unit_floats(rng, len(a.n))
    i = unit_floats(rng, len(a.i))
    d = sum(x * y for x, y in zip(i, a.n))
    a.i = [-x for x in i] if d > 0 else i
    a.eta = rng.choice([1 / 1.5, 1.5, 1 / 1.33, 1.33, rng.uniform(0.5, 2)])


def scaled_ray(k):
    # Only the ray's length is free: the normal stays unit and eta a ratio of indexes.
    def scale(rng, a):
        a.i = [x * k for x in a.i]
    return scale


gen("tiny", *each("Refract"))(scaled_ray(2.0 ** -40))
gen("huge", *each("Refract"))(scaled_ray(2.0 ** 40))


@gen("boundary", *each("Refract"))
def critical_angle(rng, a):
    # The ray at the critical angle (k = 0 up to rounding), or head-on with eta = 1.
    a.n = [single(x) for x in unit_floats(rng, len(a.n))]
    t = unit_floats(rng, len(a.n))
    k = sum(x * y for x, y in zip(t, a.n))
    t = [x - k * y for x, y in zip(t, a.n)]
    s = math.sqrt(sum(x * x for x in t))
    if rng.random() < 0.25:
        a.eta, a.i = 1.0, [-x for x in a.n]
        return
    a.eta = rng.uniform(1.1, 2)
    d = math.sqrt(1 - 1 / a.eta ** 2)
    a.i = [-d * y + math.sqrt(1 - d * d) * x / s for x, y in zip(t, a.n)]


@gen("random", "Vec3_AxisToRad", "Vec3_AxisToDeg")
def unit_direction(rng, a):
    a.direction = unit_floats(rng, 3)


AXES2 = [(1, 0), (0, 1), (-1, 0), (0, -1), (0, 0), (-1, 1e-7), (-1, -1e-7)]
AXES3 = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1), (0, 0, -1), (-1e-7, 0, 1), (1e-7, 0, -1)]


@gen("boundary", "Vec2_AxisToRad", "Vec2_AxisToDeg", "Vec3_AxisToRad", "Vec3_AxisToDeg")
def along_an_axis(rng, a):
    # The axes, either side of the half turn, and a yaw just below zero that wraps to a whole turn.
    if hasattr(a, "direction"):
        a.direction = [float(x) for x in rng.choice(AXES3)]
    else:
        a.v = [float(x) for x in rng.choice(AXES2)]


@gen("random", "Vec3_DegToAxis")
def angles_in_degrees(rng, a):
    a.angles = [rng.uniform(-400, 400) for _ in range(2)]


@gen("boundary", "Vec3_RadToAxis", "Vec3_DegToAxis")
def quarter_turns(rng, a):
    quarter = 90.0 if "Deg" in a.export else math.pi / 2
    a.angles = [rng.randint(-4, 4) * quarter for _ in range(2)]


@gen("boundary", *each("WrapDegrees", "WrapRadians"))
def whole_turns(rng, a):
    # Exact multiples of the period, the single nearest one, tiny negatives that round up to it.
    period = 360.0 if "Degrees" in a.export else 2 * math.pi
    a.v = [rng.choice([rng.randint(-3, 3) * period, single(rng.randint(-3, 3) * period),
                       -rng.choice([1e-6, 1e-30]), period - rng.choice([1e-5, 1e-3])]) for _ in a.v]


@gen("boundary", *each("Div", "DivScalar", "DivValue", "ScalarDiv", "ValueDiv", "Inverse", "Invert"))
def zero_divisors(rng, a):
    # Some divisors +0, and zero over zero.
    name = a.export.split("_")[1]
    if name == "DivScalar":
        a.s = 0.0
        a.v[0] = 0.0
        return
    if name == "DivValue":
        a.x = a.v[0] = 0.0
        a.y = 0.0
        return
    divisor = a.b if name == "Div" else a.v
    for i in rng.sample(range(len(divisor)), 2):
        divisor[i] = 0.0
    if name == "Div":
        a.a[0], a.b[0] = 0.0, 0.0
    elif name == "ScalarDiv" and rng.random() < 0.5:
        a.s = 0.0


@gen("boundary", "Vec3_Perp")
def perp_tie(rng, a):
    # |z| = |x|: the tie takes the x = 0 plane.
    a.v[2] = rng.choice([1, -1]) * a.v[0]
