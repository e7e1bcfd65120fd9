#!/usr/bin/env python3
"""Turns the command-table data file into what the build and the release need:
the string-table resource script (--rc), the export list (--def), the command
reference for script writers (--md) and, for the native fuzzing, every export
called with its arguments from an array of words (--calls, with --headers).

Fails on any line it cannot read, on a duplicate string number, on an export
that one row marks built and another not, on a built export without a signature
line, on a signature whose letters disagree with a row that reaches it, and on
a D3DX counterpart line that names an argument the export does not have."""

import argparse
import os
import re
import sys
from collections import OrderedDict, defaultdict

HANDLES = ["Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort", "Value"]
INTEGERS = ["Int", "Index", "Row", "Column", "Object", "Camera", "Flag", "Selector"]
FLOATS = ["Float", "Radians", "Degrees", "Param"]
RESULTS = HANDLES[:-1] + ["Float", "Radians", "Degrees", "Int", "Bool", "Sign"]
TYPES = ["Vec2", "Vec3", "Vec4", "Mat4", "Quat", "Plane", "Frustum", "ViewPort", "Ray", "Sphere", "AABB"]

KIND_WORDS = {
    "Value": "a handle of any value",
    "Int": "an integer",
    "Index": "an index, counted from 0",
    "Row": "a row, 1 to 4",
    "Column": "a column, 1 to 4",
    "Object": "a host object number",
    "Camera": "a host camera number",
    "Flag": "a flag: 0 or not 0",
    "Selector": "an integer passed on to the host",
    "Float": "a float",
    "Radians": "an angle in radians",
    "Degrees": "an angle in degrees",
    "Param": "a parameter: 0 at the start, 1 at the end, not clamped",
}
RESULT_WORDS = {
    "Float": "a float",
    "Radians": "an angle in radians",
    "Degrees": "an angle in degrees",
    "Int": "an integer",
    "Bool": "1 or 0",
    "Sign": "−1, 0 or 1",
}


class TableError(Exception):
    pass


class Row:
    def __init__(self, number, keyword, value, letters, export, state, summary):
        self.number, self.keyword, self.value, self.letters = number, keyword, value == "[", letters
        self.export, self.state, self.summary = export, state, summary

    def text(self):
        return f"{self.keyword}{'[' if self.value else ''}%{self.letters}%{self.export}%"

    def argument_letters(self):
        return self.letters[1:] if self.value else self.letters


class Param:
    def __init__(self, word):
        name, _, kind = word.partition(":")
        if not kind:
            raise TableError(f"argument without a kind: {word}")
        self.written = "!" in name
        self.optional = "?" in name
        self.name = name.rstrip("!?")
        self.kind = kind
        if kind not in HANDLES + INTEGERS + FLOATS:
            raise TableError(f"unknown kind {kind} in {word}")
        if (self.written or self.optional) and kind not in HANDLES:
            raise TableError(f"only a handle can be written or optional: {word}")

    def letter(self):
        return "F" if self.kind in FLOATS else "L"


