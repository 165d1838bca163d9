#!/usr/bin/env python3
"""Mutation check for Velto: are the tests sharp enough to notice a wrong rule?

The check applies one small behaviour-changing edit (a mutant) at a time to the
program's own sources, rebuilds the program image, runs Velto's tests (stopping
at the first failure) and reports the edits that every test survived.

It never edits your tree. It copies the working tree (committed and
uncommitted files, without build/ and .git) into a scratch folder under
build/mutation/, builds there, and applies each mutant to that copy only,
restoring the file afterwards (also on Ctrl-C or SIGTERM). An interrupted run
therefore cannot leave an edit behind in your tree, and the next run brings
the copy back in line with the tree before it starts.

Edits (one single edit per mutant):
  cmp-flip   == <-> !=, < <-> >=, > <-> <=
  cmp-bound  < <-> <=, > <-> >=
  logic      && <-> ||
  not-drop   a ! dropped
  const      an integer n -> n+1, 1 -> 0, TRUE <-> FALSE
  flag-drop  one operand dropped from A | B | C
  swap       a resource id or named constant replaced by a sibling of its
             family (IDI_, IDS_, IDB_, SWP_, WS_, NIM_, NIF_, HWND_TOP/BOTTOM,
             the program's own TRAY_ID_, BUTTON_, CAPTION_ ... values)
  text       a text the program uses changed ("VeltoButton" -> "VeltoButton_")
  call-swap  two adjacent call statements swapped
  call-drop  a call statement dropped
  arg-swap   a call's argument replaced by another value of the same type in
             scope (a rectangle, a window, a flag variable: parameters,
             locals declared before the line, the program's globals)
  arg-null   NULL passed for a pointer or handle argument (a window, &value,
             a text buffer, FindWindowW's title)
  call-exch  a call exchanged for one that reads similar data (the desktop
             window's rectangle and the work area, a window's title and its
             class name, IsWindow and IsWindowVisible, GetForegroundWindow
             and a window remembered in a variable, SetEvent and ResetEvent)
  unsigned   a comparison of signed values (int, LONG, a rectangle's or a
             point's coordinates) made as unsigned 32-bit values
Comments, #include lines and declarations are left alone; res/resource.h is
only mutated through the places that use its ids.

Outcomes: "caught" (a test failed or crashed), "timed out" (the tests hung:
counted as caught), "survived", "did not compile" (left out of the figure).
Mutants listed in tools/mutation-equivalent.txt change nothing observable;
they are run and reported apart, never counted as caught.

Exit status: 0 when every mutant was caught or is listed as equivalent,
1 when some survived, 2 for bad input or a broken baseline.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

PROGRAM_FOLDERS = ["app", "settings", "taskbar", "proxy", "taskmenu", "about", "res"]
SOURCE_SUFFIXES = (".cpp", ".h", ".rc")
SKIPPED_FILES = {"res/resource.h"}  # its values are only mutated through their uses
EQUIVALENT_FILE = "tools/mutation-equivalent.txt"
SCRATCH = "build/mutation"


class UsageError(Exception):
    pass


class Interrupted(Exception):
    pass


# ------------------------------------------------------------------ families
# A named constant is replaced by each of its listed siblings.
FIXED_SWAPS = {
    "HWND_TOP": ["HWND_BOTTOM"],
    "HWND_BOTTOM": ["HWND_TOP"],
    "WS_EX_TOOLWINDOW": ["WS_EX_TOPMOST"],
    "WS_EX_TOPMOST": ["WS_EX_TOOLWINDOW"],
    "SPI_SETWORKAREA": ["SPI_GETWORKAREA"],
    "HKEY_CURRENT_USER": ["HKEY_LOCAL_MACHINE"],
    "HKEY_LOCAL_MACHINE": ["HKEY_CURRENT_USER"],
    "REG_DWORD": ["REG_BINARY"],
    "REG_SZ": ["REG_BINARY", "REG_EXPAND_SZ"],
    "WM_LBUTTONDOWN": ["WM_LBUTTONUP"],
    "WM_LBUTTONUP": ["WM_LBUTTONDOWN"],
    "WM_DRAWITEM": ["WM_MEASUREITEM"],
    "WM_MEASUREITEM": ["WM_DRAWITEM"],
    "WM_CLOSE": ["WM_DESTROY"],
    "WM_DESTROY": ["WM_CLOSE"],
    "WM_PAINT": ["WM_ERASEBKGND"],
    "GWL_EXSTYLE": ["GWL_STYLE"],
    "RT_DIALOG": ["RT_MENU"],
    "ERROR_SUCCESS": ["ERROR_MORE_DATA"],
    "LTGRAY_BRUSH": ["WHITE_BRUSH", "GRAY_BRUSH", "NULL_BRUSH"],
}

# Each member is replaced by every other member not already on the line.
FAMILIES = [
    ["SWP_NOSIZE", "SWP_NOMOVE", "SWP_NOZORDER", "SWP_NOACTIVATE", "SWP_SHOWWINDOW", "SWP_HIDEWINDOW"],
    ["WS_CHILD", "WS_VISIBLE", "WS_POPUP"],
    ["NIM_ADD", "NIM_MODIFY", "NIM_DELETE"],
    ["NIF_MESSAGE", "NIF_ICON", "NIF_TIP"],
    ["CS_HREDRAW", "CS_VREDRAW", "CS_DBLCLKS"],
    ["SPIF_UPDATEINIFILE", "SPIF_SENDCHANGE"],
    ["SS_ICON", "SS_LEFT", "SS_CENTER"],
    ["TRAY_ID_MAIN", "TRAY_ID_OK", "TRAY_ID_CLOSE"],
    ["BUTTON_OK", "BUTTON_CLOSE", "BUTTON_NONE"],
    ["CAPTION_OK", "CAPTION_CLOSE"],
    ["CMD_FOREGROUND", "CMD_ABOUT"],
    ["TASKBAR_HEIGHT", "DESKTOP_HEIGHT"],
    ["SCREEN_WIDTH", "SCREEN_HEIGHT"],
    ["BUTTON_SIZE", "FACE_SIZE", "FACE_MARGIN"],
    ["IconTray", "IconTrayActive", "IconCloseGlyph", "IconOk", "IconClose"],
    ["BitmapClose", "BitmapOk", "BitmapIdle"],
    ["DesktopName", "DesktopClass", "TaskbarName", "TaskbarClass"],
    ["CloseButton", "OkButton", "Monitoring", "TaskBarOnTop"],
]

# Calls exchanged for one that reads similar data (call-exch); each pattern is
# tried on the code of a line, and its replacement may name the pattern's groups.
CALL_EXCHANGES = [
    (r"GetWindowRect\(\s*GetDesktopWindow\(\)\s*,\s*&(\w+)\s*\)", r"SystemParametersInfoW(SPI_GETWORKAREA, 0, &\1, 0)"),
    (r"SystemParametersInfoW\(\s*SPI_GETWORKAREA\s*,\s*0\s*,\s*&(\w+)\s*,\s*0\s*\)", r"GetWindowRect(GetDesktopWindow(), &\1)"),
    (r"\bGetWindowTextW\(", "GetClassNameW("),
    (r"\bGetClassNameW\(", "GetWindowTextW("),
    (r"\bIsWindowVisible\(", "IsWindow("),
    (r"\bIsWindow\(", "IsWindowVisible("),
    (r"\bSetEvent\(", "ResetEvent("),
    (r"\bResetEvent\(", "SetEvent("),
]

# The types whose values arg-swap exchanges, and the signed ones that the
# unsigned edit compares as unsigned.
VALUE_TYPES = {"HWND", "RECT", "POINT", "SIZE", "HMENU", "HICON", "HBITMAP", "HDC", "HKEY", "HANDLE", "HGDIOBJ",
               "HINSTANCE", "HMODULE", "BOOL", "UINT", "DWORD", "LONG", "WORD", "int", "WPARAM", "LPARAM",
               "COLORREF", "WCHAR", "UINT_PTR", "LPCWSTR", "LPWSTR", "BYTE"}
HANDLE_TYPES = {"HWND", "HMENU", "HICON", "HBITMAP", "HDC", "HKEY", "HANDLE", "HGDIOBJ", "HINSTANCE", "HMODULE",
                "LPCWSTR", "LPWSTR"}
SIGNED_TYPES = {"int", "LONG"}
# Process-wide values that arg-swap offers besides the locals: handles and
# rectangles (integers and flags are exchanged among the locals only).
GLOBAL_TYPES = {"HWND", "RECT", "HMENU", "HICON", "HBITMAP", "HDC", "HKEY", "HANDLE", "HINSTANCE"}
SIGNED_FIELDS = {"left", "top", "right", "bottom", "x", "y", "cx", "cy"}
# Calls whose result is signed (a count, or -1 for a failure).
SIGNED_RESULTS = {"GetMessageW", "GetWindowTextW", "GetClassNameW", "LoadStringW", "GetWindowLongW", "lstrlenW"}
# The text buffers of the settings record, as arguments.
RECORD_TEXTS = re.compile(r"^Settings\.(DesktopName|DesktopClass|TaskbarName|TaskbarClass)$")
# Not calls: their "arguments" are left to the other edits.
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "TEXT", "MAKEINTRESOURCEW", "LOWORD", "HIWORD",
             "MAKELPARAM", "MAKEWPARAM", "defined"}
DECLARED = re.compile(r"(?:\b(?:const|static|volatile|struct)\s+)*\b([A-Za-z_]\w*)\s*(\*?)\s*([A-Za-z_]\w*)\s*(\[[^\]]*\])?"
                      r"\s*(?=[=;,)\[]|$)")

# Resource ids: each use is replaced by every other id of its family that
# the program uses somewhere.
RESOURCE_PREFIXES = ["IDI_", "IDS_", "IDB_"]


# ------------------------------------------------------------------ helpers
def run_git(root, *args):
    result = subprocess.run(["git", *args], cwd=root, capture_output=True, text=True)
    if result.returncode != 0:
        raise UsageError("git %s failed: %s" % (" ".join(args), result.stderr.strip()))
    return result.stdout


def find_root():
    here = Path(__file__).resolve().parent
    result = subprocess.run(["git", "rev-parse", "--show-toplevel"], cwd=here, capture_output=True, text=True)
    if result.returncode != 0:
        raise UsageError("%s is not in a git checkout: the mutation check needs one" % here)
    return Path(result.stdout.strip())


def mask_code(text, rc=False):
    """Per character: 'c' code, 'm' comment, 's' inside a string literal,
    'q' a string's quote."""
    kinds = []
    i, n = 0, len(text)
    state = "code"
    while i < n:
        ch = text[i]
        if state == "code":
            if text.startswith("//", i):
                state = "line"
                kinds.append("m")
            elif text.startswith("/*", i):
                state = "block"
                kinds += "mm"
                i += 2
                continue
            elif ch == '"':
                state = "string"
                kinds.append("q")
            elif ch == "'" and not rc:
                state = "char"
                kinds.append("q")
            else:
                kinds.append("c")
        elif state == "line":
            if ch == "\n":
                state = "code"
                kinds.append("c")
            else:
                kinds.append("m")
        elif state == "block":
            if text.startswith("*/", i):
                kinds += "mm"
                i += 2
                state = "code"
                continue
            kinds.append("m")
        else:  # string or char literal
            quote = '"' if state == "string" else "'"
            if ch == "\\" and not rc and i + 1 < n:
                kinds += "ss"
                i += 2
                continue
            if rc and ch == '"' and text.startswith('""', i):
                kinds += "ss"
                i += 2
                continue
            if ch == quote:
                kinds.append("q")
                state = "code"
            elif ch == "\n":  # an unterminated literal ends at the line's end
                kinds.append("c")
                state = "code"
            else:
                kinds.append("s")
        i += 1
    return "".join(kinds)


