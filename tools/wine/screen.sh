# The Pocket PC screen under Wine, for tools/run.sh and tools/wine/measure.sh
# (sourced, not run). Needs $root (the source tree), $work (a folder of its
# own) and a display ($DISPLAY: a real one, or the Xvfb of xvfb-run).
#
#   pocket_screen PREFIX KEEP
#       Makes the Wine prefix PREFIX from the template, or with KEEP 1 goes on
#       with the one already there if it was made from the same template
#       ($pocket_new tells which: 1 when made now), then starts Wine's desktop
#       and the shell stand-in. Everything started ends when the calling
#       script exits; a prefix not kept is removed then.

exe=$root/build/win32

# The window messages and virtual keys the scripts send, by their Win32 names.
WM_CLOSE=0x0010
VK_RETURN=0x0D
VK_ESCAPE=0x1B
VK_UP=0x26
VK_RIGHT=0x27
VK_DOWN=0x28

pocket_keep=0
pocket_cleanup() {
    # The wineserver writes the registry out as it ends.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ "$pocket_keep" -eq 1 ] || rm -rf "$WINEPREFIX"
}

# Wine without address randomisation (setarch -R), which every process Wine
# starts from it inherits; so do the Wine tests (WineSession::Launch) and
# make-prefix.sh. Debian's Wine has no preloader to reserve Wine's fixed
# addresses first, so the loader's heap starts anywhere in the gigabyte above
# the loader (0x7d000000), and now and then lies over 0x7ffe0000, where Wine
# maps the data it shares with every program: the program then ends at its
# start with exit code 1 ("failed to map the shared user data", on WINEDEBUG's
# err channel). Without randomisation the heap starts right after the loader.
wine() { setarch -R wine "$@"; }
probe() { wine "$exe/tools/wine/probe.exe" "$@" | tr -d '\r'; }
must() { "$@" >/dev/null || { echo "$(basename "$0"): step failed: $*" >&2; exit 1; }; }

pocket_screen() {
    local prefix=$1 template=$root/build/wine/template
    pocket_keep=$2
    [ -n "${DISPLAY:-}" ] || { echo "$(basename "$0"): no display" >&2; exit 1; }
    "$root/tools/wine/make-prefix.sh" "$template"
    rm -rf "$work"
    mkdir -p "$work"
    pocket_new=1
    if [ "$pocket_keep" -eq 1 ] && cmp -s "$template/.velto-template" "$prefix/.velto-template"; then
        pocket_new=0
    else
        [ "$pocket_keep" -eq 0 ] || [ ! -d "$prefix" ] ||
            echo "$(basename "$0"): $prefix was made by another Wine or recipe; making it anew" >&2
        "$root/tools/wine/new-prefix.sh" "$template" "$prefix"
    fi
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap pocket_cleanup EXIT
    trap 'exit 130' INT TERM
    # Wine's desktop first, then the shell stand-in.
    must probe screen
    wine "$exe/tools/wine/pocketshell.exe" &
    must probe wait HHTaskBar "" 60000
}
