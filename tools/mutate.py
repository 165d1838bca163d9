#!/usr/bin/python3
"""Mutation check for Velto: are the tests sharp enough to notice a wrong rule?

It makes one small edit (a mutant) at a time to the program's own sources,
rebuilds the program image, runs Velto's tests until the first failure and
reports the edits that every test survived. The edits are named cmp-flip,
cmp-bound, logic, not-drop, const, flag-drop, swap, text, call-swap,
call-drop, arg-swap, arg-null, call-exch and unsigned (the README says what
each does). The C++ is parsed by libclang (Debian's python3-clang-14) with
the program image's compile flags from build/native/compile_commands.json;
the resource script is read as text. Your tree is never edited: the edits go
to a copy under build/mutation/, restored after each run, also on Ctrl-C.
Edits listed in tools/mutation-equivalent.txt change nothing that can be
seen: they are reported apart. Exit status: 0 when every mutant was caught or
is listed, 1 when some survived, 2 for bad input or a broken baseline.
"""

import argparse, bisect, collections, contextlib, os, re, shutil, signal, subprocess, sys, threading, time
from pathlib import Path

PROGRAM_FOLDERS = ["app", "settings", "taskbar", "proxy", "taskmenu", "about", "res"]
SOURCE_SUFFIXES = (".cpp", ".h", ".rc")
SKIPPED_FILES = {"res/resource.h"}  # its values are only mutated through their uses
EQUIVALENT_FILE = "tools/mutation-equivalent.txt"
COMPILE_COMMANDS = "build/native/compile_commands.json"
IMAGE_OBJECTS = "velto_image.dir"   # the program image's entries in the compile commands
SCRATCH = "build/mutation"


class UsageError(Exception):
    pass


class Interrupted(Exception):
    pass


# Named constants and their siblings, each tried in place of the name when it
# is not on the line already: every member of a family for every other, and
# a few one way only.
FAMILIES = [line.split() for line in """
    SWP_NOSIZE SWP_NOMOVE SWP_NOZORDER SWP_NOACTIVATE SWP_SHOWWINDOW SWP_HIDEWINDOW
    WS_CHILD WS_VISIBLE WS_POPUP
    NIM_ADD NIM_MODIFY NIM_DELETE
    NIF_MESSAGE NIF_ICON NIF_TIP
    CS_HREDRAW CS_VREDRAW CS_DBLCLKS
    SPIF_UPDATEINIFILE SPIF_SENDCHANGE
    SS_ICON SS_LEFT SS_CENTER
    TRAY_ID_MAIN TRAY_ID_OK TRAY_ID_CLOSE
    BUTTON_OK BUTTON_CLOSE BUTTON_NONE
    CAPTION_OK CAPTION_CLOSE
    CMD_FOREGROUND CMD_ABOUT
    TASKBAR_HEIGHT DESKTOP_HEIGHT
    SCREEN_WIDTH SCREEN_HEIGHT
    BUTTON_SIZE FACE_SIZE FACE_MARGIN
    IconTray IconTrayActive IconCloseGlyph IconOk IconClose
    BitmapClose BitmapOk BitmapIdle
    DesktopName DesktopClass TaskbarName TaskbarClass
    CloseButton OkButton Monitoring TaskBarOnTop
    HWND_TOP HWND_BOTTOM
    WS_EX_TOOLWINDOW WS_EX_TOPMOST
    HKEY_CURRENT_USER HKEY_LOCAL_MACHINE
    WM_LBUTTONDOWN WM_LBUTTONUP
    WM_DRAWITEM WM_MEASUREITEM
    WM_CLOSE WM_DESTROY""".strip().splitlines()]
ONE_WAY = {"SPI_SETWORKAREA": ["SPI_GETWORKAREA"], "REG_DWORD": ["REG_BINARY"], "REG_SZ": ["REG_BINARY", "REG_EXPAND_SZ"],
           "WM_PAINT": ["WM_ERASEBKGND"], "GWL_EXSTYLE": ["GWL_STYLE"], "RT_DIALOG": ["RT_MENU"],
           "ERROR_SUCCESS": ["ERROR_MORE_DATA"], "LTGRAY_BRUSH": ["WHITE_BRUSH", "GRAY_BRUSH", "NULL_BRUSH"]}
RESOURCE_PREFIXES = ("IDI_", "IDS_", "IDB_")  # each use replaced by every other id of its family in use
# Calls exchanged by name for one that reads similar data (call-exch); the
# desktop's rectangle and the work area, and GetForegroundWindow, are below.
EXCHANGED_CALLS = {"GetWindowTextW": "GetClassNameW", "GetClassNameW": "GetWindowTextW",
                   "IsWindow": "IsWindowVisible", "IsWindowVisible": "IsWindow",
                   "SetEvent": "ResetEvent", "ResetEvent": "SetEvent"}
# When two operators make the same edit, it is listed under the first.
OPERATORS = ["cmp-flip", "cmp-bound", "logic", "not-drop", "const", "flag-drop", "swap", "text", "call-swap",
             "call-drop", "arg-swap", "arg-null", "call-exch", "unsigned"]
COMPARISONS = {"==": ["!="], "!=": ["=="], "<": [">=", "<="], ">=": ["<", ">"], ">": ["<=", ">="], "<=": [">", "<"]}
NUMBER = re.compile(r"(0[xX][0-9A-Fa-f]+|\d+)[uUlL]*")
# A token: its kind is punct, ident, keyword, number, string or other.
Tok = collections.namedtuple("Tok", "kind text start end line")


