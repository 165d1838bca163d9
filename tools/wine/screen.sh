# The Pocket PC screen under Wine, for tools/run.sh and tools/wine/measure.sh
# (sourced, not run). Needs $root (the source tree) and $work (a folder of
# its own). pocket_screen HEADLESS makes a fresh Wine prefix from the
# template, starts Xvfb when HEADLESS is 1, and the shell stand-in; everything
# started ends when the calling script exits.

exe=$root/build/win32
xvfb=""

pocket_cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
    rm -rf "$work/prefix"
}

probe() { wine "$exe/tools/wine/probe.exe" "$@" | tr -d '\r'; }
must() { "$@" >/dev/null || { echo "$(basename "$0"): step failed: $*" >&2; exit 1; }; }
# has "FOLDER/*.cpp ..." TEXT: one of the program's files makes that call.
has() {
    local pattern files=()
    for pattern in $1; do files+=("$root"/$pattern); done
    grep -q "$2" "${files[@]}" 2>/dev/null
}

pocket_screen() {
    local headless=$1
    "$root/tools/wine/make-prefix.sh" "$root/build/wine/template"
    rm -rf "$work"
    mkdir -p "$work"
    "$root/tools/wine/new-prefix.sh" "$root/build/wine/template" "$work/prefix"
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap pocket_cleanup EXIT
    trap 'exit 130' INT TERM
    if [ "$headless" -eq 1 ]; then
        mkfifo "$work/display"
        Xvfb -displayfd 7 -screen 0 240x340x24 -nolisten tcp 7>"$work/display" >"$work/xvfb.log" 2>&1 &
        xvfb=$!
        local number
        read -r -t 30 number <"$work/display" || {
            echo "$(basename "$0"): Xvfb did not start (see $work/xvfb.log)" >&2; exit 1; }
        export DISPLAY=:$number
    fi
    # Wine's desktop first, then the shell stand-in.
    must probe screen
    wine "$exe/tools/wine/pocketshell.exe" &
    must probe wait HHTaskBar "" 60000
}
