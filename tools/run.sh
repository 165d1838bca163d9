#!/usr/bin/env bash
# Velto on a Pocket PC screen under Wine, or its text report on the simulated
# device.
#
#   tools/run.sh [--fresh] [--prefix DIR]
#       With a display ($DISPLAY): installs and builds what is missing, then
#       starts the 240 x 340 Pocket PC screen (Wine's virtual desktop) with
#       the shell stand-in, sample programs and Velto resident, to use live
#       until you press Ctrl+C. Its Wine prefix, and so Velto's settings, is
#       kept between runs in DIR (build/wine/live by default); --fresh starts
#       it anew.
#   tools/run.sh --headless [--out DIR]
#       The same on a screen of its own (xvfb-run), from a fresh prefix: plays
#       a short tour, writes a PNG per step and an animated tour.gif into DIR
#       (build/wine/tour by default) and says what each one shows. Without a
#       display this is what runs.
#   tools/run.sh --sim [ARGUMENTS]
#       Velto once on the simulated Pocket PC, with a text report of the screen
#       and the registry before and after: "velto -taskbar_up" by default, or
#       the arguments given (see tools/velto_sim.cpp), e.g.
#       tools/run.sh --sim -- -taskbar_switch
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = "--sim" ]; then
    shift
    tools/install-deps.sh
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
    [ $# -eq 0 ] && set -- -taskbar_up
    exec build/native/tools/velto-sim "$@"
fi

headless=0
fresh=0
out=$root/build/wine/tour
prefix=$root/build/wine/live
args=("$@")
while [ $# -gt 0 ]; do
    case "$1" in
    --headless) headless=1 ;;
    --fresh) fresh=1 ;;
    --out|--prefix)
        [ $# -ge 2 ] || { echo "run.sh: $1 needs a folder" >&2; exit 2; }
        mkdir -p "$(dirname "$2")"
        folder=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
        if [ "$1" = --out ]; then out=$folder; else prefix=$folder; fi
        shift ;;
    *) echo "run.sh: unknown argument '$1' (see the head of tools/run.sh)" >&2; exit 2 ;;
    esac
    shift
done
[ -n "${DISPLAY:-}" ] || headless=1

if [ -z "${VELTO_RUN_BUILT:-}" ]; then
    tools/install-deps.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j2 >/dev/null
fi
# The tour runs on a screen of its own, the size of Wine's desktop.
if [ $headless -eq 1 ] && [ -z "${VELTO_RUN_XVFB:-}" ]; then
    VELTO_RUN_BUILT=1 VELTO_RUN_XVFB=1 exec xvfb-run -a -s "-screen 0 240x340x24 -nolisten tcp -noreset" "$0" --headless "${args[@]}"
fi
# The samples' logs: the live screen's beside its prefix, so that a tour can
# run while it is in use.
work=$root/build/wine/run
[ $headless -eq 1 ] || work=$prefix-logs
. tools/wine/screen.sh
if [ $headless -eq 0 ]; then
    # A folder that is no prefix of ours is never replaced.
    [ ! -e "$prefix" ] || [ -f "$prefix/.velto-template" ] || [ -z "$(ls -A "$prefix")" ] || {
        echo "run.sh: $prefix holds something else than a Wine prefix of ours; give another --prefix" >&2; exit 2; }
    pocket_screen "$prefix" $((1 - fresh))
    # --fresh made it anew; kept from now on.
    pocket_keep=1
else
    pocket_screen "$work/prefix" 0
fi
# The proxy's tray icons on, in a new prefix only: a kept one has its own.
if [ "$pocket_new" -eq 1 ]; then
    must probe setreg OkButton 1
    must probe setreg CloseButton 1
fi
wine "$exe/tools/wine/samples.exe" windows Calendar Contacts Notes >"$work/windows.log" &
must probe wait VeltoSample Notes 60000
wine "$exe/tools/wine/samples.exe" dialog "Sample dialog" >"$work/dialog.log" &
must probe wait VeltoSample "Sample dialog" 60000

if [ $headless -eq 0 ]; then
    wine "$exe/velto.exe" &
    must probe wait Velto Velto 60000
    switch="WINEPREFIX=$(printf %q "$WINEPREFIX") WINEDEBUG=-all wine $(printf %q "$exe/velto.exe") -taskbar_switch"
    cat <<TEXT
The Pocket PC screen is the 240 x 340 Wine desktop window on your display:
the Pocket PC's 240 x 320 screen above, Wine's own taskbar with the tray
icons below it. Velto's tray icon (the arrows) is at the right end of Wine's
taskbar; its button sits at the right end of the Pocket PC taskbar (Wine does
not paint it: tap there all the same). The sample dialog starts in front but
inactive: tap it first, and Velto offers OK for it.
Move the taskbar from another terminal with
  $switch
Velto's settings stay in $WINEPREFIX
for the next run (tools/run.sh --fresh starts anew).
Press Ctrl+C here to end it all.
TEXT
    wineserver -w &
    wait $!  # Ctrl+C ends the wait, and the exit ends it all
    exit 0
