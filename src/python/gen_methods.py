#!/usr/bin/env python3
"""Generate the public header, routine table, pending bodies, Python wrappers and .pyi stub
from the method table in methods/*.def (format: methods/README.md).

Usage: gen_methods.py OUTDIR [--check]
"""
from __future__ import annotations

import os
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent

SCALARS = {"int", "double", "float", "str", "bytes", "object"}
ARRAYS = {"int", "double"}
CALLBACK_SLOTS = {
    # slot: (C type name, Python-visible description)
    "coord": "CoordCallback",
    "pie": "PieCallback",
    "window": "WindowCallback",
    "surface": "SurfaceCallback",
    "surfacecp": "SurfaceCpCallback",
    "widget": "WidgetCallback",
    "widget2": "Widget2Callback",
    "widget3": "Widget3Callback",
    "widgetobj": "WidgetObjCallback",
}
KINDS = {"bufresult", "legini", "legbuf", "ldimg", "setvar", "quick", "plain"}
LEVELS = {"0..0": (0, 0), "1..1": (1, 1), "1..3": (1, 3), "2..3": (2, 3), "3..3": (3, 3),
          "0..3": (0, 3), "2..2": (2, 2), "param": (1, 3), "none": (0, 3)}


class DefError(Exception):
    pass


@dataclass
class Param:
    name: str
    base: str                 # int double float str bytes callable legbuf outbuf
    direction: str = "in"     # in out inout
    dims: list = field(default_factory=list)   # length expressions (strings), [] for scalars
    writeback: str | None = None               # for out/inout arrays
    strsize: int = 256                         # out str buffer size
    slot: str | None = None                    # callback slot
    pad: int = 0                               # extra zero-filled elements (work space)

    @property
    def is_array(self):
        return bool(self.dims) and self.base in ARRAYS

    @property
    def is_outbuf(self):
        return self.base == "outbuf"

    @property
    def py_passed(self):
        if self.base in ("outbuf",):
            return False
        if self.is_array:
            return True
        return self.direction in ("in", "inout")

    @property
    def returned(self):
        return (not self.is_array) and self.direction in ("out", "inout") or self.is_outbuf


@dataclass
class Routine:
    name: str
    params: list
    result: str | None
    level: str
    flags: dict
    file: str
    line: int

    @property
    def pending(self):
        return "pending" in self.flags

    @property
    def kind(self):
        return self.flags.get("kind", "plain")


PARAM_RE = re.compile(r"^(?:(out|inout)\s+)?([a-z]+)(?:\(([a-z0-9]+)\))?(?:\[([^\]]*)\])?\s+([A-Za-z_][A-Za-z0-9_]*)$")
LINE_RE = re.compile(r"^([a-z][a-z0-9_]*)\s*\((.*?)\)\s*(?:->\s*([a-z]+))?\s*@(\S+)\s*(.*)$")


def parse_param(text, where):
    m = PARAM_RE.match(text.strip())
    if not m:
        raise DefError(f"{where}: cannot read parameter '{text.strip()}'")
    direction, base, slot, dims, name = m.groups()
    p = Param(name=name, base=base, direction=direction or "in")
    if base == "callable":
        if slot not in CALLBACK_SLOTS:
            raise DefError(f"{where}: unknown callback slot '{slot}' for '{name}'")
        p.slot = slot
        return p
    if slot:
        raise DefError(f"{where}: only callables take a (slot): '{text.strip()}'")
    if base not in SCALARS | {"legbuf", "outbuf", "seq"}:
        raise DefError(f"{where}: unknown converter '{base}' for '{name}'")
    if base == "seq":
        return p
    if dims is not None:
        if base == "str" and p.direction in ("out", "inout"):
            p.strsize = int(dims)
            return p
        if base == "outbuf":
            d = dims.strip()
            if ":" in d:
                d, wb = d.split(":", 1)
                if wb.strip() != "return":
                    raise DefError(f"{where}: outbuf write-back must be ':return'")
                p.writeback = "return"
            p.dims = [d.strip()]
            return p
        if base == "bytes":
            p.dims = [dims.strip()]
            return p
        if base not in ARRAYS:
            raise DefError(f"{where}: '{base}' cannot be an array ('{name}')")
        wb = None
        if ":" in dims:
            dims, wb = dims.split(":", 1)
            if p.direction == "in":
                raise DefError(f"{where}: write-back count on input array '{name}'")
        p.dims = [d.strip() for d in dims.split(",")]
        if len(p.dims) == 1 and "+" in p.dims[0]:
            d, pad = p.dims[0].split("+", 1)
            if not pad.strip().isdigit():
                raise DefError(f"{where}: padding of '{name}' must be a number")
            p.dims, p.pad = [d.strip()], int(pad)
        if not 1 <= len(p.dims) <= 3 or any(not d for d in p.dims):
            raise DefError(f"{where}: bad dimensions for '{name}'")
        p.writeback = wb.strip() if wb else None
    elif p.direction == "out" and base in ("bytes",):
        raise DefError(f"{where}: out bytes need outbuf[len]")
    return p