class Table:
    def __init__(self, path):
        self.rows = OrderedDict()
        self.loose = OrderedDict()
        self.plugin = []
        self.families = OrderedDict()  # name -> {title, about, edges}
        self.sigs = OrderedDict()  # export -> (family, [Param], result)
        self.oracles = OrderedDict()  # export -> (D3DX function, [argument])
        with open(path, encoding="utf-8") as f:
            for line in f:
                self._read(line.rstrip("\n"))
        self._check()

    def _read(self, line):
        if re.match(r"^\s*(#|$)", line):
            return
        words = line.split()
        kind = words[0]
        if kind == "row":
            m = re.match(r"^row +(\d+) +(\w+) +(\[|-) +([LF]+) +(\w+) +(built|planned)( +(.*))?$", line)
            if not m:
                raise TableError(f"cannot read: {line}")
            number = int(m.group(1))
            if number in self.rows:
                raise TableError(f"string number {number} appears twice")
            self.rows[number] = Row(number, m.group(2), m.group(3), m.group(4), m.group(5), m.group(6), m.group(8) or "")
        elif kind == "export":
            self.loose[words[1]] = (words[2], " ".join(words[3:]))
        elif kind == "plugin":
            self.plugin.append((words[1], words[2]))
        elif kind == "family":
            self.families[words[1]] = {"title": " ".join(words[2:]), "about": "", "edges": ""}
        elif kind in ("about", "edges"):
            if words[1] not in self.families:
                raise TableError(f"{kind} of an unknown family: {line}")
            self.families[words[1]][kind] = " ".join(words[2:])
        elif kind == "sig":
            name, family, rest = words[1], words[2], words[3:]
            if family not in self.families:
                raise TableError(f"{name}: unknown family {family}")
            result = ""
            if "->" in rest:
                at = rest.index("->")
                result = rest[at + 1]
                rest = rest[:at]
                if result not in RESULTS:
                    raise TableError(f"{name}: unknown result {result}")
            if name in self.sigs:
                raise TableError(f"two signatures for {name}")
            self.sigs[name] = (family, [Param(w) for w in rest], result)
        elif kind == "oracle":
            # "(x y z)" is one argument: a Vec3 of three float arguments.
            args = re.findall(r"\([^)]*\)|\S+", line.split(None, 3)[3] if len(words) > 3 else "")
            self.oracles[words[1]] = (words[2], args)
        else:
            raise TableError(f"cannot read: {line}")

    def _check(self):
        state = {}
        for row in self.rows.values():
            if state.setdefault(row.export, row.state) != row.state:
                raise TableError(f"{row.export} is {row.state} in one row and {state[row.export]} in another")
            if row.state != "built":
                continue
            if row.export not in self.sigs:
                raise TableError(f"{row.export} has no signature line")
            _, params, result = self.sigs[row.export]
            letters = "".join(p.letter() for p in params)
            if letters != row.argument_letters() or bool(result) != row.value:
                raise TableError(f"row {row.number} {row.keyword}: letters {row.letters} disagree with the signature")
        for export, (function, args) in self.oracles.items():
            if export not in self.sigs:
                raise TableError(f"oracle {export}: no signature line")
            params = {p.name: p for p in self.sigs[export][1]}
            for arg in args:
                m = re.match(r"^\((\w+) (\w+) (\w+)\)$|^rad\((\w+)\)$|^(\w+)$", arg)
                names = [n for n in (m.groups() if m else []) if n]
                if not m or (arg != "0" and any(n not in params for n in names)):
                    raise TableError(f"oracle {export}: {arg} is not one of its arguments")

    def built_exports(self):
        names = []
        for row in self.rows.values():
            if row.state == "built" and row.export not in names:
                names.append(row.export)
        names += [n for n, (s, _) in self.loose.items() if s == "built" and n not in names]
        return names


def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def rc_text(table):
    lines = ["// Generated from commands.tab: the command table the host reads.", "LANGUAGE 9, 1", "STRINGTABLE", "BEGIN"]
    lines += [f'  {row.number}, "{row.text()}"' for row in table.rows.values()]
    return "\n".join(lines + ["END", ""])


def def_text(table):
    lines = ["; Generated from commands.tab: the exports of the plug-in.", 'LIBRARY "Kestrom_Vandu.dll"', "EXPORTS"]
    lines += [f'  "{decorated}" = {symbol}' for decorated, symbol in table.plugin]
    lines += [f"  {name}" for name in table.built_exports()]
    return "\n".join(lines + [""])


def calls_text(table, headers):
    lines = ["// Generated from commands.tab: every export called with its arguments from words.", '#include "fuzz/fuzz.h"']
    lines += [f'#include "{h}"' for h in headers]
    lines += ["", "namespace kv::test {", "", "const ExportCall kExportCalls[] = {"]
    for name in table.built_exports():
        _, params, _ = table.sigs[name]
        args = []
        for i, p in enumerate(params):
            if p.kind in FLOATS:
                args.append(f"as_float(a[{i}])")
            elif p.kind in HANDLES:
                args.append(f"kv::Handle(a[{i}])")
            else:
                args.append(f"std::int32_t(a[{i}])")
        lines.append(f'    {{"{name}", []([[maybe_unused]] const Word* a) {{ return result_word({name}({", ".join(args)})); }}}},')
    lines += ["};", "const std::size_t kExportCallCount = sizeof kExportCalls / sizeof *kExportCalls;", "", "}  // namespace kv::test", ""]
    return "\n".join(lines)


# --- the reference --------------------------------------------------------------


def anchor(keyword):
    return keyword.lower()


