"""Vector interpolation, patches, curves, barycentrics, segment and angle queries,
the vertex tangent frame and vector transforms."""

import math

from .common import (ref, gen, f32, single, div, dot, cross, length, unit, lerp, add, sub, scale,
                     mat, matmul, row_times, identity, mpf, mpmath)

CLOSE = mpf(single(0.9995))  # the single nearest 0.9995
FLIP = mpmath.ldexp(1, -20)  # b is negated when a·b < −2^-20·|a|·|b|
FLAT_UV = mpf(0.0001)  # the double 0.0001 below which a texture mapping counts as flat


def each(*names):
    return [f"Vec{n}_{name}" for n in (2, 3, 4) for name in names]


def acos(x):
    """The arc cosine, NaN outside −1..1 as the C runtime gives."""
    return mpmath.acos(x) if abs(x) <= 1 else mpf("nan")


def normalized(v, inline):
    """v / |v|: by D3DX (zero stays zero) or in-line (zero gives NaN)."""
    if not inline:
        return unit(v)
    n = length(v)
    return [div(x, n) for x in v]


@ref(*each("Lerp"))
def vec_lerp(a):
    return {"out": lerp(a.a, a.b, a.t)}


@ref(*each("NLerp"))
def vec_nlerp(a):
    return {"out": normalized(lerp(a.a, a.b, a.t), len(a.a) == 4)}


@ref(*each("SLerp"))
def vec_slerp(a):
    """Along the arc toward b, or −b when a·b < −2^-20·|a||b|; the caller's b unchanged."""
    va, vb, t = a.a, a.b, a.t
    d = dot(va, vb)
    if d < -FLIP * length(va) * length(vb):
        vb, d = [-x for x in vb], -d
    if f32(d) > CLOSE:
        out = normalized(lerp(va, vb, t), len(va) == 4)
    else:
        theta = acos(d) * t
        r = sub(vb, scale(va, d))
        n = length(r)
        r = [div(x, n) for x in r]
        c, s = mpmath.cos(theta), mpmath.sin(theta)
        out = [x * c + y * s for x, y in zip(va, r)]
    return {"out": out, "b": list(a.b)}


def ease(t):
    """The Cerp weights of the start and of the end."""
    return 2 * t ** 3 - 3 * t ** 2 + 1, 3 * t ** 2 - 2 * t ** 3


@ref(*each("Cerp"))
def vec_cerp(a):
    w0, w1 = ease(a.t)
    return {"out": [x * w0 + y * w1 for x, y in zip(a.a, a.b)]}


@ref(*each("BiLerp"))
def vec_bilerp(a):
    return {"out": lerp(lerp(a.p0, a.p1, a.u), lerp(a.p2, a.p3, a.u), a.v)}


@ref(*each("BiCerp"))
def vec_bicerp(a):
    u0, u1 = ease(a.u)
    v0, v1 = ease(a.v)
    near = [x * u0 + y * u1 for x, y in zip(a.p0, a.p1)]
    far = [x * u0 + y * u1 for x, y in zip(a.p2, a.p3)]
    return {"out": [x * v0 + y * v1 for x, y in zip(near, far)]}


@ref(*each("CatmullRom"))
def vec_catmull_rom(a):
    s = a.s
    w = [-s ** 3 + 2 * s ** 2 - s, 3 * s ** 3 - 5 * s ** 2 + 2, -3 * s ** 3 + 4 * s ** 2 + s, s ** 3 - s ** 2]
    return {"out": [mpmath.fsum(k * p for k, p in zip(w, ps)) / 2 for ps in zip(a.p0, a.p1, a.p2, a.p3)]}


@ref(*each("Hermite"))
def vec_hermite(a):
    s = a.s
    w = [2 * s ** 3 - 3 * s ** 2 + 1, s ** 3 - 2 * s ** 2 + s, -2 * s ** 3 + 3 * s ** 2, s ** 3 - s ** 2]
    return {"out": [mpmath.fsum(k * p for k, p in zip(w, ps)) for ps in zip(a.a, a.ta, a.b, a.tb)]}


@ref(*each("Cubic"))
def vec_cubic(a):
    """a0 t³ + (p0 − p1 − a0) t² + (p2 − p0) t + p1, a0 = p3 − p2 − p0 + p1."""
    t = a.t
    out = []
    for p0, p1, p2, p3 in zip(a.p0, a.p1, a.p2, a.p3):
        a0 = p3 - p2 - p0 + p1
        out.append(a0 * t ** 3 + (p0 - p1 - a0) * t ** 2 + (p2 - p0) * t + p1)
    return {"out": out}