# ------------------------------------------------------------------ edits
class Mutant:
    def __init__(self, source, start, end, new, operator, function):
        self.path, self.start, self.end, self.new = source.rel, start, end, new  # byte offsets, the new text
        self.operator, self.function, self.index = operator, function, 0  # function: '' outside one
        self.where = function  # with @n when the same lines stand in it more than once
        data = source.data
        first, last = data.rfind(b"\n", 0, start) + 1, data.find(b"\n", end)
        last = len(data) if last < 0 else last
        self.line = data.count(b"\n", 0, start) + 1
        self.lines_touched = set(range(self.line, self.line + data.count(b"\n", start, end) + 1))
        trimmed = lambda text: " / ".join(l.strip() for l in text.decode("utf-8").split("\n") if l.strip())
        self.original = trimmed(data[first:last])
        self.mutated = trimmed(data[first:start] + new.encode("utf-8") + data[end:last]) or "(dropped)"

    @property
    def id(self):
        return "%s:%d:%s:%d" % (self.path, self.line, self.operator, self.index)

    def apply(self, data):
        return data[:self.start] + self.new.encode("utf-8") + data[self.end:]


class Source:
    """One program file: its bytes, the names on each line, the edits found in it."""

    def __init__(self, root, rel):
        self.rel, self.mutants, self.names = rel, {}, {}
        try:
            self.data = (root / rel).read_bytes()
            self.data.decode("utf-8")
        except UnicodeDecodeError:
            raise UsageError("%s is not UTF-8 text" % rel)
        except OSError as e:
            raise UsageError("cannot read %s: %s" % (rel, e.strerror))

    def text(self, start, end):
        return self.data[start:end].decode("utf-8")

    def add(self, start, end, new, operator, function=""):
        known = self.mutants.get((start, end, new))
        if self.text(start, end) != new and (known is None or OPERATORS.index(operator) <
                                             OPERATORS.index(known.operator)):
            self.mutants[(start, end, new)] = Mutant(self, start, end, new, operator, function)


def lexical(source, tokens, siblings, function=""):
    """The edits that need only the tokens: comparisons, && and ||, !,
    numbers, TRUE and FALSE, named constants, texts, flag combinations."""
    operand = ("ident", "number")
    for k, t in enumerate(tokens):
        def add(new, operator, start=t.start, end=t.end):
            source.add(start, end, new, operator, function)
        if t.kind == "punct" and t.text in COMPARISONS:
            for new, operator in zip(COMPARISONS[t.text], ["cmp-flip", "cmp-bound"]):
                add(new, operator)
        elif t.kind == "punct" and t.text in ("&&", "||", "!"):
            add({"&&": "||", "||": "&&", "!": ""}[t.text], "not-drop" if t.text == "!" else "logic")
        elif t.kind == "number" and NUMBER.fullmatch(t.text):
            digits = NUMBER.fullmatch(t.text).group(1)
            value = int(digits, 0)
            for new in [("0x%0*X" % (len(digits) - 2, value + 1)) if digits[:2] in ("0x", "0X") else str(value + 1)] \
                    + (["0"] if value == 1 else []):
                add(new, "const", t.start, t.start + len(digits))
        elif t.kind == "ident" and t.text in ("TRUE", "FALSE"):
            add("FALSE" if t.text == "TRUE" else "TRUE", "const")
        elif t.kind == "ident":
            for sibling in siblings(t.text):
                if sibling not in source.names[t.line]:
                    add(sibling, "swap")
        elif t.kind == "string":
            add(t.text[:-1] + "_" + t.text[-1], "text")
        # a flag dropped from a combination A | B | C that starts here
        before = tokens[k - 1].text if k else ""
        if t.kind not in operand or before in (".", "->", "::") or (before == "|" and k > 1 and tokens[k - 2].kind in operand):
            continue
        chain = [t]
        while k + 2 * len(chain) < len(tokens) and tokens[k + 2 * len(chain) - 1].text == "|" \
                and tokens[k + 2 * len(chain)].kind in operand:
            chain.append(tokens[k + 2 * len(chain)])
        after = tokens[k + 2 * len(chain) - 1].text if k + 2 * len(chain) - 1 < len(tokens) else ""
        if len(chain) > 1 and after not in ("(", ".", "->", "["):
            for n, operand_ in enumerate(chain):
                if n + 1 < len(chain):
                    add("", "flag-drop", operand_.start, chain[n + 1].start)
                else:
                    add("", "flag-drop", chain[n - 1].end, operand_.end)


# ------------------------------------------------------------------ C++, through libclang
def load_clang():
    try:
        import clang.cindex as ci
        ci.Index.create()
    except Exception as e:  # the bindings, or the library under them, are missing
        raise UsageError("libclang cannot be loaded (%s): install the Debian packages python3-clang-14 and "
                         "libclang1-14 (tools/install-deps.sh), and run this script with /usr/bin/python3" % e)
    return ci


def compile_commands(ci, root, path):
    """The program image's sources in this checkout and their compiler
    arguments, from the build's compile_commands.json."""
    try:
        if path.name != "compile_commands.json":
            raise ci.CompilationDatabaseError(0, "not named compile_commands.json")
        database = ci.CompilationDatabase.fromDirectory(str(path.parent))
    except ci.CompilationDatabaseError as e:
        raise UsageError("%s cannot be read as the build's compile commands (%s): run `cmake --preset native` "
                         "first" % (path, e))
    commands = {}
    for entry in database.getAllCompileCommands() or []:
        words, source = list(entry.arguments), Path(entry.directory, entry.filename).resolve()
        rel = source.relative_to(root).as_posix() if source.is_relative_to(root) else ""
        if any(IMAGE_OBJECTS in w for w in words) and rel.split("/")[0] in PROGRAM_FOLDERS and rel.endswith(".cpp"):
            # the arguments less the compiler, the output, and the source itself
            commands[rel] = [w for k, w in enumerate(words[1:], 1) if w not in ("-o", "-c")
                             and words[k - 1] not in ("-o", "-c") and Path(entry.directory, w).resolve() != source]
    if not commands:
        raise UsageError("%s names no source of the program image from this checkout: "
                         "run `cmake --preset native` here" % path)
    return commands


