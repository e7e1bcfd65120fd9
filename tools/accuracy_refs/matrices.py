"""Matrices."""

import math

from .common import (ref, gen, scaled_budget, euler_of, F_DEG_TO_RAD, F_RAD_TO_DEG, bits_float, single, f32, sub, cross, div, dot,
                     length, lerp, unit, mat, flat, matmul, row_times, identity, transpose, mpf, mpmath)


def look_at(eye, view, up):
    z = unit(view)
    x = unit(cross(up, z))
    y = cross(z, x)
    m = [[x[r], y[r], z[r], mpf(0)] for r in range(3)]
    m.append([-dot(x, eye), -dot(y, eye), -dot(z, eye), mpf(1)])
    return [e for row in m for e in row]


@ref("Mat4_LookAtLH")
def look_at_lh(a):
    return {"m": look_at(a.eye, sub(a.at, a.eye), a.up)}


@ref("Mat4_LookAtRH")
def look_at_rh(a):
    return {"m": look_at(a.eye, sub(a.eye, a.at), a.up)}


def rotation_axis(axis, angle):
    x, y, z = unit(axis)
    c, s = mpmath.cos(angle), mpmath.sin(angle)
    k = 1 - c
    return [k * x * x + c, k * x * y + s * z, k * x * z - s * y, mpf(0),
            k * y * x - s * z, k * y * y + c, k * y * z + s * x, mpf(0),
            k * z * x + s * y, k * z * y - s * x, k * z * z + c, mpf(0),
            mpf(0), mpf(0), mpf(0), mpf(1)]


@ref("Mat4_RotationAxis")
def mat_rotation_axis(a):
    return {"m": rotation_axis([a.x, a.y, a.z], a.angle)}


@ref("Mat4_RotationAxisVec")
def mat_rotation_axis_vec(a):
    return {"m": rotation_axis(a.axis, a.angle)}


def perspective_fov(a, lh):
    half = a.fov * mpf("0.5") * F_DEG_TO_RAD
    cot = div(mpmath.cos(half), mpmath.sin(half))
    m = [mpf(0)] * 16
    m[0], m[5] = div(cot, a.aspect), cot
    if lh:
        m[10], m[11], m[14] = div(a.zf, a.zf - a.zn), mpf(1), div(-a.zn * a.zf, a.zf - a.zn)
    else:
        m[10], m[11], m[14] = div(a.zf, a.zn - a.zf), mpf(-1), div(a.zn * a.zf, a.zn - a.zf)
    return {"m": m}


@ref("Mat4_PerspectiveFOVLH")
def perspective_fov_lh(a):
    return perspective_fov(a, True)


@ref("Mat4_PerspectiveFOVRH")
def perspective_fov_rh(a):
    return perspective_fov(a, False)


def rot_x(angle):
    c, s = mpmath.cos(angle), mpmath.sin(angle)
    return [[1, 0, 0, 0], [0, c, s, 0], [0, -s, c, 0], [0, 0, 0, 1]]


def rot_y(angle):
    c, s = mpmath.cos(angle), mpmath.sin(angle)
    return [[c, 0, -s, 0], [0, 1, 0, 0], [s, 0, c, 0], [0, 0, 0, 1]]


def rot_z(angle):
    c, s = mpmath.cos(angle), mpmath.sin(angle)
    return [[c, s, 0, 0], [-s, c, 0, 0], [0, 0, 1, 0], [0, 0, 0, 1]]


AXIS_TURNS = {"X": rot_x, "Y": rot_y, "Z": rot_z}


def rotation_xyz(ax, ay, az):
    """Rx·Ry·Rz: about X first, then the fixed Y, then the fixed Z."""
    return matmul(matmul(rot_x(ax), rot_y(ay)), rot_z(az))


def quat_matrix(q):
    """The D3DX rotation of a quaternion, not normalised."""
    x, y, z, w = q
    return [[1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0],
            [2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0],
            [2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0],
            [0, 0, 0, 1]]


def exact(rows):
    return [mpf(x) for x in flat(rows)]


@ref("Mat4_Scaling")
def mat_scaling(a):
    return {"m": exact([[a.sx, 0, 0, 0], [0, a.sy, 0, 0], [0, 0, a.sz, 0], [0, 0, 0, 1]])}


@ref("Mat4_Translation")
def mat_translation(a):
    return {"m": exact([[1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 1, 0], [a.x, a.y, a.z, 1]])}