def split_params(text):
    parts, depth, cur = [], 0, ""
    for ch in text:
        if ch == "[":
            depth += 1
        elif ch == "]":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append(cur)
            cur = ""
        else:
            cur += ch
    parts.append(cur)
    return parts


def read_defs(folder: Path):
    routines = []
    for path in sorted(folder.glob("*.def")):
        text = path.read_text()
        logical = []
        for no, raw in enumerate(text.splitlines(), 1):
            line = raw.split("#", 1)[0].rstrip()
            if not line.strip():
                continue
            if raw[:1].isspace() and logical:
                logical[-1][1] += " " + line.strip()
            else:
                logical.append([no, line.strip()])
        for no, line in logical:
            where = f"{path.name}:{no}"
            m = LINE_RE.match(line)
            if not m:
                raise DefError(f"{where}: cannot read line '{line}'")
            name, ptext, result, level, flagtext = m.groups()
            params = [parse_param(t, where) for t in split_params(ptext)] if ptext.strip() else []
            if result not in (None, "int", "double", "float", "str"):
                raise DefError(f"{where}: unknown result type '{result}'")
            if level not in LEVELS:
                raise DefError(f"{where}: unknown level '{level}'")
            flags = {}
            for f in flagtext.split():
                k, _, v = f.partition("=")
                if k not in ("nogil", "pending", "alias", "post", "kind"):
                    raise DefError(f"{where}: unknown flag '{f}'")
                flags[k] = v or True
            if flags.get("kind", "plain") not in KINDS:
                raise DefError(f"{where}: unknown kind '{flags['kind']}'")
            routines.append(Routine(name, params, result, level, flags, path.name, no))
    return routines


def length_terms(expr):
    return [t.strip().lstrip("?") for t in expr.split("*")]


def zero_ok_terms(expr):
    return [t.strip()[1:] for t in expr.split("*") if t.strip().startswith("?")]


def validate(routines):
    seen = {}
    pynames = {}
    for r in routines:
        where = f"{r.file}:{r.line}"
        if r.name in seen:
            raise DefError(f"{where}: duplicate routine '{r.name}' (first at {seen[r.name]})")
        seen[r.name] = where
        for pn in [r.name] + ([r.flags["alias"]] if "alias" in r.flags else []):
            if pn in pynames:
                raise DefError(f"{where}: duplicate Python name '{pn}'")
            pynames[pn] = where
        names = [p.name for p in r.params]
        if len(set(names)) != len(names):
            raise DefError(f"{where}: duplicate parameter names in '{r.name}'")
        byname = {p.name: p for p in r.params}
        for p in r.params:
            if p.writeback == "return" and p.is_outbuf and r.result != "int":
                raise DefError(f"{where}: outbuf[...:return] needs '-> int'")
            for d in p.dims:
                for t in length_terms(d):
                    if t.isdigit() or t == "$splcnt":
                        continue
                    q = byname.get(t)
                    if q is None:
                        raise DefError(f"{where}: length '{t}' of '{p.name}' points nowhere")
                    if q.base != "int" or q.dims or q.direction == "out":
                        raise DefError(f"{where}: length '{t}' of '{p.name}' is not an int input")
            if p.writeback and p.writeback != "return":
                q = byname.get(p.writeback)
                if q is None or q.base != "int" or q.direction != "out" or q.dims:
                    raise DefError(f"{where}: write-back count '{p.writeback}' of '{p.name}' "
                                   "must name an out int")
            if p.writeback == "return" and r.result != "int":
                raise DefError(f"{where}: write-back 'return' needs '-> int'")
            if p.base == "callable" and r.kind != "plain":
                raise DefError(f"{where}: callables only in plain wrappers")
            if p.base == "seq" and r.kind != "quick":
                raise DefError(f"{where}: seq parameters only in kind=quick")
            if p.base == "legbuf" and r.kind not in ("legini", "legbuf"):
                raise DefError(f"{where}: legbuf needs kind=legini or kind=legbuf")
        if r.kind == "bufresult":
            if not (len(r.params) == 2 and r.params[0].base == "outbuf" and r.params[1].base == "int"
                    and r.result == "int"):
                raise DefError(f"{where}: kind=bufresult needs (outbuf buf, int n) -> int")
    return routines