def type_key(t):
    """A variable's type as written, arrays of any length alike."""
    return t.element_type.spelling + "[]" if t.kind.name in ("CONSTANTARRAY", "INCOMPLETEARRAY") else t.spelling


class Parser:
    """Walks the syntax tree of each of the image's sources and gathers the
    edits in the program's own files."""

    def __init__(self, ci, root, sources):
        self.ci, self.K, self.root, self.sources = ci, ci.CursorKind, root, sources
        self.tokens = {}          # file -> its tokens, in order, and their offsets
        self.regions = []         # (file, tokens, function) that the lexical edits see
        self.done = set()         # bodies already walked (a header's, from an earlier source)
        self.resource_ids, self.used = [], set()

    def program_file(self, cursor):
        if cursor.location.file is None:
            return None
        path = Path(cursor.location.file.name).resolve()
        rel = path.relative_to(self.root).as_posix() if path.is_relative_to(self.root) else ""
        return rel if rel.split("/")[0] in PROGRAM_FOLDERS else None

    def parse(self, rel, args):
        tu = self.ci.Index.create().parse(str(self.root / rel), args=args,
                                         options=self.ci.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD)
        errors = [str(d) for d in tu.diagnostics if d.severity >= self.ci.Diagnostic.Error]
        if errors:
            raise UsageError("libclang cannot parse %s with the image's flags:\n  %s" % (rel, "\n  ".join(errors[:10])))
        self.tu, self.globals = tu, []
        self.walk(tu.cursor)

    def span_tokens(self, rel, start, end):
        """The tokens of a file from start to end, comments left out."""
        if rel not in self.tokens:
            extent = self.tu.get_extent(str(self.root / rel), (0, (self.root / rel).stat().st_size))
            kinds = {"PUNCTUATION": "punct", "IDENTIFIER": "ident", "KEYWORD": "keyword"}
            toks = [Tok(kinds.get(t.kind.name) or ("string" if t.spelling.endswith('"') else "number"
                                                   if t.spelling[0].isdigit() else "other"),
                        t.spelling, t.extent.start.offset, t.extent.end.offset, t.extent.start.line)
                    for t in self.tu.get_tokens(extent=extent) if t.kind.name != "COMMENT"]
            self.tokens[rel] = (toks, [t.start for t in toks])
            for t in toks if rel in self.sources else []:
                self.sources[rel].names.setdefault(t.line, set()).add(t.text)
        toks, starts = self.tokens[rel]
        return toks[bisect.bisect_left(starts, start):bisect.bisect_left(starts, end)]

    def tokens_of(self, cursor):
        return self.span_tokens(self.program_file(cursor), cursor.extent.start.offset, cursor.extent.end.offset)

    def walk(self, cursor):
        K = self.K
        for child in cursor.get_children():
            rel = self.program_file(child)
            if rel is None or child.kind in (K.MACRO_INSTANTIATION, K.INCLUSION_DIRECTIVE):
                continue
            if child.kind == K.MACRO_DEFINITION and rel in SKIPPED_FILES:
                if child.spelling.startswith(RESOURCE_PREFIXES):
                    self.resource_ids.append(child.spelling)
            elif child.kind == K.MACRO_DEFINITION:
                toks = self.tokens_of(child)
                body = toks[1:]
                if body and body[0].text == "(" and body[0].start == toks[0].end:  # a macro's parameters
                    body = body[[t.text for t in body].index(")") + 1:]
                self.regions.append((rel, body, ""))
            elif child.kind == K.VAR_DECL:
                self.globals.append(child)
                self.regions.append((rel, self.initializer(child), ""))
            elif child.kind in (K.FUNCTION_DECL, K.CXX_METHOD) and child.is_definition():
                if (rel, child.extent.start.offset) not in self.done:
                    self.done.add((rel, child.extent.start.offset))
                    self.function(rel, child)
            else:
                self.walk(child)

    def initializer(self, decl):
        """The tokens after a declaration's =, or none."""
        toks = self.span_tokens(self.program_file(decl), decl.location.offset, decl.extent.end.offset)
        equals = next((k for k, t in enumerate(toks) if t.text == "="), None)
        return toks[equals + 1:] if equals is not None else []

    def function(self, rel, cursor):
        K = self.K
        body = next((c for c in cursor.get_children() if c.kind == K.COMPOUND_STMT), None)
        if body is None:
            return
        info = {"name": cursor.spelling, "locals": [], "calls": [], "refs": [], "compares": [], "blocks": [body],
                "params": [p for p in cursor.get_arguments() if p.spelling]}
        self.collect(body, [cursor, body], info)
        # the body's tokens, less the declarations' own (their initializers stay)
        skipped = []
        for decl, _ in info["locals"]:
            init = self.initializer(decl)
            skipped.append((decl.extent.start.offset, init[0].start if init else decl.extent.end.offset))
        toks = [t for t in self.tokens_of(body) if not any(a <= t.start < b for a, b in skipped)]
        self.used.update(t.text for t in toks if t.kind == "ident")
        self.regions.append((rel, toks, info["name"]))
        source = self.sources.get(rel)
        if source is not None:
            for call in info["calls"]:
                self.call_edits(source, info, call)
            self.statement_edits(source, info)
            self.foreground_edits(source, info)
            for compare, op in info["compares"]:
                self.unsigned_edit(source, info["name"], compare, op)

    def collect(self, cursor, parents, info):
        """Gathers a body's locals, calls, references, comparisons and blocks."""
        K = self.K
        for index, child in enumerate(cursor.get_children()):
            if child.kind == K.VAR_DECL:  # with the statement its scope ends with
                info["locals"].append((child, parents[-2] if parents[-1].kind == K.DECL_STMT else parents[-1]))
            elif child.kind == K.CALL_EXPR and getattr(child.referenced, "kind", None) == K.FUNCTION_DECL:
                info["calls"].append(child)
            elif child.kind == K.DECL_REF_EXPR:
                info["refs"].append((child, cursor, index))
            elif child.kind == K.BINARY_OPERATOR and getattr(self.operator(child), "text", "") in ("<", "<=", ">", ">="):
                info["compares"].append((child, self.operator(child)))
            elif child.kind == K.COMPOUND_STMT:
                info["blocks"].append(child)
            self.collect(child, parents + [child], info)

    def operator(self, binary):
        """The operator token of a binary expression, or None."""
        lhs = next(binary.get_children(), None)
        rel = self.program_file(binary)
        toks = self.span_tokens(rel, lhs.extent.end.offset, binary.extent.end.offset) if lhs and rel else []
        return toks[0] if toks and toks[0].kind == "punct" else None

    def strip(self, cursor):
        """The expression under implicit conversions and a macro's parentheses."""
        while cursor.kind in (self.K.UNEXPOSED_EXPR, self.K.PAREN_EXPR) and len(list(cursor.get_children())) == 1:
            cursor = next(cursor.get_children())
        return cursor

    def in_scope(self, info, offset):
        """The variables a statement at offset sees, by name: the program's
        handles and records, the function's parameters and its locals."""
        names = {g.spelling: g for g in self.globals if not g.type.is_volatile_qualified()
                 and g.type.get_canonical().kind in (self.ci.TypeKind.POINTER, self.ci.TypeKind.RECORD)}
        names.update((p.spelling, p) for p in info["params"])
        names.update((d.spelling, d) for d, scope in info["locals"]
                     if d.extent.end.offset <= offset and scope.extent.start.offset <= offset < scope.extent.end.offset)
        return names

    def call_edits(self, source, info, call):
        K, fn, toks = self.K, info["name"], self.tokens_of(call)
        if len(toks) < 3 or toks[0].kind != "ident" or toks[1].text != "(":
            return
        spans, depth, start = [], 0, None  # (start, end) of each argument, from the call's tokens
        for t in toks[1:]:
            depth += (t.kind == "punct" and t.text in "([{") - (t.kind == "punct" and t.text in ")]}")
            if (depth == 1 and t.text == ",") or depth == 0:
                spans += [(start, last)] if start is not None else []
                start = None
                if depth == 0:
                    break
            elif depth > 1 or t.text != "(":
                start, last = t.start if start is None else start, t.end
        name, texts = toks[0], [source.text(a, b) for a, b in spans]
        if name.text in EXCHANGED_CALLS:
            source.add(name.start, name.end, EXCHANGED_CALLS[name.text], "call-exch", fn)
        a, b = call.extent.start.offset, call.extent.end.offset
        if name.text == "GetWindowRect" and len(texts) == 2 and re.fullmatch(r"GetDesktopWindow\(\s*\)", texts[0]):
            source.add(a, b, "SystemParametersInfoW(SPI_GETWORKAREA, 0, %s, 0)" % texts[1], "call-exch", fn)
        if name.text == "SystemParametersInfoW" and len(texts) == 4 and texts[0] == "SPI_GETWORKAREA":
            source.add(a, b, "GetWindowRect(GetDesktopWindow(), %s)" % texts[2], "call-exch", fn)
        args, names = list(call.get_arguments()), self.in_scope(info, a)
        for (a, b), text, arg in zip(spans, texts, args if len(args) == len(spans) else [None] * len(spans)):
            if arg is None:  # a call through a macro that adds arguments
                if text.startswith("&"):
                    source.add(a, b, "NULL", "arg-null", fn)
                continue
            arg = self.strip(arg)
            address = arg.kind == K.UNARY_OPERATOR and text.startswith("&")
            target = self.strip(next(arg.get_children())) if address else arg
            pointer = address or target.kind == K.STRING_LITERAL
            if target.kind in (K.DECL_REF_EXPR, K.MEMBER_REF_EXPR) and target.referenced is not None:
                pointer = pointer or target.type.get_canonical().kind in (
                    self.ci.TypeKind.POINTER, self.ci.TypeKind.CONSTANTARRAY, self.ci.TypeKind.INCOMPLETEARRAY)
                variable = target.referenced
                if target.kind == K.DECL_REF_EXPR and variable.kind in (K.VAR_DECL, K.PARM_DECL) \
                        and text.lstrip("&").strip() == variable.spelling:
                    kind = type_key(variable.type)
                    for other, decl in sorted(names.items()):
                        if other != variable.spelling and type_key(decl.type) == kind \
                                and not (address and kind.endswith("[]")):
                            source.add(a, b, ("&" if address else "") + other, "arg-swap", fn)
            if pointer and text != "NULL":
                source.add(a, b, "NULL", "arg-null", fn)

    def statement_edits(self, source, info):
        """A call statement dropped, and two adjacent ones swapped."""
        K, fn = self.K, info["name"]

        def drop(call):
            if self.program_file(call) == source.rel:
                source.add(call.extent.start.offset, call.extent.end.offset, "", "call-drop", fn)
        for block in info["blocks"]:
            items = []  # each statement of the block: the call it is, or None; and whether a label starts it
            for child in block.get_children():
                labelled = child.kind in (K.CASE_STMT, K.DEFAULT_STMT)
                while child.kind in (K.CASE_STMT, K.DEFAULT_STMT):
                    child = list(child.get_children())[-1]
                call = self.strip(child)
                items.append((call if call.kind == K.CALL_EXPR and self.program_file(call) == source.rel else None,
                              labelled))
                branches = [child] if child.kind == K.IF_STMT else []
                for branch in branches:  # the branches of an if without braces, and of its else ifs
                    for inner in map(self.strip, list(branch.get_children())[1:]):
                        if inner.kind == K.IF_STMT:
                            branches.append(inner)
                        elif inner.kind == K.CALL_EXPR:
                            drop(inner)
            for (call, _), (following, labelled) in zip(items, items[1:] + [(None, False)]):
                if call is None:
                    continue
                drop(call)
                a, b = call.extent.start.offset, call.extent.end.offset
                if following is not None and not labelled:
                    c, d = following.extent.start.offset, following.extent.end.offset
                    if source.text(a, b) != source.text(c, d):
                        source.add(a, d, source.text(c, d) + source.text(b, c) + source.text(a, b), "call-swap", fn)

    def foreground_edits(self, source, info):
        """GetForegroundWindow() and the windows a function remembers, exchanged."""
        K, fn = self.K, info["name"]
        calls = [c for c in info["calls"] if c.spelling == "GetForegroundWindow"]
        if not calls:
            return
        windows = {d.spelling for d in info["params"] + [d for d, _ in info["locals"]] if type_key(d.type) == "HWND"}
        # (where a value assigned starts, the variable it goes to)
        assigned = {(self.initializer(d)[0].start, d.spelling) for d, _ in info["locals"] if self.initializer(d)}
        for ref, parent, index in info["refs"]:
            if parent.kind == K.BINARY_OPERATOR and index == 0 and getattr(self.operator(parent), "text", "") == "=":
                assigned.add((list(parent.get_children())[1].extent.start.offset, ref.spelling))
            elif ref.spelling in windows and ref.referenced.kind in (K.VAR_DECL, K.PARM_DECL):
                source.add(ref.extent.start.offset, ref.extent.end.offset, "GetForegroundWindow()", "call-exch", fn)
        for call in calls:
            for window in sorted(windows & set(self.in_scope(info, call.extent.start.offset))):
                if (call.extent.start.offset, window) not in assigned:
                    source.add(call.extent.start.offset, call.extent.end.offset, window, "call-exch", fn)

    def unsigned_edit(self, source, function, compare, op):
        """A comparison made in a signed type, made as unsigned 32-bit values."""
        signed = next(compare.get_children()).type.get_canonical().kind.name in (
            "INT", "LONG", "LONGLONG", "SHORT", "SCHAR", "CHAR_S")
        a, b = compare.extent.start.offset, compare.extent.end.offset
        if signed and self.program_file(compare) == source.rel and a <= op.start < b:
            left, right = source.text(a, op.start).strip(), source.text(op.end, b).strip()
            source.add(a, b, "(DWORD)(%s) %s (DWORD)(%s)" % (left, op.text, right), "unsigned", function)


