#!/usr/bin/env python3
"""The accuracy check: every command whose result is rounded, called by the built
DLL (and, where the command table names one, its D3DX 9 counterpart in Wine's
d3dx9_43.dll) on seeded inputs, random and hard, and measured against the exact
result of its float inputs, evaluated at 50 digits (tools/accuracy_refs/).

Errors are in units in the last place (ULPs) of single precision:
- per draw, the largest error of the result's floats in ULPs of the result's
  largest float ("scaled"): a float formed by cancellation is judged against the
  size of what cancelled, not against its own;
- wc, the largest error of a float in its own ULPs among the floats whose
  condition number (sum over the inputs of |∂f/∂x|·|x| / |f|) is at most 4.

  tools/accuracy.py [--draws N] [--seed S] [--only REGEX] [--check] [--markdown FILE]

--check fails (exit 1) when a draw of any command is further from the exact answer
than its scaled budget (one ULP unless a reason in accuracy_refs says more), when
a command measured to the one-ULP budget has a wc above 1, or a class of inputs
where its 99th percentile is worse than D3DX's (and above 1), or when a rounded
command has no reference."""

import argparse
import importlib
import math
import multiprocessing
import os
import pkgutil
import random
import re
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import tablegen  # noqa: E402
from accuracy_refs import common as C  # noqa: E402

import mpmath  # noqa: E402
from mpmath import mpf  # noqa: E402

VALUE_FLOATS = {"Vec2": 2, "Vec3": 3, "Vec4": 4, "Quat": 4, "Plane": 4, "Mat4": 16, "Frustum": 24, "ViewPort": 6}
FLOAT_KINDS = {"Float", "Radians", "Degrees", "Param"}
FLOAT_RESULTS = set()  # the result kinds that cross as a float's bits: the table's result lines of letter F

# Commands whose results are not rounded: they copy, read or write floats as they
# are, or negate them; and the host bridge, whose math is that of the commands it
# is built on, measured here.
NOT_ROUNDED = {
    "Vec2_Copy", "Vec3_Copy", "Vec4_Copy", "Mat4_Copy", "Frustum_Copy", "ViewPort_Copy",
    "Vec2_Set", "Vec3_Set", "Vec4_Set", "Mat4_Set", "Vec4_SetX", "Vec4_SetY", "Vec4_SetZ", "Vec4_SetW",
    "Vec4_GetX", "Vec4_GetY", "Vec4_GetZ", "Vec4_GetW", "Mat4_GetElement", "Mat4_GetElementIndex",
    "Mat4_SetElement", "Mat4_SetElementIndex", "Mat4_GetTranslationX", "Mat4_GetTranslationY",
    "Mat4_GetTranslationZ", "Mat4_GetTranslationVec", "Mat4_GetLookVec", "Mat4_GetUpVec", "Mat4_GetRightVec",
    "Vec2_Minimize", "Vec3_Minimize", "Vec4_Minimize", "Vec2_Maximize", "Vec3_Maximize", "Vec4_Maximize",
    "Mat4_Identity", "Quat_Identity", "Mat4_Transpose", "Quat_Conjugate", "Plane_Inverse",
    "Frustum_SetPlanes", "Frustum_SetRightPlane", "Frustum_SetLeftPlane", "Frustum_SetBottomPlane",
    "Frustum_SetTopPlane", "Frustum_SetNearPlane", "Frustum_SetFarPlane", "Frustum_ExtractCamera",
}
# The host's families have no exact answer of their own; an array command gives, element
# by element, the bits of the single command measured here, and a mesh query those of
# the single commands over its triangles, and moving through a mesh has its own
# scenarios and brute force (tests of their own say so).
HOST_FAMILIES = {"objects", "cameras", "viewports", "arrays", "meshes", "moving"}

# Measured to the one-ULP budget by --check.
BUDGETED = ["Plane_FromPoints", "Plane_IntersectLine", "Mat4_LookAtLH", "Mat4_LookAtRH", "Mat4_RotationAxis",
            "Mat4_PerspectiveFOVLH", "Mat4_PerspectiveFOVRH", "Quat_RotationAxis"]

