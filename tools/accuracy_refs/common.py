"""What the references of the accuracy check share: exact arithmetic on the float
inputs (mpmath at 50 digits), rounding to single precision where a command's
contract rounds, vector helpers, and the registries of references and of the
input generators a command needs beyond the generic ones.

A reference is a function of one argument, `a`, whose attributes are the
export's arguments by their names in the command table: a handle is a list of
exact values (its floats as given), a float an exact value, an integer an int;
`a.export` is the export's name. It returns a dict: for each handle the command
writes, the exact values of its floats (None for a float not compared), and
under "return" the exact value of a float result (or the integer of an integer
result, compared exactly)."""

import math
import struct

import mpmath
from mpmath import mp, mpf

mp.dps = 50

REFS = {}  # export -> reference
GENS = {}  # export -> {input class: generator(rng, a) that changes the drawn arguments in place}
LOOSER = {}  # export -> why it stays looser than one ULP
SCALED_BUDGET = {}  # export -> (ULPs of the result's largest float a draw may be off, why), beyond one


def ref(*exports):
    def register(fn):
        for e in exports:
            REFS[e] = fn
        return fn
    return register


def gen(input_class, *exports):
    """A generator for one input class: fn(rng, a) adjusts the drawn arguments,
    given as floats (handles as lists of floats), in place."""
    def register(fn):
        for e in exports:
            GENS.setdefault(e, {})[input_class] = fn
        return fn
    return register


def looser(reason, *exports):
    for e in exports:
        LOOSER[e] = reason


def scaled_budget(ulps, reason, *exports):
    """Draws of these commands may be off by more than one ULP of the result's
    largest float, for the reason given."""
    for e in exports:
        SCALED_BUDGET[e] = (ulps, reason)


# --- single precision ----------------------------------------------------------

def bits_float(word):
    return struct.unpack("<f", struct.pack("<I", word & 0xFFFFFFFF))[0]


def float_bits(x):
    return struct.unpack("<I", struct.pack("<f", x))[0]


def f32(x):
    """x rounded to the nearest single, ties to even, as an exact value; beyond the
    range, an infinity."""
    x = mpf(x)
    if not mpmath.isfinite(x) or x == 0:
        return x
    m, e = mpmath.frexp(x)  # x = m·2^e, 0.5 <= |m| < 1
    q = max(e - 24, -149)
    r = mpmath.ldexp(mpmath.nint(mpmath.ldexp(x, -q)), q)
    if abs(r) >= mpmath.ldexp(1, 128):
        return mpf("inf") if r > 0 else mpf("-inf")
    return r


def single(x):
    """The single nearest x, as a Python float (for building inputs)."""
    return bits_float(float_bits(float(x))) if math.isfinite(float(x)) else float(x)


F_DEG_TO_RAD = mpf(bits_float(0x3C8EFA35))  # 0.0174532924, the single nearest π/180
F_RAD_TO_DEG = mpf(bits_float(0x42652EE1))  # 57.2957802, the single nearest 180/π
F_PI = mpf(bits_float(0x40490FDB))  # 3.14159274


# --- vectors of exact values ---------------------------------------------------

def add(a, b):
    return [x + y for x, y in zip(a, b)]


def sub(a, b):
    return [x - y for x, y in zip(a, b)]


def scale(a, s):
    return [x * s for x in a]


def dot(a, b):
    return mpmath.fsum(x * y for x, y in zip(a, b))


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def length(a):
    return mpmath.sqrt(dot(a, a))


def div(x, y):
    """x / y, with the infinities and NaN of float division for y = 0."""
    if y != 0:
        return x / y
    return mpf("nan") if x == 0 or mpmath.isnan(x) else (mpf("inf") if x > 0 else mpf("-inf"))


def unit(a):
    """a / |a|; the zero vector stays zero."""
    n = length(a)
    return [x / n for x in a] if n != 0 else [mpf(0)] * len(a)


def lerp(a, b, t):
    return [x + t * (y - x) for x, y in zip(a, b)]


def mat(m):
    """Sixteen floats as rows m[r][c]."""
    return [list(m[4 * r:4 * r + 4]) for r in range(4)]


def flat(rows):
    return [x for row in rows for x in row]


def matmul(a, b):
    return [[mpmath.fsum(a[r][k] * b[k][c] for k in range(4)) for c in range(4)] for r in range(4)]


def row_times(v, m):
    """The row v (4 values) times the matrix m (rows)."""
    return [mpmath.fsum(v[k] * m[k][c] for k in range(4)) for c in range(4)]


def identity():
    return [[mpf(1) if r == c else mpf(0) for c in range(4)] for r in range(4)]


def transpose(m):
    return [[m[c][r] for c in range(4)] for r in range(4)]


def euler_of(m):
    """(ax, ay, az) with Rx(ax)·Ry(ay)·Rz(az) = the rotation of the 3×3 m (any common
    scale): ay = atan2(−m13, |(m23, m33)|). Near the pole (cos ay below 2^-7) az is
    made from ax and the turn ax ∓ az that m21, m22, m31, m32 fix; at it (below
    2^-20) that turn is split evenly between ax and az."""
    across = mpmath.sqrt(m[1][2] ** 2 + m[2][2] ** 2)
    ay = mpmath.atan2(-m[0][2], across)
    column = mpmath.sqrt(m[0][2] ** 2 + across ** 2)
    cos_ay = across / column if column != 0 else mpf("nan")
    if not cos_ay < mpmath.ldexp(1, -7):
        return [mpmath.atan2(m[1][2], m[2][2]), ay, mpmath.atan2(m[0][1], m[0][0])]
    up = 1 if m[0][2] <= 0 else -1
    if up > 0:
        turn = mpmath.atan2(m[1][0] - m[2][1], m[1][1] + m[2][0])
    else:
        turn = mpmath.atan2(-(m[1][0] + m[2][1]), m[1][1] - m[2][0])
    ax = turn / 2 if cos_ay < mpmath.ldexp(1, -20) else mpmath.atan2(m[1][2], m[2][2])
    az = up * (ax - turn)
    if az > mpmath.pi:
        az -= 2 * mpmath.pi
    if az <= -mpmath.pi:
        az += 2 * mpmath.pi
    return [ax, ay, az]


# --- the measure ----------------------------------------------------------------

def ulp(e):
    """The spacing of singles at the magnitude of e (2^-149 at the bottom)."""
    e = abs(mpf(e))
    if e == 0 or not mpmath.isfinite(e):
        return mpmath.ldexp(1, -149)
    _, x = mpmath.frexp(e)
    return mpmath.ldexp(1, max(x - 24, -149))


def error_in(got, exact, unit_at):
    """|got − exact| in units of ulp(unit_at), as a Python float; 0 when both are the
    same NaN class or the same infinity, inf when only one of them is."""
    if math.isnan(got) or mpmath.isnan(exact):
        return 0.0 if math.isnan(got) and mpmath.isnan(exact) else math.inf
    if math.isinf(got) or mpmath.isinf(exact):
        return 0.0 if f32(exact) == got else math.inf
    return float(abs(mpf(got) - exact) / ulp(unit_at))