class Mutant:
    def __init__(self, path, line, operator, first, count, new_lines, old_lines):
        self.path = path          # relative to the root, with forward slashes
        self.line = line          # 1-based first line
        self.operator = operator
        self.first = first        # 0-based index of the first line replaced
        self.count = count        # number of lines replaced
        self.new_lines = new_lines
        self.old_lines = old_lines
        self.index = 0
        self.function = ""        # the function it lies in, for the list of equivalents
        self.lines_touched = set(range(line, line + count))

    @property
    def id(self):
        return "%s:%d:%s:%d" % (self.path, self.line, self.operator, self.index)

    @property
    def original(self):
        return " / ".join(l.strip() for l in self.old_lines)

    @property
    def mutated(self):
        return " / ".join(l.strip() for l in self.new_lines) if self.new_lines else "(dropped)"


DECLARATION = re.compile(
    r"^\s*((static|extern|const|volatile|inline|struct|unsigned)\s+)*[A-Za-z_]\w*[\s\*]+\**\w+(\s*\[[^\]]*\])?\s*;\s*$")
CALL_STATEMENT = re.compile(r"^\s*[A-Za-z_]\w*\s*\(.*\)\s*;\s*$")
NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.])")
IDENT = re.compile(r"[A-Za-z_]\w*")
FLAG_CHAIN = re.compile(r"(?<![\w|])[A-Za-z_0-9]\w*(?:\s*(?<!\|)\|(?!\|)\s*[A-Za-z_0-9]\w*)+(?![\w|])")
OPERATOR = re.compile(r"<<=|>>=|<<|>>|->|<=|>=|==|!=|&&|\|\||[<>!|]")
COMPARISONS = {"==": ["!="], "!=": ["=="], "<": [">=", "<="], ">=": ["<", ">"], ">": ["<=", ">="],
               "<=": [">", "<"]}