CLASSES = ["random", "tiny", "huge", "near-parallel", "nearly-singular", "nearly-collinear", "angles", "boundary"]
HARD_SHARE = 0.2  # of the draws, shared by the hard classes that apply


class Args:
    """A call's arguments by name: the drawn floats, or their exact values."""

    def __init__(self, export, names, values):
        self.export = export
        self._names = names
        for n, v in zip(names, values):
            setattr(self, n, v)


# --- which commands, and their inputs -------------------------------------------------

def rounded_exports(table):
    out = []
    for name, (family, params, result) in sorted(table.sigs.items()):
        if name in NOT_ROUNDED or family in HOST_FAMILIES:
            continue
        writes = [p for p in params if p.written and p.kind in VALUE_FLOATS and p.kind != "ViewPort"]
        if writes or result in FLOAT_RESULTS:
            out.append(name)
    return out


def draw_float(rng, kind):
    if kind == "Radians":
        return rng.uniform(-7, 7)
    if kind == "Degrees":
        return rng.uniform(-400, 400)
    if kind == "Param":
        return rng.uniform(-1, 2)
    return rng.uniform(-10, 10)


def draw_value(rng, kind):
    if kind == "ViewPort":
        return [rng.randint(0, 100), rng.randint(0, 100), rng.randint(100, 2000), rng.randint(100, 2000),
                rng.uniform(0, 0.4), rng.uniform(0.6, 1)]
    if kind == "Mat4":
        return [rng.uniform(-2, 2) for _ in range(16)]
    return [rng.uniform(-10, 10) for _ in range(VALUE_FLOATS.get(kind, 4))]


def draw_integer(rng, kind):
    return {"Flag": rng.choice([0, 1]), "Row": rng.randint(1, 4), "Column": rng.randint(1, 4)}.get(kind, rng.randint(0, 3))


def applicable(params, export):
    handles = [p for p in params if p.kind in VALUE_FLOATS and not p.written]
    kinds = [p.kind for p in handles]
    classes = ["random", "tiny", "huge"]
    if any(kinds.count(k) >= 2 for k in ("Vec2", "Vec3", "Vec4", "Quat", "Plane")):
        classes.append("near-parallel")
    if "Mat4" in kinds:
        classes.append("nearly-singular")
    if any(kinds.count(k) >= 3 for k in ("Vec2", "Vec3")):
        classes.append("nearly-collinear")
    if any(p.kind in ("Radians", "Degrees") for p in params):
        classes.append("angles")
    classes.append("boundary")
    for c in C.GENS.get(export, {}):
        if c not in classes:
            classes.append(c)
    return classes


def perturbed(rng, v, size):
    return [x + rng.uniform(-1, 1) * size for x in v]


