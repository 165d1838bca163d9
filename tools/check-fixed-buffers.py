#!/usr/bin/env python3
"""Checks that the program's own folders keep to fixed buffers.

No heap allocation (new, delete, malloc and its kin, the platform's
allocators) and no standard containers, strings or smart pointers. Comments
and the insides of string literals are left out before looking. Prints each
offending line and exits 1 when there is one, 0 otherwise, 2 on bad input.
"""
import pathlib
import re
import sys

FOLDERS = ["app", "settings", "taskbar", "proxy", "taskmenu", "about"]
PATTERN = re.compile(
    r"\b(new|delete)\b"
    r"|\b(malloc|calloc|realloc|free|strdup|wcsdup|_wcsdup|LocalAlloc|GlobalAlloc|HeapAlloc|VirtualAlloc|alloca)\s*\("
    r"|\bstd::"
    r"|#\s*include\s*<(vector|string|map|set|list|deque|memory|unordered_map|unordered_set|array|queue|stack"
    r"|functional|sstream|iostream|new)>"
)


def code_only(text):
    """The text with comments and literal contents blanked, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * max(0, min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    found = 0
    for folder in FOLDERS:
        path = root / folder
        if not path.is_dir():
            print(f"check-fixed-buffers: the program folder {folder} is missing", file=sys.stderr)
            return 2
        for file in sorted(list(path.rglob("*.cpp")) + list(path.rglob("*.h"))):
            lines = code_only(file.read_text(encoding="utf-8")).split("\n")
            original = file.read_text(encoding="utf-8").split("\n")
            for number, line in enumerate(lines, 1):
                if PATTERN.search(line):
                    print(f"{file.relative_to(root)}:{number}: {original[number - 1].strip()}")
                    found += 1
    if found:
        print("check-fixed-buffers: the lines above allocate on the heap or use standard containers; "
              "the program keeps to fixed buffers", file=sys.stderr)
        return 1
    print("check-fixed-buffers: no heap allocation and no standard containers in " + " ".join(FOLDERS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