@ref("Mat4_RotationX", "Mat4_RotationY", "Mat4_RotationZ")
def mat_rotation_about(a):
    return {"m": exact(AXIS_TURNS[a.export[-1]](a.angle))}


@ref("Mat4_RotationXYZ")
def mat_rotation_xyz(a):
    return {"m": exact(rotation_xyz(a.ax, a.ay, a.az))}


@ref("Mat4_RotationVecXYZ")
def mat_rotation_vec_xyz(a):
    return {"m": exact(rotation_xyz(*a.angles))}


@ref("Mat4_RotationYPR")
def mat_rotation_ypr(a):
    """Rz(roll)·Rx(pitch)·Ry(yaw)."""
    return {"m": exact(matmul(matmul(rot_z(a.roll), rot_x(a.pitch)), rot_y(a.yaw)))}


@ref("Mat4_FromBasis")
def mat_from_basis(a):
    return {"m": exact([a.right + [0], a.up + [0], a.look + [0], [0, 0, 0, 1]])}


@ref("Mat4_FromQuat")
def mat_from_quat(a):
    return {"m": exact(quat_matrix(a.q))}


@ref("Mat4_Affine")
def mat_affine(a):
    """Scaling, then the rotation q about the centre c, then t: s·R, row 4 = c − c·R + t."""
    r = quat_matrix(a.rotation)
    m = [[a.scaling * x for x in r[k][:3]] + [0] for k in range(3)]
    turned = row_times(a.centre + [0], r)
    m.append([c - k + t for c, k, t in zip(a.centre, turned, a.translation)] + [1])
    return {"m": exact(m)}


@ref("Mat4_Affine2D")
def mat_affine_2d(a):
    c, s = mpmath.cos(a.angle), mpmath.sin(a.angle)
    (cx, cy), (tx, ty) = a.centre, a.translation
    return {"m": exact([[a.scaling * c, a.scaling * s, 0, 0], [-a.scaling * s, a.scaling * c, 0, 0], [0, 0, 1, 0],
                        [cy * s - cx * c + cx + tx, -cx * s - cy * c + cy + ty, 0, 1]])}


def projection(entries):
    """A matrix of zeros but for the (row, column): value entries, from 1."""
    m = [mpf(0)] * 16
    for (r, c), v in entries.items():
        m[4 * (r - 1) + c - 1] = mpf(v)
    return {"m": m}


@ref("Mat4_PerspectiveLH", "Mat4_PerspectiveRH")
def perspective(a):
    zn, zf, lh = a.zn, a.zf, a.export.endswith("LH")
    return projection({(1, 1): div(2 * zn, a.w), (2, 2): div(2 * zn, a.h),
                       (3, 3): div(zf, zf - zn) if lh else div(zf, zn - zf), (3, 4): 1 if lh else -1,
                       (4, 3): div(zn * zf, zn - zf)})


@ref("Mat4_PerspectiveOffCenterLH", "Mat4_PerspectiveOffCenterRH")
def perspective_off_center(a):
    zn, zf, lh = a.zn, a.zf, a.export.endswith("LH")
    return projection({(1, 1): div(2 * zn, a.r - a.l), (2, 2): div(2 * zn, a.t - a.b),
                       (3, 1): div(a.l + a.r, a.l - a.r) if lh else div(a.l + a.r, a.r - a.l),
                       (3, 2): div(a.t + a.b, a.b - a.t) if lh else div(a.t + a.b, a.t - a.b),
                       (3, 3): div(zf, zf - zn) if lh else div(zf, zn - zf), (3, 4): 1 if lh else -1,
                       (4, 3): div(zn * zf, zn - zf)})


@ref("Mat4_OrthoLH", "Mat4_OrthoRH")
def ortho(a):
    """The fourth column is (0, 0, 0, 1/zoom)."""
    zn, zf, lh = a.zn, a.zf, a.export.endswith("LH")
    return projection({(1, 1): div(2, a.w), (2, 2): div(2, a.h),
                       (3, 3): div(1, zf - zn) if lh else div(1, zn - zf),
                       (4, 3): div(-zn, zf - zn) if lh else div(zn, zn - zf), (4, 4): div(1, a.zoom)})


