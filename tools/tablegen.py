#!/usr/bin/env python3
"""Turns the command-table data file into what the build and the release need:
the string-table resource script (--rc), the export list (--def), the command
reference for script writers (--md, and --html: one page that filters as you
type), for the native fuzzing every export called with its arguments from an
array of words (--calls, with --headers), and for the checked build the exports
that check their handles before the command runs (--checked, with --headers)
and their export list (--def-checked).

Fails on any line it cannot read, on a duplicate string number, on an export
that one row marks built and another not, on a built export without a signature
line, on a signature whose letters disagree with a row that reaches it, on an
argument without an arg line to say what it is, on a D3DX counterpart line
that names an argument the export does not have, and on a {kName} that is no
cut-off of tolerances.h (the texts quote the code's cut-offs that way)."""

import argparse
import fnmatch
import os
import re
import sys
from collections import OrderedDict, defaultdict

ARRAYS = ["Vec2[]", "Vec3[]", "Vec4[]", "Mat4[]", "Float[]", "Array"]  # an array a MakeArray gave; Array: of any kind
HANDLES = ["Vec2", "Vec3", "Vec4", "Quat", "Plane", "Mat4", "Frustum", "ViewPort"] + ARRAYS + ["Mesh", "Value"]
INTEGERS = ["Int", "Index", "Element", "Row", "Column", "Object", "Camera", "Flag", "Selector"]
FLOATS = ["Float", "Radians", "Degrees", "Param"]
TYPES = ["Vec2", "Vec3", "Vec4", "Mat4", "Quat", "Plane", "Frustum", "ViewPort", "Ray", "Sphere", "Ellipsoid", "AABB", "Object", "Float", "Mesh",
         "Array"]

KIND_WORDS = {
    "Value": "a handle of any value",
    "Int": "an integer",
    "Index": "an index, counted from 0",
    "Element": "an element's number: 0 to the array's count − 1",
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
        # "Kind~direction": a vector of some length, finite; "Kind=LOW..HIGH": a number
        # within that range.
        self.direction = kind.endswith("~direction")
        kind = kind[:-len("~direction")] if self.direction else kind
        kind, _, bounds = kind.partition("=")
        self.bounds = None
        if bounds:
            m = re.match(r"^(-?[\d.]+)\.\.(-?[\d.]+)$", bounds)
            if not m:
                raise TableError(f"cannot read the range of {word}")
            self.bounds = (float(m.group(1)), float(m.group(2)))
        # "Kind@N": the command touches the first N bytes; "Kind@arg": up to the float
        # number held in the argument arg.
        kind, _, self.extent = kind.partition("@")
        self.kind = kind
        if self.bounds and kind not in INTEGERS + FLOATS:
            raise TableError(f"only a number has a range: {word}")
        if self.direction and kind != "Vec3":
            raise TableError(f"only a Vec3 is a direction: {word}")
        if self.extent and kind not in HANDLES:
            raise TableError(f"only a handle has bytes it touches: {word}")
        if kind not in HANDLES + INTEGERS + FLOATS:
            raise TableError(f"unknown kind {kind} in {word}")
        if (self.written or self.optional) and kind not in HANDLES:
            raise TableError(f"only a handle can be written or optional: {word}")

    def letter(self):
        return "F" if self.kind in FLOATS else "L"


TOLERANCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "frame", "tolerances.h")


def read_tolerances(path):
    """The cut-offs of tolerances.h by name, as the texts quote them: 2^-20 for
    0x1p-20, a decimal without its f."""
    values = {}
    with open(path, encoding="utf-8") as f:
        for name, literal in re.findall(r"inline constexpr \w+ (k\w+) = ([^;]+);", f.read()):
            hexa = re.match(r"^0x1p(-?\d+)$", literal)
            values[name] = f"2^{hexa.group(1)}" if hexa else literal.rstrip("f")
    return values