fi

# ---- the tour, without a display
rm -f "$out"/*.png "$out/tour.gif"
mkdir -p "$out"
steps=()
shot() {
    local name=$1 what=$2
    sleep 0.5  # lets Wine finish painting
    import -window root "$out/$name.png"
    steps+=("$out/$name.png: $what")
}

shot 01-pocket-pc "the Pocket PC screen: the shell stand-in's desktop and taskbar (start flag, clock) with sample programs; the sample dialog, which has the OK caption button of Windows CE, in front (desktop Windows draws no OK button); Wine's taskbar below"

wine "$exe/velto.exe" &
must probe wait Velto Velto 60000
must probe waittray Velto Velto 0 present 60000
shot 02-velto-resident "Velto resident: its tray icon (the arrows) at the right end of Wine's taskbar; its button sits in the Pocket PC taskbar's right end, where Wine paints nothing (see 00-faces.png)"

must probe activate VeltoSample "Sample dialog"
must probe waittray Velto Velto 3 present 60000
shot 03-ok-offered "the sample dialog in front: Velto offers OK for it, its OK tray icon beside its own"

for _ in $(seq 1 60); do
    probe taptray 1 >/dev/null
    probe gone VeltoSample "Sample dialog" 1000 >/dev/null && break
done
must probe gone VeltoSample "Sample dialog" 1000
shot 04-ok-sent "a tap on the OK tray icon: Velto sent OK to the dialog, which closed (it logged: $(tr -d '\r' <"$work/dialog.log" | tail -1))"

# Opens the task menu with a tap on Velto's tray icon (slot 0).
open_menu() {
    for _ in $(seq 1 60); do
        probe taptray 0 >/dev/null
        probe wait "#32768" - 1000 >/dev/null && return 0
    done
    echo "$(basename "$0"): step failed: no task menu on a tap on Velto's tray icon" >&2
    exit 1
}
keys() { for key in "$@"; do probe key "$key" >/dev/null; done; }

open_menu
shot 05-task-menu "a tap on Velto's tray icon: the task menu against the taskbar, the windows first (each drawn by Velto), then Settings and Close All next to the taskbar"
# Up to Settings (above Close All), into it, into TaskBar.
keys $VK_UP $VK_UP $VK_RIGHT $VK_RIGHT
shot 06-settings "the Settings submenu (TaskBar, Tray, About Velto) and its TaskBar submenu, OnTop selected"
keys $VK_RETURN
for _ in $(seq 1 300); do
    [ "$(probe wait HHTaskBar "" 1000 | cut -d' ' -f7)" = "0" ] && break
    sleep 0.1
done
[ "$(probe wait HHTaskBar "" 1000 | cut -d' ' -f7)" = "0" ] || {
    echo "$(basename "$0"): step failed: OnTop did not move the taskbar to the top" >&2; exit 1; }
shot 07-taskbar-up "OnTop chosen: the taskbar at the top, the desktop window below it, the windows moved to the desktop's corner; Velto stored the setting (TaskBarOnTop $(probe reg | grep '^TaskBarOnTop' | cut -d' ' -f4))"

# The taskbar is at the top now: "Close All" comes first, then "Settings",
# whose last item is "About Velto".
open_menu
keys $VK_DOWN $VK_DOWN $VK_RIGHT $VK_UP $VK_RETURN
must probe wait "#32770" - 30000
must probe waittray Velto Velto 3 present 60000
shot 08-about "About Velto: the box covers the desktop window, with the OK caption button; Velto offers OK for it in the tray"
for _ in $(seq 1 60); do
    probe taptray 1 >/dev/null
    probe gone "#32770" - 1000 >/dev/null && break
done
must probe gone "#32770" - 1000

# "Close All", the first item with the taskbar at the top.
open_menu
keys $VK_DOWN $VK_RETURN
must probe gone VeltoSample Notes 30000
must probe waittray Velto Velto 0 present 1000
shot 09-close-all "Close All: every window closed; the shell's windows, Wine's taskbar and Velto's tray icon stay"

wine "$exe/tools/wine/samples.exe" faces "$exe/velto.exe" >/dev/null &
faces=$(probe wait VeltoSample "Velto's faces" 60000)
sleep 0.5
read -r l t r b <<<"$(echo "$faces" | cut -d' ' -f6-9)"
import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage -filter point -resize 200% "$out/00-faces.png"
steps=("$out/00-faces.png: every icon and button face read out of velto.exe's own resources, drawn by Wine (twice their size; the button's faces at rest and pressed)" "${steps[@]}")
probe post VeltoSample "Velto's faces" $WM_CLOSE 0 0 >/dev/null

convert -delay 200 -loop 0 "$out"/0[1-9]-*.png "$out/tour.gif"
steps+=("$out/tour.gif: steps 01 to 09 as one moving picture, 2 seconds a step")

echo "The tour's screenshots ($out):"
for step in "${steps[@]}"; do
    echo "  $step"
done
