#!/bin/bash
# The Windows build names its window after the executable: run the caption
# probe under Wine as "otro-nombre.exe" and expect the caption "otro-nombre".
#
# Usage: wine_caption.sh CAPTION_PROBE_EXE
# Exit code 77 (skipped) when Wine is not installed.
set -u
probe="$1"
command -v wine >/dev/null 2>&1 || { echo "wine is not installed: skipped"; exit 77; }
[ -f "$probe" ] || { echo "FAIL: $probe does not exist (build it with 'make windows')"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-caption.XXXXXX")
cleanup() {
  if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; fi
  rm -rf "$work"
}
trap cleanup EXIT

cp "$probe" "$work/otro-nombre.exe"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
caption=$(cd "$work" && timeout 300 wine otro-nombre.exe 2>"$work/wine.log" | tr -d '\r')
if [ "$caption" != "otro-nombre" ]; then
  echo "FAIL: caption '$caption', expected 'otro-nombre'"
  tail -n 20 "$work/wine.log"
  exit 1
fi
echo "caption: $caption"