def balanced(code):
    return code.count("(") == code.count(")")


class FileMutator:
    """The mutants of one file."""

    def __init__(self, root, rel, resource_siblings, globals_=None):
        self.globals = globals_ or {}
        self.scope = {}           # name -> type of the parameters and locals seen so far
        self.signature = ""       # the text of a function's head, gathered at depth 0
        self.rel = rel
        self.text = read_text(root / rel)
        self.rc = rel.endswith(".rc")
        self.lines = self.text.splitlines(keepends=True)
        mask = mask_code(self.text, self.rc)
        self.masks = []
        pos = 0
        for l in self.lines:
            self.masks.append(mask[pos:pos + len(l)])
            pos += len(l)
        self.resource_siblings = resource_siblings
        self.mutants = []

    # -- what may be mutated on a line
    def code_only(self, i):
        """The line with comments and string insides blanked out."""
        line, mask = self.lines[i], self.masks[i]
        return "".join(ch if k == "c" or ch == "\n" else (" " if k == "m" else ("\"" if k == "q" else "x"))
                       for ch, k in zip(line, mask))

    def add(self, i, operator, new_line):
        if new_line == self.lines[i]:
            return
        self.mutants.append(Mutant(self.rel, i + 1, operator, i, 1, [new_line], [self.lines[i]]))

    def generate(self):
        depth = 0
        previous_end = ";"
        in_define = False
        for i, line in enumerate(self.lines):
            code = self.code_only(i)
            stripped = code.strip()
            start_depth = depth
            depth += code.count("{") - code.count("}")
            if not stripped:
                continue
            if stripped.startswith("#") or in_define:
                in_define = stripped.endswith("\\")
                m = re.match(r"^\s*#\s*define\s+\w+(\([^)]*\))?\s+(.*)$", code)
                if m and "include" not in stripped:
                    self.mutate_span(i, m.start(2))
                previous_end = ";"
                continue
            if self.rc:
                self.mutate_rc_line(i, code)
                continue
            if start_depth == 0:
                self.signature = (self.signature + " " + stripped) if "(" in stripped or self.signature else ""
                if depth > 0:  # a function's body begins: its parameters are in scope
                    self.scope = parameters(self.signature)
                    self.signature = ""
                elif stripped.endswith(";"):
                    self.signature = ""
            declaration = (start_depth == 0 and "(" in stripped) or DECLARATION.match(code) \
                or stripped.startswith("extern ")
            if not declaration:
                self.mutate_span(i, 0)
                self.mutate_statement(i, code, previous_end)
                self.mutate_values(i, code)
            if start_depth > 0:
                self.scope.update(locals_declared(code))
            previous_end = stripped[-1]

    def mutate_span(self, i, start):
        code = self.code_only(i)
        line = self.lines[i]

        def replace(a, b, new):
            return line[:a] + new + line[b:]

        # comparisons, && and ||, and a dropped !
        for m in OPERATOR.finditer(code):
            a, b, op = m.start(), m.end(), m.group()
            if a < start:
                continue
            if op in COMPARISONS:
                flips = COMPARISONS[op]
                self.add(i, "cmp-flip", replace(a, b, flips[0]))
                if len(flips) > 1:
                    self.add(i, "cmp-bound", replace(a, b, flips[1]))
            elif op in ("&&", "||"):
                self.add(i, "logic", replace(a, b, "||" if op == "&&" else "&&"))
            elif op == "!":
                self.add(i, "not-drop", replace(a, b, ""))
        # integer constants and TRUE/FALSE
        for m in NUMBER.finditer(code):
            if m.start() < start:
                continue
            digits, suffix = m.group(1), m.group(2)
            value = int(digits, 0)
            if digits.lower().startswith("0x"):
                bigger = "0x%0*X" % (len(digits) - 2, value + 1)
            else:
                bigger = str(value + 1)
            self.add(i, "const", replace(m.start(1), m.end(1), bigger))
            if value == 1:
                self.add(i, "const", replace(m.start(1), m.end(1), "0"))
        for m in re.finditer(r"\b(TRUE|FALSE)\b", code):
            if m.start() >= start:
                self.add(i, "const", replace(m.start(), m.end(), "FALSE" if m.group() == "TRUE" else "TRUE"))
        # a flag dropped from a combination
        for m in FLAG_CHAIN.finditer(code):
            if m.start() < start:
                continue
            parts = [(p.start() + m.start(), p.end() + m.start()) for p in re.finditer(r"[A-Za-z_0-9]\w*", m.group())]
            for k, (a, b) in enumerate(parts):
                if k + 1 < len(parts):
                    cut = (a, parts[k + 1][0])
                else:
                    cut = (parts[k - 1][1], b)
                self.add(i, "flag-drop", replace(cut[0], cut[1], ""))
        # named constants swapped for a sibling
        names_on_line = set(IDENT.findall(code))
        for m in IDENT.finditer(code):
            if m.start() < start:
                continue
            for sibling in self.siblings(m.group()):
                if sibling not in names_on_line:
                    self.add(i, "swap", replace(m.start(), m.end(), sibling))
        # texts
        mask = self.masks[i]
        for m in re.finditer(r"q(s*)q", mask):
            if m.start() < start:
                continue
            self.add(i, "text", replace(m.end() - 1, m.end() - 1, "_"))

    # -- values: arguments, exchanged calls, signed comparisons
    def type_of(self, name):
        return self.scope.get(name) or self.globals.get(name)

    def in_scope(self):
        names = dict(self.globals)
        names.update(self.scope)
        return names

    def mutate_values(self, i, code):
        line = self.lines[i]

        def replace(a, b, new):
            return line[:a] + new + line[b:]

        names = self.in_scope()
        for a, b, arg in call_arguments(code):
            target = arg[1:] if arg.startswith("&") else arg
            kind = self.type_of(target) if IDENT.fullmatch(target) else None
            if kind is not None:
                for other in sorted(names):
                    if other != target and names[other] == kind and not (kind.endswith("[]") and arg.startswith("&")):
                        self.add(i, "arg-swap", replace(a, b, ("&" if arg.startswith("&") else "") + other))
            pointer = arg.startswith("&") or RECORD_TEXTS.match(arg) or re.fullmatch(r'TEXT\("[^"]*"\)', arg) \
                or (kind is not None and (kind in HANDLE_TYPES or kind.endswith("*") or kind.endswith("[]")))
            if pointer:
                self.add(i, "arg-null", replace(a, b, "NULL"))
        for pattern, new in CALL_EXCHANGES:
            for m in re.finditer(pattern, code):
                self.add(i, "call-exch", replace(m.start(), m.end(), m.expand(new)))
        # GetForegroundWindow and a window remembered in a variable, both ways
        windows = sorted(n for n, t in self.scope.items() if t == "HWND") \
            if "GetForegroundWindow" in self.function_text(i) else []
        for m in re.finditer(r"\bGetForegroundWindow\(\)", code):
            for name in windows:
                if not re.search(r"\b%s\s*=[^=]" % name, code):
                    self.add(i, "call-exch", replace(m.start(), m.end(), name))
        if "GetForegroundWindow" in self.function_text(i):
            for m in IDENT.finditer(code):
                if m.group() in windows and not re.match(r"\s*=[^=]", code[m.end():]) \
                        and not re.search(r"\bHWND\s*$", code[:m.start()]):
                    self.add(i, "call-exch", replace(m.start(), m.end(), "GetForegroundWindow()"))
        # signed comparisons made unsigned
        for m in re.finditer(r"(?<![<>=!-])(<=|>=|<|>)(?![<>=])", code):
            left = re.search(r"([A-Za-z_]\w*(?:(?:\.|->)\w+)*|\d+)\s*$", code[:m.start()]) \
                or signed_call(code[:m.start()])
            right = re.match(r"\s*(-?[A-Za-z_0-9]\w*(?:(?:\.|->)\w+)*)", code[m.end():])
            if not left or not right:
                continue
            before = code[:left.start()].rstrip()
            if code[m.end() + right.end():].lstrip().startswith("(") \
                    or (before.endswith(("&", "*")) and not before.endswith(("&&", "**"))):
                continue  # a call's result, or an address: not a plain value
            if not (self.signed(left.group(1)) or self.signed(right.group(1))):
                continue
            la, lb = left.start(1), left.end(1)
            ra, rb = m.end() + right.start(1), m.end() + right.end(1)
            # the operands from the line itself: the code has its texts blanked
            new = line[:la] + "(DWORD)(" + line[la:lb] + ") " + m.group() + " (DWORD)(" + line[ra:rb] + ")" + line[rb:]
            self.add(i, "unsigned", new)

    def function_range(self, i):
        """The first and last line of the function that line i lies in, or None."""
        if not hasattr(self, "functions"):
            self.functions = []
            depth, start = 0, None
            for k in range(len(self.lines)):
                code = self.code_only(k)
                if depth == 0 and "{" in code:
                    start = k
                depth += code.count("{") - code.count("}")
                if depth == 0 and start is not None:
                    self.functions.append((start, k))
                    start = None
        return next(((a, b) for a, b in self.functions if a <= i <= b), None)

    def function_text(self, i):
        """The code of the function that line i lies in ('' outside one)."""
        span = self.function_range(i)
        return "".join(self.code_only(k) for k in range(span[0], span[1] + 1)) if span else ""

    def function_name(self, i):
        """The name of the function that line i lies in ('' outside one): the
        first name followed by a parenthesis in its head."""
        span = self.function_range(i)
        if not span:
            return ""
        head = "".join(self.code_only(k) for k in range(max(0, span[0] - 4), span[0] + 1))
        head = re.split(r"[;}]", head[:head.index("{")])[-1]
        name = re.search(r"(\w+)\s*\(", head)
        return name.group(1) if name else ""

    def signed(self, operand):
        callee = re.match(r"(\w+)\s*\(", operand)
        if callee:
            return callee.group(1) in SIGNED_RESULTS
        if re.fullmatch(r"-\d+", operand):
            return True
        parts = re.split(r"\.|->", operand)
        if len(parts) > 1:
            return parts[-1] in SIGNED_FIELDS and self.type_of(parts[0]) in ("RECT", "POINT", "SIZE", "RECT*")
        return self.type_of(operand) in SIGNED_TYPES

    def siblings(self, name):
        if name in FIXED_SWAPS:
            return FIXED_SWAPS[name]
        for family in FAMILIES:
            if name in family:
                return [n for n in family if n != name]
        return self.resource_siblings.get(name, [])

    def mutate_rc_line(self, i, code):
        stripped = code.strip()
        words = stripped.split()
        kind = words[1] if len(words) > 2 else ""
        if kind in ("ICON", "BITMAP") and len(words) == 3:
            # the file of one resource swapped with the next of the same kind
            same = [k for k, c in enumerate(self.lines)
                    if len(self.code_only(k).split()) == 3 and self.code_only(k).split()[1] == kind]
            nxt = same[(same.index(i) + 1) % len(same)]
            mine, theirs = self.file_name(i), self.file_name(nxt)
            if mine and theirs and mine != theirs:
                self.add(i, "swap", self.lines[i].replace('"%s"' % mine, '"%s"' % theirs))
            return
        if words and words[0] in ("LANGUAGE", "BEGIN", "END", "STRINGTABLE"):
            return
        # The id that starts a resource or a string-table line is its slot: moving
        # it is a change of the catalogue's numbering, which the texts cover.
        first = re.match(r"\s*[A-Za-z_]\w*", code)
        skip = first.end() if first and words[0].startswith(tuple(RESOURCE_PREFIXES)) else 0
        self.mutate_span(i, skip)

    def file_name(self, i):
        m = re.search(r'"([^"]+)"', self.lines[i])
        return m.group(1) if m else None

    def mutate_statement(self, i, code, previous_end):
        """Dropping a call statement, and swapping it with the next one."""
        if previous_end not in ";{}:" or not CALL_STATEMENT.match(code) or not balanced(code):
            return
        if re.match(r"^\s*(if|while|for|switch|return|sizeof)\b", code):
            return
        line = self.lines[i]
        indent = line[:len(line) - len(line.lstrip())]
        self.mutants.append(Mutant(self.rel, i + 1, "call-drop", i, 1, [indent + ";\n"], [line]))
        if i + 1 < len(self.lines):
            following = self.code_only(i + 1)
            nxt = self.lines[i + 1]
            if CALL_STATEMENT.match(following) and balanced(following) \
                    and not re.match(r"^\s*(if|while|for|switch|return|sizeof)\b", following) \
                    and nxt[:len(nxt) - len(nxt.lstrip())] == indent and nxt.strip() != line.strip():
                self.mutants.append(Mutant(self.rel, i + 1, "call-swap", i, 2, [nxt, line], [line, nxt]))