class Table:
    def __init__(self, path):
        self.tolerances = read_tolerances(TOLERANCES)
        self.rows = OrderedDict()
        self.loose = OrderedDict()
        self.plugin = []
        self.families = OrderedDict()  # name -> {title, about, edges}
        self.sigs = OrderedDict()  # export -> (family, [Param], result)
        self.oracles = OrderedDict()  # export -> (D3DX function, [argument])
        self.block = None  # the family whose block the lines read now belong to
        self.results = {}  # result kind -> (the value meaning "nothing", the reference's text, its letter)
        self.returns = {}  # export -> what its result means, where its kind's text does not say
        self.sees = []  # (keyword[:letters], keyword[:letters], the difference between them)
        self.arg_texts = {}  # (scope, argument name) -> what the argument is, for the reference
        self.arg_names = {}  # row number -> its arguments' names, where they differ from the signature's
        with open(path, encoding="utf-8") as f:
            for line in f:
                self._read(line.rstrip("\n"))
        # The order of the lines in the file is free: rows go by number, exports by name.
        self.rows = OrderedDict(sorted(self.rows.items()))
        self._check()

    def _read(self, line):
        if re.match(r"^\s*(#|$)", line):
            return
        for name in re.findall(r"\{(k[A-Z]\w*)\}", line):
            if name not in self.tolerances:
                raise TableError(f"{{{name}}} is no cut-off of tolerances.h: {line}")
            line = line.replace("{" + name + "}", self.tolerances[name])
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
            self.block = words[1]
        elif kind in ("about", "edges"):
            if words[1] not in self.families:
                raise TableError(f"{kind} of an unknown family: {line}")
            self.families[words[1]][kind] = " ".join(words[2:])
        elif kind == "result":
            # "result KIND LETTER NOTHING TEXT": what a value command's result is, and its "nothing".
            if len(words) < 5 or words[2] not in "LF" or not re.match(r"^-?\d+$", words[3]):
                raise TableError(f"cannot read: {line}")
            self.results[words[1]] = (int(words[3]), line.split(None, 4)[4], words[2])
        elif kind == "see":
            if len(words) < 4:
                raise TableError(f"cannot read: {line}")
            self.sees.append((words[1], words[2], line.split(None, 3)[3]))
        elif kind == "return":
            if len(words) < 3 or words[1] in self.returns:
                raise TableError(f"cannot read, or a second return line: {line}")
            self.returns[words[1]] = line.split(None, 2)[2]
        elif kind == "sig":
            name, family, rest = words[1], words[2], words[3:]
            if family not in self.families:
                raise TableError(f"{name}: unknown family {family}")
            if family != self.block:
                raise TableError(f"{name}: a {family} command in the block of {self.block}")
            result = ""
            if "->" in rest:
                at = rest.index("->")
                result = rest[at + 1]
                rest = rest[:at]
                if result not in self.results and not (result in HANDLES[:-1] and "Handle" in self.results):
                    raise TableError(f"{name}: no result line for {result}")
            if name in self.sigs:
                raise TableError(f"two signatures for {name}")
            self.sigs[name] = (family, [Param(w) for w in rest], result)
        elif kind == "arg":
            # "arg <scope> <name> <text>": scope is a keyword, an export, a family or *.
            if len(words) < 4:
                raise TableError(f"cannot read: {line}")
            if (words[1], words[2]) in self.arg_texts:
                raise TableError(f"two descriptions of {words[2]} for {words[1]}")
            self.arg_texts[(words[1], words[2])] = line.split(None, 3)[3]
        elif kind == "names":
            # "names <row> <name>[:<Kind>] ...": the row's arguments as its keyword's
            # readers know them, and the kind one is read as where not the keyword's type.
            self.arg_names[int(words[1])] = words[2:]
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
            result_letter = result_entry(self, result)[2] if result else ""
            if letters != row.argument_letters() or bool(result) != row.value or result_letter != row.letters[:row.value]:
                raise TableError(f"row {row.number} {row.keyword}: letters {row.letters} disagree with the signature")
        for number, names in self.arg_names.items():
            row = self.rows.get(number)
            if not row or len(names) != len(self.sigs[row.export][1]):
                raise TableError(f"names {number}: not one name for each argument of a row")
            if any(w.partition(":")[2] not in ("", *HANDLES) for w in names):
                raise TableError(f"names {number}: an unknown kind")
        for row in self.rows.values():
            if row.state != "built":
                continue
            family, params, _ = self.sigs[row.export]
            for word in self.arg_names.get(row.number, [p.name for p in params]):
                name = word.partition(":")[0]
                if not self.arg_text(row, family, name):
                    raise TableError(f"row {row.number} {row.keyword}: no arg line says what {name} is")
        keywords = {r.keyword for r in self.rows.values()}
        for scope, name in self.arg_texts:
            if (scope != "*" and scope not in self.families and scope not in keywords
                    and not any(fnmatch.fnmatchcase(e, scope) for e in self.sigs)):
                raise TableError(f"arg {scope} {name}: no such keyword, export or family")
        for ends in self.sees:
            for end in ends[:2]:
                keyword, _, letters = end.partition(":")
                if not any(r.keyword == keyword and (not letters or r.letters == letters) for r in self.rows.values()):
                    raise TableError(f"see {end}: no such keyword (and letters)")
        for export, (_, _, result) in self.sigs.items():
            if result and result_entry(self, result)[1] == "-" and export not in self.returns:
                raise TableError(f"{export}: no return line says what its result means")
        for export in self.returns:
            if export not in self.sigs or not self.sigs[export][2]:
                raise TableError(f"return {export}: no value command of that name")
        for export, (function, args) in self.oracles.items():
            if export not in self.sigs:
                raise TableError(f"oracle {export}: no signature line")
            params = {p.name: p for p in self.sigs[export][1]}
            for arg in args:
                m = re.match(r"^\((\w+) (\w+) (\w+)\)$|^rad\((\w+)\)$|^(\w+)$", arg)
                names = [n for n in (m.groups() if m else []) if n]
                if not m or (arg != "0" and any(n not in params for n in names)):
                    raise TableError(f"oracle {export}: {arg} is not one of its arguments")

    def arg_text(self, row, family, name):
        """What an argument is: said for the keyword, the export, the export's sizes
        (a scope like Vec?_Add names Vec2_Add, Vec3_Add and Vec4_Add), the family or all."""
        sizes = re.sub(r"^Vec[234]_", "Vec?_", row.export)
        for scope in (row.keyword, row.export, sizes, family, "*"):
            if (scope, name) in self.arg_texts:
                return self.arg_texts[(scope, name)]
        return ""

    def built_exports(self):
        names = {row.export for row in self.rows.values() if row.state == "built"}
        return sorted(names | {n for n, (s, _) in self.loose.items() if s == "built"})


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
    lines += [f'  "{decorated}" = {symbol}' for decorated, symbol in sorted(table.plugin)]
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
               "ViewPort": 24, "Value": 4, "Vec2[]": 0, "Vec3[]": 0, "Vec4[]": 0, "Mat4[]": 0, "Float[]": 0, "Array": 0,
               "Mesh": 0}