# ----------------------------------------------------------------------------------------------
# C++ declarations

def cxx_param(p: Param):
    if p.base == "callable":
        return f"{CALLBACK_SLOTS[p.slot]} {p.name}"
    if p.base == "legbuf":
        return f"char* {p.name}"
    if p.base == "outbuf":
        return f"char* {p.name}"
    if p.is_array:
        ct = "double" if p.base == "double" else "int"
        const = "const " if p.direction == "in" else ""
        return f"{const}{ct}* {p.name}"
    if p.base == "object":
        return f"void* {p.name}"
    if p.base in ("str", "bytes"):
        if p.direction in ("out", "inout"):
            return f"char* {p.name}"
        return f"const char* {p.name}"
    ct = {"int": "int", "double": "double", "float": "float"}[p.base]
    if p.direction in ("out", "inout"):
        return f"{ct}* {p.name}"
    return f"{ct} {p.name}"


def cxx_result(r: Routine):
    return {None: "void", "int": "int", "double": "double", "float": "double",
            "str": "const char*"}[r.result]


def in_library(r: Routine):
    """Quick plots and setvar live in the binding, not in the library's public header."""
    return r.kind not in ("quick", "setvar")


def cxx_decl(r: Routine):
    return f"{cxx_result(r)} {r.name}({', '.join(cxx_param(p) for p in r.params)})"


def gen_api_header(routines):
    out = ["// Generated by gen_methods.py from src/python/methods/*.def -- do not edit.",
           "// The public routines of tavero: plain functions, callable from C++ without Python.",
           "#pragma once", "#include \"core/callbacks.h\"", "", "namespace tavero {", ""]
    cur = None
    for r in routines:
        if not in_library(r):
            continue
        if r.file != cur:
            cur = r.file
            out.append(f"// --- {cur}")
        out.append(cxx_decl(r) + ";")
    out += ["", "}  // namespace tavero", ""]
    return "\n".join(out)


def gen_routines(routines):
    h = ["// Generated by gen_methods.py -- do not edit.", "#pragma once", "#include <cstdint>", "",
         "namespace tavero {", "",
         "// Routine ids; kRoutines[id] gives the name and entry level of each.",
         "enum class R : uint16_t {"]
    for r in routines:
        h.append(f"  {r.name},")
    h += ["  kCount", "};", "",
          "enum class EntryKind : uint8_t { kRanged, kParam, kNone };",
          "struct RoutineInfo {", "  const char* name;", "  int8_t lo, hi;", "  EntryKind kind;",
          "  bool pending;", "};",
          f"inline constexpr int kRoutineCount = {len(routines)};",
          "extern const RoutineInfo kRoutines[kRoutineCount];", "",
          "}  // namespace tavero", ""]
    c = ["// Generated by gen_methods.py -- do not edit.", "#include \"routines.h\"", "",
         "namespace tavero {", "const RoutineInfo kRoutines[kRoutineCount] = {"]
    for r in routines:
        lo, hi = LEVELS[r.level]
        kind = {"param": "kParam", "none": "kNone"}.get(r.level, "kRanged")
        c.append(f"  {{\"{r.name}\", {lo}, {hi}, EntryKind::{kind}, "
                 f"{'true' if r.pending else 'false'}}},")
    c += ["};", "}  // namespace tavero", ""]
    return "\n".join(h), "\n".join(c)


def gen_pending(routines):
    out = ["// Generated by gen_methods.py -- do not edit.",
           "// Bodies of the routines whose subsystem is not built yet: entry check only.",
           "#include \"tavero_api.h\"", "#include \"core/entry.h\"", "", "namespace tavero {", ""]
    for r in routines:
        if not r.pending or not in_library(r):
            continue
        body = [f"  (void)enter(R::{r.name});"]
        for p in r.params:
            if p.base == "str" and p.direction == "out":
                body.append(f"  if ({p.name}) {p.name}[0] = 0;")
        unused = [p.name for p in r.params]
        if unused:
            body.insert(0, "  " + " ".join(f"(void){n};" for n in unused))
        if r.result == "str":
            body.append("  return \"\";")
        elif r.result:
            body.append("  return 0;")
        out.append(cxx_decl(r) + " {")
        out += body
        out.append("}")
    out += ["", "}  // namespace tavero", ""]
    return "\n".join(out)