def declarations(code):
    """(name, type) of the variables a stretch of code declares; arrays are
    'TYPE[]', pointers 'TYPE*'."""
    found = []
    for m in DECLARED.finditer(code):
        kind, star, name, array = m.group(1), m.group(2), m.group(3), m.group(4)
        if kind in VALUE_TYPES or kind in ("TaskMenus", "PAINTSTRUCT", "MEASUREITEMSTRUCT", "DRAWITEMSTRUCT",
                                           "NOTIFYICONDATAW", "WNDCLASSW", "MSG", "SettingsRecord"):
            found.append((name, kind + ("[]" if array else "") + ("*" if star else "")))
    return found


def parameters(signature):
    """The parameters of a function from its head."""
    m = re.search(r"\((.*)\)", signature)
    if not m:
        return {}
    return dict(declarations(m.group(1)))


def locals_declared(code):
    """The variables a statement inside a function declares."""
    stripped = code.strip()
    if not re.match(r"^(const\s+|static\s+)*[A-Za-z_]\w*\s*\*?\s*[A-Za-z_]\w*\s*(\[[^\]]*\])?\s*[=;,\[]", stripped):
        return {}
    if re.match(r"^(return|case|goto|delete|else)\b", stripped):
        return {}
    head = stripped.split("=")[0] + ";"
    return dict(declarations(head))


