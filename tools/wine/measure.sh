#!/usr/bin/env bash
# Timings of Velto under Wine, headless, printed as a table:
#   tools/wine/measure.sh [TRIALS]
# - a plain popup menu of 10, 100 and 500 string items: from a tap to the
#   menu on screen (the platform's own time, for comparison);
# - Velto's task menu with as many windows listed, from a tap on its tray
#   icon; and from the tap as Wine's taskbar passes it on to Velto (with 500
#   windows Wine's taskbar fills with their buttons and has no room left for
#   the tray icons, so only this second way measures there);
# - from a dialog coming to the front to Velto's OK state, seen as its OK
#   tray icon; 50 trials.
# Median and worst in milliseconds; TRIALS (default 20) per menu size.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
trials=${1:-20}
case "$trials" in ''|*[!0-9]*) echo "measure.sh: TRIALS must be a number" >&2; exit 2 ;; esac

if [ -z "${VELTO_MEASURE_XVFB:-}" ]; then
    tools/install-deps.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j2 >/dev/null
    # On a screen of its own, the size of Wine's desktop.
    VELTO_MEASURE_XVFB=1 exec xvfb-run -a -s "-screen 0 240x340x24 -nolisten tcp -noreset" "$0" "$@"
fi
work=$root/build/wine/measure
. tools/wine/screen.sh
pocket_screen "$work/prefix" 0

echo "| what | items | median ms | worst ms |"
echo "|---|---|---|---|"
# First, on a quiet screen: after hundreds of windows Wine's taskbar stays
# busy for a while, and every tray icon change waits for it.
must probe setreg OkButton 1
wine "$exe/tools/wine/samples.exe" dialog "Sample dialog" >/dev/null &
wine "$exe/tools/wine/samples.exe" windows Notes >/dev/null &
must probe wait VeltoSample "Sample dialog" 60000
must probe wait VeltoSample Notes 60000
wine "$exe/velto.exe" &
must probe waittray Velto Velto 0 present 60000
read -r _ median _ worst _ <<<"$(probe proxytime VeltoSample "Sample dialog" VeltoSample Notes 50)"
echo "| dialog to the front, to Velto's OK state | - | $median | $worst |"
probe post Velto Velto $WM_CLOSE 0 0 >/dev/null
probe post VeltoSample "Sample dialog" $WM_CLOSE 0 0 >/dev/null
probe post VeltoSample Notes $WM_CLOSE 0 0 >/dev/null
must probe gone Velto Velto 60000
must probe gone VeltoSample "Sample dialog" 60000
must probe gone VeltoSample Notes 60000
for n in 10 100 500; do
    wine "$exe/tools/wine/samples.exe" menu "$n" >/dev/null &
    must probe wait VeltoSample "Plain menu" 60000
    must probe activate VeltoSample "Plain menu"
    read -r _ median _ worst _ <<<"$(probe menutime at 120 150 "$trials")"
    echo "| plain popup menu | $n | $median | $worst |"
    probe post VeltoSample "Plain menu" $WM_CLOSE 0 0 >/dev/null
    must probe gone VeltoSample "Plain menu" 60000

    titles=()
    for i in $(seq 1 "$n"); do titles+=("Window $i"); done
    wine "$exe/tools/wine/samples.exe" owned "${titles[@]}" >/dev/null &
    samples=$!
    must probe wait VeltoSample "Window $n" 60000
    wine "$exe/velto.exe" &
    must probe waittray Velto Velto 0 present 60000
    if [ "$n" -le 100 ]; then
        read -r _ median _ worst _ <<<"$(probe menutime tray 0 "$trials")"
        echo "| Velto's task menu, a tap on its tray icon | $n | $median | $worst |"
    fi
    read -r _ median _ worst _ <<<"$(probe menutime notify "$trials")"
    echo "| Velto's task menu, the tap passed on to Velto | $n | $median | $worst |"
    probe post Velto Velto $WM_CLOSE 0 0 >/dev/null
    must probe gone Velto Velto 60000
    kill "$samples" 2>/dev/null || true
    wait "$samples" 2>/dev/null || true
    must probe gone VeltoSample "Window $n" 60000
done