@ref("Mat4_OrthoOffCenterLH", "Mat4_OrthoOffCenterRH")
def ortho_off_center(a):
    zn, zf, lh = a.zn, a.zf, a.export.endswith("LH")
    return projection({(1, 1): div(2, a.r - a.l), (2, 2): div(2, a.t - a.b),
                       (3, 3): div(1, zf - zn) if lh else div(1, zn - zf),
                       (4, 1): div(a.l + a.r, a.l - a.r), (4, 2): div(a.t + a.b, a.b - a.t),
                       (4, 3): div(zn, zn - zf), (4, 4): 1})


@gen("camera", "Mat4_PerspectiveLH", "Mat4_PerspectiveRH", "Mat4_PerspectiveFOVLH", "Mat4_PerspectiveFOVRH",
     "Mat4_PerspectiveOffCenterLH", "Mat4_PerspectiveOffCenterRH", "Mat4_OrthoLH", "Mat4_OrthoRH",
     "Mat4_OrthoOffCenterLH", "Mat4_OrthoOffCenterRH")
def camera_like(rng, a):
    # Near a little ahead of the eye, far well beyond it, a window around the view axis.
    a.zn = rng.uniform(0.05, 5)
    a.zf = a.zn * rng.uniform(10, 5000)
    for name in ("w", "h", "aspect"):
        if hasattr(a, name):
            setattr(a, name, rng.uniform(0.2, 4))
    if hasattr(a, "fov"):
        a.fov = rng.uniform(20, 120)
    if hasattr(a, "zoom"):
        a.zoom = rng.uniform(0.25, 4)
    if hasattr(a, "l"):
        a.l, a.b = rng.uniform(-4, 1), rng.uniform(-4, 1)
        a.r, a.t = a.l + rng.uniform(0.2, 5), a.b + rng.uniform(0.2, 5)


def given(a):
    """The input matrix, as rows ("in" is a Python keyword)."""
    return mat(getattr(a, "in"))


def first_three_scaled(m, rows, cols):
    """m with element (r, c) of the upper 3×3 times rows[r]·cols[c]."""
    return [[m[r][c] * rows[r] * cols[c] if r < 3 and c < 3 else m[r][c] for c in range(4)] for r in range(4)]


@ref("Mat4_ScaleLocal")
def mat_scale_local(a):
    return {"out": flat(first_three_scaled(given(a), [a.sx, a.sy, a.sz], [1, 1, 1]))}


@ref("Mat4_ScaleGlobal")
def mat_scale_global(a):
    return {"out": flat(first_three_scaled(given(a), [1, 1, 1], [a.sx, a.sy, a.sz]))}


@ref("Mat4_SetScale")
def mat_set_scale(a):
    """Rows 1–3 rescaled to the lengths sx, sy, sz."""
    m = given(a)
    factors = [div(s, length(m[k][:3])) for k, s in enumerate([a.sx, a.sy, a.sz])]
    return {"out": flat(first_three_scaled(m, factors, [1, 1, 1]))}


def columns(m):
    return [[m[r][c] for r in range(3)] for c in range(3)]


@ref("Mat4_RemoveScaling")
def mat_remove_scaling(a):
    """Columns 1–3 of the upper 3×3 made unit length (a zero column stays zero)."""
    m = given(a)
    units = [unit(col) for col in columns(m)]
    return {"out": flat([[units[c][r] if r < 3 and c < 3 else m[r][c] for c in range(4)] for r in range(4)])}


@ref("Mat4_GetScaleX", "Mat4_GetScaleY", "Mat4_GetScaleZ")
def mat_get_scale(a):
    return {"return": length(columns(mat(a.m))["XYZ".index(a.export[-1])])}


@ref("Mat4_GetScaleVec")
def mat_get_scale_vec(a):
    return {"out": [length(col) for col in columns(mat(a.m))]}


def turn_of(a):
    """The rotation a turn command applies, as rows."""
    name = a.export.replace("Mat4_Rotate", "").replace("Local", "")
    if name in AXIS_TURNS:
        return AXIS_TURNS[name](a.angle)
    axis = a.axis if name == "AxisVec" else [a.x, a.y, a.z]
    return mat(rotation_axis(axis, a.angle))


@ref("Mat4_RotateX", "Mat4_RotateY", "Mat4_RotateZ", "Mat4_RotateAxis", "Mat4_RotateAxisVec")
def mat_rotate_world(a):
    """in·R: about the world axes, the translation turns too."""
    return {"out": flat(matmul(given(a), turn_of(a)))}


@ref("Mat4_RotateLocalX", "Mat4_RotateLocalY", "Mat4_RotateLocalZ", "Mat4_RotateLocalAxis",
     "Mat4_RotateLocalAxisVec")