def signed_call(before):
    """A match whose group 1 is the call that the text ends with, when the
    call's result is signed; else None."""
    text = before.rstrip()
    if not text.endswith(")"):
        return None
    depth = 0
    for k in range(len(text) - 1, -1, -1):
        depth += {")": 1, "(": -1}.get(text[k], 0)
        if depth == 0:
            m = re.search(r"([A-Za-z_]\w*)\s*$", text[:k])
            if m and m.group(1) in SIGNED_RESULTS:
                return re.compile(r"(.*)").match(text, m.start())
            return None
    return None


def call_arguments(code):
    """(start, end, text) of each argument of each call on the line whose
    parentheses close on it; the text trimmed and its span exact."""
    found = []
    for m in re.finditer(r"\b([A-Za-z_]\w*)\s*\(", code):
        if m.group(1) in NOT_CALLS:
            continue
        depth, k, start = 1, m.end(), m.end()
        spans = []
        while k < len(code) and depth > 0:
            ch = code[k]
            if ch in "([{":
                depth += 1
            elif ch in ")]}":
                depth -= 1
                if depth == 0:
                    spans.append((start, k))
            elif ch == "," and depth == 1:
                spans.append((start, k))
                start = k + 1
            k += 1
        if depth != 0:
            continue
        for a, b in spans:
            text = code[a:b]
            if not text.strip():
                continue
            lead = len(text) - len(text.lstrip())
            trail = len(text.rstrip())
            found.append((a + lead, a + trail, text.strip()))
    return found


def program_globals(root):
    """Per program file, its own file-level variables and their types."""
    return {rel: file_globals(root, rel) for rel in program_files(root) if not rel.endswith(".rc")}


def visible_globals(root, rel, table, seen=None):
    """The process-wide variables a file sees: its own and those of the
    headers it includes, directly or not."""
    seen = set() if seen is None else seen
    if rel in seen or rel not in table:
        return {}
    seen.add(rel)
    names = {}
    for header in re.findall(r'^\s*#\s*include\s+"([^"]+)"', read_text(root / rel), re.M):
        names.update(visible_globals(root, header, table, seen))
    names.update(table[rel])
    return names


