#!/usr/bin/env bash
# tools/run.sh's live screen as a person uses it, on the display this script
# is given (CTest runs it under xvfb-run), driven by real X pointer and key
# events at screen points (xdotool) and watched with the probe: the sample
# dialog tapped forward, its OK sent from the OK tray icon; the task menu
# opened from Velto's tray icon; OnTop moving the taskbar; "Close All"
# leaving the tray reachable; an interrupt ending every process, with the
# setting kept in the prefix for the next run.
#   tests/wine/live_test.sh WORK_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 WORK_DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
prefix=$work/prefix
for tool in xdotool wine import; do
    command -v $tool >/dev/null || { echo "live_test: $tool is not installed (run tools/install-deps.sh)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "live_test: no display (CTest runs this under xvfb-run)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"

run=""
finish() {
    # An interrupt first, as Ctrl+C would; what is left after 5 seconds is killed.
    if [ -n "$run" ] && kill -INT -- "-$run" 2>/dev/null; then
        sleep 5
        kill -KILL -- "-$run" 2>/dev/null || true
    fi
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
fail() {
    echo "live_test: $*" >&2
    import -window root "$work/screen.png" 2>/dev/null || true
    sed 's/^/  run.sh: /' "$work/run.log" >&2
    exit 1
}
probe() { WINEPREFIX=$prefix WINEDEBUG=-all setarch -R wine "$root/build/win32/tools/wine/probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
tap() { xdotool mousemove "$1" "$2" click 1; }
# within SECONDS COMMAND...: succeeds as soon as the command does.
within() {
    local end=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}
# tap_until X Y COMMAND...: taps at X Y until the command succeeds. Velto
# takes a tap within the double-click time of its start or of its last tap
# for the second half of a double tap and ignores it; a tap that counted
# shows its effect before the next one; the second tap, long after both, must
# count (the taps are printed).
tap_until() {
    local x=$1 y=$2 taps
    shift 2
    for taps in 1 2 3 4 5; do
        tap "$x" "$y"
        within 3 "$@" || continue
        echo "live_test: $taps tap(s), at most 2, until $*"
        return $((taps > 2))
    done
    return 1
}
# A window's rectangle, as "LEFT TOP RIGHT BOTTOM".
rect_of() { probe wait "$1" "$2" 1000 | cut -d' ' -f6-9; }
# The visible windows of a class, the topmost first.
shown() { probe list | grep "^[0-9a-f]* [0-9]* 1 .*\"$1\"" || true; }
menus_shown() { [ "$(shown '#32768' | wc -l)" = "$1" ]; }
# Menu items on screen: Wine draws a string item 17 pixels high, inside a
# frame of 3 pixels.
MENU_FRAME=3
MENU_ITEM=17
# tap_item FROM N: a tap on the newest popup menu's item N, counted from its
# top (FROM top) or from its bottom (FROM bottom), from 0.
tap_item() {
    local l t r b
    read -r l t r b <<<"$(shown '#32768' | head -1 | cut -d' ' -f6-9)"
    if [ "$1" = top ]; then
        tap $((l + 40)) $((t + MENU_FRAME + $2 * MENU_ITEM + MENU_ITEM / 2))
    else
        tap $((l + 40)) $((b - MENU_FRAME - $2 * MENU_ITEM - MENU_ITEM / 2))
    fi
}
taskbar_top() { [ "$(rect_of HHTaskBar "" | cut -d' ' -f2)" = "$1" ]; }

# In a session of its own, so that an interrupt reaches all of it as Ctrl+C
# would; with SIGINT's default action, which a script's background command
# would otherwise start with ignored (and a shell cannot trap then).
setsid env --default-signal=INT "$root/tools/run.sh" --fresh --prefix "$prefix" >"$work/run.log" 2>&1 &
run=$!
within 600 grep -q "Press Ctrl+C" "$work/run.log" || fail "the live screen did not start"
grep -q "^  WINEPREFIX=.* WINEDEBUG=-all wine .*/velto.exe -taskbar_switch\$" "$work/run.log" ||
    fail "no complete -taskbar_switch line printed"

# The dialog starts in front but inactive: a tap on it, and Velto offers OK.
read -r l t r b <<<"$(rect_of VeltoSample "Sample dialog")"
tap $(((l + r) / 2)) $(((t + b) / 2))
probe waittray Velto Velto 3 present 60000 >/dev/null || fail "no OK tray icon for the tapped dialog"
tap_until $(probe trayslot 1) probe gone VeltoSample "Sample dialog" 100 || fail "the OK tray icon did not close the dialog"

# The task menu from Velto's tray icon; OnTop from its Settings (above
# "Close All", the last item), TaskBar (its first item), OnTop (the first).
tap_until $(probe trayslot 0) probe menu 100 || fail "no task menu on a tap on Velto's tray icon"
tap_item bottom 1
within 30 menus_shown 2 || fail "no Settings submenu on a tap on Settings"
tap_item top 0
within 30 menus_shown 3 || fail "no TaskBar submenu on a tap on TaskBar"
tap_item top 0
within 60 taskbar_top 0 || fail "OnTop did not move the taskbar to the top"

# "Close All", the menu's first item with the taskbar at the top, closes the
# sample windows and leaves Wine's taskbar with the tray icons.
probe nomenu 30000 >/dev/null || fail "the task menu stayed open after OnTop"
tap_until $(probe trayslot 0) probe menu 100 || fail "no task menu after OnTop"
tap_item top 0
probe gone VeltoSample Notes 30000 >/dev/null || fail "Close All did not close the sample windows"
[ -n "$(shown Shell_TrayWnd)" ] || fail "Close All took Wine's taskbar, and the tray with it"
tap_until $(probe trayslot 0) probe menu 100 || fail "no task menu after Close All"

# Ctrl+C ends it all (CTest's time limit ends a run that hangs), and the
# setting stays in the kept prefix.
kill -INT -- "-$run"
status=0
wait "$run" || status=$?
run=""
[ "$status" -eq 130 ] || fail "run.sh ended with $status on an interrupt, not 130"
left=$(grep -lszx "WINEPREFIX=$prefix" /proc/[0-9]*/environ || true)
[ -z "$left" ] || fail "processes left behind: $(echo "$left" | cut -d/ -f3 | tr '\n' ' ')"
grep -q '"TaskBarOnTop"=dword:00000001' "$prefix/user.reg" || fail "the OnTop setting was not kept in $prefix"
echo "live_test: passed"