# ----------------------------------------------------------------------------------------------
# Python wrappers

PYFMT = {"int": "i", "double": "d", "float": "f", "str": "s", "bytes": "s#"}
BUILD = {"int": "i", "double": "d", "float": "f", "str": "s"}


def c_len(expr):
    terms = []
    for t in length_terms(expr):
        if t == "$splcnt":
            terms.append("(Py_ssize_t)tavero_py::spline_count()")
        elif t.isdigit():
            terms.append(f"(Py_ssize_t){t}")
        else:
            terms.append(f"(Py_ssize_t)a_{t}")
    return " * ".join(terms)


def count_params(r: Routine):
    counts, zero_ok = [], set()
    for p in r.params:
        for d in p.dims if p.is_array else []:
            zero_ok.update(zero_ok_terms(d))
            for t in length_terms(d):
                if not t.isdigit() and t != "$splcnt" and t not in counts:
                    counts.append(t)
    return [c for c in counts if c not in zero_ok]


def py_results(r: Routine):
    res = []
    for p in r.params:
        if p.returned:
            res.append(p)
    return res


def result_format(r: Routine):
    fmt = ""
    for p in py_results(r):
        fmt += "y#" if p.is_outbuf else BUILD[p.base]
    if r.result:
        fmt += BUILD[r.result]
    return fmt