def mat_rotate_local(a):
    """R·in: about the matrix's own axes, the translation stays."""
    return {"out": flat(matmul(turn_of(a), given(a)))}


@ref("Mat4_RotateXYZ")
def mat_rotate_xyz(a):
    return {"out": flat(matmul(given(a), rotation_xyz(a.ax, a.ay, a.az)))}


@ref("Mat4_RotateLocalXYZ")
def mat_rotate_local_xyz(a):
    """Rz·Ry·Rx·in."""
    return {"out": flat(matmul(matmul(matmul(rot_z(a.az), rot_y(a.ay)), rot_x(a.ax)), given(a)))}


@ref("Mat4_MoveRight", "Mat4_MoveUp", "Mat4_MoveForward")
def mat_move(a):
    """The translation moved by distance along the unit row 1, 2 or 3."""
    m = given(a)
    k = {"Right": 0, "Up": 1, "Forward": 2}[a.export[len("Mat4_Move"):]]
    m[3] = [t + a.distance * d for t, d in zip(m[3][:3], unit(m[k][:3]))] + [m[3][3]]
    return {"out": flat(m)}


@ref("Mat4_SetTranslation")
def mat_set_translation(a):
    return {"out": getattr(a, "in")[:12] + [a.x, a.y, a.z, mpf(1)]}


@ref("Mat4_GetRightVecEx", "Mat4_GetUpVecEx", "Mat4_GetLookVecEx")
def mat_get_basis_vec(a):
    row = mat(a.m)[["Right", "Up", "Look"].index(a.export[len("Mat4_Get"):-len("VecEx")])][:3]
    return {"out": unit(row) if a.normalise else row}


def minor(m, r, c):
    """The 3×3 determinant left when row r and column c are struck out."""
    (p, q, u), (v, w, x), (y, z, o) = [[m[i][j] for j in range(4) if j != c] for i in range(4) if i != r]
    return mpmath.fsum([p * (w * o - x * z), -q * (v * o - x * y), u * (v * z - w * y)])


def determinant(m):
    return mpmath.fsum((-1) ** c * m[0][c] * minor(m, 0, c) for c in range(4))


def inverse(m):
    """The inverse by the adjugate, or None for a determinant of exactly 0."""
    det = determinant(m)
    if det == 0:
        return None, det
    return [[(-1) ** (r + c) * minor(m, c, r) / det for c in range(4)] for r in range(4)], det


@ref("Mat4_Determinant")
def mat_determinant(a):
    return {"return": determinant(mat(a.m))}


@ref("Mat4_Inverse", "Mat4_InverseDet", "Mat4_InverseTranspose")
def mat_inverse(a):
    """A singular matrix leaves out as it was (and InverseDet returns 0)."""
    inv, det = inverse(given(a))
    out = a.out if inv is None else flat(transpose(inv) if a.export == "Mat4_InverseTranspose" else inv)
    return {"out": out, "return": det} if a.export == "Mat4_InverseDet" else {"out": out}


@ref("Mat4_Mul")
def mat_mul(a):
    return {"out": flat(matmul(mat(a.a), mat(a.b)))}


@ref("Mat4_MulTranspose")
def mat_mul_transpose(a):
    return {"out": flat(transpose(matmul(mat(a.a), mat(a.b))))}