def shape(rng, cls, params, a):
    """Changes the drawn arguments for a hard class, generically."""
    handles = [p for p in params if p.kind in VALUE_FLOATS and not p.written and p.kind != "ViewPort"]
    scalars = [p for p in params if p.kind == "Float"]
    if cls in ("tiny", "huge"):
        k = 2.0 ** (-40 if cls == "tiny" else 40)
        for p in handles:
            setattr(a, p.name, [x * k for x in getattr(a, p.name)])
        for p in scalars:
            setattr(a, p.name, getattr(a, p.name) * k)
    elif cls == "near-parallel":
        for kind in ("Vec2", "Vec3", "Vec4", "Quat", "Plane"):
            same = [p for p in handles if p.kind == kind]
            if len(same) >= 2:
                first = getattr(a, same[0].name)
                k = rng.choice([-1, 1]) * rng.uniform(0.2, 3)
                size = 1e-6 * max(abs(x) for x in first)
                setattr(a, same[1].name, perturbed(rng, [x * k for x in first], size))
                break
    elif cls == "nearly-singular":
        for p in handles:
            if p.kind == "Mat4":
                m = getattr(a, p.name)
                u, w = rng.uniform(-2, 2), rng.uniform(-2, 2)
                m[8:12] = perturbed(rng, [u * m[i] + w * m[4 + i] for i in range(4)], 1e-6)
    elif cls == "nearly-collinear":
        for kind in ("Vec3", "Vec2"):
            same = [p for p in handles if p.kind == kind]
            if len(same) >= 3:
                p1, p2 = getattr(a, same[0].name), getattr(a, same[1].name)
                s = rng.uniform(-2, 3)
                edge = max(abs(y - x) for x, y in zip(p1, p2))
                setattr(a, same[2].name, perturbed(rng, [x + s * (y - x) for x, y in zip(p1, p2)], 1e-6 * edge))
                break
    elif cls == "angles":
        for p in params:
            if p.kind in ("Radians", "Degrees"):
                quarter = math.pi / 2 if p.kind == "Radians" else 90.0
                near = rng.choice([0.0, 0.0, 1e-7, -1e-7, 1e-3, -1e-3, 1e-5]) * (1 if p.kind == "Radians" else 57.29578)
                setattr(a, p.name, rng.randint(-4, 4) * quarter + near)
    elif cls == "boundary":
        for p in params:
            if p.kind == "Param":
                setattr(a, p.name, rng.choice([0.0, 1.0, 0.5]))
            elif p.kind == "Radians":
                setattr(a, p.name, rng.choice([0.0, math.pi / 2, -math.pi / 2, math.pi]))
            elif p.kind == "Degrees":
                setattr(a, p.name, rng.choice([0.0, 90.0, -90.0, 180.0, 360.0]))


def as_singles(params, a):
    for p in params:
        v = getattr(a, p.name)
        if p.kind == "ViewPort":
            setattr(a, p.name, [int(x) for x in v[:4]] + [C.single(x) for x in v[4:]])
        elif p.kind in VALUE_FLOATS:
            setattr(a, p.name, [C.single(x) for x in v])
        elif p.kind in FLOAT_KINDS:
            setattr(a, p.name, C.single(v))


def draw(rng, export, params, cls):
    values = []
    for p in params:
        if p.kind in VALUE_FLOATS:
            values.append(draw_value(rng, p.kind))
        elif p.kind in FLOAT_KINDS:
            values.append(draw_float(rng, p.kind))
        else:
            values.append(draw_integer(rng, p.kind))
    a = Args(export, [p.name for p in params], values)
    special = C.GENS.get(export, {})
    if "random" in special:
        special["random"](rng, a)
    if cls != "random":
        if cls in special:
            special[cls](rng, a)
        else:
            shape(rng, cls, params, a)
    as_singles(params, a)
    return a


def plan(total, classes):
    hard = [c for c in classes if c != "random"]
    each = max(1, int(total * HARD_SHARE / max(1, len(hard))))
    return [("random", total - each * len(hard))] + [(c, each) for c in hard]


# --- the calls -------------------------------------------------------------------------

def word_of(p, v):
    if p.kind == "ViewPort":
        return "h" + ",".join("%08x" % (x & 0xFFFFFFFF) for x in v[:4]) + "," + \
            ",".join("%08x" % C.float_bits(x) for x in v[4:])
    if p.kind in VALUE_FLOATS:
        return "h" + ",".join("%08x" % C.float_bits(x) for x in v)
    if p.kind in FLOAT_KINDS:
        return "f%08x" % C.float_bits(v)
    return "i%d" % v


def oracle_words(oracle, params, a):
    function, args = oracle
    index = {p.name: i for i, p in enumerate(params)}
    words = [function]
    for arg in args:
        if arg == "0":
            words.append("z")
        elif arg.startswith("("):
            words.append("v" + ",".join("%08x" % C.float_bits(getattr(a, n)) for n in arg[1:-1].split()))
        elif arg.startswith("rad("):  # by the library's own single π/180, rounded once
            degrees = mpf(getattr(a, arg[4:-1]))
            words.append("f%08x" % C.float_bits(float(C.f32(degrees * C.F_DEG_TO_RAD))))
        elif index[arg] == 0:
            words.append("o%d" % VALUE_FLOATS[params[0].kind])
        elif params[index[arg]].kind in VALUE_FLOATS:
            words.append("a%d" % index[arg])
        else:
            words.append("w%d" % index[arg])
    return " ".join(words)


