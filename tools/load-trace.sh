#!/usr/bin/env bash
# Where start-up time goes: runs one program under Wine's +timestamp,+loaddll,+debugstr trace, warm Wine server,
# until its window is on screen, and prints each module load (and each OutputDebugString mark) in milliseconds
# after the program's own module. Usage: tools/load-trace.sh EXE CAPTION   (needs a display, a build)
set -euo pipefail
. "$(dirname "$0")/../bench/wine/startup/bench-env.sh"

for pass in warm traced; do
  trace=/dev/null
  [ $pass = traced ] && trace=$work/trace.txt
  (cd "$work" && WINEDEBUG=$([ $pass = traced ] && echo +timestamp,+loaddll,+debugstr || echo -all) \
    exec wine "$1" >/dev/null 2>"$trace") &
  pid=$!
  wait_shown "$pid" "$2" "$1"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
done
grep -aE 'loaddll:build_module Loaded|debugstr:' "$work/trace.txt" |
  sed -E 's/^([0-9.]+):[0-9a-f]+:.*Loaded L"([^"]*)".*/\1 \2/; s/^([0-9.]+):[0-9a-f]+:.*OutputDebugString.? "(.*)"$/\1 -- \2/' |
  awk 'NR == 1 {t = $1} {$1 = sprintf("%6.0f ms", ($1 - t) * 1000); print}'
