"""Quaternions."""

import math

from .common import ref, gen, scaled_budget, euler_of, f32, single, div, dot, unit, length, mat, F_RAD_TO_DEG, mpf, mpmath

X_AXIS, Y_AXIS, Z_AXIS = [1, 0, 0], [0, 1, 0], [0, 0, 1]
AXES = {"X": X_AXIS, "Y": Y_AXIS, "Z": Z_AXIS}
NAN = mpf("nan")
SLERP_NEAR = f32(mpf("0.001"))  # below this 1 − |a·b| the interpolation is straight


def rotation_axis(axis, angle):
    n = unit(axis)
    s = mpmath.sin(angle / 2)
    return [s * k for k in n] + [mpmath.cos(angle / 2)]


def then(q, r):
    """The rotation q followed by r: the Hamilton product r·q."""
    x1, y1, z1, w1 = q
    x2, y2, z2, w2 = r
    return [w2 * x1 + x2 * w1 + y2 * z1 - z2 * y1,
            w2 * y1 - x2 * z1 + y2 * w1 + z2 * x1,
            w2 * z1 + x2 * y1 - y2 * x1 + z2 * w1,
            w2 * w1 - x2 * x1 - y2 * y1 - z2 * z1]


def normalized(q):
    """q / |q|; a zero q gives NaN."""
    n = length(q)
    return [div(x, n) for x in q]


def inverse(q):
    n = dot(q, q)
    return [div(-q[0], n), div(-q[1], n), div(-q[2], n), div(q[3], n)]


def log(q):
    """The logarithm as D3DX takes it: |q| is never used; the branch on w is taken on
    w as rounded to single."""
    w, wr = q[3], f32(q[3])
    if wr >= 1 or wr == -1:
        t = mpf(1)
    elif wr < -1:
        t = NAN
    else:
        t = mpmath.acos(w) / mpmath.sqrt(1 - w * w)
    return [t * q[0], t * q[1], t * q[2], mpf(0)]


def exp(q):
    theta = length(q[:3])
    if theta == 0:
        return [mpf(0), mpf(0), mpf(0), mpf(1)]
    s = mpmath.sin(theta) / theta
    return [s * q[0], s * q[1], s * q[2], mpmath.cos(theta)]


def slerp(a, b, t):
    """D3DX's rule: the sign of a·b (as rounded) picks the shorter arc, and within
    0.001 of 1 the blend is straight and not renormalised."""
    d = dot(a, b)
    sign = 1
    if f32(d) < 0:
        d, sign = -d, -1
    if 1 - f32(d) > SLERP_NEAR:
        theta = mpmath.acos(d)
        s = mpmath.sin(theta)
        wa, wb = mpmath.sin((1 - t) * theta) / s, sign * mpmath.sin(t * theta) / s
    else:
        wa, wb = 1 - t, sign * t
    return [wa * x + wb * y for x, y in zip(a, b)]


def root(x):
    return mpmath.sqrt(x) if x >= 0 else NAN


@ref("Quat_Normalize")
def quat_normalize(a):
    return {"out": normalized(a.q)}


@ref("Vec4_Normalize")
def vec4_normalize(a):
    return {"result": normalized(a.v)}


@ref("Quat_Magnitude")
def quat_magnitude(a):
    return {"return": length(a.q)}


@ref("Quat_RotationAxis")
def quat_rotation_axis(a):
    return {"q": rotation_axis([a.x, a.y, a.z], a.angle)}


@ref("Quat_RotationAxisVec")
def quat_rotation_axis_vec(a):
    return {"q": rotation_axis(a.axis, a.angle)}


def turn(a):
    """The rotation a command names: about the axis of its last letter, its axis Vec3 or
    (x, y, z), by its angle."""
    axis = AXES.get(a.export[-1]) or (a.axis if a.export.endswith("Vec") else [a.x, a.y, a.z])
    return rotation_axis(axis, a.angle)


@ref("Quat_RotationX", "Quat_RotationY", "Quat_RotationZ")
def quat_rotation_single(a):
    return {"q": turn(a)}


def rotation_xyz(ax, ay, az):
    return then(then(rotation_axis(X_AXIS, ax), rotation_axis(Y_AXIS, ay)), rotation_axis(Z_AXIS, az))


@ref("Quat_RotationXYZ")
def quat_rotation_xyz(a):
    return {"q": rotation_xyz(a.ax, a.ay, a.az)}


