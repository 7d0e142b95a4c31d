#!/usr/bin/env bash
# Performance figures under Wine (not tests): the page store, a 50-sheet A4 400-dpi batch through Tolvix.exe,
# the export of 50 pages. Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/wine/run.sh [BUILD_DIR]
set -euo pipefail
trap 'echo "run.sh: stopped, this failed: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win64}
[ -d "$build/bin" ] || { echo "run.sh: no build in $build: build first with tools/build.sh win64" >&2; exit 1; }
build=$(cd "$build" && pwd)  # Wine takes only absolute paths
[ -n "${DISPLAY-}" ] || { echo "run.sh: needs a display: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\"" >&2; exit 1; }
. "$root/tools/wine-env.sh"
cmake --build "$build" --target test_bench_scan test_bench_pages bench_export >"$build/bench-build.log" ||
  { echo "run.sh: the benchmarks do not build, see $build/bench-build.log" >&2; exit 1; }
export WINEPREFIX=$build/wine/bench-prefix TOLVIX_BIN=$build/bin TOLVIX_SOURCE=$root
"$root/tools/prefix.sh" "$WINEPREFIX" "$build/bin"
cd "$build/bin"
echo "== page store"
wine ./test_bench_pages.exe
echo "== whole program"
wine ./test_bench_scan.exe
echo "== export"
bash "$root/bench/wine/export/export-bench.sh" "$build/bin" "$build/wine/bench-export" 50
wineserver -k || true
