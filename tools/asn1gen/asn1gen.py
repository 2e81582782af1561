#!/usr/bin/env python3
"""ASN.1 to C++ descriptor tables for the stack's PER engine.

Reads the ITU-T modules (H.225.0, H.245, H.235, H.460.18, H.460.19) and writes:
  AsnTables.cpp   one constant table of every type, component, alternative and alphabet
  <Module>.h      per module: a struct per type with its TypeId and the indices of its
                  components / alternatives / enumerators by name

Usage: asn1gen.py [folder with the .asn files [output folder]]
  defaults: ../shared/reference/asn1 beside the project, and stack/asn/generated in it.
Run by hand when the modules change; the output is committed (see README.md).
Only the subset of X.680 notation used by these modules is understood; anything else stops the
generator with the line number, so a new module never produces silently wrong tables.
"""

import os
import sys

from asn1parse import AsnError, Parser, tokenize

# Input files, in the order their modules are written to the tables, and the C++ header and
# namespace of each module.
MODULES = [
    ("h235.asn", "H235-SECURITY-MESSAGES", "H235.h", "h235"),
    ("h245.asn", "MULTIMEDIA-SYSTEM-CONTROL", "H245.h", "h245"),
    ("h225.asn", "H323-MESSAGES", "H225.h", "h225"),
    ("h46018.asn", "SIGNALLING-TRAVERSAL", "H46018.h", "h46018"),
    ("h46019.asn", "MEDIA-TRAVERSAL", "H46019.h", "h46019"),
    # Our own module of PER forms for the codec's tests; it lives beside this script.
    ("@PerTest.asn", "VANTRO-PER-TEST", "PerTest.h", "pertest"),
]

# The H.460.19 module lists TimeToLive among its imports from H.245, which does not define it; the
# type meant is H.225.0's TimeToLive (INTEGER (1..4294967295)), as H.460.19 says in its text.
IMPORT_FIXES = {("MEDIA-TRAVERSAL", "TimeToLive"): "H323-MESSAGES"}


CPP_KEYWORDS = set("""alignas alignof and and_eq asm auto bitand bitor bool break case catch char
char8_t char16_t char32_t class compl concept const consteval constexpr constinit const_cast continue
co_await co_return co_yield decltype default delete do double dynamic_cast else enum explicit export
extern false float for friend goto if inline int long mutable namespace new noexcept not not_eq
nullptr operator or or_eq private protected public register reinterpret_cast requires return short
signed sizeof static static_assert static_cast struct switch template this thread_local throw true
try typedef typeid typename union unsigned using virtual void volatile wchar_t while xor xor_eq
Id""".split())


# ---------------------------------------------------------------------------------------------
# Lowering: AST into descriptor entries

class Desc:
    def __init__(self, name):
        self.name = name         # "Module.Type" or "Module.Type.field"
        self.kind = None
        self.lb = None
        self.ub = None
        self.cext = False        # constraint extensible
        self.extensible = False  # SEQUENCE/CHOICE/ENUMERATED "..."
        self.fields = []         # (name, type id, ext, flags)
        self.root = 0
        self.elem = 0
        self.charset = "None"
        self.alphabet = ""
        self.cpp = None          # C++ struct name in its module header, or None
        self.module = None
        self.named = False       # a type assignment of its module