@ref(*each("Bezier"))
def vec_bezier(a):
    """The Bernstein cubic with control points p1, 2 p1 − p0, 2 p2 − p3, p2."""
    t = a.t
    u = 1 - t
    w = [u ** 3, 3 * t * u ** 2, 3 * t ** 2 * u, t ** 3]
    return {"out": [mpmath.fsum(k * c for k, c in zip(w, (p1, 2 * p1 - p0, 2 * p2 - p3, p2)))
                    for p0, p1, p2, p3 in zip(a.p0, a.p1, a.p2, a.p3)]}


@ref(*each("BaryCentric"))
def vec_barycentric(a):
    return {"out": [x + a.f * (y - x) + a.g * (z - x) for x, y, z in zip(a.a, a.b, a.c)]}


@ref(*each("BaryCentricWeights"))
def vec_barycentric_weights(a):
    """Weights of p (or of its projection on the triangle's plane): (1 − y − z, y, z)."""
    e0, e1, e2 = sub(a.b, a.a), sub(a.c, a.a), sub(a.p, a.a)
    d00, d01, d11, d20, d21 = dot(e0, e0), dot(e0, e1), dot(e1, e1), dot(e2, e0), dot(e2, e1)
    denom = d00 * d11 - d01 * d01
    y = div(d11 * d20 - d01 * d21, denom)
    z = div(d00 * d21 - d01 * d20, denom)
    return {"weights": [1 - y - z, y, z]}


@ref(*each("WeightedAvg3"))
def vec_weighted_avg3(a):
    w = a.weights
    return {"out": [x * w[0] + y * w[1] + z * w[2] for x, y, z in zip(a.a, a.b, a.c)]}


@gen("random", *each("BaryCentricWeights"))
def point_in_triangle(rng, a):
    w = [rng.random() for _ in range(3)]
    w = [x / sum(w) for x in w]
    a.p = [w[0] * x + w[1] * y + w[2] * z for x, y, z in zip(a.a, a.b, a.c)]


def closest_on_segment(p, a, b):
    """a + t (b − a) with t = (p − a)·(b − a) / |b − a|², clamped to [0, 1]."""
    d = sub(b, a)
    t = div(dot(sub(p, a), d), dot(d, d))
    if not t >= 0:
        return list(a)
    if t > 1:
        return list(b)
    return add(a, scale(d, t))


@ref("Vec2_GetClosestPointOnLineSeg", "Vec3_GetClosestPointOnLineSeg")
def vec_closest_point_on_line_seg(a):
    return {"out": closest_on_segment(a.p, a.a, a.b)}


@ref("Vec2_GetDistFromLineSeg", "Vec3_GetDistFromLineSeg")
def vec_dist_from_line_seg(a):
    return {"return": length(sub(closest_on_segment(a.p, a.a, a.b), a.p))}


@ref(*each("GetAngleBetween"))
def vec_angle_between(a):
    """acos(a·b / (|a| |b|)); NaN for a zero vector."""
    c = div(dot(a.a, a.b), mpmath.sqrt(dot(a.a, a.a) * dot(a.b, a.b)))
    if mpmath.isfinite(c) and abs(c) > 1:  # only the last digit of 50 can push it past ±1
        c = mpmath.sign(c)
    return {"return": acos(c)}


@ref("Vec3_VertexTBN")
def vec3_vertex_tbn(a):
    """Tangent and binormal times 1/det, or times 1 when det is within 0.0001 of 0."""
    e1, e2 = sub(a.p1, a.p0), sub(a.p2, a.p0)
    du1, dv1 = a.uv1[0] - a.uv0[0], a.uv1[1] - a.uv0[1]
    du2, dv2 = a.uv2[0] - a.uv0[0], a.uv2[1] - a.uv0[1]
    det = du1 * dv2 - du2 * dv1
    r = 1 / det if abs(det) > FLAT_UV else mpf(1)
    return {"tangent": [(dv2 * x - dv1 * y) * r for x, y in zip(e1, e2)],
            "binormal": [(du1 * y - du2 * x) * r for x, y in zip(e1, e2)],
            "normal": cross(e1, e2)}


def homogeneous(v, w):
    return list(v) + [mpf(0)] * (3 - len(v)) + [mpf(w)]


def transform_coord(v, m):
    r = row_times(homogeneous(v, 1), m)
    return [div(x, r[3]) for x in r[:len(v)]]


@ref("Vec2_Transform", "Vec3_Transform")
def vec_transform(a):
    return {"out4": row_times(homogeneous(a.v, 1), mat(a.m))}


@ref("Vec4_Transform")
def vec4_transform(a):
    return {"out": row_times(a.v, mat(a.m))}


@ref("Vec2_TransformCoord", "Vec3_TransformCoord")
def vec_transform_coord(a):
    return {"out": transform_coord(a.v, mat(a.m))}


@ref("Vec2_TransformNormal", "Vec3_TransformNormal")
def vec_transform_normal(a):
    return {"out": row_times(homogeneous(a.v, 0), mat(a.m))[:len(a.v)]}