# ------------------------------------------------------------------ the resource script, as text
RC_TOKEN = re.compile(r'(?P<comment>//[^\n]*|/\*.*?\*/)|(?P<string>"(?:[^"\n]|"")*")|(?P<number>\b\d\w*)'
                      r'|(?P<ident>[A-Za-z_]\w*)|(?P<punct>&&|\|\||[=!<>]=|[^\s\w])', re.S)


def rc_edits(source, siblings):
    text = source.text(0, len(source.data))
    if not text.isascii():
        raise UsageError("%s: the resource script must be ASCII" % source.rel)
    lines = {}
    for m in RC_TOKEN.finditer(text):
        if m.lastgroup != "comment":
            line = text.count("\n", 0, m.start()) + 1
            lines.setdefault(line, []).append(Tok(m.lastgroup, m.group(), m.start(), m.end(), line))
            source.names.setdefault(line, set()).add(m.group())
    files = {}  # the ICON and BITMAP lines, each kind in order
    for toks in lines.values():
        if len(toks) == 3 and toks[1].text in ("ICON", "BITMAP") and toks[2].kind == "string":
            files.setdefault(toks[1].text, []).append(toks[2])
    for number, toks in sorted(lines.items()):
        words = [t.text for t in toks]
        if words[0] == "#":
            if len(words) > 2 and words[1] == "define":
                lexical(source, toks[3:], siblings)
        elif len(toks) == 3 and words[1] in files:
            same = files[words[1]]  # the file of one resource swapped with the next of its kind
            source.add(toks[2].start, toks[2].end, same[(same.index(toks[2]) + 1) % len(same)].text, "swap")
        elif words[0] not in ("LANGUAGE", "BEGIN", "END", "STRINGTABLE"):
            # the id that starts a resource or string-table line is its slot, not a use
            lexical(source, toks[1:] if words[0].startswith(RESOURCE_PREFIXES) else toks, siblings)


