"""Picking and collision: rays against spheres, boxes, triangles and planes, closest
points, turning toward a direction and facing a target."""

from .common import ref, gen, add, sub, scale, cross, dot, length, unit, div, mpf, mpmath
from .matrices import quat_of_rotation

MISS = mpf(-1)


def boxed(c1, c2):
    return [min(x, y) for x, y in zip(c1, c2)], [max(x, y) for x, y in zip(c1, c2)]


@ref("Ray_HitSphere")
def ray_hit_sphere(a):
    """The smaller root of |o + t·d − c|² = r² with t ≥ 0; 0 from inside, −1 for a miss."""
    m = sub(a.origin, a.centre)
    c, b = dot(m, m) - a.radius ** 2, dot(m, a.dir)
    if a.radius < 0:
        return {"return": MISS}
    if c <= 0:
        return {"return": mpf(0)}
    disc = b * b - dot(a.dir, a.dir) * c
    if b >= 0 or disc < 0:
        return {"return": MISS}
    return {"return": c / (-b + mpmath.sqrt(disc))}


@ref("Ray_HitAABB")
def ray_hit_aabb(a):
    """The slabs: the largest entry t (from 0) against the smallest exit t."""
    lo, hi = boxed(a.corner1, a.corner2)
    enter, leave = mpf(0), mpf("inf")
    for o, d, l, h in zip(a.origin, a.dir, lo, hi):
        if d == 0:
            if o < l or o > h:
                return {"return": MISS}
            continue
        t1, t2 = sorted([(l - o) / d, (h - o) / d])
        enter, leave = max(enter, t1), min(leave, t2)
    return {"return": enter if enter <= leave else MISS}


def triangle_hit(a):
    """(t, u, v) where the ray meets the triangle from either side, edges included; None otherwise."""
    e1, e2 = sub(a.b, a.a), sub(a.c, a.a)
    h = cross(a.dir, e2)
    det = dot(e1, h)
    if all(x == 0 for x in cross(e1, e2)) or det == 0:
        return None
    s = sub(a.origin, a.a)
    q = cross(s, e1)
    u, v, t = dot(s, h) / det, dot(a.dir, q) / det, dot(e2, q) / det
    if u < 0 or v < 0 or u + v > 1 or t < 0:
        return None
    return t, u, v


@ref("Ray_HitTriangle")
def ray_hit_triangle(a):
    hit = triangle_hit(a)
    return {"return": hit[0] if hit else MISS}


@ref("Ray_HitTriangleEx")
def ray_hit_triangle_ex(a):
    hit = triangle_hit(a)
    if not hit:
        return {"return": MISS, "uv": list(a.uv)}
    return {"return": hit[0], "uv": [hit[1], hit[2]]}


@ref("Ray_HitPlane")
def ray_hit_plane(a):
    n, d = a.plane[:3], a.plane[3]
    height = dot(n, a.origin) + d
    if height == 0:
        return {"return": mpf(0)}
    den = dot(n, a.dir)
    t = -height / den if den != 0 else MISS
    return {"return": t if t >= 0 else MISS}


@ref("Vec3_ClosestPointOnTriangle")
def closest_on_triangle(a):
    """The nearest point of the face or of its edges, by the region of p."""
    p, pa, pb, pc = a.p, a.a, a.b, a.c
    ab, ac = sub(pb, pa), sub(pc, pa)
    if all(x == 0 for x in cross(ab, ac)):
        candidates = [on_segment(p, pa, pb), on_segment(p, pb, pc), on_segment(p, pc, pa)]
        return {"out": min(candidates, key=lambda x: dot(sub(p, x), sub(p, x)))}
    ap, bp, cp = sub(p, pa), sub(p, pb), sub(p, pc)
    d1, d2, d3, d4, d5, d6 = dot(ab, ap), dot(ac, ap), dot(ab, bp), dot(ac, bp), dot(ab, cp), dot(ac, cp)
    va, vb, vc = d3 * d6 - d5 * d4, d5 * d2 - d1 * d6, d1 * d4 - d3 * d2
    if d1 <= 0 and d2 <= 0:
        r = pa
    elif d3 >= 0 and d4 <= d3:
        r = pb
    elif vc <= 0 and d1 >= 0 and d3 <= 0:
        r = add(pa, scale(ab, d1 / (d1 - d3)))
    elif d6 >= 0 and d5 <= d6:
        r = pc
    elif vb <= 0 and d2 >= 0 and d6 <= 0:
        r = add(pa, scale(ac, d2 / (d2 - d6)))
    elif va <= 0 and d4 - d3 >= 0 and d5 - d6 >= 0:
        r = add(pb, scale(sub(pc, pb), (d4 - d3) / ((d4 - d3) + (d5 - d6))))
    else:
        total = va + vb + vc
        r = add(pa, add(scale(ab, vb / total), scale(ac, vc / total)))
    return {"out": list(r)}