class Lowerer:
    def __init__(self, modules):
        self.modules = modules   # name -> parsed module
        self.descs = []
        self.named = {}          # (module, type name, args) -> id
        self.cpp_names = {}      # (module, cpp name) -> id
        self.aliases = []        # (module, cpp name, target id)

    def new_desc(self, name, module, cpp):
        d = Desc(name)
        d.module = module
        if cpp is not None:
            base = cpp
            n = 2
            while (module, cpp) in self.cpp_names:
                cpp = f"{base}{n}"
                n += 1
            self.cpp_names[(module, cpp)] = len(self.descs)
        d.cpp = cpp
        self.descs.append(d)
        return len(self.descs) - 1

    def resolve_name(self, module, name):
        """The module that defines a name seen in module."""
        mod = self.modules[module]
        if name in mod["assigns"]:
            return module
        if name in mod["imports"]:
            src = IMPORT_FIXES.get((module, name), mod["imports"][name])
            return self.resolve_name(src, name)
        raise AsnError(f"{module}: unknown type {name}")

    def named_type(self, module, name, args=()):
        """TypeId of a type assignment (instantiated with args for parameterized types)."""
        module = self.resolve_name(module, name)
        key = (module, name, tuple(args))
        if key in self.named:
            return self.named[key]
        assign = self.modules[module]["assigns"][name]
        params = assign["params"] or []
        if len(params) != len(args):
            raise AsnError(f"{module}.{name}: expects {len(params)} parameters")
        label = name + "".join("_" + self.descs[a].name.split(".")[-1] for a in args)
        cpp = cpp_ident(label)
        typ = assign["type"]
        env = dict(zip(params, args))
        if typ["t"] == "REF" and not visible(typ["cons"]) and typ["name"] not in env:
            # A plain alias: the same encoding, so the same TypeId.
            target = self.named_type(module, typ["name"], self.lower_args(module, typ, env))
            self.named[key] = target
            self.aliases.append((module, cpp, target))
            return target
        tid = self.new_desc(f"{module}.{label}", module, cpp)
        self.descs[tid].named = True
        self.named[key] = tid
        self.fill(tid, module, typ, env)
        return tid

    def lower_args(self, module, typ, env):
        return tuple(self.lower(module, a, env, None, None) for a in typ.get("args", []))

    def lower(self, module, typ, env, name, cpp):
        """TypeId for a type node met inside another type; name/cpp label a new inner type."""
        if typ["t"] == "REF":
            if typ["name"] in env:
                target = env[typ["name"]]
            else:
                target = self.named_type(module, typ["name"], self.lower_args(module, typ, env))
            if not visible(typ["cons"]):
                return target
            # A referenced type with constraints of its own: a copy with the constraints applied.
            tid = self.new_desc(name, module, None)
            d = self.descs[tid]
            copy_encoding(d, self.descs[target])
            self.apply_constraints(d, typ["cons"], module, env)
            return tid
        tid = self.new_desc(name, module, cpp)
        self.fill(tid, module, typ, env)
        return tid

    def fill(self, tid, module, typ, env):
        d = self.descs[tid]
        t = typ["t"]
        if t == "REF":
            # A constrained alias at the top level of an assignment.
            target = env.get(typ["name"]) if typ["name"] in env else \
                self.named_type(module, typ["name"], self.lower_args(module, typ, env))
            src = self.descs[target]
            copy_encoding(d, src)
            self.apply_constraints(d, typ["cons"], module, env)
            if src.kind in ("Sequence", "Choice", "Enumerated"):
                self.aliases.append((module, d.cpp, target))
                d.cpp = None
            return
        simple = {"BOOLEAN": "Boolean", "NULL": "Null", "INTEGER": "Integer",
                  "BIT STRING": "BitString", "OCTET STRING": "OctetString",
                  "OBJECT IDENTIFIER": "ObjectId", "STRING": "CharString"}
        if t in simple:
            d.kind = simple[t]
            if t == "STRING":
                d.charset = typ["charset"]
            self.apply_constraints(d, typ["cons"], module, env)
        elif t == "ENUMERATED":
            d.kind = "Enumerated"
            d.extensible = typ["items"]["extensible"]
            d.fields = [(n, 0, 0, 0) for n in typ["items"]["root"]]
            d.fields += [(n, 0, k + 1, 0) for k, n in enumerate(typ["items"]["ext"])]
            d.root = len(typ["items"]["root"])
        elif t in ("SEQUENCE", "CHOICE"):
            d.kind = "Sequence" if t == "SEQUENCE" else "Choice"
            d.extensible = typ["extensible"]
            fields = []
            for comp in typ["root"]:
                fields.append(self.component(d, module, comp, env, 0, 0))
            d.root = len(fields)
            for k, (grouped, group) in enumerate(typ["additions"]):
                if grouped and t == "CHOICE":
                    raise AsnError(f"{d.name}: extension groups in a CHOICE are not supported")
                for comp in group:
                    fields.append(self.component(d, module, comp, env, k + 1, 4 if grouped else 0))
            d.fields = fields
            if visible(typ["cons"]):
                raise AsnError(f"{d.name}: constraints on a {t} are not supported")
        elif t == "SEQUENCE OF":
            d.kind = "SequenceOf"
            d.elem = self.lower(module, typ["elem"], env, d.name + ".item",
                                d.cpp + "_item" if d.cpp else None)
            self.apply_constraints(d, typ["cons"], module, env, size_only=True)
        elif t == "OPEN":
            d.kind = "OpenType"
            d.elem = self.lower(module, typ["inner"], env, d.name + ".type", None)
        else:
            raise AsnError(f"{d.name}: cannot lower {t}")

    def component(self, d, module, comp, env, ext, group_flag):
        inner_name = d.name + "." + comp["name"]
        inner_cpp = (d.cpp or cpp_ident(d.name.split(".", 1)[1])) + "_" + cpp_ident(comp["name"])
        ctid = self.lower(module, comp["type"], env, inner_name, inner_cpp)
        flags = group_flag
        if comp["opt"] == "optional":
            flags |= 1
        elif comp["opt"] == "default":
            flags |= 2
        return (comp["name"], ctid, ext, flags)

    def apply_constraints(self, d, cons, module, env, size_only=False):
        for c in cons:
            if "contained" in c and "range" not in c:
                continue   # a contained subtype of an open type: handled by OPEN
            if "range" in c:
                if d.kind != "Integer" or size_only:
                    raise AsnError(f"{d.name}: value range on {d.kind}")
                lo, hi = c["range"]
                d.lb = lo if d.lb is None else (max(d.lb, lo) if lo is not None else d.lb)
                d.ub = hi if d.ub is None else (min(d.ub, hi) if hi is not None else d.ub)
                d.cext = c["ext"]
            if "size" in c:
                s = c["size"]
                if "range" not in s:
                    raise AsnError(f"{d.name}: SIZE without a range")
                lo, hi = s["range"]
                d.lb = 0 if lo is None else lo
                d.ub = hi
                d.cext = s["ext"] or c["ext"]
            if "from" in c:
                if d.kind != "CharString":
                    raise AsnError(f"{d.name}: FROM on {d.kind}")
                chars = c["from"] if not d.alphabet else \
                    "".join(ch for ch in c["from"] if ch in d.alphabet)
                d.alphabet = "".join(sorted(set(chars)))


