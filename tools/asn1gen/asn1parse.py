"""Reader of the ASN.1 notation used by the H.323 modules: lexer and parser into plain
dictionaries. Used by asn1gen.py; only the subset of X.680 these modules need is understood, and
anything else stops with the line number."""

import re

CHARSETS = {
    "IA5String": "IA5",
    "NumericString": "Numeric",
    "PrintableString": "Printable",
    "VisibleString": "Visible",
    "GeneralString": "General",
    "BMPString": "BMP",
}


class AsnError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Lexer

TOKEN_RE = re.compile(r"""
    (?P<ws>\s+)
  | (?P<assign>::=)
  | (?P<ellipsis>\.\.\.)
  | (?P<range>\.\.)
  | (?P<lgroup>\[\[)
  | (?P<rgroup>\]\])
  | (?P<string>"[^"]*")
  | (?P<number>-?\d+)
  | (?P<ident>&?[A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9]+)*)
  | (?P<punct>[{}(),;.^|\[\]<>!@:])
""", re.VERBOSE)


def strip_comments(text):
    out = []
    for line in text.split("\n"):
        res = []
        i = 0
        in_comment = False
        in_string = False
        while i < len(line):
            if not in_comment and line[i] == '"':
                in_string = not in_string
            if not in_string and line.startswith("--", i):
                in_comment = not in_comment
                i += 2
                continue
            if not in_comment:
                res.append(line[i])
            i += 1
        out.append("".join(res))
    return "\n".join(out)


def tokenize(text, filename):
    text = strip_comments(text)
    tokens = []
    pos = 0
    line = 1
    while pos < len(text):
        m = TOKEN_RE.match(text, pos)
        if not m:
            raise AsnError(f"{filename}:{line}: cannot read {text[pos:pos + 20]!r}")
        kind = m.lastgroup
        val = m.group(kind)
        if kind != "ws":
            tokens.append((kind, val, line))
        line += val.count("\n")
        pos = m.end()
    tokens.append(("eof", "", line))
    return tokens


# ---------------------------------------------------------------------------------------------
# Parser: modules into plain dictionaries ("AST")
#
# type node: {"t": "BOOLEAN"|"NULL"|"INTEGER"|"ENUMERATED"|"BIT STRING"|"OCTET STRING"|
#             "OBJECT IDENTIFIER"|"STRING"|"SEQUENCE"|"CHOICE"|"SEQUENCE OF"|"OPEN"|"REF",
#             "cons": [constraint, ...], ...}

