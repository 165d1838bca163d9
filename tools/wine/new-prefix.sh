#!/usr/bin/env bash
# A fresh Wine prefix from the template, cheaply:
#   tools/wine/new-prefix.sh TEMPLATE_DIR PREFIX_DIR
# The registry hives and the template's mark are copied; the template's drive
# C is shared (nothing that runs here writes to it).
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 TEMPLATE_DIR PREFIX_DIR" >&2; exit 2; }
template=$(cd "$1" && pwd)
prefix=$2
[ -f "$template/.velto-template" ] || { echo "new-prefix: $template is no prefix template" >&2; exit 1; }
rm -rf "$prefix"
mkdir -p "$prefix/dosdevices"
cp -p "$template"/*.reg "$template/.update-timestamp" "$template/.velto-template" "$prefix/"
ln -s "$template/drive_c" "$prefix/drive_c"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
