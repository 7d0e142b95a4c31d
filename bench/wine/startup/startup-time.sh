#!/usr/bin/env bash
# Time from `wine <program>` to its visible window, for Tolvix.exe and for an empty
# dialog built with the same toolchain (the floor), with the Wine server warm.
# Usage: bench/wine/startup/startup-time.sh [runs]    (needs a display and a build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tools/wine-env.sh"
bin=$root/build/win64/bin
export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wine/bench-prefix}
runs=${1:-5}
"$root/tools/prefix.sh" "$WINEPREFIX" "$bin"
work=$(mktemp -d)
cp "$bin"/*.exe "$bin"/*.dll "$work"/
wineserver -p 60   # keep the server up between runs

measure() {  # exe caption
  local best=999 total=0
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    (cd "$work" && wine "$1" >/dev/null 2>&1 &)
    until xwininfo -root -tree 2>/dev/null | grep -q "\"$2\""; do sleep 0.01; done
    t1=$(date +%s%N)
    local ms=$(( (t1 - t0) / 1000000 ))
    total=$((total + ms)); [ "$ms" -lt "$best" ] && best=$ms
    pkill -f "$1" 2>/dev/null || true
    while xwininfo -root -tree 2>/dev/null | grep -q "\"$2\""; do sleep 0.01; done
  done
  echo "$1: best ${best} ms, mean $((total / runs)) ms over $runs runs"
}
wine cmd /c exit >/dev/null 2>&1   # warm up
measure Tolvix.exe "Pagewell Utility for QX710/720"
measure empty_dialog.exe "Empty Dialog"
wineserver -k
rm -rf "$work"