# The checked build's names of the array kinds.
ARRAY_KINDS = {"Vec2[]": "Vec2Array", "Vec3[]": "Vec3Array", "Vec4[]": "Vec4Array", "Mat4[]": "Mat4Array",
               "Float[]": "FloatArray", "Array": "AnyArray"}
POOLS = {"Vec2": 0, "Vec3": 1, "Vec4": 2, "Plane": 2, "Mat4": 3, "Quat": 4, "Frustum": 5, "ViewPort": 6}
# The integers whose range the kind says (an Index's top is the value's own), and how a report says it.
RANGES = {"Row": (1, 4), "Column": (1, 4), "Index": (0, -1), "Element": (0, -1)}
ARRAY_STORE, MESH_STORE = 100, 101  # what a Delete releases into, for Array_Delete and Mesh_Delete
RANGE_WORDS = {"Row": "rows", "Column": "columns", "Index": "floats", "Element": "elements"}


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
             "// arguments it is given against what the command touches through them, then runs",
             "// it, or returns its result's \"nothing\".",
             '#include "frame/checked.h"']
    lines += [f'#include "{h}"' for h in headers]
    lines += ["", "using kv::checked::Argument;", "using kv::checked::Command;", "using kv::checked::Kind;", ""]
    for name in table.built_exports():
        _, params, result = table.sigs[name]
        positions = {p.name: i for i, p in enumerate(params)}
        arguments = []
        for p in params:
            kind = ARRAY_KINDS.get(p.kind, p.kind) if p.kind in HANDLES else "None"
            size = VALUE_BYTES.get(p.kind, 0)
            index = -1
            if p.extent.isdigit():
                size = int(p.extent)
            elif p.extent:  # the float number another argument holds; for an array, the array it must match
                size, index = 0, positions[p.extent]
            if p.kind == "Element":  # its range is the count of the array before it
                index = next(i for i, q in enumerate(params) if q.kind in ARRAYS)
            low, high = RANGES.get(p.kind, (0, -1))
            words = RANGE_WORDS.get(p.kind, "")
            fmin, fmax = 0, -1  # a float's range, none when the top is below the bottom
            if p.bounds and p.kind in INTEGERS:
                (low, high), words = (int(p.bounds[0]), int(p.bounds[1])), p.name
            elif p.bounds:
                fmin, fmax = p.bounds
            arguments.append(f'{{"{p.name}", Kind::{kind}, {size}, {index}, {low}, {high}, {str(p.written).lower()}, '
                             f'{str(p.optional).lower()}, "{words}", {float(fmin)!r}f, {float(fmax)!r}f, {str(p.direction).lower()}}}')
        deletes = (POOLS.get(params[0].kind, MESH_STORE if params[0].kind == "Mesh" else ARRAY_STORE)
                   if name.endswith("_Delete") else -1)
        keywords = keywords_of(table, name)
        home = keywords.split(" ")[0] if keywords.startswith("p") else name
        heading = keywords + ("" if home[1:] == name else f" ({name})") if home != name else f"{name} (no keyword)"
        arglist = f"{name}_arguments" if params else "nullptr"
        if params:
            lines.append(f"static const Argument {name}_arguments[] = {{{', '.join(arguments)}}};")
        lines.append(f'static const Command {name}_command = {{"{heading}", "{home}", {arglist}, {len(params)}, {deletes}}};')
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
        lines.append(f"  const std::uint32_t words[] = {{{', '.join(words or ['0'])}}};")
        lines.append(f"  if (!kv::checked::allowed({name}_command, words)) return {nothing_word(table, result)};")
        lines.append(f"  return std::uint32_t({name}({', '.join(passed)}));")
        lines.append("}")
        lines.append("")
    return "\n".join(lines)


