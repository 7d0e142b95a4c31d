#!/usr/bin/env bash
# Time from `wine <program>` to its visible window, warm Wine server, programs in turns: Tolvix.exe with no
# source chosen, the main window's bare template (template_dialog.exe), an empty dialog of the same toolchain
# (the floor), and Tolvix.exe again with the scanner chosen once in the manager's Select Source dialog (its
# choice as the manager keeps it), when the manager need not load every source to name the default.
# Usage: bench/wine/startup/startup-time.sh [runs]    (needs a display and a build)
set -euo pipefail
runs=${1:-7}
. "$(dirname "$0")/bench-env.sh"

# Starts exe $1, waits for its window captioned $2, ends it; prints milliseconds.
run_once() {
  local t0 t1 pid
  t0=$(date +%s%N)
  (cd "$work" && exec wine "$1" >/dev/null 2>&1) &
  pid=$!
  wait_shown "$pid" "$2" "$1"
  t1=$(date +%s%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo $(((t1 - t0) / 1000000))
}

manager_key='HKCU\Software\Tolvix\TWAINDSM'
choose() { wine reg add "$manager_key" /v "Default Source" /t REG_SZ /d "Tolvix Virtual Scanner" /f >/dev/null 2>&1; }
unchoose() { wine reg delete "$manager_key" /v "Default Source" /f >/dev/null 2>&1 || true; }

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

unchoose
run_once Tolvix.exe "Pagewell Utility for QX710/720" >/dev/null
run_once empty_dialog.exe "Empty Dialog" >/dev/null
choose
run_once Tolvix.exe "Pagewell Utility for QX710/720" >/dev/null   # the manager finds the chosen file once
for _ in $(seq "$runs"); do
  unchoose
  run_once Tolvix.exe "Pagewell Utility for QX710/720" >>"$work/tolvix.ms"
  run_once empty_dialog.exe "Empty Dialog" >>"$work/empty.ms"
  run_once template_dialog.exe "Pagewell Utility for QX710/720" >>"$work/template.ms"
  choose
  run_once Tolvix.exe "Pagewell Utility for QX710/720" >>"$work/chosen.ms"
done
unchoose
report() { echo "$1: median $(median <"$2") ms ($(tr '\n' ' ' <"$2")ms)"; }  # name file
report "Tolvix.exe, no source chosen" "$work/tolvix.ms"
report "Tolvix.exe, scanner chosen" "$work/chosen.ms"
report template_dialog.exe "$work/template.ms"
report empty_dialog.exe "$work/empty.ms"
awk -v a="$(median <"$work/tolvix.ms")" -v c="$(median <"$work/chosen.ms")" -v t="$(median <"$work/template.ms")" \
  -v b="$(median <"$work/empty.ms")" 'BEGIN {printf "ratio: %.2f, scanner chosen %.2f (bare template %.2f) over %d alternated runs\n", \
  a / b, c / b, t / b, '"$runs"'}'
