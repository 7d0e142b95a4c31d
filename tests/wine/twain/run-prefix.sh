#!/usr/bin/env bash
# Runs one TWAIN test program in a prefix of its own, made from the shared test
# prefix, so that the scanner's test controls and the installed managers never
# touch other tests.
# Usage: run-prefix.sh twain2|legacy NAME EXE [ARGS...]
#   twain2: our TWAINDSM.dll in the system folder, as the shared prefix has it
#   legacy: no TWAINDSM.dll; the virtual scanner stands in for Wine's sane.ds,
#           the one source Wine's own twain_32.dll loads
set -euo pipefail
mode=$1 name=$2
shift 2
root=${TOLVIX_SOURCE:?}
. "$root/tools/wine-env.sh"
shared=${WINEPREFIX:?}
own="$(dirname "$shared")/twain-$name"
rm -rf "$own"
cp -al "$shared" "$own"
# Files Wine rewrites are copied, not shared through hard links.
for f in "$own"/*.reg; do cp --remove-destination "$shared/$(basename "$f")" "$f"; done
win="$own/drive_c/windows"
case $mode in
  twain2) ;;
  legacy)
    rm -f "$win/system32/TWAINDSM.dll"
    rm -rf "$win/twain_64/Tolvix"
    rm -f "$win/twain_64/sane.ds"
    cp "$TOLVIX_BIN"/*.ds "$win/twain_64/sane.ds"
    ;;
  *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
export WINEPREFIX=$own
status=0
wine "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