def def_checked_text(table):
    lines = ["; Generated from commands.tab: the exports of the checked build, under the same names.",
             'LIBRARY "Kestrom_Vandu.dll"', "EXPORTS"]
    lines += [f'  "{decorated}" = {symbol}' for decorated, symbol in sorted(table.plugin)]
    for name in table.built_exports():
        lines.append(f"  {name} = kvc_{name}")
    return "\n".join(lines + [""])


# --- the reference --------------------------------------------------------------

VECTOR_LIKE = ["Vec2", "Vec3", "Vec4", "Quat", "Plane"]
SHARED = "shared"  # the family of keywords that reach a command explained under another type


def anchor(keyword):
    return keyword.lower()


def keyword_type(keyword):
    return re.match(r"^p([A-Za-z0-9]+)_", keyword).group(1)


def home_keyword(table, export):
    """The keyword whose entry explains an export: the one named after it."""
    reaching = [r for r in table.rows.values() if r.export == export]
    for r in reaching:
        if r.keyword[1:] == export or r.keyword[1:] + "Ex" == export:
            return r.keyword
    return reaching[0].keyword


def handle_words(p, own_type, shared):
    """The kind of a handle as the keyword's reader sees it: a Quat keyword on a
    command shared with Vec4 takes a Quat, a Vec4 keyword reading only x takes a Vec4."""
    if p.kind == "Value":
        return KIND_WORDS["Value"]
    if p.kind == "Mesh":
        return "a Mesh handle"
    if p.kind == "Array":
        return "an array handle, of " + (f"{p.extent}'s kind" if p.extent else "any kind")
    if p.kind in ARRAYS:
        return f"a {p.kind[:-2]} array handle"
    kind = p.kind
    if (own_type in VECTOR_LIKE and kind in VECTOR_LIKE and VALUE_BYTES[own_type] >= VALUE_BYTES[kind]
            and (p.extent or shared)):
        kind = own_type
    return f"a {kind} handle"


def kind_words(p, own_type, shared):
    text = handle_words(p, own_type, shared) if p.kind in HANDLES else KIND_WORDS[p.kind]
    if p.bounds:
        text += ", " + " to ".join(f"{b:g}" for b in p.bounds)
    if p.direction:
        text += ", a direction: finite and not (0, 0, 0)"
    if p.written:
        text += ", written"
    if p.optional:
        text += ", or 0 for none"
    return text


def result_entry(table, result):
    return table.results["Handle" if result in HANDLES else result]


def result_words(table, export, result):
    """What the result means, and the value that means "nothing" for it."""
    nothing, text, _ = result_entry(table, result)
    text = table.returns.get(export, text).replace("{kind}", result)
    return f"{text} (“nothing”: {str(nothing).replace('-', '−')})"