def copy_encoding(dst, src):
    """Everything of a descriptor that decides its encoding, for a constrained copy."""
    for attr in ("kind", "lb", "ub", "cext", "extensible", "fields", "root", "elem", "charset",
                 "alphabet"):
        setattr(dst, attr, getattr(src, attr))


def visible(cons):
    """Whether a constraint list says anything PER can see."""
    for c in cons:
        if "range" in c or "size" in c or "from" in c:
            return True
    return False


def cpp_ident(name):
    s = name.replace("-", "_").replace(".", "_")
    if s in CPP_KEYWORDS:
        s += "_"
    return s


# ---------------------------------------------------------------------------------------------
# Output

HEADER_NOTE = "// Generated by tools/asn1gen/asn1gen.py from the ASN.1 modules. Do not edit.\n"


def c_string(s):
    out = []
    for ch in s:
        if ch in '"\\':
            out.append("\\" + ch)
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            out.append(f"\\x{ord(ch):02x}")
    return '"' + "".join(out) + '"'


def write_tables(low, path):
    alphabets = [""]
    fields = []
    rows = []
    for d in low.descs:
        if d.kind is None:
            raise AsnError(f"{d.name}: never defined")
        flags = []
        if d.extensible:
            flags.append("flag::Extensible")
        if d.lb is not None:
            flags.append("flag::HasLb")
        if d.ub is not None:
            flags.append("flag::HasUb")
        if d.cext:
            flags.append("flag::ConstraintExt")
        alpha = 0
        if d.alphabet:
            if d.alphabet not in alphabets:
                alphabets.append(d.alphabet)
            alpha = alphabets.index(d.alphabet)
        if d.kind in ("Sequence", "Choice", "Enumerated"):
            first = len(fields)
            count = len(d.fields)
            for name, ftid, ext, fflags in d.fields:
                fields.append((name, ftid, ext, fflags))
        elif d.kind in ("SequenceOf", "OpenType"):
            first, count = d.elem, 0
        else:
            first, count = 0, 0
        if count > 65535 or len(low.descs) > 65535:
            raise AsnError("tables too large")
        lb = d.lb if d.lb is not None else 0
        ub = d.ub if d.ub is not None else 0
        rows.append(f"  {{{c_string(d.name)}, {lb}LL, {ub}LL, {first}, {count}, {d.root}, {alpha}, "
                    f"Kind::{d.kind}, {' | '.join(flags) or '0'}, CharSet::{d.charset}}},")
    fl = []
    for name, ftid, ext, fflags in fields:
        fl.append(f"  {{{c_string(name)}, {ftid}, {ext}, {fflags}}},")
    with open(path, "w") as f:
        f.write(HEADER_NOTE)
        f.write('#include "stack/asn/Descriptor.h"\n\n#include <array>\n\nnamespace vantro::asn {\nnamespace {\n\n')
        f.write(f"constexpr std::array<TypeDesc, {len(rows)}> kTypes = {{{{\n")
        f.write("\n".join(rows))
        f.write("\n}};\n\n")
        f.write(f"constexpr std::array<FieldDesc, {len(fl)}> kFields = {{{{\n")
        f.write("\n".join(fl))
        f.write("\n}};\n\n")
        f.write(f"constexpr std::array<std::string_view, {len(alphabets)}> kAlphabets = {{{{\n")
        f.write("\n".join(f"  {c_string(a)}," for a in alphabets))
        f.write("\n}};\n\n}  // namespace\n\n")
        f.write("const Tables& tables() {\n  static const Tables t{kTypes, kFields, kAlphabets};\n  return t;\n}\n\n")
        f.write("}  // namespace vantro::asn\n")


