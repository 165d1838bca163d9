#!/usr/bin/env python3
"""Checks that the program keeps to fixed buffers, by what its image links.

    tools/check-fixed-buffers.py IMAGE_OR_OBJECT...

Reads the symbols of the built program image (build/native/velto.image) or of
object files with `nm`: the program may neither call an allocator (operator
new and delete, malloc and its kin, the platform's heap calls) nor hold any
code of the standard library's containers, strings or smart pointers, which
show as symbols in namespace std. The image is linked against the simulated
device as a shared library, so only the program's own code is in it. Prints
each offending symbol and exits 1 when there is one, 0 otherwise, 2 on bad
input (no file given, a file missing, nm missing or failing).
"""
import shutil
import subprocess
import sys

ALLOCATORS = {
    "malloc", "calloc", "realloc", "free", "strdup", "wcsdup", "_wcsdup", "aligned_alloc", "posix_memalign",
    "LocalAlloc", "LocalReAlloc", "GlobalAlloc", "GlobalReAlloc", "HeapAlloc", "HeapReAlloc", "VirtualAlloc",
}
# operator new, new[], delete and delete[] in all their forms.
OPERATOR_PREFIXES = ("operator new", "operator delete")


def symbols(path):
    """Every symbol name of the file, demangled, from its symbol table and,
    for a shared object, its dynamic one."""
    names = set()
    for extra in ([], ["-D"]):
        result = subprocess.run(["nm", "-C", *extra, path], capture_output=True, text=True)
        if result.returncode != 0:
            if extra:  # an object file has no dynamic symbols
                continue
            raise RuntimeError("nm %s failed: %s" % (path, result.stderr.strip()))
        for line in result.stdout.splitlines():
            # "ADDRESS TYPE NAME" or, for an undefined symbol, "TYPE NAME".
            parts = line.split(None, 2) if line[:1] != " " else ["", *line.split(None, 1)]
            if len(parts) == 3:
                names.add(parts[2].split("@")[0])
    return names


def offending(name):
    if name in ALLOCATORS or name.startswith(OPERATOR_PREFIXES):
        return "allocates on the heap"
    if name.startswith("std::") or "std::" in name:
        return "uses the standard library's containers, strings or smart pointers"
    return None


def main(argv):
    if not argv or argv[0] in ("-h", "--help"):
        print(__doc__.strip(), file=sys.stderr if not argv else sys.stdout)
        return 2 if not argv else 0
    if shutil.which("nm") is None:
        print("check-fixed-buffers: nm is missing (binutils)", file=sys.stderr)
        return 2
    found = 0
    for path in argv:
        try:
            names = symbols(path)
        except (OSError, RuntimeError) as error:
            print("check-fixed-buffers: %s" % error, file=sys.stderr)
            return 2
        if not names:
            print("check-fixed-buffers: %s has no symbols to read" % path, file=sys.stderr)
            return 2
        for name in sorted(names):
            why = offending(name)
            if why:
                print("%s: %s %s" % (path, name, why))
                found += 1
    if found:
        print("check-fixed-buffers: the program keeps to fixed buffers; the symbols above break that", file=sys.stderr)
        return 1
    print("check-fixed-buffers: no allocator and no standard container in " + " ".join(argv))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