def gen_wrapper(r: Routine):
    k = r.kind
    L = []
    w = L.append
    w(f"static PyObject* w_{r.name}(PyObject*, PyObject* args) {{")
    if k == "quick":
        n_obj = len(r.params)
        decl = ", ".join(f"*o{i} = nullptr" for i in range(n_obj))
        w(f"  PyObject {decl};")
        fmt = "O" * n_obj
        if any(p.name.startswith("opt_") for p in r.params):
            req = sum(1 for p in r.params if not p.name.startswith("opt_"))
            fmt = "O" * req + "|" + "O" * (n_obj - req)
        refs = ", ".join(f"&o{i}" for i in range(n_obj))
        w(f"  if (!PyArg_ParseTuple(args, \"{fmt}\", {refs})) return nullptr;")
        if r.pending:
            w("  " + " ".join(f"(void)o{i};" for i in range(n_obj)))
            w("  Py_RETURN_NONE;")
            w("}")
            return "\n".join(L)
        w(f"  return tavero_py::quick_{r.name}({', '.join(f'o{i}' for i in range(n_obj))});")
        w("}")
        return "\n".join(L)
    if k == "setvar":
        w("  return tavero_py::setvar(args);")
        w("}")
        return "\n".join(L)
    if k == "ldimg":
        w("  const char* a_file; int a_nc;")
        w("  if (!PyArg_ParseTuple(args, \"si\", &a_file, &a_nc)) return nullptr;")
        w("  return tavero_py::ldimg_result(a_file, a_nc);")
        w("}")
        return "\n".join(L)
    if k == "bufresult":
        w("  int a_n;")
        w("  if (!PyArg_ParseTuple(args, \"i\", &a_n)) return nullptr;")
        w("  if (a_n < 0) return Py_BuildValue(\"y#i\", \"\", (Py_ssize_t)0, 0);")
        w("  if (a_n == 0) {")
        w("    int need;")
        w(f"    Py_BEGIN_ALLOW_THREADS need = tavero::{r.name}(nullptr, 0); Py_END_ALLOW_THREADS")
        w("    return Py_BuildValue(\"y#i\", \"\", (Py_ssize_t)0, need);")
        w("  }")
        w("  char* buf = static_cast<char*>(PyMem_RawCalloc((size_t)a_n, 1));")
        w(f"  if (!buf) return PyErr_Format(PyExc_MemoryError, \"out of memory in {r.name}\");")
        w("  int got;")
        w(f"  Py_BEGIN_ALLOW_THREADS got = tavero::{r.name}(buf, a_n); Py_END_ALLOW_THREADS")
        w("  if (got < 0) got = 0;")
        w("  if (got > a_n) got = a_n;")
        w("  PyObject* res = Py_BuildValue(\"y#i\", buf, (Py_ssize_t)got, got);")
        w("  PyMem_RawFree(buf);")
        w("  return res;")
        w("}")
        return "\n".join(L)

    # plain, legini, legbuf
    fmt = ""
    refs = []
    for p in r.params:
        if p.base == "callable":
            w(f"  PyObject* o_{p.name};")
            fmt += "O"
            refs.append(f"&o_{p.name}")
        elif p.base == "legbuf":
            w(f"  const char* s_{p.name};")
            fmt += "s"
            refs.append(f"&s_{p.name}")
        elif p.is_array:
            w(f"  PyObject* o_{p.name};")
            fmt += "O"
            refs.append(f"&o_{p.name}")
        elif p.is_outbuf:
            pass
        elif p.base == "str" and p.direction == "out":
            w(f"  char a_{p.name}[{p.strsize + 1}] = {{0}};")
        elif p.base == "str" and p.direction == "inout":
            w(f"  char a_{p.name}[{p.strsize + 1}] = {{0}};")
            w(f"  const char* s_{p.name} = nullptr;")
            fmt += "s"
            refs.append(f"&s_{p.name}")
        elif p.base == "object":
            w(f"  PyObject* a_{p.name} = nullptr;")
            fmt += "O"
            refs.append(f"&a_{p.name}")
        elif p.base == "bytes":
            w(f"  const char* a_{p.name}; Py_ssize_t l_{p.name};")
            fmt += "s#"
            refs += [f"&a_{p.name}", f"&l_{p.name}"]
        else:
            ct = {"int": "int", "double": "double", "float": "float", "str": "const char*"}[p.base]
            init = " = 0" if p.base != "str" else " = nullptr"
            w(f"  {ct} a_{p.name}{init};")
            if p.direction in ("in", "inout"):
                fmt += PYFMT[p.base]
                refs.append(f"&a_{p.name}")
    refs_s = (", " + ", ".join(refs)) if refs else ""
    w(f"  if (!PyArg_ParseTuple(args, \"{fmt}\"{refs_s})) return nullptr;")
    for p in r.params:
        if p.base == "str" and p.direction == "inout":
            w(f"  PyOS_snprintf(a_{p.name}, sizeof a_{p.name}, \"%s\", s_{p.name});")
        if p.base == "bytes" and p.dims:
            w(f"  if ({c_len(p.dims[0])} > l_{p.name}) {{")
            w("    PyErr_SetString(PyExc_MemoryError, \"out of range\");")
            w("    return nullptr;")
            w("  }")
    for p in r.params:
        if p.base == "callable":
            w(f"  if (!PyCallable_Check(o_{p.name})) {{")
            w("    PyErr_SetString(PyExc_TypeError, \"parameter must be callable\");")
            w("    return nullptr;")
            w("  }")
    counts = count_params(r)
    results = py_results(r)
    rfmt = result_format(r)
    res_t = cxx_result(r)
    if r.result:
        zero = "nullptr" if r.result == "str" else "0"
        w(f"  {res_t} ret = {zero};")
    # count rule
    if counts:
        cond = " || ".join(f"a_{c} < 1" for c in counts)
        w(f"  if ({cond}) {{")
        w("    " + build_return(r, results, rfmt, skipped=True))
        w("  }")
    # conversions
    for p in r.params:
        if p.is_outbuf:
            w(f"  tavero_py::ByteBuffer b_{p.name};")
            w(f"  if (!b_{p.name}.alloc({c_len(p.dims[0])})) return nullptr;")
    for p in r.params:
        if p.is_array:
            cls = "DoubleArray" if p.base == "double" else "IntArray"
            w(f"  tavero_py::{cls} v_{p.name};")
            writable = "true" if p.direction != "in" else "false"
            if len(p.dims) == 1:
                w(f"  if (!v_{p.name}.convert(o_{p.name}, {c_len(p.dims[0])}, {writable}, "
                  f"{p.pad})) return nullptr;")
            elif len(p.dims) == 2:
                w(f"  if (!v_{p.name}.convert_matrix(o_{p.name}, {c_len(p.dims[0])}, "
                  f"{c_len(p.dims[1])})) return nullptr;")
            else:
                w(f"  if (!v_{p.name}.convert_cube(o_{p.name}, {c_len(p.dims[0])}, "
                  f"{c_len(p.dims[1])}, {c_len(p.dims[2])})) return nullptr;")
    # callbacks and binding buffers
    for p in r.params:
        if p.base == "callable":
            if p.slot.startswith("widget"):
                ids = [q.name for q in r.params if q.base == "int" and not q.dims]
                objs = [q.name for q in r.params if q.base == "object"]
                idarg = f"a_{ids[0]}" if ids else "0"
                objarg = f"a_{objs[0]}" if objs else "nullptr"
                extra = f", {objarg}" if p.slot == "widgetobj" else ""
                w(f"  auto t_{p.name} = tavero_py::register_callback_{p.slot}({idarg}, "
                  f"o_{p.name}{extra});")
                w(f"  if (!t_{p.name}) return nullptr;")
            else:
                w(f"  auto t_{p.name} = tavero_py::register_callback_{p.slot}(o_{p.name});")
    if r.kind == "legini":
        lp = r.params
        w(f"  char* lb = tavero_py::legend_buffer_new(a_{lp[1].name}, a_{lp[2].name});")
        w("  if (!lb) return PyErr_NoMemory();")
    if r.kind == "legbuf":
        w("  char* lb = tavero_py::legend_buffer();")
    # call
    call_args = []
    for p in r.params:
        if p.base == "callable":
            call_args.append(f"t_{p.name}")
        elif p.base == "legbuf":
            call_args.append("lb")
        elif p.is_outbuf:
            call_args.append(f"b_{p.name}.data()")
        elif p.is_array:
            call_args.append(f"v_{p.name}.data()")
        elif p.base == "object":
            call_args.append(f"static_cast<void*>(a_{p.name})")
        elif p.direction in ("out", "inout") and p.base != "str":
            call_args.append(f"&a_{p.name}")
        else:
            call_args.append(f"a_{p.name}")
    call = f"tavero::{r.name}({', '.join(call_args)})"
    if r.result:
        call = f"ret = {call}"
    if "nogil" in r.flags:
        w(f"  Py_BEGIN_ALLOW_THREADS {call}; Py_END_ALLOW_THREADS")
    else:
        w(f"  {call};")
    if "post" in r.flags:
        post_args = ", ".join(call_args)
        w(f"  tavero_py::{r.flags['post']}({post_args});")
    # write-back
    for p in r.params:
        if p.is_array and p.direction != "in":
            if p.writeback == "return":
                n = "(Py_ssize_t)ret"
            elif p.writeback:
                n = f"(Py_ssize_t)a_{p.writeback}"
            else:
                n = " * ".join(c_len(d) for d in p.dims)
            w(f"  v_{p.name}.write_back(o_{p.name}, {n});")
    w("  " + build_return(r, results, rfmt, skipped=False))
    w("}")
    return "\n".join(L)