def nothing_word(table, result):
    """The result word of a call the checked build skips: the kind's "nothing"."""
    nothing = result_entry(table, result)[0] if result else 0
    return f"kv::bits_of({nothing}.0f)" if result and result_entry(table, result)[2] == "F" else f"std::uint32_t({nothing})"


def name_words(keyword):
    """A keyword as the filter searches it: the whole name, then the name from each
    of its words on (pVec3_MakeArray: vec3_makearray, makearray, array), so that a
    typed word matches at the start of a word of the name as in running text."""
    starts = [m.start() for m in re.finditer(r"(?<=^p)|(?<=_)|(?<=[a-z0-9])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])|(?=[LR]H$)",
                                             keyword)]
    return [keyword] + [keyword[s:] for s in starts if 0 < s < len(keyword)]


def filter_matches(search, query):
    """The page's filter: every word typed starts a word of the entry's search text
    (its name's words, its family's title, its summaries), as the page's script decides."""
    search, words = search.lower(), query.lower().split()
    def at_word_start(w):
        at = search.find(w)
        while at >= 0:
            if at == 0 or not re.match(r"[a-z0-9]", search[at - 1]):
                return True
            at = search.find(w, at + 1)
        return False
    return all(at_word_start(w) for w in words)


def reference(table):
    """The reference as data: types, their families, their keywords, each keyword's
    forms with their arguments; both the Markdown and the HTML are drawn from it."""
    by_keyword = OrderedDict()
    for row in table.rows.values():
        by_keyword.setdefault(row.keyword, []).append(row)
    types = []
    for t in TYPES:
        families = OrderedDict()
        for k, rows in by_keyword.items():
            if keyword_type(k) != t:
                continue
            export = rows[0].export
            shared = keyword_type(home_keyword(table, export)) != t
            family = SHARED if shared else table.sigs[export][0]
            families.setdefault(family, []).append(k)
        if SHARED in families:  # last: after the type's own commands
            families.move_to_end(SHARED)
        fams = []
        for family, keys in families.items():
            entries = []
            for k in keys:
                forms = []
                for row in by_keyword[k]:
                    fam, params, result = table.sigs[row.export]
                    # A renamed argument may name the kind it is read as: "v:Vec4".
                    renamed = [w.partition(":") for w in table.arg_names.get(row.number, [p.name for p in params])]
                    names = [n for n, _, _ in renamed]
                    home = home_keyword(table, row.export)
                    shared = keyword_type(home) != t
                    forms.append({
                        "row": row, "names": names, "result": result,
                        "home": home if home != k else None,
                        "args": [(n, kind_words(p, kind or t, shared), table.arg_text(row, fam, n))
                                 for p, (n, _, kind) in zip(params, renamed)],
                    })
                words = name_words(k) + [table.families[family]["title"]] + [form["row"].summary for form in forms]
                words += [table.families[table.sigs[form["row"].export][0]]["title"] for form in forms]
                see = [(b if a.partition(":")[0] == k else a, text) for a, b, text in table.sees
                       if k in (a.partition(":")[0], b.partition(":")[0]) and a.partition(":")[0] != b.partition(":")[0]]
                see += [("", text) for a, b, text in table.sees if a.partition(":")[0] == b.partition(":")[0] == k]
                entries.append({"keyword": k, "forms": forms, "search": " ".join(words).lower(), "see": see})
            f = table.families[family]
            fams.append({"name": family, "title": f["title"], "about": f["about"], "edges": f["edges"], "keywords": entries})
        types.append({"name": t, "families": fams})
    return types, len(by_keyword)


def form_text(form):
    row, names = form["row"], ", ".join(form["names"])
    if row.value:
        return f"{row.keyword}({names})"
    return f"{row.keyword} {names}".rstrip()


GENERATED = "{open} Generated by `make docs` from src/frame/commands.tab (tools/tablegen.py): edit the table, not this file. {close}"

READING = ("How to read an entry. Each keyword has one or more forms, one per argument list. A form "
           "written `pVec3_Add result, a, b` is a statement; a form written `pVec3_Dot(a, b)` gives a "
           "value, to use as a function: keep a float result in a float variable and a handle or a count "
           "in an integer one. Values (vectors, matrices, quaternions, planes, frustums, viewports) are "
           "named by handles: the number a `MakeNew` gives. Every argument marked *written* receives a "
           "result, and may be the same handle as any other argument. Angles are radians unless the "
           "argument says degrees; distances are in your world's units. Where several types share a "
           "command (a Quat or a Plane is read and set with the Vec4 commands), the command is explained "
           "once, under the keyword named after it, and the other keywords point there. The line in small "
           "print under each form (the DLL's export, the string-table row and the argument letters) is "
           "for plug-in and host developers. Each \"returns\" line ends with the value that means \"nothing\" for "
           "that result: what a call the checked build skips gives.")