@ref("Quat_RotationVecXYZ")
def quat_rotation_vec_xyz(a):
    return {"q": rotation_xyz(*a.angles)}


@ref("Quat_RotationYPR")
def quat_rotation_ypr(a):
    """Roll about Z, then pitch about X, then yaw about Y."""
    q = then(then(rotation_axis(Z_AXIS, a.roll), rotation_axis(X_AXIS, a.pitch)), rotation_axis(Y_AXIS, a.yaw))
    return {"q": q}


@ref("Quat_Inverse")
def quat_inverse(a):
    return {"out": inverse(a.q)}


@ref("Quat_Log")
def quat_log(a):
    return {"out": log(a.q)}


@ref("Quat_Exp")
def quat_exp(a):
    return {"out": exp(a.q)}


@ref("Quat_Mul")
def quat_mul(a):
    return {"out": then(a.a, a.b)}


@ref("Quat_RotateX", "Quat_RotateY", "Quat_RotateZ")
def quat_rotate_world(a):
    return {"out": normalized(then(a.q, turn(a)))}


@ref("Quat_RotateLocalX", "Quat_RotateLocalY", "Quat_RotateLocalZ")
def quat_rotate_local(a):
    return {"out": normalized(then(turn(a), a.q))}


@ref("Quat_RotateXYZ")
def quat_rotate_xyz(a):
    return {"out": then(a.q, rotation_xyz(a.ax, a.ay, a.az))}


@ref("Quat_RotateLocalXYZ")
def quat_rotate_local_xyz(a):
    """Each turn before the rotation so far, renormalised after each."""
    out = a.q
    for axis, angle in ((X_AXIS, a.ax), (Y_AXIS, a.ay), (Z_AXIS, a.az)):
        out = normalized(then(rotation_axis(axis, angle), out))
    return {"out": out}


@ref("Quat_RotateAxis", "Quat_RotateAxisVec")
def quat_rotate_axis(a):
    return {"out": then(a.q, turn(a))}


@ref("Quat_RotateLocalAxis", "Quat_RotateLocalAxisVec")
def quat_rotate_local_axis(a):
    return {"out": then(turn(a), a.q)}


@ref("Quat_SLerp")
def quat_slerp(a):
    return {"out": slerp(a.a, a.b, a.t)}


@ref("Quat_BaryCentric")
def quat_barycentric(a):
    """Two SLerps at f + g, blended at g / (f + g); f + g = 0 gives q1."""
    s = a.f + a.g
    if s == 0:
        return {"out": list(a.q1)}
    return {"out": slerp(slerp(a.q1, a.q2, s), slerp(a.q1, a.q3, s), a.g / s)}


@ref("Quat_Squad")
def quat_squad(a):
    t = a.t
    return {"out": slerp(slerp(a.q1, a.c, t), slerp(a.a, a.b, t), 2 * t * (1 - t))}


def control(q, before, after):
    """q then Exp(−¼(Ln(q⁻¹ then after) + Ln(q⁻¹ then before)))."""
    inv = inverse(q)
    s = [x + y for x, y in zip(log(then(inv, after)), log(then(inv, before)))]
    return then(q, exp([-x / 4 for x in s]))


def toward(q, r):
    """q, or −q when q·r < 0."""
    return [-x for x in q] if f32(dot(q, r)) < 0 else list(q)


@ref("Quat_SquadSetup")
def quat_squad_setup(a):
    """Neighbours flipped to q1's (q0, q2) and to the flipped q2's (q3) hemisphere first."""
    q1 = a.q1
    q0, q2 = toward(a.q0, q1), toward(a.q2, q1)
    q3 = toward(a.q3, q2)
    return {"a": control(q1, q0, q2), "b": control(q2, q1, q3), "c": q2}


@ref("Quat_FromMat4")
def quat_from_mat4(a):
    """The branches of D3DX's rotation-matrix conversion (the trace test exact)."""
    m = mat(a.m)
    d = [m[0][0], m[1][1], m[2][2]]
    trace = d[0] + d[1] + d[2] + 1
    if trace > 1:
        s = 2 * root(trace)
        return {"q": [div(m[1][2] - m[2][1], s), div(m[2][0] - m[0][2], s), div(m[0][1] - m[1][0], s), s / 4]}
    i = 0 if d[0] >= d[1] and d[0] >= d[2] else (1 if d[1] >= d[2] else 2)
    j, k = (i + 1) % 3, (i + 2) % 3
    s = 2 * root(1 + d[i] - d[j] - d[k])
    q = [None] * 4
    q[i] = s / 4
    q[j] = div(m[i][j] + m[j][i], s)
    q[k] = div(m[i][k] + m[k][i], s)
    q[3] = div(m[j][k] - m[k][j], s)
    return {"q": q}