def on_segment(p, s0, s1):
    d = sub(s1, s0)
    n = dot(d, d)
    t = dot(sub(p, s0), d) / n if n > 0 else mpf(0)
    return add(s0, scale(d, max(mpf(0), min(mpf(1), t))))


@ref("Vec3_ClosestPointOnAABB")
def closest_on_aabb(a):
    lo, hi = boxed(a.corner1, a.corner2)
    return {"out": [max(l, min(h, x)) for x, l, h in zip(a.p, lo, hi)]}


@ref("Vec3_ClosestPointOnRay")
def closest_on_ray(a):
    n = dot(a.dir, a.dir)
    t = dot(sub(a.p, a.origin), a.dir) / n if n > 0 else mpf(0)
    return {"out": add(a.origin, scale(a.dir, max(t, mpf(0))))}


@ref("Quat_RotationArc")
def rotation_arc(a):
    """(f × t, |f||t| + f·t) made unit; half a turn about f × x (or f × y) for exactly
    opposite directions, where that has no length."""
    f, t = getattr(a, "from"), a.to
    lengths = length(f) * length(t)
    if lengths == 0:
        return {"out": [mpf(0), mpf(0), mpf(0), mpf(1)]}
    along = dot(f, t)
    if all(x == 0 for x in cross(f, t)) and along < 0:
        other = [0, 1, 0] if abs(f[0]) >= mpf("0.9") * length(f) else [1, 0, 0]
        q = unit(cross(f, other)) + [mpf(0)]
    else:
        q = cross(f, t) + [lengths + along]
    n = length(q)
    return {"out": [x / n for x in q]}


def facing(look, up):
    """The unit rows right, up and look of a frame looking along `look`."""
    z = unit(look)
    if all(x == 0 for x in z):
        return [[mpf(1), mpf(0), mpf(0)], [mpf(0), mpf(1), mpf(0)], [mpf(0), mpf(0), mpf(1)]]
    if length(cross(up, z)) <= mpf("1e-6") * length(up):
        least = min(range(3), key=lambda i: (abs(z[i]), i))
        up = [mpf(1) if i == least else mpf(0) for i in range(3)]
    x = unit(cross(up, z))
    return [x, cross(z, x), z]


def face(a, left_handed):
    rows = facing(sub(a.target, a.position) if left_handed else sub(a.position, a.target), a.up)
    return {"m": [e for row in rows for e in row + [mpf(0)]] + list(a.position) + [mpf(1)]}


@ref("Mat4_FaceLH")
def face_lh(a):
    return face(a, True)


@ref("Mat4_FaceRH")
def face_rh(a):
    return face(a, False)


@ref("Quat_LookRotation")
def look_rotation(a):
    return {"out": quat_of_rotation(facing(a.dir, a.up))}


@gen("random", "Ray_HitSphere")
def ray_toward_a_sphere(rng, a):
    """Rays aimed near the sphere, so that most draws hit."""
    a.radius = rng.uniform(0.1, 5)
    target = [c + rng.uniform(-1.2, 1.2) * a.radius for c in a.centre]
    a.dir = [t - o for t, o in zip(target, a.origin)]