def md_inline(text):
    return text.replace("{conventions}", "[the guide's Conventions](guide.md#conventions)")


def md_text(table, version):
    types, keyword_count = reference(table)
    out = [GENERATED.format(open="<!--", close="-->"), "# Kestrom_Vandu command reference", "",
           f"Version {version}. Generated from the command table: {len(table.rows)} rows, "
           f"{keyword_count} keywords, {len(table.built_exports())} commands.", "",
           md_inline(READING + " The conventions (row vectors, the turn order of Euler angles, handedness, radians "
                     "and degrees) are explained in {conventions}."), "", "## Index", ""]
    for t in types:
        keys = sorted(e["keyword"] for f in t["families"] for e in f["keywords"])
        out.append(f"- **{t['name']}**: " + ", ".join(f"[`{k}`](#{anchor(k)})" for k in keys))
    out.append("")
    for t in types:
        out += [f"## {t['name']}", ""]
        for f in t["families"]:
            out += [f"### {f['title']} ({t['name']})", "", md_inline(f["about"]), "", f"*At the edges:* {md_inline(f['edges'])}", ""]
            for e in f["keywords"]:
                k = e["keyword"]
                out += [f'<a id="{anchor(k)}"></a>', f"#### `{k}`", ""]
                for form in e["forms"]:
                    row = form["row"]
                    line = f"- **`{form_text(form)}`**"
                    if form["home"]:
                        line += f" — as [`{form['home']}`](#{anchor(form['home'])})"
                    out.append(line + (f": {row.summary}" if form["home"] and row.summary else
                                       f" — {row.summary}" if row.summary else ""))
                    for name, kind, text in form["args"]:
                        out.append(f"  - `{name}` ({kind}): {text}")
                    if form["result"]:
                        out.append(f"  - returns {result_words(table, row.export, form['result'])}")
                    out.append(f"  - <sub>export `{row.export}`, string {row.number}, letters `{row.letters}`</sub>")
                for other, text in e["see"]:
                    name = other.partition(":")[0]
                    out.append(f"- *See also* [`{name}`](#{anchor(name)}): {text}" if name else f"- *Which form:* {text}")
                out.append("")
    return "\n".join(out)


HTML_STYLE = """
body { font: 15px/1.45 system-ui, sans-serif; margin: 0; color: #1c1c1c; background: #fff; }
header { position: sticky; top: 0; background: #f4f6f8; border-bottom: 1px solid #ccd; padding: .6em 1.2em; z-index: 1; }
header h1 { font-size: 1.3em; margin: 0 0 .2em; }
header p { margin: 0 0 .4em; color: #555; font-size: .9em; }
#q { font-size: 1em; padding: .3em .5em; width: min(28em, 90%); }
#count { margin-left: .8em; color: #555; font-size: .9em; }
.page { display: flex; align-items: flex-start; }
nav { width: 17em; flex: none; font-size: .85em; padding: .6em 1em; border-right: 1px solid #dde;
      position: sticky; top: 7.2em; max-height: calc(100vh - 8em); overflow: auto; }
nav h2 { font-size: 1.05em; margin: .8em 0 .2em; }
nav ul { list-style: none; margin: 0; padding: 0; }
main { padding: 0 1.6em 4em; max-width: 62em; min-width: 0; }
/* A link's target below the sticky header, whose text takes three lines in a window narrower than about 1300 pixels. */
[id] { scroll-margin-top: 9em; }
@media (max-width: 1300px) { [id] { scroll-margin-top: 10.5em; } }
main h2 { border-bottom: 2px solid #345; margin-top: 1.6em; }
main h3 { margin: 1.4em 0 .3em; color: #234; }
.kw { border-top: 1px solid #e4e6ea; padding: .3em 0; }
.kw h4 { font: 600 1.05em ui-monospace, monospace; margin: .4em 0; }
.form > code { font-weight: 600; }
ul.forms { padding-left: 1.2em; margin: .2em 0; }
ul.args { padding-left: 1.4em; margin: .2em 0 .5em; }
.dev { font-size: .78em; color: #777; }
code { font-family: ui-monospace, monospace; background: #f2f2f4; padding: 0 .2em; border-radius: 3px;
       overflow-wrap: anywhere; }
pre { overflow-x: auto; }
.edges { color: #333; }
[hidden] { display: none !important; }
/* A narrow window: the index above the text, in a box of its own, and the header scrolling away. */
@media (max-width: 760px) {
  header { position: static; }
  [id] { scroll-margin-top: .5em; }
  .page { display: block; }
  nav { position: static; width: auto; max-height: 40vh; border-right: none; border-bottom: 1px solid #dde; }
  main { padding: 0 1em 3em; }
}
"""