@ref("Vec3_TransformQuat")
def vec3_transform_quat(a):
    """v + w t + q × t with t = 2 q × v, q as it is."""
    q, w = a.q[:3], a.q[3]
    t = scale(cross(q, a.v), 2)
    return {"out": add(add(a.v, scale(t, w)), cross(q, t))}


def camera_matrix(a):
    """world · view · projection, world the identity where the command has none."""
    world = mat(a.world) if hasattr(a, "world") else identity()
    return matmul(matmul(world, mat(a.view)), mat(a.projection))


def inverse(m):
    """The inverse; a singular matrix is returned as it is."""
    det = mpmath.det(mpmath.matrix(m))
    if det == 0:
        return m
    inv = mpmath.inverse(mpmath.matrix(m))
    return [[inv[r, c] for c in range(4)] for r in range(4)]


@ref("Vec3_Project", "Vec3_ProjectEx")
def vec3_project(a):
    x0, y0, w, h, zmin, zmax = a.viewport
    p = transform_coord(a.point, camera_matrix(a))
    return {"out": [x0 + (1 + p[0]) * w / 2, y0 + (1 - p[1]) * h / 2, zmin + p[2] * (zmax - zmin)]}


@ref("Vec3_UnProject", "Vec3_UnProjectEx")
def vec3_unproject(a):
    x0, y0, w, h, zmin, zmax = a.viewport
    x, y, z = a.point
    p = [div(2 * (x - x0), w) - 1, 1 - div(2 * (y - y0), h), div(z - zmin, zmax - zmin)]
    return {"out": transform_coord(p, inverse(camera_matrix(a)))}


def random_unit(rng, n):
    v = [rng.gauss(0, 1) for _ in range(n)]
    k = math.sqrt(sum(x * x for x in v))
    return [x / k for x in v]


@gen("random", *each("SLerp", "NLerp"))
def unit_ends(rng, a):
    a.a, a.b = random_unit(rng, len(a.a)), random_unit(rng, len(a.b))


@gen("boundary", *each("SLerp"))
def right_angle(rng, a):
    """Unit a and b 90° apart in single precision (cos = −4.37e-8) or exactly; t = 0.5 or 1."""
    n = len(a.a)
    a.a = [single(x) for x in random_unit(rng, n)]
    if n == 2 and rng.random() < 0.5:
        a.b = [-a.a[1], a.a[0]]
    else:
        u = [rng.gauss(0, 1) for _ in range(n)]
        k = sum(x * y for x, y in zip(u, a.a))
        u = [x - k * y for x, y in zip(u, a.a)]
        k = math.sqrt(sum(x * x for x in u))
        c = single(math.cos(single(math.pi / 2)))
        a.b = [c * x + y / k for x, y in zip(a.a, u)]
    a.t = rng.choice([0.5, 1.0])


@gen("camera", "Vec3_Project", "Vec3_ProjectEx", "Vec3_UnProject", "Vec3_UnProjectEx")
def camera(rng, a):
    """A perspective camera (and a world: turn, scale, move); a point in view or on screen."""
    _, _, w, h, zmin, zmax = a.viewport
    ys = 1 / math.tan(rng.uniform(0.6, 1.6) / 2)
    xs, zn, zf = ys * h / w, rng.uniform(0.1, 2), rng.uniform(50, 1000)
    a.projection = [xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0]
    eye, z = [rng.uniform(-50, 50) for _ in range(3)], random_unit(rng, 3)
    x = [z[2], 0.0, -z[0]]  # (0, 1, 0) × z
    k = math.hypot(x[0], x[2])
    x = [c / k for c in x]
    y = [z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]]
    a.view = [x[0], y[0], z[0], 0, x[1], y[1], z[1], 0, x[2], y[2], z[2], 0,
              -sum(p * q for p, q in zip(x, eye)), -sum(p * q for p, q in zip(y, eye)),
              -sum(p * q for p, q in zip(z, eye)), 1]
    s, turn, move = rng.uniform(0.5, 2), rng.uniform(-math.pi, math.pi), [rng.uniform(-20, 20) for _ in range(3)]
    c, sn = math.cos(turn), math.sin(turn)
    rows = [[c, 0, -sn], [0, 1, 0], [sn, 0, c]]
    if hasattr(a, "world"):
        a.world = [e * s for row in rows for e in row + [0]] + move + [1]
    if "UnProject" in a.export:
        a.point = [a.viewport[0] + rng.uniform(0, w), a.viewport[1] + rng.uniform(0, h), rng.uniform(zmin, zmax)]
        return
    cz = zn * (zf / zn) ** rng.random()
    cx, cy = rng.uniform(-1, 1) * cz / xs, rng.uniform(-1, 1) * cz / ys
    p = [e + cx * i + cy * j + cz * k for e, i, j, k in zip(eye, x, y, z)]
    if hasattr(a, "world"):
        p = [sum((u - v) * r for u, v, r in zip(p, move, row)) / s for row in rows]
    a.point = p