def quat_of_rotation(m):
    """The D3DX quaternion of a 3×3."""
    r = m
    if r[0][0] + r[1][1] + r[2][2] + 1 > 1:
        s = 2 * mpmath.sqrt(1 + m[0][0] + m[1][1] + m[2][2])
        return [(m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s, s / 4]
    k = 0 if r[0][0] >= r[1][1] and r[0][0] >= r[2][2] else (1 if r[1][1] >= r[2][2] else 2)
    i, j = (k + 1) % 3, (k + 2) % 3
    s = 2 * mpmath.sqrt(1 + m[k][k] - m[i][i] - m[j][j])
    q = [None] * 3
    q[k], q[i], q[j] = s / 4, (m[k][i] + m[i][k]) / s, (m[k][j] + m[j][k]) / s
    return q + [(m[i][j] - m[j][i]) / s]


@ref("Mat4_Decompose")
def mat_decompose(a):
    """Row lengths, the quaternion of the unit rows, row 4; a zero scale leaves the rotation."""
    m = mat(a.m)
    scale = [length(m[k][:3]) for k in range(3)]
    out = {"scale": scale, "translation": m[3][:3], "rotation": a.rotation}
    if all(f32(s) != 0 for s in scale):
        out["rotation"] = quat_of_rotation([[x / s for x in m[k][:3]] for k, s in enumerate(scale)])
    return out


@gen("transforms", "Mat4_Decompose")
def scaled_turned_moved(rng, a):
    scales = [rng.uniform(0.1, 5) for _ in range(3)] + [1]
    a.m = [x * scales[i // 4] for i, x in enumerate(rotation_floats(rng))]


def euler(m):
    return euler_of(m)


@ref("Mat4_GetEulerRad")
def mat_get_euler_rad(a):
    return {"out": euler(mat(a.m))}


@ref("Mat4_GetEulerDeg")
def mat_get_euler_deg(a):
    return {"out": [None if x is None else x * F_RAD_TO_DEG for x in euler(mat(a.m))]}


def rotation_floats(rng, pitch=None):
    """Mat4_RotationXYZ of single angles, with a translation, as floats."""
    ax, ay, az = (single(rng.uniform(-math.pi, math.pi)) for _ in range(3))
    m = rotation_xyz(ax, single(pitch) if pitch is not None else ay, az)
    m[3][:3] = [rng.uniform(-10, 10) for _ in range(3)]
    return [float(x) for x in flat(m)]


@gen("random", "Mat4_GetEulerRad", "Mat4_GetEulerDeg")
def euler_of_a_rotation(rng, a):
    a.m = rotation_floats(rng)


@gen("boundary", "Mat4_GetEulerRad", "Mat4_GetEulerDeg")
def euler_at_the_pole(rng, a):
    a.m = rotation_floats(rng, rng.choice([1, -1]) * math.pi / 2)


def interpolated(a, blend_row):
    """Rows 1–3 of out blended by blend_row, row 4 straight, m44 = 1; m14, m24, m34 as they were."""
    m, p, q = mat(a.out), mat(a.a), mat(a.b)
    for k in range(3):
        m[k][:3] = blend_row(p[k][:3], q[k][:3], a.t)
    m[3] = lerp(p[3][:3], q[3][:3], a.t) + [mpf(1)]
    return {"out": flat(m)}


@ref("Mat4_Lerp")
def mat_lerp(a):
    return interpolated(a, lerp)


@ref("Mat4_NLerp")
def mat_nlerp(a):
    return interpolated(a, lambda p, q, t: unit(lerp(p, q, t)))


CLOSE = mpf(bits_float(0x3F7FDF3B))  # 0.9995: above it the straight path
OBTUSE = mpmath.ldexp(1, -20)  # a dot product below −2^-20·|p|·|q| takes −q


def slerp_row(p, q, t):
    """The arc from p towards q (or −q when obtuse), as Vec3_SLerp; the branches on the single dot."""
    d = dot(p, q)
    if f32(d) < -OBTUSE * length(p) * length(q):
        q, d = [-x for x in q], -d
    if f32(d) > CLOSE:
        return unit(lerp(p, q, t))
    angle = mpmath.acos(d) * t
    v = [y - x * d for x, y in zip(p, q)]
    n = length(v)
    return [x * mpmath.cos(angle) + div(y, n) * mpmath.sin(angle) for x, y in zip(p, v)]


@ref("Mat4_SLerp")
def mat_slerp(a):
    return interpolated(a, slerp_row)


@gen("rotations", "Mat4_SLerp")
def two_poses(rng, a):
    a.a, a.b = rotation_floats(rng), rotation_floats(rng)


@gen("boundary", "Mat4_SLerp")
def rows_at_right_angles(rng, a):
    # b is a turned a quarter turn about one of its own axes, in single precision:
    # two of its rows are 90° from a's, their dot products a few 1e-8.
    a.a = rotation_floats(rng) if rng.random() < 0.5 else [float(x) for x in flat(identity())]
    quarter = single(rng.choice([1, -1]) * math.pi / 2)
    turn = rng.choice([rot_x, rot_y, rot_z])(mpf(quarter))
    a.b = [float(x) for x in flat(matmul([[f32(x) for x in row] for row in turn], mat([mpf(x) for x in a.a])))]
    a.t = rng.choice([0.0, 0.5, 1.0, rng.uniform(-1, 2)])


scaled_budget(64, "The inverse of a nearly singular matrix, even in double, keeps only the digits its condition "
              "leaves; every other draw is within one ULP.", "Mat4_InverseDet", "Vec3_UnProject", "Vec3_UnProjectEx")