def build_return(r, results, rfmt, skipped):
    if not rfmt:
        return "Py_RETURN_NONE;"
    vals = []
    for p in results:
        if p.is_outbuf:
            if skipped:
                vals += ["\"\"", "(Py_ssize_t)0"]
            elif p.writeback == "return":
                vals += [f"b_{p.name}.data()",
                         f"(Py_ssize_t)(ret < 0 ? 0 : ret > b_{p.name}.size() ? b_{p.name}.size() : ret)"]
            else:
                vals += [f"b_{p.name}.data()", f"b_{p.name}.size()"]
        elif p.base == "str":
            vals.append(f"a_{p.name}")
        else:
            vals.append(f"a_{p.name}")
    if r.result:
        if r.result == "str":
            vals.append("ret ? ret : \"\"")
        else:
            vals.append("ret")
    return f"return Py_BuildValue(\"{rfmt}\", {', '.join(vals)});"


def gen_wrappers(routines):
    out = ["// Generated by gen_methods.py from src/python/methods/*.def -- do not edit.",
           "#define PY_SSIZE_T_CLEAN", "#include <Python.h>", "#include \"tavero_api.h\"",
           "#include \"python/convert.h\"", "#include \"python/binding_state.h\"", "",
           "namespace {", ""]
    for r in routines:
        out.append(gen_wrapper(r))
        out.append("")
    out.append("PyMethodDef kMethods[] = {")
    for r in routines:
        out.append(f"  {{\"{r.name}\", w_{r.name}, METH_VARARGS, nullptr}},")
        if "alias" in r.flags:
            out.append(f"  {{\"{r.flags['alias']}\", w_{r.name}, METH_VARARGS, nullptr}},")
    out.append("  {nullptr, nullptr, 0, nullptr}};")
    out.append("")
    out.append("PyModuleDef kModule = {PyModuleDef_HEAD_INIT, \"tavero\", nullptr, -1, kMethods,")
    out.append("                       nullptr, nullptr, nullptr, nullptr};")
    out.append("")
    out.append("}  // namespace")
    out.append("")
    pend = [r.name for r in routines if r.pending]
    out.append("PyMODINIT_FUNC PyInit_tavero(void) {")
    out.append("  PyObject* m = PyModule_Create(&kModule);")
    out.append("  if (!m) return nullptr;")
    out.append(f"  PyObject* pending = PyTuple_New({len(pend)});")
    out.append("  if (!pending) { Py_DECREF(m); return nullptr; }")
    for i, n in enumerate(pend):
        out.append(f"  PyTuple_SET_ITEM(pending, {i}, PyUnicode_FromString(\"{n}\"));")
    out.append("  if (PyModule_AddObject(m, \"_pending\", pending) < 0) {")
    out.append("    Py_DECREF(pending); Py_DECREF(m); return nullptr;")
    out.append("  }")
    out.append("  return m;")
    out.append("}")
    out.append("")
    return "\n".join(out)