# ------------------------------------------------------------------ generation
def generate(root, files, commands_file):
    ci = load_clang()
    commands = compile_commands(ci, root, commands_file)
    sources = {rel: Source(root, rel) for rel in files}
    for rel in files:
        if rel.endswith(".cpp") and rel not in commands:
            raise UsageError("%s has no compile command of the program image in %s: add it to VELTO_SOURCES, "
                             "or run `cmake --preset native` again" % (rel, commands_file))
    parser = Parser(ci, root, sources)
    for rel in sorted(commands):
        parser.parse(rel, commands[rel])
    used_ids = sorted(set(parser.resource_ids) & parser.used)

    def siblings(name):
        if name in ONE_WAY:
            return ONE_WAY[name]
        family = next((f for f in FAMILIES if name in f), None)
        if family is None and name in parser.resource_ids:
            family = [n for n in used_ids if n[:4] == name[:4]]
        return [n for n in family or [] if n != name]

    for rel, toks, function in parser.regions:
        if rel in sources:
            lexical(sources[rel], toks, siblings, function)
    mutants = []
    for rel in files:
        if rel.endswith(".rc"):
            rc_edits(sources[rel], siblings)
        counters, places = collections.Counter(), {}
        for m in sorted(sources[rel].mutants.values(), key=lambda m: (m.line, m.operator, m.start, m.end, m.new)):
            m.index = counters[(m.line, m.operator)]
            counters[(m.line, m.operator)] += 1
            places.setdefault((m.function, m.original), set()).add(m.line)
            mutants.append(m)
        for m in mutants:  # the same lines twice in one function: which of them, from 1
            lines = sorted(places.get((m.function, m.original), ()))
            if m.path == rel and len(lines) > 1:
                m.where = "%s @%d" % (m.function, lines.index(m.line) + 1)
    return mutants


