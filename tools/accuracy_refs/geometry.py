"""Planes and frustums."""

import math

from .common import ref, gen, looser, f32, add, sub, scale, cross, div, dot, length, unit, mat, matmul, row_times, mpf
from .quaternions import random_unit, rotation_matrix


def plane_normalized(p):
    """p / |(a, b, c)|; a zero normal gives (0, 0, 0, 0)."""
    n = length(p[:3])
    return [x / n for x in p] if n != 0 else [mpf(0)] * 4


def distance(plane, p):
    """The signed distance a·x + b·y + c·z + d."""
    return dot(plane[:3], p) + plane[3]


def line_point(plane, p1, p2):
    """Where the line through p1 and p2 meets the plane; None when parallel."""
    direction = sub(p2, p1)
    den = dot(plane[:3], direction)
    if den == 0:
        return None
    t = distance(plane, p1) / den
    return [p - t * k for p, k in zip(p1, direction)]


@ref("Plane_FromPoints")
def plane_from_points(a):
    n = unit(cross(sub(a.p2, a.p1), sub(a.p3, a.p1)))
    return {"out": n + [-dot(a.p1, n)]}


@ref("Plane_FromPointNormal")
def plane_from_point_normal(a):
    return {"out": list(a.normal) + [-dot(a.point, a.normal)]}


@ref("Plane_Normalize")
def plane_normalize(a):
    return {"out": plane_normalized(a.plane)}


@ref("Plane_DotCoord")
def plane_dot_coord(a):
    return {"return": distance(a.plane, a.point)}


@ref("Plane_DotNormal")
def plane_dot_normal(a):
    return {"return": dot(a.plane[:3], a.vector)}


@ref("Plane_Transform")
def plane_transform(a):
    return {"out": row_times(a.plane, mat(a.matrix))}


@ref("Plane_IntersectLine")
def plane_intersect_line(a):
    q = line_point(a.plane, a.p1, a.p2)
    return {"return": 0} if q is None else {"return": 1, "out": q}


@ref("Plane_IntersectLineSeg")
def plane_intersect_line_seg(a):
    """An end on the plane is the hit (p1 first); ends on opposite sides give the
    crossing; otherwise 0 and (0, 0, 0)."""
    s1, s2 = distance(a.plane, a.p1), distance(a.plane, a.p2)
    if s1 == 0 or s2 == 0:
        return {"return": 1, "out": list(a.p1 if s1 == 0 else a.p2)}
    if (s1 < 0) != (s2 < 0):
        return {"return": 1, "out": line_point(a.plane, a.p1, a.p2)}
    return {"return": 0, "out": [mpf(0)] * 3}


@ref("Plane_Raycast")
def plane_raycast(a):
    """hit = (origin + t·direction, t); a direction parallel to the plane misses."""
    den = dot(a.plane[:3], a.direction)
    if den == 0:
        return {"return": 0}
    t = -distance(a.plane, a.origin) / den
    return {"return": 1, "hit": add(a.origin, scale(a.direction, t)) + [t], "normal_out": unit(a.plane[:3])}


def extract(m):
    """The six planes of a view-projection matrix: right and left scaled by the right
    plane's 1/|normal|, bottom and top by the bottom plane's, far and near normalised."""
    c = [[m[r][j] for r in range(4)] for j in range(4)]
    right, left = sub(c[3], c[0]), add(c[3], c[0])
    bottom, top = add(c[3], c[1]), sub(c[3], c[1])
    s, s2 = div(1, length(right[:3])), div(1, length(bottom[:3]))
    return (scale(right, s) + scale(left, s) + scale(bottom, s2) + scale(top, s2)
            + plane_normalized(sub(c[3], c[2])) + plane_normalized(add(c[3], c[2])))


@ref("Frustum_ExtractVP")
def frustum_extract_vp(a):
    return {"frustum": extract(mat(a.matrix))}


@ref("Frustum_Normalize")
def frustum_normalize(a):
    return {"frustum": [x for i in range(6) for x in plane_normalized(a.frustum[4 * i:4 * i + 4])]}


def planes(f):
    return [f[4 * i:4 * i + 4] for i in range(6)]