PYTYPE = {"int": "int", "double": "float", "float": "float", "str": "str", "bytes": "bytes",
          "object": "Any"}


def gen_pyi(routines):
    out = ["# Generated by gen_methods.py -- do not edit.",
           "from typing import Any, Callable, Sequence", "",
           "_Seq = Sequence[float]", "_ISeq = Sequence[int]", "",
           "_pending: tuple[str, ...]", ""]
    for r in routines:
        args = []
        if r.kind == "quick":
            for p in r.params:
                opt = p.name.startswith("opt_")
                args.append(f"{p.name}: Sequence[Any]" + (" = ..." if opt else ""))
            ret = "None"
        elif r.kind == "setvar":
            args = ["name: str", "value: int | float | str"]
            ret = "None"
        elif r.kind == "ldimg":
            args = ["file: str", "nc: int"]
            ret = "list[int] | bytes | None"
        elif r.kind == "bufresult":
            args = ["n: int"]
            ret = "tuple[bytes, int]"
        else:
            for p in r.params:
                if p.base == "callable":
                    args.append(f"{p.name}: Callable[..., Any]")
                elif p.base == "legbuf":
                    args.append(f"{p.name}: str")
                elif p.is_array:
                    t = "_Seq" if p.base == "double" else "_ISeq"
                    if len(p.dims) > 1:
                        t = "Sequence[Any]"
                    args.append(f"{p.name}: {t}")
                elif p.py_passed:
                    args.append(f"{p.name}: {PYTYPE[p.base]}")
            res = [("bytes" if p.is_outbuf else PYTYPE[p.base]) for p in py_results(r)]
            if r.result:
                res.append(PYTYPE[r.result])
            ret = "None" if not res else res[0] if len(res) == 1 else f"tuple[{', '.join(res)}]"
            if count_params(r) and not res:
                ret = "None"
        sig = ", ".join(args)
        sig = f"{sig}, /" if sig else sig
        out.append(f"def {r.name}({sig}) -> {ret}: ...")
        if "alias" in r.flags:
            out.append(f"{r.flags['alias']} = {r.name}")
    out.append("")
    return "\n".join(out)


def write_if_changed(path: Path, text: str):
    if path.exists() and path.read_text() == text:
        return
    path.write_text(text)


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    outdir = Path(argv[1])
    try:
        routines = validate(read_defs(HERE / "methods"))
    except DefError as e:
        print(f"gen_methods: error: {e}", file=sys.stderr)
        return 1
    if "--check" in argv:
        pend = sum(r.pending for r in routines)
        print(f"{len(routines)} routines, {pend} pending")
        return 0
    outdir.mkdir(parents=True, exist_ok=True)
    write_if_changed(outdir / "tavero_api.h", gen_api_header(routines))
    h, c = gen_routines(routines)
    write_if_changed(outdir / "routines.h", h)
    write_if_changed(outdir / "routines.cpp", c)
    write_if_changed(outdir / "pending.cpp", gen_pending(routines))
    write_if_changed(outdir / "wrappers.cpp", gen_wrappers(routines))
    write_if_changed(outdir / "tavero.pyi", gen_pyi(routines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