def file_globals(root, rel):
    """A file's own file-level variables of the types arg-swap offers."""
    names = {}
    text = read_text(root / rel)
    mask = mask_code(text)
    code = "".join(ch if k == "c" or ch == "\n" else " " for ch, k in zip(text, mask))
    depth = 0
    for line in code.splitlines():
        if depth == 0 and "(" not in line and not line.lstrip().startswith("#"):
            m = re.match(r"^\s*(?:extern\s+|static\s+)?(volatile\s+)?(?:const\s+)*([A-Za-z_]\w*)\s*(\*?)\s*"
                         r"([A-Za-z_]\w*)\s*(\[[^\]]*\])?\s*(?:=[^;]*)?;", line)
            if m and m.group(2) in GLOBAL_TYPES and not m.group(1):
                names[m.group(4)] = m.group(2) + ("[]" if m.group(5) else "") + ("*" if m.group(3) else "")
        depth += line.count("{") - line.count("}")
    return names


def read_text(path):
    try:
        return path.read_text(encoding="utf-8")
    except UnicodeDecodeError:
        raise UsageError("%s is not UTF-8 text" % path)
    except OSError as e:
        raise UsageError("cannot read %s: %s" % (path, e.strerror))


def program_files(root):
    files = []
    for folder in PROGRAM_FOLDERS:
        base = root / folder
        if base.is_dir():
            for p in sorted(base.rglob("*")):
                rel = p.relative_to(root).as_posix()
                if p.is_file() and rel.endswith(SOURCE_SUFFIXES) and rel not in SKIPPED_FILES:
                    files.append(rel)
    return files


def resource_siblings(root, files):
    header = root / "res" / "resource.h"
    if not header.exists():
        return {}
    ids = re.findall(r"^\s*#define\s+((?:%s)\w+)\s" % "|".join(RESOURCE_PREFIXES),
                     read_text(header), re.M)
    used = set()
    for rel in files:
        if rel.endswith(".rc"):
            continue
        text = read_text(root / rel)
        mask = mask_code(text, rel.endswith(".rc"))
        code = "".join(ch if k == "c" else " " for ch, k in zip(text, mask))
        used.update(n for n in IDENT.findall(code) if n in ids)
    siblings = {}
    for name in ids:
        prefix = next(p for p in RESOURCE_PREFIXES if name.startswith(p))
        siblings[name] = [n for n in ids if n != name and n.startswith(prefix) and n in used]
    return siblings


def generate(root, files):
    siblings = resource_siblings(root, program_files(root))
    table = program_globals(root)
    mutants = []
    for rel in files:
        fm = FileMutator(root, rel, siblings, visible_globals(root, rel, table))
        fm.generate()
        counters = {}
        fm.mutants.sort(key=lambda m: (m.line, m.operator))
        for m in fm.mutants:
            m.function = fm.function_name(m.first)
            key = (m.line, m.operator)
            m.index = counters.get(key, 0)
            counters[key] = m.index + 1
        mutants += fm.mutants
    return mutants


# ------------------------------------------------------------------ selection
def select_files(root, given):
    if not given:
        return program_files(root)
    chosen = []
    for g in given:
        p = Path(g)
        if not p.is_absolute():
            p = (Path.cwd() / p) if (Path.cwd() / p).exists() else root / p
        p = p.resolve()
        if not p.exists():
            raise UsageError("no such file or folder: %s" % g)
        try:
            rel = p.relative_to(root)
        except ValueError:
            raise UsageError("%s is outside the checkout %s" % (g, root))
        if not rel.parts or rel.parts[0] not in PROGRAM_FOLDERS:
            raise UsageError("%s is not in the program's folders (%s)" % (g, " ".join(PROGRAM_FOLDERS)))
        candidates = [p] if p.is_file() else sorted(q for q in p.rglob("*") if q.is_file())
        for q in candidates:
            r = q.relative_to(root).as_posix()
            if r.startswith(("build/", ".git/")):
                continue
            if r in SKIPPED_FILES:
                if p.is_file():
                    print("note: %s is not mutated itself; its ids are mutated where they are used" % r)
                continue
            if r.endswith(SOURCE_SUFFIXES):
                chosen.append(r)
            elif p.is_file():
                raise UsageError("%s is not a C++ source, header or resource script" % g)
        if not candidates:
            raise UsageError("%s holds no files" % g)
    return sorted(set(chosen))


def changed_lines(root, rev):
    if subprocess.run(["git", "rev-parse", "--verify", "--quiet", rev + "^{commit}"], cwd=root,
                      capture_output=True).returncode != 0:
        raise UsageError("unknown git revision: %s" % rev)
    diff = run_git(root, "diff", "--unified=0", "--no-color", "--no-ext-diff", rev, "--")
    changed = {}
    current = None
    for line in diff.splitlines():
        if line.startswith("+++ "):
            name = line[4:]
            current = name[2:] if name.startswith("b/") else None
            if current is not None:
                changed.setdefault(current, set())
        elif line.startswith("@@") and current is not None:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            start, count = int(m.group(1)), int(m.group(2) or "1")
            changed[current].update(range(start, start + count))
    for name in run_git(root, "ls-files", "--others", "--exclude-standard").splitlines():
        path = root / name
        if path.is_file():
            changed[name] = set(range(1, len(path.read_text(errors="replace").splitlines()) + 1))
    return changed


