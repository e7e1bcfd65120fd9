#!/usr/bin/env python3
"""Turns the command-table data file into what the build and the release need:
the string-table resource script (--rc), the export list (--def), the command
reference for script writers (--md), for the native fuzzing every export called
with its arguments from an array of words (--calls, with --headers), and for the
checked build the exports that check their handles before the command runs
(--checked, with --headers) and their export list (--def-checked).

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
        # "Kind@N": the command touches the first N bytes; "Kind@arg": up to the float
        # number held in the argument arg.
        kind, _, self.extent = kind.partition("@")
        self.kind = kind
        if self.extent and kind not in HANDLES:
            raise TableError(f"only a handle has bytes it touches: {word}")
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
            for p in params:
                if p.extent and not p.extent.isdigit() and p.extent not in [q.name for q in params]:
                    raise TableError(f"{row.export}: {p.name} touches up to {p.extent}, which is no argument")
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


# --- the checked build ------------------------------------------------------------

VALUE_BYTES = {"Vec2": 8, "Vec3": 12, "Vec4": 16, "Quat": 16, "Plane": 16, "Mat4": 64, "Frustum": 96,
               "ViewPort": 24, "Value": 4}
POOLS = {"Vec2": 0, "Vec3": 1, "Vec4": 2, "Plane": 2, "Mat4": 3, "Quat": 4, "Frustum": 5, "ViewPort": 6}


def checks_handles(table, name):
    return any(p.kind in HANDLES for p in table.sigs[name][1])


def keywords_of(table, export):
    """The keywords that reach an export, the one named after it first."""
    if not any(row.export == export for row in table.rows.values()):
        return "(no keyword)"
    home = home_keyword(table, export)
    others = []
    for row in table.rows.values():
        if row.export == export and row.keyword != home and row.keyword not in others:
            others.append(row.keyword)
    return home + (f" (or {', '.join(others)})" if others else "")


def checked_text(table, headers):
    lines = ["// Generated from commands.tab: the exports of the checked build. Each checks the",
             "// handles it is given against what the command touches through them, then runs it.",
             '#include "frame/checked.h"']
    lines += [f'#include "{h}"' for h in headers]
    lines += ["", "using kv::checked::Argument;", "using kv::checked::Command;", "using kv::checked::Kind;", ""]
    for name in table.built_exports():
        if name not in table.sigs or not checks_handles(table, name):
            continue
        _, params, _ = table.sigs[name]
        positions = {p.name: i for i, p in enumerate(params)}
        arguments = []
        for p in params:
            kind = p.kind if p.kind in HANDLES else "None"
            size = VALUE_BYTES.get(p.kind, 0)
            index = -1
            if p.extent.isdigit():
                size = int(p.extent)
            elif p.extent:
                size, index = 0, positions[p.extent]
            arguments.append(f'{{"{p.name}", Kind::{kind}, {size}, {index}, {str(p.written).lower()}, '
                             f'{str(p.optional).lower()}}}')
        deletes = POOLS[params[0].kind] if name.endswith("_Delete") else -1
        lines.append(f"static const Argument {name}_arguments[] = {{{', '.join(arguments)}}};")
        lines.append(f'static const Command {name}_command = {{"{keywords_of(table, name)}", "{name}", '
                     f"{name}_arguments, {len(params)}, {deletes}}};")
        typed, words, passed = [], [], []
        for i, p in enumerate(params):
            if p.kind in FLOATS:
                typed.append(f"float a{i}")
                words.append(f"kv::bits_of(a{i})")
            elif p.kind in HANDLES:
                typed.append(f"kv::Handle a{i}")
                words.append(f"std::uint32_t(a{i})")
            else:
                typed.append(f"std::int32_t a{i}")
                words.append(f"std::uint32_t(a{i})")
            passed.append(f"a{i}")
        lines.append(f"KV_EXPORT std::uint32_t kvc_{name}({', '.join(typed)}) {{")
        lines.append(f"  const std::uint32_t words[] = {{{', '.join(words)}}};")
        lines.append(f"  if (!kv::checked::allowed({name}_command, words)) return 0;")
        lines.append(f"  return std::uint32_t({name}({', '.join(passed)}));")
        lines.append("}")
        lines.append("")
    return "\n".join(lines)


def def_checked_text(table):
    lines = ["; Generated from commands.tab: the exports of the checked build, under the same names.",
             'LIBRARY "Kestrom_Vandu.dll"', "EXPORTS"]
    lines += [f'  "{decorated}" = {symbol}' for decorated, symbol in table.plugin]
    for name in table.built_exports():
        lines.append(f"  {name} = kvc_{name}" if name in table.sigs and checks_handles(table, name) else f"  {name}")
    return "\n".join(lines + [""])


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
    ap.add_argument("--checked")
    ap.add_argument("--def-checked", dest="def_checked")
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
    if a.checked:
        write_if_changed(a.checked, checked_text(table, [h for h in a.headers.split(",") if h]))
    if a.def_checked:
        write_if_changed(a.def_checked, def_checked_text(table))


if __name__ == "__main__":
    main()