def write_header(low, module, header, ns, path):
    lines = [HEADER_NOTE.rstrip(), "#pragma once", "", '#include "stack/asn/Descriptor.h"', "",
             f"namespace vantro::asn::{ns} {{", ""]
    emitted = {}
    includes = set()
    for tid, d in enumerate(low.descs):
        if d.module != module or d.cpp is None:
            continue
        if not d.named and d.kind not in ("Sequence", "Choice", "Enumerated", "SequenceOf"):
            continue   # inner simple types are reached through their component
        emitted[d.cpp] = tid
        lines.append(f"struct {d.cpp} {{")
        lines.append(f"  static constexpr TypeId Id = {tid};")
        if d.kind in ("Sequence", "Choice", "Enumerated"):
            names = [cpp_ident(n) for n, *_ in d.fields]
            if names:
                lines.append("  enum : std::uint16_t { " + ", ".join(
                    f"{n} = {i}" for i, n in enumerate(names)) + " };")
        lines.append("};")
    for mod, cpp, target in low.aliases:
        if mod != module or cpp in emitted:
            continue
        td = low.descs[target]
        if td.cpp is None:
            continue
        ns_t = [m[3] for m in MODULES if m[1] == td.module][0]
        prefix = "" if ns_t == ns else f"{ns_t}::"
        lines.append(f"struct {cpp} : {prefix}{td.cpp} {{}};")
        emitted[cpp] = target
        if prefix:
            includes.add([m[2] for m in MODULES if m[3] == ns_t][0])
    lines += ["", f"}}  // namespace vantro::asn::{ns}", ""]
    for inc in sorted(includes):
        lines.insert(4, f'#include "stack/asn/generated/{inc}"')
    with open(path, "w") as f:
        f.write("\n".join(lines))


def main():
    if len(sys.argv) > 3 or (len(sys.argv) > 1 and sys.argv[1].startswith("-")):
        print(__doc__)
        return 2
    project = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    src = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(os.path.dirname(project), "shared", "reference", "asn1")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(project, "stack", "asn", "generated")
    modules = {}
    for fname, mname, _, _ in MODULES:
        path = os.path.join(os.path.dirname(os.path.abspath(__file__)), fname[1:]) \
            if fname.startswith("@") else os.path.join(src, fname)
        with open(path, encoding="latin-1") as f:
            text = f.read()
        mod = Parser(tokenize(text, fname), fname).module()
        modules[mname] = mod
    low = Lowerer(modules)
    for fname, mname, _, _ in MODULES:
        for name in modules[mname]["order"]:
            if modules[mname]["assigns"][name]["params"]:
                continue
            low.named_type(mname, name)
    os.makedirs(out, exist_ok=True)
    write_tables(low, os.path.join(out, "AsnTables.cpp"))
    for fname, mname, header, ns in MODULES:
        write_header(low, mname, header, ns, os.path.join(out, header))
    nf = sum(len(d.fields) for d in low.descs)
    print(f"{len(low.descs)} types, {nf} components/alternatives written to {out}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except AsnError as e:
        print(f"asn1gen: {e}", file=sys.stderr)
        sys.exit(1)