class Parser:
    def __init__(self, tokens, filename):
        self.toks = tokens
        self.i = 0
        self.file = filename

    def peek(self, k=0):
        return self.toks[self.i + k]

    def error(self, msg):
        t = self.peek()
        raise AsnError(f"{self.file}:{t[2]}: {msg} (at {t[1]!r})")

    def next(self):
        t = self.toks[self.i]
        self.i += 1
        return t

    def accept(self, val):
        if self.peek()[1] == val:
            self.i += 1
            return True
        return False

    def expect(self, val):
        if not self.accept(val):
            self.error(f"expected {val!r}")

    def ident(self):
        t = self.next()
        if t[0] != "ident":
            self.i -= 1
            self.error("expected a name")
        return t[1]

    def skip_braces(self):
        self.expect("{")
        depth = 1
        while depth:
            t = self.next()
            if t[0] == "eof":
                self.error("unbalanced braces")
            if t[1] == "{":
                depth += 1
            elif t[1] == "}":
                depth -= 1

    def module(self):
        name = self.ident()
        if self.peek()[1] == "{":
            self.skip_braces()
        self.expect("DEFINITIONS")
        self.expect("AUTOMATIC")
        self.expect("TAGS")
        self.expect("::=")
        self.expect("BEGIN")
        imports = {}
        if self.accept("EXPORTS"):
            while not self.accept(";"):
                self.next()
        if self.accept("IMPORTS"):
            pending = []
            while not self.accept(";"):
                if self.accept("FROM"):
                    src = self.ident()
                    for sym in pending:
                        imports[sym] = src
                    pending = []
                    continue
                sym = self.ident()
                if self.peek()[1] == "{":
                    self.expect("{")
                    self.expect("}")
                pending.append(sym)
                self.accept(",")
            if pending:
                self.error("imports without FROM")
        assigns = {}
        order = []
        while not self.accept("END"):
            name = self.ident()
            params = None
            if self.peek()[1] == "{":
                self.next()
                params = [self.ident()]
                while self.accept(","):
                    params.append(self.ident())
                self.expect("}")
            if not name[0].isupper():
                self.error("value assignments are not supported")
            self.expect("::=")
            typ = self.type()
            if name in assigns:
                self.error(f"{name} defined twice")
            assigns[name] = {"params": params, "type": typ}
            order.append(name)
        return {"imports": imports, "assigns": assigns, "order": order}

    def type(self):
        t = self.peek()
        v = t[1]
        node = None
        if v in ("BOOLEAN", "NULL"):
            self.next()
            node = {"t": v}
        elif v == "INTEGER":
            self.next()
            node = {"t": "INTEGER"}
            if self.peek()[1] == "{":
                self.skip_braces()   # named numbers do not change the encoding
        elif v == "ENUMERATED":
            self.next()
            node = {"t": "ENUMERATED", "items": self.enum_items()}
        elif v == "BIT":
            self.next()
            self.expect("STRING")
            node = {"t": "BIT STRING"}
            if self.peek()[1] == "{":
                self.skip_braces()   # named bits
        elif v == "OCTET":
            self.next()
            self.expect("STRING")
            node = {"t": "OCTET STRING"}
        elif v == "OBJECT":
            self.next()
            self.expect("IDENTIFIER")
            node = {"t": "OBJECT IDENTIFIER"}
        elif v in CHARSETS:
            self.next()
            node = {"t": "STRING", "charset": CHARSETS[v]}
        elif v in ("SEQUENCE", "SET"):
            self.next()
            if self.peek()[1] == "{":
                node = {"t": "SEQUENCE"}
                node.update(self.components(choice=False))
            else:
                cons = []
                if self.peek()[1] == "SIZE":
                    self.next()
                    cons.append({"size": self.constraint(), "ext": False})
                elif self.peek()[1] == "(":
                    cons.append(self.constraint())
                self.expect("OF")
                if self.peek()[0] == "ident" and self.peek()[1][0].islower() and \
                        self.peek(1)[0] == "ident":
                    self.next()   # element name
                node = {"t": "SEQUENCE OF", "elem": self.type(), "cons": cons}
        elif v == "CHOICE":
            self.next()
            node = {"t": "CHOICE"}
            node.update(self.components(choice=True))
        elif v == "TYPE-IDENTIFIER":
            self.next()
            self.expect(".")
            if self.ident() != "&Type":
                self.error("only TYPE-IDENTIFIER.&Type is supported")
            self.expect("(")
            inner = self.type()
            self.expect(")")
            node = {"t": "OPEN", "inner": inner}
        elif t[0] == "ident" and v[0].isupper():
            self.next()
            node = {"t": "REF", "name": v, "line": t[2]}
            if self.peek()[1] == "{":
                self.next()
                args = [self.type()]
                while self.accept(","):
                    args.append(self.type())
                self.expect("}")
                node["args"] = args
        else:
            self.error("unknown type")
        node.setdefault("cons", [])
        while self.peek()[1] == "(":
            node["cons"].append(self.constraint())
        return node

    def enum_items(self):
        self.expect("{")
        root, ext, in_ext = [], [], False
        next_val = 0
        while True:
            if self.accept("..."):
                in_ext = True
            else:
                name = self.ident()
                val = None
                if self.accept("("):
                    val = int(self.next()[1])
                    self.expect(")")
                (ext if in_ext else root).append([name, val])
            if self.accept("}"):
                break
            self.expect(",")
        # Unnumbered root items take the smallest free values, in order.
        used = {v for _, v in root if v is not None}
        for item in root:
            if item[1] is None:
                while next_val in used:
                    next_val += 1
                item[1] = next_val
                used.add(next_val)
        root.sort(key=lambda it: it[1])
        return {"root": [n for n, _ in root], "ext": [n for n, _ in ext], "extensible": in_ext}

    def components(self, choice):
        """Components of SEQUENCE/SET or alternatives of CHOICE."""
        self.expect("{")
        root, additions = [], []
        extensible = False
        part = 0   # 0: root, 1: additions, 2: root again after the second ellipsis
        if self.accept("}"):
            return {"root": root, "additions": additions, "extensible": False}
        while True:
            if self.accept("..."):
                if self.peek()[1] == "!":
                    self.error("exception specifications are not supported")
                extensible = True
                part += 1
            elif self.accept("[["):
                if part != 1:
                    self.error("extension group outside the extension part")
                if self.peek()[0] == "number":
                    self.next()
                    self.expect(":")
                group = []
                while True:
                    group.append(self.component(choice))
                    if self.accept("]]"):
                        break
                    self.expect(",")
                additions.append((True, group))
            else:
                comp = self.component(choice)
                if part == 1:
                    additions.append((False, [comp]))
                else:
                    root.append(comp)
            if self.accept("}"):
                break
            self.expect(",")
        return {"root": root, "additions": additions, "extensible": extensible}

    def component(self, choice):
        if self.peek()[1] == "COMPONENTS":
            self.error("COMPONENTS OF is not supported")
        name = self.ident()
        if not name[0].islower():
            self.error("component name expected")
        typ = self.type()
        opt = None
        if not choice:
            if self.accept("OPTIONAL"):
                opt = "optional"
            elif self.accept("DEFAULT"):
                opt = "default"
                self.skip_value()
        return {"name": name, "type": typ, "opt": opt}

    def skip_value(self):
        if self.peek()[1] == "{":
            self.skip_braces()
        else:
            self.next()

    def constraint(self):
        self.expect("(")
        c = self.constraint_elements()
        self.expect(")")
        return c

    def constraint_elements(self):
        """One parenthesised constraint: a list of intersected elements and an extension marker.
        Returns {"range": (lo, hi), "size": {...}, "from": "chars", "ext": bool, "contained": type}."""
        c = {"ext": False}
        while True:
            v = self.peek()[1]
            if v == "...":
                self.next()
                c["ext"] = True
            elif v == "SIZE":
                self.next()
                c["size"] = self.constraint()
            elif v == "FROM":
                self.next()
                self.expect("(")
                chars = ""
                while True:
                    s = self.next()
                    if s[0] != "string":
                        self.i -= 1
                        self.error("FROM expects character strings")
                    if self.accept(".."):
                        hi = self.next()[1]
                        chars += "".join(chr(x) for x in range(ord(s[1][1]), ord(hi[1]) + 1))
                    else:
                        chars += s[1][1:-1]
                    if not self.accept("|"):
                        break
                self.expect(")")
                c["from"] = chars
            elif v == "WITH":
                self.next()
                if not self.accept("COMPONENTS"):
                    self.expect("COMPONENT")
                self.skip_braces()   # inner subtyping is not visible to PER
            elif v == "CONSTRAINED":
                self.next()
                self.expect("BY")
                self.skip_braces()
            elif self.peek()[0] == "number" or v in ("MIN", "MAX"):
                lo = self.bound()
                hi = lo
                if self.accept(".."):
                    hi = self.bound()
                c["range"] = (lo, hi)
            elif self.peek()[0] == "ident" and v[0].isupper():
                c["contained"] = self.type()
            else:
                self.error("unsupported constraint")
            if self.accept("^"):
                continue
            if self.accept(","):
                continue
            if self.peek()[1] == "|":
                self.error("unions in constraints are not supported")
            return c

    def bound(self):
        t = self.next()
        if t[1] == "MIN":
            return None
        if t[1] == "MAX":
            return None
        if t[0] != "number":
            self.i -= 1
            self.error("number expected")
        return int(t[1])