# ------------------------------------------------------------------ selection
def run_git(root, *args, failure=None):
    result = subprocess.run(["git", *args], cwd=root, capture_output=True, text=True)
    if result.returncode != 0:
        raise UsageError(failure or "git %s failed: %s" % (" ".join(args), result.stderr.strip()))
    return result.stdout


def find_root():
    here = Path(__file__).resolve().parent
    failure = "%s is not in a git checkout: the mutation check needs one" % here
    return Path(run_git(here, "rev-parse", "--show-toplevel", failure=failure).strip())


def program_files(root):
    return sorted(p.relative_to(root).as_posix() for folder in PROGRAM_FOLDERS if (root / folder).is_dir()
                  for p in (root / folder).rglob("*") if p.is_file() and p.name.endswith(SOURCE_SUFFIXES)
                  and p.relative_to(root).as_posix() not in SKIPPED_FILES)


def select_files(root, given):
    if not given:
        return program_files(root)
    chosen = set()
    for g in given:
        p = (Path(g) if Path(g).is_absolute() or Path(g).exists() else root / g).resolve()
        if not p.exists():
            raise UsageError("no such file or folder: %s" % g)
        if not p.is_relative_to(root):
            raise UsageError("%s is outside the checkout %s" % (g, root))
        rel = p.relative_to(root).as_posix()
        if rel.split("/")[0] not in PROGRAM_FOLDERS:
            raise UsageError("%s is not in the program's folders (%s)" % (g, " ".join(PROGRAM_FOLDERS)))
        if p.is_file() and rel in SKIPPED_FILES:
            print("note: %s is not mutated itself; its ids are mutated where they are used" % rel)
        elif p.is_file() and not rel.endswith(SOURCE_SUFFIXES):
            raise UsageError("%s is not a C++ source, header or resource script" % g)
        elif p.is_file():
            chosen.add(rel)
        else:
            inside = [f for f in program_files(root) if f.startswith(rel + "/")]
            if not inside:
                raise UsageError("%s holds no C++ sources, headers or resource scripts" % g)
            chosen.update(inside)
    return sorted(chosen)


def changed_lines(root, rev):
    run_git(root, "rev-parse", "--verify", "--quiet", rev + "^{commit}", failure="unknown git revision: %s" % rev)
    changed, current = {}, None
    for line in run_git(root, "diff", "--unified=0", "--no-color", "--no-ext-diff", rev, "--").splitlines():
        if line.startswith("+++ "):
            current = line[6:] if line.startswith("+++ b/") else None
        elif line.startswith("@@") and current is not None:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            start, count = int(m.group(1)), int(m.group(2) or "1")
            changed.setdefault(current, set()).update(range(start, start + count))
    for name in run_git(root, "ls-files", "--others", "--exclude-standard").splitlines():
        if (root / name).is_file():
            changed[name] = set(range(1, (root / name).read_bytes().count(b"\n") + 2))
    return changed


# ------------------------------------------------------------------ equivalents
class Equivalents:
    """tools/mutation-equivalent.txt: edits that change nothing that can be
    seen, keyed by file, function, operator and the text edited (see the
    file's head)."""

    def __init__(self, path):
        self.path, self.entries, self.used = path, [], set()
        if not path.exists():
            return
        for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            fields = [f.strip() for f in line.split(":::")]
            if len(fields) != 6 or not all(fields):
                raise UsageError("%s, line %d: expected 'file ::: function ::: operator ::: original ::: mutated "
                                 "::: reason'" % (path, number))
            if fields[2] not in OPERATORS + ["*"]:
                raise UsageError("%s, line %d: no operator is called %s (%s)" % (path, number, fields[2],
                                                                               ", ".join(OPERATORS)))
            file, function, operator, original, mutated, reason = fields
            self.entries.append((file, function, operator, original, wildcard(mutated), reason, number))

    def reason(self, m):
        found = None
        for file, function, operator, original, mutated, reason, number in self.entries:
            if file == m.path and function in ("*", m.function, m.where) and operator in ("*", m.operator) \
                    and original == m.original and mutated.fullmatch(m.mutated):
                self.used.add(number)
                found = found or reason
        return found

    def print_stale(self, files):
        """Prints the entries about these files that matched no mutant."""
        stale = [(number, file) for file, _, _, _, _, _, number in self.entries
                 if file in files and number not in self.used]
        if stale:
            print("\nEntries of %s that match no mutant (remove or update them):" % EQUIVALENT_FILE)
            print("".join("  line %d (%s)\n" % entry for entry in stale), end="")