HTML_SCRIPT = """
(function () {
  var box = document.getElementById('q'), count = document.getElementById('count');
  function hideEmpty(selector, child) {
    document.querySelectorAll(selector).forEach(function (el) {
      el.hidden = !Array.prototype.some.call(el.querySelectorAll(child), function (c) { return !c.hidden; });
    });
  }
  // A word typed matches where a word of the text starts: "ray" finds pRay_HitSphere
  // and "rays", not "array" (the names' inner words are listed on their own).
  function startsWord(s, w) {
    for (var at = s.indexOf(w); at >= 0; at = s.indexOf(w, at + 1)) {
      if (at === 0 || !/[a-z0-9]/.test(s.charAt(at - 1))) return true;
    }
    return false;
  }
  function apply(text) {
    var q = text.trim().toLowerCase(), words = q.split(/\s+/), shown = 0, told = {};
    document.querySelectorAll('[data-s]').forEach(function (el) {
      var s = el.getAttribute('data-s');
      el.hidden = q !== '' && !words.every(function (w) { return startsWord(s, w); });
      if (!el.hidden && el.classList.contains('kw')) shown++;
    });
    hideEmpty('section.family', '.kw');
    hideEmpty('section.type', 'section.family');
    hideEmpty('nav .group', 'li');
    // Filtered, a family's paragraphs show once, in its first section left.
    document.querySelectorAll('section.family').forEach(function (el) {
      var f = el.getAttribute('data-f'), again = q !== '' && !el.hidden && told[f];
      el.querySelectorAll('.about, .edges').forEach(function (p) { p.hidden = again; });
      if (!el.hidden) told[f] = true;
    });
    count.textContent = q === '' ? '' : shown + (shown === 1 ? ' keyword' : ' keywords');
  }
  function fromAddress() {
    var m = /^#q=(.*)$/.exec(location.hash);
    if (m) { box.value = decodeURIComponent(m[1]); apply(box.value); }
  }
  box.addEventListener('input', function () {
    apply(box.value);
    try { history.replaceState(null, '', box.value ? '#q=' + encodeURIComponent(box.value) : location.pathname); } catch (e) {}
  });
  window.addEventListener('hashchange', fromAddress);
  fromAddress();
})();
"""


def html_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def html_inline(text, keywords):
    """Escaped text with `code` marked up and every keyword a link to its entry."""
    parts = re.split(r"(`[^`]*`)", text)
    out = []
    for part in parts:
        code = part.startswith("`") and part.endswith("`") and len(part) > 1
        body = html_escape(part[1:-1] if code else part)
        body = re.sub(r"\bp[A-Z][A-Za-z0-9]*_[A-Za-z0-9]+\b",
                      lambda m: f'<a href="#{anchor(m.group(0))}">{m.group(0)}</a>' if m.group(0) in keywords else m.group(0), body)
        body = body.replace("*written*", "<em>written</em>").replace("*At the edges:*", "<em>At the edges:</em>")
        body = body.replace("{conventions}", '<a href="guide.html#conventions">the guide\'s Conventions</a>')
        out.append(f"<code>{body}</code>" if code else body)
    return "".join(out)


