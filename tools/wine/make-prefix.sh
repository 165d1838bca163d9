#!/usr/bin/env bash
# Makes the Wine prefix template that every Wine run of Velto starts from:
#   tools/wine/make-prefix.sh TEMPLATE_DIR
# A 64-bit prefix whose default desktop is a 240 x 340 virtual desktop with
# Wine's own taskbar (the Pocket PC's 240 x 320 screen above, Wine's 20-pixel
# taskbar with the tray icons below), with Wine's own fonts in its Fonts
# folder. Kept when it was made by the same Wine and the same recipe.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 TEMPLATE_DIR" >&2; exit 2; }
mkdir -p "$(dirname "$1")"
template=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
# One maker at a time: tests that run side by side share the template.
exec 9>"$template.lock"
flock 9
command -v wine >/dev/null || { echo "make-prefix: wine is not installed (run tools/install-deps.sh)" >&2; exit 1; }
# Wine's own fonts, Marlett (the caption buttons' glyphs) and Tahoma among
# them: Debian's fonts-wine ships them here.
fonts=/usr/share/wine/fonts
[ -f "$fonts/marlett.ttf" ] || { echo "make-prefix: no $fonts/marlett.ttf (run tools/install-deps.sh)" >&2; exit 1; }
export WINEDEBUG=-all
# The recipe's number goes up whenever what this script makes changes.
version="$(wine --version) recipe 2"
if [ -f "$template/.velto-template" ] && [ "$(cat "$template/.velto-template")" = "$version" ]; then
    exit 0
fi

rm -rf "$template"
mkdir -p "$(dirname "$template")"
export WINEPREFIX="$template" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# Without address randomisation, as tools/wine/screen.sh runs Wine.
setarch -R wineboot --init >"$template.log" 2>&1 || { cat "$template.log" >&2; echo "make-prefix: wineboot failed" >&2; exit 1; }
wineserver --wait

# The registry as text: the desktop settings go into the user hive.
cat >"$template.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="240x340"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops\Default]
"EnableShell"=dword:00000001
REG
setarch -R wine regedit /S "$(setarch -R winepath -w "$template.reg" 2>/dev/null)" >>"$template.log" 2>&1 || {
    cat "$template.log" >&2; echo "make-prefix: regedit failed" >&2; exit 1; }
wineserver --wait
rm -f "$template.reg"

# Wine draws the caption buttons with the Marlett font ("r" is its close
# cross) and reads fonts from the prefix's Fonts folder only; wineboot leaves
# that folder empty here, so without this the captions show the letter "r"
# in a text font.
cp "$fonts"/* "$template/drive_c/windows/Fonts/"
echo "$version" >"$template/.velto-template"
echo "make-prefix: Wine prefix template ready in $template"