def sphere_test(a, r):
    """0 at the first plane with the centre's distance (as rounded) ≤ −r, else the near
    plane's distance plus r."""
    centre = [a.x, a.y, a.z]
    if any(f32(distance(p, centre)) <= -r for p in planes(a.f)):
        return {"return": mpf(0)}
    return {"return": distance(planes(a.f)[5], centre) + r}


@ref("Frustum_TestPoint")
def frustum_test_point(a):
    return sphere_test(a, 0)


@ref("Frustum_TestSphereEx")
def frustum_test_sphere_ex(a):
    return sphere_test(a, a.r)


@ref("Frustum_PointDepth")
def frustum_point_depth(a):
    return {"return": distance(planes(a.f)[5], [a.x, a.y, a.z])}


@ref("Frustum_SphereDepth")
def frustum_sphere_depth(a):
    return {"return": distance(planes(a.f)[5], [a.x, a.y, a.z]) - a.r}


# --- inputs as scripts make them -------------------------------------------------------

@gen("near-parallel", "Plane_IntersectLine")
def line_nearly_in_the_plane(rng, a):
    # A direction whose component along the normal is a millionth of its length.
    n = a.plane[:3]
    size = sum(x * x for x in n) ** 0.5
    along = [x / size for x in n]
    d = [rng.uniform(-10, 10) for _ in range(3)]
    k = sum(x * y for x, y in zip(d, along))
    d = [x - k * y + 1e-6 * rng.uniform(-1, 1) * 10 * y for x, y in zip(d, along)]
    a.p2 = [x + y for x, y in zip(a.p1, d)]


@gen("boundary", "Plane_IntersectLineSeg")
def segment_end_on_the_plane(rng, a):
    """A plane of small whole coefficients through p1 (a point on a 1/16 grid), so that
    p1 lies exactly on it; p2 anywhere, or also on it, or p1 and p2 swapped."""
    n = [rng.randint(-8, 8) for _ in range(3)]
    a.p1 = [rng.randint(-160, 160) / 16 for _ in range(3)]
    a.plane = n + [-sum(x * y for x, y in zip(n, a.p1))]
    kind = rng.randrange(3)
    if kind == 1:
        u = [rng.randint(-4, 4) for _ in range(3)]
        a.p2 = [p + k / 4 for p, k in zip(a.p1, cross(n, u))]
    elif kind == 2:
        a.p1, a.p2 = a.p2, a.p1


def view_projection(rng):
    """A rigid view matrix times a perspective projection (left-handed, sometimes
    off-centre)."""
    rot = rotation_matrix(random_unit(rng))
    view = [rot[0:4], rot[4:8], rot[8:12], [rng.uniform(-10, 10) for _ in range(3)] + [1]]
    fov, aspect = rng.uniform(0.5, 1.5), rng.uniform(0.5, 2)
    zn, zf = rng.uniform(0.1, 2), rng.uniform(50, 1000)
    ys = 1 / math.tan(fov / 2)
    cx, cy = rng.choice([(0, 0), (rng.uniform(-0.5, 0.5), rng.uniform(-0.5, 0.5))])
    proj = [[ys / aspect, 0, 0, 0], [0, ys, 0, 0], [cx, cy, zf / (zf - zn), 1], [0, 0, -zn * zf / (zf - zn), 0]]
    return [float(x) for row in matmul(view, proj) for x in row]


@gen("random", "Frustum_ExtractVP")
def view_projections(rng, a):
    a.matrix = view_projection(rng)


@gen("random", "Frustum_TestPoint", "Frustum_TestSphereEx")
def frustum_around_the_point(rng, a):
    """Six planes that keep the point inside most of the time, the radius positive."""
    p = [a.x, a.y, a.z]
    for i in range(6):
        n = [rng.uniform(-1, 1) for _ in range(3)]
        a.f[4 * i:4 * i + 4] = n + [-sum(x * y for x, y in zip(n, p)) + rng.uniform(-0.3, 10)]
    if hasattr(a, "r"):
        a.r = rng.uniform(0, 3)


looser("The planes are evaluated in single precision, the one evaluation that also decides every visibility "
       "test, so that a point's depth and its acceptance always agree.",
       "Frustum_TestPoint", "Frustum_TestSphereEx", "Frustum_PointDepth", "Frustum_SphereDepth")