def wildcard(pattern):
    """A matcher for a mutated text in which * stands for any text."""
    return re.compile(".*".join(re.escape(part) for part in pattern.split("*")), re.S)


# ------------------------------------------------------------------ running
class Workspace:
    """A copy of the tree with its own build, where mutants are applied."""

    def __init__(self, root, number, stop):
        self.root, self.stop, self.process = root, stop, None
        self.base = root / SCRATCH / ("work-%d" % number)
        self.src, self.bin = self.base / "src", self.base / "build"
        self.tests = [str(self.bin / "tests" / "velto_tests"), "--gtest_fail_fast", "--gtest_brief=1"]

    def sync(self, files):
        """Makes the copy's files equal to the tree's, writing only what differs."""
        wanted = set(files)
        for p in sorted(self.src.rglob("*")) if self.src.exists() else []:
            if p.is_file() and p.relative_to(self.src).as_posix() not in wanted:
                p.unlink()
        for rel in files:
            source, target = self.root / rel, self.src / rel
            data = source.read_bytes()
            if not target.exists() or target.read_bytes() != data:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
                shutil.copymode(source, target)

    def run(self, command, timeout):
        """Runs a command in the copy; (exit code or None on time-out, output)."""
        if self.stop.is_set():
            raise Interrupted()
        self.process = subprocess.Popen(command, cwd=self.base, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        try:
            out, code = self.process.communicate(timeout=timeout)[0], self.process.returncode
        except subprocess.TimeoutExpired:
            self.kill()
            out, code = self.process.communicate()[0], None
        if self.stop.is_set():
            raise Interrupted()
        return code, out.decode("utf-8", "replace")

    def kill(self):
        """Kills the command running in the copy, and all it started. While a
        run stops this is called over and over, so that a command started
        just as the stop came is killed too."""
        process = self.process
        if process is not None and process.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)

    def prepare(self, files, timeout):
        """Builds the copy and runs the tests once, without any mutant."""
        self.sync(files)
        steps = [(["cmake", "-S", str(self.src), "-B", str(self.bin), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                   "-DVELTO_BUILD_WIN32=OFF"], "configuring the scratch build failed")] \
            if not (self.bin / "build.ninja").exists() else []
        steps += [(["ninja", "-C", str(self.bin), "velto_tests", "velto_image"], "the unmutated tree does not build"),
                  (self.tests, "Velto's tests fail without any mutant; fix them first")]
        for command, failure in steps:
            code, out = self.run(command, timeout)
            if code != 0:
                raise UsageError(failure + ":\n" + out[-3000:])

    def try_mutant(self, mutant, build_timeout, test_timeout):
        """Applies one mutant, builds, tests and restores; the outcome and a detail."""
        path = self.src / mutant.path
        original = path.read_bytes()
        try:
            path.write_bytes(mutant.apply(original))
            code, out = self.run(["ninja", "-C", str(self.bin), "velto_image"], build_timeout)
            if code != 0:
                error = re.search(r"error[^\n]*", out)
                return "did not compile", error.group().strip() if error else "build failed"
            code, out = self.run(self.tests, test_timeout)
            if code is None:
                return "timed out", "no end after %d s" % test_timeout
            if code == 0:
                return "survived", ""
            failed = re.search(r"\[  FAILED  \] (\S+)", out)
            return "caught", failed.group(1) if failed else "exit status %d" % code
        finally:
            path.write_bytes(original)


def print_mutant(m, prefix=""):
    print("%s%s%s\n    - %s\n    + %s" % (prefix, m.id, "  in " + m.where if m.where else "", m.original, m.mutated))


