#!/usr/bin/env python3
"""Every Win32 function that the program calls has a conformance case.

The program's calls are what its image (velto.image) leaves undefined and
the simulated device provides; a function has a case when a case's object
file (tests/conformance/cases/) calls it. Both are read with nm, from what
the linker sees, not from the sources.

  every_call_has_a_case.py --image velto.image --platform libcesim.so OBJECT...
"""
import argparse
import subprocess
import sys


def symbols(path, *flags):
    try:
        out = subprocess.run(["nm", *flags, "--format=just-symbols", path], check=True, capture_output=True,
                             text=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        sys.exit(f"every_call_has_a_case: cannot read the symbols of {path}: {e}")
    return {line.strip() for line in out.splitlines() if line.strip()}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--image", required=True, help="the program image (velto.image)")
    parser.add_argument("--platform", required=True, help="the simulated device's library (libcesim.so)")
    parser.add_argument("objects", nargs="+", help="the conformance suite's object files")
    args = parser.parse_args()

    # The Win32 subset: the device's exported functions with C linkage.
    win32 = {s for s in symbols(args.platform, "-D", "--defined-only") if not s.startswith("_")}
    called = symbols(args.image, "-u") & win32
    # CTest hands the object list over as one argument, separated by ";".
    objects = [o for arg in args.objects for o in arg.split(";") if o]
    cases = [o for o in objects if "/cases/" in o.replace("\\", "/")]
    if not called:
        sys.exit("every_call_has_a_case: the program image calls no function of the device: wrong image?")
    if not cases:
        sys.exit("every_call_has_a_case: no case objects among the objects given")
    covered = set()
    for o in cases:
        covered |= symbols(o, "-u") & win32
    missing = sorted(called - covered)
    print(f"the program calls {len(called)} Win32 functions; the cases call {len(covered & called)} of them")
    for name in missing:
        print(f"no conformance case calls {name}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