def euler(q):
    """The X, Y, Z angles of q's rotation, from its matrix times |q|²."""
    x, y, z, w = q
    xx, yy, zz, ww = x * x, y * y, z * z, w * w
    return euler_of([[ww + xx - yy - zz, 2 * (x * y + z * w), 2 * (x * z - y * w)],
                     [2 * (x * y - z * w), ww - xx + yy - zz, 2 * (y * z + x * w)],
                     [2 * (x * z + y * w), 2 * (y * z - x * w), ww - xx - yy + zz]])


@ref("Quat_GetEulerRad")
def quat_get_euler_rad(a):
    return {"out": euler(a.q)}


@ref("Quat_GetEulerDeg")
def quat_get_euler_deg(a):
    return {"out": [None if e is None else e * F_RAD_TO_DEG for e in euler(a.q)]}


def axis_angle(q):
    """The axis (x, y, z) as it is and 2·acos(w), w clamped to [−1, 1]."""
    return list(q[:3]), 2 * mpmath.acos(max(-1, min(1, q[3])))


@ref("Quat_GetAxis")
def quat_get_axis(a):
    axis, angle = axis_angle(a.q)
    return {"out": axis + [angle]}


@ref("Quat_GetAxisEx")
def quat_get_axis_ex(a):
    axis, angle = axis_angle(a.q)
    return {"axis": axis, "return": angle}


# --- inputs as scripts make them -------------------------------------------------------

def random_unit(rng):
    q = [rng.gauss(0, 1) for _ in range(4)]
    n = math.sqrt(sum(x * x for x in q))
    return [x / n for x in q]


def rotation_matrix(q):
    """The 16 floats of the rotation matrix of a unit quaternion (row vectors)."""
    x, y, z, w = q
    return [1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
            2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
            2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
            0, 0, 0, 1]


@gen("random", "Quat_Log", "Quat_SLerp", "Quat_BaryCentric", "Quat_Squad", "Quat_SquadSetup",
     "Quat_GetEulerRad", "Quat_GetEulerDeg", "Quat_GetAxis", "Quat_GetAxisEx")
def unit_quaternions(rng, a):
    for name in ("q", "a", "b", "c", "q0", "q1", "q2", "q3"):
        if hasattr(a, name):
            setattr(a, name, random_unit(rng))


@gen("random", "Quat_FromMat4")
def rotation_matrices(rng, a):
    a.m = rotation_matrix(random_unit(rng))


def single_product(q, r):
    """then(q, r) in single precision, as the library stores it (Python floats)."""
    return [single(float(v)) for v in then([mpf(c) for c in q], [mpf(c) for c in r])]


@gen("boundary", "Quat_GetEulerRad", "Quat_GetEulerDeg", "Quat_GetAxis", "Quat_GetAxisEx")
def poles_and_whole_turns(rng, a):
    """Half the draws at pitch ±90° built by RotationXYZ of single angles; half q·conj(q)
    with w rounding to about 1."""
    if rng.random() < 0.5:
        ax, az = single(rng.uniform(-3.2, 3.2)), single(rng.uniform(-3.2, 3.2))
        ay = rng.choice([1.5707964, -1.5707964])
        turns = [[single(float(c)) for c in rotation_axis(axis, mpf(single(angle)))]
                 for axis, angle in ((X_AXIS, ax), (Y_AXIS, ay), (Z_AXIS, az))]
        a.q = single_product(single_product(turns[0], turns[1]), turns[2])
    else:
        q = [single(c) for c in random_unit(rng)]
        a.q = single_product(q, [-q[0], -q[1], -q[2], q[3]])


scaled_budget(2 ** 15, "Angles beyond 823 550 radians are reduced by the C runtime's sine and cosine, whose "
              "reduction keeps fewer digits than the double result; below that every draw is within one ULP.",
              "Quat_Exp")
