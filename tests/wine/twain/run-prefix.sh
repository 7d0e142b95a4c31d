#!/usr/bin/env bash
# Runs one TWAIN test program in a prefix of its own, made from the test prefix, so that the scanner's controls
# and the installed managers touch no other test. Usage: run-prefix.sh twain2|legacy NAME EXE [CASE...]
#   twain2: our TWAINDSM.dll in the system folder, as the test prefix has it
#   legacy: no TWAINDSM.dll; the virtual scanner stands in for Wine's sane.ds, the one source its twain_32.dll loads
set -euo pipefail
. "${TOLVIX_SOURCE:?}/tools/wine-env.sh"
shared=${WINEPREFIX:?} own="$(dirname "$WINEPREFIX")/twain-$2"
rm -rf "$own"
cp -al "$shared" "$own"
# Files Wine rewrites are copied, not shared through hard links.
for f in "$own"/*.reg; do cp --remove-destination "$shared/$(basename "$f")" "$f"; done
win="$own/drive_c/windows"
case $1 in
  twain2) ;;
  legacy) # sane.ds is a hard link into the test prefix: removed, not written through
    rm -rf "$win/system32/TWAINDSM.dll" "$win/twain_64/Tolvix" "$win/twain_64/sane.ds"
    cp "$TOLVIX_BIN"/*.ds "$win/twain_64/sane.ds" ;;
  *) echo "unknown mode $1" >&2; exit 2 ;;
esac
export WINEPREFIX=$own
trap 'wineserver -k 2>/dev/null || true' EXIT
wine "${@:3}"