def run_calls(build, lines):
    with tempfile.TemporaryDirectory() as tmp:
        calls, results = os.path.join(tmp, "calls.txt"), os.path.join(tmp, "results.txt")
        with open(calls, "w") as f:
            f.write("\n".join(lines) + "\n")
        wine = os.path.join(HERE, "wine-run.sh")
        subprocess.run([wine, "kv_accuracy.exe", calls, results], cwd=build, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        with open(results) as f:
            return f.read().splitlines()


def parse_result(line, params):
    ours, _, theirs = line.partition(" | ")
    words = ours.split()
    result = int(words[0], 16)
    handles = iter(words[1:])
    after = {}
    for p in params:
        if p.kind in VALUE_FLOATS:
            after[p.name] = [C.bits_float(int(w, 16)) for w in next(handles)[1:].split(",")]
    oracle = None
    if theirs:
        parts = theirs.split()
        returned = int(parts[0], 16)
        oracle = (returned, [C.bits_float(int(w, 16)) for w in parts[1].split(",")] if len(parts) > 1 else [])
    return result, after, oracle


# --- the measure -----------------------------------------------------------------------

def exact_args(export, params, a):
    values = []
    for p in params:
        v = getattr(a, p.name)
        if p.kind == "ViewPort":
            values.append([mpf(x) for x in v])
        elif p.kind in VALUE_FLOATS:
            values.append([mpf(x) for x in v])
        elif p.kind in FLOAT_KINDS:
            values.append(mpf(v))
        else:
            values.append(v)
    return Args(export, [p.name for p in params], values)


def positions(expected, result_kind):
    """The compared floats, as (output name, index, or None for the result), in the
    one order every measure uses."""
    out = []
    for name, v in expected.items():
        if name == "return":
            if result_kind in FLOAT_RESULTS:
                out.append((name, None))
        else:
            out += [(name, i) for i, e in enumerate(v) if e is not None]
    return out


def value_at(values, position):
    name, i = position
    v = values[name]
    return v if i is None else v[i]


def groups_of(where, exact, got):
    """(got, exact) pairs, one group per output: the scaled error of a float is taken
    against the largest float of its own output."""
    groups = {}
    for pos in where:
        groups.setdefault(pos[0], []).append((value_at(got, pos), value_at(exact, pos)))
    return list(groups.values())


def scaled_error(groups):
    worst = 0.0
    for g in groups:
        finite = [abs(e) for _, e in g if mpmath.isfinite(e)]
        scale = max(finite) if finite else mpf(0)
        for got, e in g:
            worst = max(worst, C.error_in(got, e, scale if mpmath.isfinite(e) else e))
    return worst


def condition(ref, params, exact_a, expected, where):
    """Each compared float's condition number, by moving each input float by a
    relative 2^-80 in turn."""
    delta = mpmath.ldexp(1, -80)
    base = [value_at(expected, pos) for pos in where]
    total = [mpf(0)] * len(base)
    for p in params:
        v = getattr(exact_a, p.name)
        if p.kind in VALUE_FLOATS:
            moves = [i for i in range(len(v)) if v[i] != 0 and not (p.kind == "ViewPort" and i < 4)]
        elif p.kind in FLOAT_KINDS and v != 0:
            moves = [None]
        else:
            moves = []
        for i in moves:
            if i is None:
                setattr(exact_a, p.name, v * (1 + delta))
            else:
                setattr(exact_a, p.name, v[:i] + [v[i] * (1 + delta)] + v[i + 1:])
            try:
                moved = ref(exact_a)
            finally:
                setattr(exact_a, p.name, v)
            for j, pos in enumerate(where):
                e0, e1 = base[j], value_at(moved, pos)
                if e1 is not None and mpmath.isfinite(e0) and mpmath.isfinite(e1):
                    total[j] += abs(e1 - e0) / delta
    return [t / abs(e) if mpmath.isfinite(e) and e != 0 else mpf("inf") for t, e in zip(total, base)]


def well_conditioned_worst(ref, params, exact_a, expected, where, got):
    """The largest own-ULP error among the floats of condition number at most 4."""
    errors = [C.error_in(value_at(got, pos), value_at(expected, pos), value_at(expected, pos)) for pos in where]
    if not errors or max(errors) <= 0.5:
        return max(errors, default=0.0)
    kappa = condition(ref, params, exact_a, expected, where)
    return max((e for e, k in zip(errors, kappa) if k <= 4), default=0.0)


class Stats:
    def __init__(self):
        self.ours, self.theirs = [], []
        self.wc, self.wc_theirs = 0.0, 0.0
        self.worst = None  # (error, inputs)
        self.decisions = 0  # integer results that differ from the reference
        self.undefined = 0  # draws without an exact answer

    def summary(self, values):
        if not values:
            return None
        v = sorted(values)
        return v[-1], v[min(len(v) - 1, int(math.ceil(0.99 * len(v))) - 1)], v[len(v) // 2]


def describe(params, a):
    """The inputs of a draw, to replay it (outputs only written are left out)."""
    parts = []
    for p in params:
        if p.written:
            continue
        v = getattr(a, p.name)
        if isinstance(v, list):
            parts.append("%s=(%s)" % (p.name, ", ".join(repr(x) for x in v)))
        else:
            parts.append("%s=%r" % (p.name, v))
    return " ".join(parts)


def measure(table, exports, draws, seed, build):
    """The stats of each export's draws, by input class. Each export's draws come from
    its own generator, seeded by the seed and its name, so that any subset of the
    exports, in any order, draws the same inputs."""
    jobs, lines = [], []
    for export in exports:
        rng = random.Random("%d %s" % (seed, export))
        family, params, result = table.sigs[export]
        for cls, count in plan(draws, applicable(params, export)):
            for _ in range(count):
                a = draw(rng, export, params, cls)
                line = export + " " + " ".join(word_of(p, getattr(a, p.name)) for p in params)
                if export in table.oracles:
                    line += " | " + oracle_words(table.oracles[export], params, a)
                jobs.append((export, cls, a))
                lines.append(line)
    results = run_calls(build, lines)
    stats = {}
    for (export, cls, a), line in zip(jobs, results):
        family, params, result_kind = table.sigs[export]
        ref = C.REFS[export]
        result, after, oracle = parse_result(line, params)
        a_exact = exact_args(export, params, a)
        s = stats.setdefault(export, {}).setdefault(cls, Stats())
        try:
            expected = ref(a_exact)
        except (ZeroDivisionError, ValueError, ArithmeticError):
            s.undefined += 1  # no exact answer (a pole of the formula)
            continue
        if "return" in expected and result_kind not in FLOAT_RESULTS and result_kind:
            got = result - (1 << 32) if result >= 1 << 31 else result
            if got != expected["return"]:
                s.decisions += 1
                continue
        got = dict(after, **{"return": C.bits_float(result)})
        where = positions(expected, result_kind)
        if not where:
            continue
        err = scaled_error(groups_of(where, expected, got))
        s.ours.append(err)
        s.wc = max(s.wc, well_conditioned_worst(ref, params, a_exact, expected, where, got))
        if s.worst is None or err > s.worst[0]:
            s.worst = (err, describe(params, a))
        first = params[0].name
        if oracle is not None and oracle[0] != 0 and first in expected:
            theirs_where = [pos for pos in where if pos[0] == first]
            theirs = {first: oracle[1]}
            s.theirs.append(scaled_error(groups_of(theirs_where, expected, theirs)))
            s.wc_theirs = max(s.wc_theirs, well_conditioned_worst(ref, params, a_exact, expected, theirs_where, theirs))
    return stats


def measure_all(table, exports, draws, seed, build, jobs):
    """measure() over the exports shared out between `jobs` processes."""
    if jobs <= 1:
        return measure(table, exports, draws, seed, build)
    parts = [exports[i::jobs] for i in range(jobs)]
    with multiprocessing.Pool(jobs) as pool:
        done = pool.starmap(measure, [(table, part, draws, seed, build) for part in parts])
    return {k: v for part in done for k, v in part.items()}


# --- the report ------------------------------------------------------------------------

def fmt(x):
    if x is None:
        return "—"
    if math.isinf(x):
        return "inf"
    if x >= 1e4:
        return "%.3g" % x
    return "%.2f" % x


HEADER = """<!-- Generated by `make accuracy` (tools/accuracy.py): edit the tool, not this file. -->
# Kestrom_Vandu accuracy

How close each command's float results come to the exact answer, measured by
`make accuracy` ({draws} draws per command, seed {seed}) and reproduced by it.
The exact answer is the command's formula evaluated from its float inputs at 50
digits. Errors are in units in the last place (ULPs) of single precision:

- **wc**: the largest error of a float result in its own ULPs, among the results
  whose condition number is at most 4 (the well-conditioned ones: a relative
  change ε in the inputs moves them by at most 4ε). The goal is 1 ULP or less.
- **max, p99, median**: over the draws of a class of inputs, the largest error of
  a draw's results in ULPs of the largest result of its output ("scaled"), so that
  a result formed by cancellation is judged against the size of what cancelled.
- **D3DX**: the same for Wine's `d3dx9_43.dll` on the same inputs, where a D3DX
  function computes the same result.

Each command below is headed by the keywords a script reaches it by (search for a
keyword to find it), then the DLL's export name, which the summary uses.

Input classes: random (components in ±10, angles in ±7 radians, parameters in
−1..2), tiny (×2⁻⁴⁰), huge (×2⁴⁰), near-parallel, nearly-singular,
nearly-collinear, angles near multiples of a quarter turn, and boundary inputs
exactly on a threshold the command names; some commands draw their own (unit
quaternions, rotations, camera matrices). Each table's worst draw can be replayed
from the inputs printed.

Commands whose results are copies of their inputs (getters, setters, copies,
minimum and maximum, negation), and the host bridge, whose math is that of the
commands measured here, are not listed.

"""


def report(table, exports, stats, markdown, draws, seed):
    lines = [HEADER.format(draws=draws, seed=seed)]
    loose = [e for e in exports if max((s.wc for s in stats.get(e, {}).values()), default=0.0) > 1]
    lines.append("## Summary")
    lines.append("")
    lines.append("%d commands measured; every well-conditioned result is within one ULP except these:" % len(exports)
                 if loose else "%d commands measured; every well-conditioned result is within one ULP." % len(exports))
    lines.append("")
    for e in loose:
        wc = max(s.wc for s in stats[e].values())
        lines.append("- `%s`: wc %s ULP. %s" % (e, fmt(wc), C.LOOSER.get(e, "No reason is recorded.")))
    lines += ["", "## By command", ""]
    for export in exports:
        per = stats.get(export, {})
        family = table.sigs[export][0]
        wc = max((s.wc for s in per.values()), default=0.0)
        wct = max((s.wc_theirs for s in per.values()), default=0.0)
        has_oracle = export in table.oracles
        keywords = [r.keyword for r in table.rows.values() if r.export == export]
        keywords = sorted(set(keywords), key=keywords.index) or ["no keyword"]
        lines.append("### %s (export `%s`)" % (", ".join("`%s`" % k for k in keywords), export))
        lines.append("")
        head = "wc %s ULP" % fmt(wc)
        if has_oracle:
            head += "; D3DX (`%s`) wc %s ULP" % (table.oracles[export][0], fmt(wct))
        if export in C.LOOSER:
            head += ". Looser than one ULP: " + C.LOOSER[export]
        lines.append(head + ".")
        lines.append("")
        cols = "| inputs | draws | max | p99 | median |"
        sep = "|---|---|---|---|---|"
        if has_oracle:
            cols += " D3DX max | D3DX p99 | D3DX median |"
            sep += "---|---|---|"
        lines += [cols, sep]
        worst = None
        for cls in CLASSES + sorted(set(per) - set(CLASSES)):
            if cls not in per:
                continue
            s = per[cls]
            o = s.summary(s.ours) or (None, None, None)
            row = "| %s | %d | %s | %s | %s |" % (cls, len(s.ours), fmt(o[0]), fmt(o[1]), fmt(o[2]))
            if has_oracle:
                t = s.summary(s.theirs) or (None, None, None)
                row += " %s | %s | %s |" % (fmt(t[0]), fmt(t[1]), fmt(t[2]))
            lines.append(row)
            if s.worst and (worst is None or s.worst[0] > worst[0]):
                worst = (s.worst[0], cls, s.worst[1])
        lines.append("")
        if worst:
            lines.append("Worst draw (%s, %s ULP): `%s`" % (worst[1], fmt(worst[0]), worst[2]))
            lines.append("")
        decisions = sum(s.decisions for s in per.values())
        if decisions:
            lines.append("Integer results that differ from the exact answer: %d." % decisions)
            lines.append("")
    text = "\n".join(lines)
    if markdown:
        with open(markdown, "w", encoding="utf-8") as f:
            f.write(text + "\n")
    return text


def check(table, stats, exports):
    failures = []
    # Every command formed in double and rounded once: each draw's scaled error,
    # cancelling draws included, within its budget (one ULP unless a reason says more).
    for export in (e for e in exports if e not in C.LOOSER):  # those are formed in single on purpose
        budget = C.SCALED_BUDGET.get(export, (1.0, ""))[0]
        for cls, s in stats.get(export, {}).items():
            worst = max(s.ours, default=0.0)
            if worst > budget:
                failures.append("%s: %s inputs: %.2f ULP of the largest float, budget %g" % (export, cls, worst, budget))
    for export in BUDGETED:
        if export not in exports:
            continue
        for cls, s in stats.get(export, {}).items():
            if s.wc > 1:
                failures.append("%s: %s inputs: a well-conditioned float %.2f ULP off" % (export, cls, s.wc))
            ours, theirs = s.summary(s.ours), s.summary(s.theirs)
            if ours and theirs and ours[1] > max(theirs[1], 1):
                failures.append("%s: %s inputs: p99 %.2f ULP, D3DX %.2f" % (export, cls, ours[1], theirs[1]))
    return failures


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--draws", type=int, default=2000, help="draws per command (default 2000)")
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--only", default="", help="a regular expression on the export names")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--markdown", default="")
    ap.add_argument("--table", default=os.path.join(HERE, "..", "src", "frame", "commands.tab"))
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build", "win32"))
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    ap.add_argument("--quiet", action="store_true")
    a = ap.parse_args()
    log = (lambda *_: None) if a.quiet else (lambda m: print(m, file=sys.stderr))
    for module in pkgutil.iter_modules([os.path.join(HERE, "accuracy_refs")]):
        importlib.import_module("accuracy_refs." + module.name)
    table = tablegen.Table(a.table)
    FLOAT_RESULTS.update(k for k, (_, _, letter) in table.results.items() if letter == "F")
    rounded = rounded_exports(table)
    missing = [e for e in rounded if e not in C.REFS]
    exports = [e for e in rounded if e in C.REFS and re.search(a.only, e)]
    started = time.time()
    stats = measure_all(table, exports, a.draws, a.seed, a.build, a.jobs)
    log("accuracy: %d commands, %d draws each, in %.0f s" % (len(exports), a.draws, time.time() - started))
    text = report(table, exports, stats, a.markdown, a.draws, a.seed)
    if not a.quiet:
        print(text)
    if missing:
        log("accuracy: no reference for %d rounded commands: %s" % (len(missing), " ".join(missing)))
    if a.check:
        failures = check(table, stats, exports)
        if missing and not a.only:
            failures.append("no reference for: " + " ".join(missing))
        for f in failures:
            print("FAILED " + f)
        if failures:
            sys.exit(1)
        print("accuracy: %d commands, %d draws each: the one-ULP budget holds" % (len(exports), a.draws))


if __name__ == "__main__":
    main()
