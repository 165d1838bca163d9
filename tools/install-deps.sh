#!/usr/bin/env bash
# Installs what building and testing Velto needs on Debian.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev python3   # the native build and the tests
    googletest                                   # GoogleTest's sources, built for Windows (conformance.exe)
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64  # velto.exe and the resource compiler
    clang libclang-rt-14-dev                     # the settings fuzzer (libFuzzer)
    gcovr                                        # coverage of the program by the tests
    libbenchmark-dev                             # the benchmarks
    wine wine64 fonts-wine                       # velto.exe on a real Win32 platform (64-bit only)
    xvfb xauth imagemagick                       # a screen without a display (xvfb-run), its screenshots
    xdotool                                      # real pointer events on the live screen's test
    python3-clang-14 libclang1-14                # the mutation check's C++ parser (for /usr/bin/python3)
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo; missing: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