# ------------------------------------------------------------------ equivalents
class Equivalents:
    def __init__(self, path):
        self.path = path
        self.by_id = {}
        self.by_text = []
        self.used = set()
        self.lines = set()
        if not path.exists():
            return
        for number, raw in enumerate(read_text(path).splitlines(), 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            self.lines.add(number)
            fields = [f.strip() for f in line.split(":::")]
            if len(fields) == 2 and fields[0] and fields[1]:
                self.by_id[fields[0]] = (fields[1], number)
            elif len(fields) in (4, 5) and all(fields):
                function = fields.pop(1) if len(fields) == 5 else None
                self.by_text.append((fields[0], function, fields[1], wildcard(fields[2]), fields[3], number))
            else:
                raise UsageError("%s, line %d: expected 'ID ::: reason', "
                                 "'file ::: original ::: mutated ::: reason' or "
                                 "'file ::: function ::: original ::: mutated ::: reason'" % (path, number))

    def reason(self, mutant):
        if mutant.id in self.by_id:
            reason, number = self.by_id[mutant.id]
            self.used.add(number)
            return reason
        found = None
        for path, function, original, mutated, reason, number in self.by_text:
            if (path == mutant.path and function in (None, mutant.function) and original == mutant.original
                    and mutated.fullmatch(mutant.mutated)):
                self.used.add(number)
                found = found or reason
        return found


def wildcard(pattern):
    """A matcher for a mutated text in which * stands for any text."""
    return re.compile(".*".join(re.escape(part) for part in pattern.split("*")), re.S)


# ------------------------------------------------------------------ running
class Workspace:
    """A copy of the tree with its own build, where mutants are applied."""

    def __init__(self, root, number, stop):
        self.root = root
        self.base = root / SCRATCH / ("work-%d" % number)
        self.src = self.base / "src"
        self.bin = self.base / "build"
        self.stop = stop
        self.lock = threading.Lock()
        self.process = None

    def sync(self, files):
        """Makes the copy's files equal to the tree's, writing only what differs."""
        wanted = set(files)
        if self.src.exists():
            for p in sorted(self.src.rglob("*"), reverse=True):
                rel = p.relative_to(self.src).as_posix()
                if p.is_file() and rel not in wanted:
                    p.unlink()
        for rel in files:
            source, target = self.root / rel, self.src / rel
            data = source.read_bytes()
            if target.exists() and target.read_bytes() == data:
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)

    def run(self, command, timeout, log=None):
        """Runs a command in the copy; (exit code or None on time-out, output)."""
        with self.lock:  # so that kill() either sees this process or it sees the stop
            if self.stop.is_set():
                raise Interrupted()
            self.process = subprocess.Popen(command, cwd=self.base, stdout=subprocess.PIPE,
                                            stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = self.process.communicate(timeout=timeout)
            code = self.process.returncode
        except subprocess.TimeoutExpired:
            self.kill()
            out, _ = self.process.communicate()
            code = None
        finally:
            with self.lock:
                self.process = None
        if self.stop.is_set():
            raise Interrupted()
        return code, out.decode("utf-8", "replace")

    def kill(self):
        with self.lock:
            if self.process is not None and self.process.poll() is None:
                try:
                    os.killpg(self.process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass

    def prepare(self, files, timeout):
        self.sync(files)
        if not (self.bin / "build.ninja").exists():
            code, out = self.run(["cmake", "-S", str(self.src), "-B", str(self.bin), "-G", "Ninja",
                                  "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVELTO_BUILD_WIN32=OFF"], timeout)
            if code != 0:
                raise UsageError("configuring the scratch build failed:\n" + out[-3000:])
        code, out = self.run(["ninja", "-C", str(self.bin), "velto_tests", "velto_image"], timeout)
        if code != 0:
            raise UsageError("the unmutated tree does not build:\n" + out[-3000:])
        code, out = self.test(timeout)
        if code != 0:
            raise UsageError("Velto's tests fail without any mutant; fix them first:\n" + out[-3000:])

    def test(self, timeout):
        return self.run([str(self.bin / "tests" / "velto_tests"), "--gtest_fail_fast", "--gtest_brief=1"], timeout)

    def try_mutant(self, mutant, build_timeout, test_timeout):
        """Applies one mutant, builds, tests and restores; the outcome and a detail."""
        path = self.src / mutant.path
        original = path.read_bytes()
        lines = original.decode("utf-8").splitlines(keepends=True)
        lines[mutant.first:mutant.first + mutant.count] = mutant.new_lines
        try:
            path.write_bytes("".join(lines).encode("utf-8"))
            code, out = self.run(["ninja", "-C", str(self.bin), "velto_image"], build_timeout)
            if code != 0:
                error = re.search(r"error[^\n]*", out)
                return "did not compile", error.group().strip() if error else "build failed"
            code, out = self.test(test_timeout)
            if code is None:
                return "timed out", "no end after %d s" % test_timeout
            if code == 0:
                return "survived", ""
            failed = re.search(r"\[  FAILED  \] (\S+)", out)
            if failed:
                return "caught", failed.group(1)
            return "caught", "exit status %d" % code
        finally:
            path.write_bytes(original)


def print_mutant(m, prefix=""):
    print("%s%s" % (prefix, m.id))
    print("    - %s" % m.original)
    print("    + %s" % m.mutated)


def main(argv):
    parser = argparse.ArgumentParser(
        prog="tools/mutate.py",
        description=__doc__.split("\n\n")[0],
        epilog="\n\n".join(__doc__.split("\n\n")[1:]),
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--files", nargs="+", metavar="PATH",
                        help="only these files or folders (default: %s)" % " ".join(PROGRAM_FOLDERS))
    parser.add_argument("--since", metavar="REV",
                        help="only lines changed since the git revision REV, uncommitted changes included")
    parser.add_argument("--only", action="append", metavar="ID", default=[],
                        help="run just this mutant (repeatable); ids are file:line:operator:index")
    parser.add_argument("--list", action="store_true", help="print the mutants and build nothing")
    parser.add_argument("-j", type=int, default=1, metavar="N",
                        help="N scratch copies built and tested in parallel (default 1)")
    parser.add_argument("--timeout", type=int, default=120, metavar="S",
                        help="seconds a test run may take before it counts as hung (default 120)")
    args = parser.parse_args(argv)
    if args.j < 1:
        raise UsageError("-j needs a positive number")

    root = find_root()
    files = select_files(root, args.files)
    mutants = generate(root, files)
    if args.since:
        changed = changed_lines(root, args.since)
        mutants = [m for m in mutants if m.lines_touched & changed.get(m.path, set())]
    if args.only:
        known = {m.id: m for m in mutants}
        missing = [i for i in args.only if i not in known]
        if missing:
            raise UsageError("no such mutant: %s (tools/mutate.py --list shows the ids)" % ", ".join(missing))
        mutants = [known[i] for i in args.only]
    equivalents = Equivalents(root / EQUIVALENT_FILE)

    if args.list:
        for m in mutants:
            reason = equivalents.reason(m)
            print_mutant(m, "equivalent " if reason else "")
        print("%d mutants in %d files" % (len(mutants), len(files)))
        return 0
    if not mutants:
        print("no mutants to run")
        return 0

    dirty = run_git(root, "status", "--porcelain", "--", *PROGRAM_FOLDERS).strip()
    if dirty:
        print("The program folders have uncommitted changes; they are included:")
        for line in dirty.splitlines():
            print("    " + line)
    else:
        print("The program folders have no uncommitted changes.")
    print("Your tree is never edited: mutants are applied to copies under %s." % SCRATCH)

    tree_files = [f for f in run_git(root, "ls-files", "--cached", "--others", "--exclude-standard", "-z").split("\0")
                  if f and not f.startswith("build/") and (root / f).is_file()]

    stop = threading.Event()
    workspaces = [Workspace(root, k + 1, stop) for k in range(min(args.j, len(mutants)))]

    def on_term(signum, frame):
        raise KeyboardInterrupt()

    signal.signal(signal.SIGTERM, on_term)

    results = []
    queue = list(reversed(mutants))
    queue_lock = threading.Lock()
    errors = []
    started = time.time()

    finished = [threading.Event() for _ in workspaces]

    def worker(ws, finished):
        try:
            ws.prepare(tree_files, 3600)
            while not stop.is_set():
                with queue_lock:
                    if not queue:
                        return
                    m = queue.pop()
                outcome, detail = ws.try_mutant(m, 600, args.timeout)
                with queue_lock:
                    results.append((m, outcome, detail))
                    reason = equivalents.reason(m)
                    shown = outcome + (" (listed as equivalent)" if reason else "")
                    print("[%d/%d] %-16s %s%s" % (len(results), len(mutants), shown, m.id,
                                                  ("  " + detail) if detail else ""), flush=True)
        except Interrupted:
            pass
        except UsageError as e:
            errors.append(str(e))
            stop.set()
        except BaseException as e:  # noqa: report and stop the others
            errors.append("%s: %s" % (type(e).__name__, e))
            stop.set()
        finally:
            finished.set()

    print("Preparing %d scratch cop%s (the first run builds everything once)..." %
          (len(workspaces), "y" if len(workspaces) == 1 else "ies"), flush=True)
    # The workers' own events tell when they are done: a join that Ctrl-C
    # interrupts can wrongly take a thread for finished.
    threads = [threading.Thread(target=worker, args=(ws, f)) for ws, f in zip(workspaces, finished)]
    interrupted = False
    try:
        for t in threads:
            t.start()
        while not all(f.is_set() for f in finished):
            time.sleep(0.2)
    except KeyboardInterrupt:
        interrupted = True
        stop.set()
        while not all(f.is_set() for f in finished):
            for ws in workspaces:
                ws.kill()
            try:
                time.sleep(0.2)
            except KeyboardInterrupt:
                pass  # the files are being restored: finish that first
        print("\nInterrupted: every mutated file in the scratch copies has been restored.")
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
    if errors:
        for e in errors:
            print("error: " + e, file=sys.stderr)
        return 2

    whole = not (args.files or args.since or args.only)
    return report(results, equivalents, time.time() - started, interrupted, whole)


def report(results, equivalents, seconds, interrupted, whole=False):
    counts = {"caught": 0, "timed out": 0, "survived": 0, "did not compile": 0}
    survivors, equivalent, wrongly_listed = [], [], []
    for m, outcome, detail in sorted(results, key=lambda r: (r[0].path, r[0].line, r[0].operator, r[0].index)):
        reason = equivalents.reason(m)
        if reason is not None and outcome != "did not compile":
            if outcome == "survived":
                equivalent.append((m, reason))
            else:
                wrongly_listed.append((m, outcome))
            continue
        counts[outcome] += 1
        if outcome == "survived":
            survivors.append(m)
    judged = counts["caught"] + counts["timed out"] + counts["survived"]
    print()
    print("%s: %d mutants in %.0f s" % ("Partial result" if interrupted else "Result", len(results), seconds))
    print("  caught           %d" % counts["caught"])
    print("  timed out        %d (counted as caught)" % counts["timed out"])
    print("  survived         %d" % counts["survived"])
    print("  did not compile  %d (left out of the figure)" % counts["did not compile"])
    print("  equivalent       %d (listed in %s, left out of the figure)" % (len(equivalent), EQUIVALENT_FILE))
    if judged:
        print("  caught: %.1f%% of %d" % (100.0 * (counts["caught"] + counts["timed out"]) / judged, judged))
    for m, outcome in wrongly_listed:
        print("\nListed as equivalent but %s (remove it from the list): %s" % (outcome, m.id))
    if equivalent:
        print("\nKnown-equivalent mutants:")
        for m, reason in equivalent:
            print("  %s: %s" % (m.id, reason))
    if survivors:
        print("\nSurvivors:")
        for m in survivors:
            print("  %s (line %d)" % (m.path, m.line))
            print("    id %s" % m.id)
            print("    - %s" % m.original)
            print("    + %s" % m.mutated)
    stale = sorted(equivalents.lines - equivalents.used) if whole and not interrupted else []
    if stale:
        print("\nEntries of %s that match no mutant any more (remove or update them): line%s %s" %
              (EQUIVALENT_FILE, "s" if len(stale) > 1 else "", ", ".join(map(str, stale))))
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