def kind_words(p):
    if p.kind in HANDLES and p.kind != "Value":
        text = f"a {p.kind} handle"
    else:
        text = KIND_WORDS[p.kind]
    if p.written:
        text += ", written"
    if p.optional:
        text += ", or 0 for none"
    return text


def result_words(result):
    if result in HANDLES:
        return f"the handle of a new {result} (0 when no memory is left)"
    return RESULT_WORDS[result]


def form(row, params):
    names = ", ".join(p.name for p in params)
    if row.value:
        return f"{row.keyword}({names})"
    return f"{row.keyword} {names}".rstrip()


def home_keyword(table, export):
    """The keyword whose entry explains an export: the one named after it."""
    reaching = [r for r in table.rows.values() if r.export == export]
    for r in reaching:
        if r.keyword[1:] == export or r.keyword[1:] + "Ex" == export:
            return r.keyword
    return reaching[0].keyword


def md_text(table, version):
    by_keyword = OrderedDict()
    for row in table.rows.values():
        by_keyword.setdefault(row.keyword, []).append(row)
    keyword_type = {k: re.match(r"^p([A-Za-z0-9]+)_", k).group(1) for k in by_keyword}
    out = []
    out.append("# Kestrom_Vandu command reference")
    out.append("")
    out.append(f"Version {version}. Generated from the command table: {len(table.rows)} rows, "
               f"{len(by_keyword)} keywords, {len(table.built_exports())} commands.")
    out.append("")
    out.append("How to read an entry. Each keyword has one or more forms, one per argument list. A form "
               "written `pVec3_Add result, a, b` is a statement; a form written `pVec3_Dot(a, b)` gives a "
               "value, to use as a function. Values (vectors, matrices, quaternions, planes, frustums, "
               "viewports) are named by handles: the number a `MakeNew` gives. Every argument marked "
               "*written* receives a result, and may be the same handle as any other argument. Angles are "
               "radians unless the argument says degrees. Where several keywords reach the same command "
               "(the component commands serve every vector, quaternion and plane), the command is "
               "explained once, under the keyword named after it.")
    out.append("")
    out.append("## Index")
    out.append("")
    for t in TYPES:
        keys = sorted(k for k in by_keyword if keyword_type[k] == t)
        out.append(f"- **{t}**: " + ", ".join(f"[`{k}`](#{anchor(k)})" for k in keys))
    out.append("")
    for t in TYPES:
        out.append(f"## {t}")
        out.append("")
        families = OrderedDict()
        for k, rows in by_keyword.items():
            if keyword_type[k] == t:
                family = table.sigs[rows[0].export][0]
                families.setdefault(family, []).append(k)
        for family, keys in families.items():
            f = table.families[family]
            out.append(f"### {f['title']} ({t})")
            out.append("")
            out.append(f["about"])
            out.append("")
            out.append(f"*At the edges:* {f['edges']}")
            out.append("")
            for k in keys:
                out.append(f'<a id="{anchor(k)}"></a>')
                out.append(f"#### `{k}`")
                out.append("")
                for row in by_keyword[k]:
                    _, params, result = table.sigs[row.export]
                    home = home_keyword(table, row.export)
                    out.append(f"- **`{form(row, params)}`**")
                    if home != k:
                        out.append(f"  — the command [`{home}`](#{anchor(home)}) (`{row.export}`), explained there.")
                        continue
                    if row.summary:
                        out.append(f"  — {row.summary}")
                    for p in params:
                        out.append(f"  - `{p.name}`: {kind_words(p)}")
                    if result:
                        out.append(f"  - returns {result_words(result)}")
                    out.append(f"  - export `{row.export}`, string {row.number}, letters `{row.letters}`")
                out.append("")
    return "\n".join(out)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("table")
    ap.add_argument("--rc")
    ap.add_argument("--def", dest="def_")
    ap.add_argument("--md")
    ap.add_argument("--calls")
    ap.add_argument("--headers", default="")
    ap.add_argument("--version", default="")
    a = ap.parse_args()
    try:
        table = Table(a.table)
    except TableError as e:
        sys.exit(f"{a.table}: {e}")
    if a.rc:
        write_if_changed(a.rc, rc_text(table))
    if a.def_:
        write_if_changed(a.def_, def_text(table))
    if a.md:
        write_if_changed(a.md, md_text(table, a.version))
    if a.calls:
        write_if_changed(a.calls, calls_text(table, [h for h in a.headers.split(",") if h]))


if __name__ == "__main__":
    main()