def html_text(table, version):
    types, keyword_count = reference(table)
    keywords = {r.keyword for r in table.rows.values()}
    # The note after the doctype: a browser reads the doctype first.
    h = ["<!DOCTYPE html>", GENERATED.format(open="<!--", close="-->"), '<html lang="en">', "<head>", '<meta charset="utf-8">',
         '<meta name="viewport" content="width=device-width, initial-scale=1">',
         "<title>Kestrom_Vandu command reference</title>", f"<style>{HTML_STYLE}</style>", "</head>", "<body>",
         "<header>", "<h1>Kestrom_Vandu command reference</h1>",
         f"<p>Version {html_escape(version)}: {len(table.rows)} rows, {keyword_count} keywords, "
         f"{len(table.built_exports())} commands. Type to filter: a keyword stays when every word you type starts "
         f"a word of its name, its family's title or its summary (<code>pick</code>, <code>look at</code>, <code>ray</code>, "
         f"<code>makearr</code>); the address keeps "
         f"the filter (<code>commands.html#q=slerp</code>). The conventions: the guide's "
         f'<a href="guide.html#conventions">Conventions</a>.</p>',
         '<input id="q" type="search" placeholder="Filter, e.g. slerp or pick" autocomplete="off" aria-label="Filter keywords">'
         '<span id="count"></span>', "</header>", '<div class="page">', '<nav aria-label="Index">']
    for t in types:
        keys = sorted(e["keyword"] for f in t["families"] for e in f["keywords"])
        h.append(f'<div class="group"><h2><a href="#type-{t["name"].lower()}">{t["name"]}</a></h2><ul>')
        search = {e["keyword"]: e["search"] for f in t["families"] for e in f["keywords"]}
        h += [f'<li data-k="{anchor(k)}" data-s="{html_escape(search[k])}"><a href="#{anchor(k)}">{k}</a></li>' for k in keys]
        h.append("</ul></div>")
    h += ["</nav>", "<main>", f"<p>{html_inline(READING, keywords)}</p>"]
    for t in types:
        h.append(f'<section class="type" id="type-{t["name"].lower()}"><h2>{t["name"]}</h2>')
        for f in t["families"]:
            h.append(f'<section class="family" data-f="{f["name"]}"><h3>{html_escape(f["title"])} ({t["name"]})</h3>')
            h.append(f"<p class=\"about\">{html_inline(f['about'], keywords)}</p>")
            h.append(f'<p class="edges"><em>At the edges:</em> {html_inline(f["edges"], keywords)}</p>')
            for e in f["keywords"]:
                k = e["keyword"]
                h.append(f'<article class="kw" id="{anchor(k)}" data-k="{anchor(k)}" data-s="{html_escape(e["search"])}">'
                         f'<h4>{k}</h4><ul class="forms">')
                for form in e["forms"]:
                    row = form["row"]
                    text = f'<li class="form"><code>{html_escape(form_text(form))}</code>'
                    if form["home"]:
                        text += f' — as <a href="#{anchor(form["home"])}">{form["home"]}</a>'
                        text += f": {html_inline(row.summary, keywords)}" if row.summary else ""
                    elif row.summary:
                        text += f" — {html_inline(row.summary, keywords)}"
                    h.append(text + '<ul class="args">')
                    for name, kind, desc in form["args"]:
                        h.append(f"<li><code>{name}</code> ({html_escape(kind)}): {html_inline(desc, keywords)}</li>")
                    if form["result"]:
                        h.append(f"<li>returns {html_inline(result_words(table, row.export, form['result']), keywords)}</li>")
                    h.append(f'<li class="dev">export <code>{row.export}</code>, string {row.number}, '
                             f"letters <code>{row.letters}</code></li></ul></li>")
                h.append("</ul>")
                for other, text in e["see"]:
                    name = other.partition(":")[0]
                    lead = f'<em>See also</em> <a href="#{anchor(name)}">{name}</a>' if name else "<em>Which form:</em>"
                    h.append(f'<p class="see">{lead}: {html_inline(text, keywords)}</p>')
                h.append("</article>")
            h.append("</section>")
        h.append("</section>")
    h += ["</main>", "</div>", f"<script>{HTML_SCRIPT}</script>", "</body>", "</html>", ""]
    return "\n".join(h)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("table")
    ap.add_argument("--rc")
    ap.add_argument("--def", dest="def_")
    ap.add_argument("--md")
    ap.add_argument("--html")
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
    if a.html:
        write_if_changed(a.html, html_text(table, a.version))
    if a.calls:
        write_if_changed(a.calls, calls_text(table, [h for h in a.headers.split(",") if h]))
    if a.checked:
        write_if_changed(a.checked, checked_text(table, [h for h in a.headers.split(",") if h]))
    if a.def_checked:
        write_if_changed(a.def_checked, def_checked_text(table))


if __name__ == "__main__":
    main()