def main(argv):
    parser = argparse.ArgumentParser(
        prog="tools/mutate.py", description=__doc__.split("\n\n")[0],
        epilog="\n\n".join(__doc__.split("\n\n")[1:]), formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--files", nargs="+", metavar="PATH",
                        help="only these files or folders (default: %s)" % " ".join(PROGRAM_FOLDERS))
    parser.add_argument("--since", metavar="REV",
                        help="only lines changed since the git revision REV, uncommitted changes included")
    parser.add_argument("--only", action="append", metavar="ID", default=[],
                        help="run just this mutant (repeatable); ids are file:line:operator:index")
    parser.add_argument("--list", action="store_true",
                        help="print the mutants and the entries of the equivalents that match none; build nothing")
    parser.add_argument("--compile-commands", metavar="FILE",
                        help="the build's compile commands (default %s)" % COMPILE_COMMANDS)
    parser.add_argument("-j", type=int, default=1, metavar="N",
                        help="N scratch copies built and tested in parallel (default 1)")
    parser.add_argument("--timeout", type=int, default=120, metavar="S",
                        help="seconds a test run may take before it counts as hung (default 120)")
    args = parser.parse_args(argv)
    if args.j < 1 or args.timeout < 1:
        raise UsageError("-j and --timeout need a positive number")

    root = find_root()
    files = select_files(root, args.files)
    equivalents = Equivalents(root / EQUIVALENT_FILE)
    mutants = generate(root, files, Path(args.compile_commands).resolve() if args.compile_commands
                       else root / COMPILE_COMMANDS)
    if args.since:
        changed = changed_lines(root, args.since)
        mutants = [m for m in mutants if m.lines_touched & changed.get(m.path, set())]
    if args.only:
        known = {m.id: m for m in mutants}
        missing = [i for i in args.only if i not in known]
        if missing:
            raise UsageError("no such mutant: %s (tools/mutate.py --list shows the ids)" % ", ".join(missing))
        mutants = [known[i] for i in args.only]
    every = not (args.since or args.only)  # every edit of the files: stale entries can be told
    if args.list:
        for m in mutants:
            print_mutant(m, "equivalent " if equivalents.reason(m) else "")
        print("%d mutants in %d files" % (len(mutants), len(files)))
        if every:
            equivalents.print_stale(files)
        return 0
    if not mutants:
        print("no mutants to run")
        return 0

    dirty = run_git(root, "status", "--porcelain", "--", *PROGRAM_FOLDERS).strip()
    print("The program folders have uncommitted changes; they are included:\n    " +
          dirty.replace("\n", "\n    ") if dirty else "The program folders have no uncommitted changes.")
    print("Your tree is never edited: mutants are applied to copies under %s." % SCRATCH)
    tree_files = [f for f in run_git(root, "ls-files", "--cached", "--others", "--exclude-standard", "-z").split("\0")
                  if f and not f.startswith("build/") and (root / f).is_file()]

    stop = threading.Event()
    workspaces = [Workspace(root, k + 1, stop) for k in range(min(args.j, len(mutants)))]
    queue, lock, results, errors, started = list(reversed(mutants)), threading.Lock(), [], [], time.time()

    def worker(ws):
        try:
            ws.prepare(tree_files, 3600)
            while not stop.is_set():
                with lock:
                    if not queue:
                        return
                    m = queue.pop()
                outcome, detail = ws.try_mutant(m, 600, args.timeout)
                with lock:
                    results.append((m, outcome, detail))
                    shown = outcome + (" (listed as equivalent)" if equivalents.reason(m) else "")
                    print("[%d/%d] %-16s %s%s" % (len(results), len(mutants), shown, m.id,
                                                  ("  " + detail) if detail else ""), flush=True)
        except Interrupted:
            pass
        except BaseException as e:  # noqa: report it and stop the others
            errors.append(str(e) if isinstance(e, UsageError) else "%s: %s" % (type(e).__name__, e))
            stop.set()

    signal.signal(signal.SIGTERM, signal.default_int_handler)  # SIGTERM stops the run as Ctrl-C does
    print("Preparing %d scratch cop%s (the first run builds everything once)..." %
          (len(workspaces), "y" if len(workspaces) == 1 else "ies"), flush=True)
    # Never joined: a join that Ctrl-C interrupts can take a thread for finished.
    threads, interrupted = [threading.Thread(target=worker, args=(ws,)) for ws in workspaces], False
    try:
        for thread in threads:
            thread.start()
        while any(thread.is_alive() for thread in threads):
            time.sleep(0.2)
    except KeyboardInterrupt:
        interrupted = True
        stop.set()
        while any(thread.is_alive() for thread in threads):
            for ws in workspaces:
                ws.kill()
            with contextlib.suppress(KeyboardInterrupt):  # the files are being restored: finish that first
                time.sleep(0.2)
        print("\nInterrupted: every mutated file in the scratch copies has been restored.")
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
    if errors:
        print("".join("error: %s\n" % e for e in errors), end="", file=sys.stderr)
        return 2
    code = report(results, equivalents, time.time() - started, interrupted)
    if every and not interrupted:
        equivalents.print_stale(files)
    return code


def report(results, equivalents, seconds, interrupted):
    counts = dict.fromkeys(["caught", "timed out", "survived", "did not compile"], 0)
    survivors, equivalent, wrongly_listed = [], [], []
    for m, outcome, detail in sorted(results, key=lambda r: (r[0].path, r[0].line, r[0].operator, r[0].index)):
        reason = equivalents.reason(m)
        if reason is not None and outcome == "survived":
            equivalent.append((m, reason))
        elif reason is not None and outcome != "did not compile":
            wrongly_listed.append((m, outcome))
        else:
            counts[outcome] += 1
            survivors += [m] if outcome == "survived" else []
    judged = counts["caught"] + counts["timed out"] + counts["survived"]
    print("\n%s: %d mutants in %.0f s" % ("Partial result" if interrupted else "Result", len(results), seconds))
    notes = {"timed out": " (counted as caught)", "did not compile": " (left out of the figure)",
             "equivalent": " (listed in %s, left out of the figure)" % EQUIVALENT_FILE}
    for outcome, count in list(counts.items()) + [("equivalent", len(equivalent))]:
        print("  %-16s %d%s" % (outcome, count, notes.get(outcome, "")))
    if judged:
        print("  caught: %.1f%% of %d" % (100.0 * (counts["caught"] + counts["timed out"]) / judged, judged))
    for m, outcome in wrongly_listed:
        print("\nListed as equivalent but %s (remove it from the list): %s" % (outcome, m.id))
    if equivalent:
        print("\nKnown-equivalent mutants:")
        print("".join("  %s: %s\n" % (m.id, reason) for m, reason in equivalent), end="")
    if survivors:
        print("\nSurvivors:")
        for m in survivors:
            print_mutant(m, "  ")
    if interrupted:
        return 130
    return 1 if survivors or wrongly_listed else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except UsageError as e:
        print("error: %s" % e, file=sys.stderr)
        sys.exit(2)
    except KeyboardInterrupt:
        print("\nInterrupted before any mutant was applied.", file=sys.stderr)
        sys.exit(130)
    except BrokenPipeError:  # the reader of the output stopped early (| head)
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        sys.exit(1)
