#!/usr/bin/env bash
# Performance figures under Wine (not tests): a 50-sheet A4 400-dpi batch through
# the real Tolvix.exe, and the page store on its own.
# Usage: bench/wine/run.sh [BUILD_DIR]   (default build/win64; needs a display,
# e.g. xvfb-run -a -s "-screen 0 1280x1024x24" bench/wine/run.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win64}
[ -d "$build/bin" ] || { echo "no build in $build: build first with tools/build.sh win64" >&2; exit 1; }
build=$(cd "$build" && pwd)  # Wine takes only an absolute prefix path
[ -n "${DISPLAY-}" ] || { echo "needs a display: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\"" >&2; exit 1; }
. "$root/tools/wine-env.sh"
cmake --build "$build" --target test_bench_scan test_bench_pages >/dev/null
export WINEPREFIX=$build/wine/bench-prefix
"$root/tools/prefix.sh" "$WINEPREFIX" "$build/bin"
export TOLVIX_BIN=$build/bin TOLVIX_SOURCE=$root
cd "$build/bin"
echo "== page store"
wine ./test_bench_pages.exe
echo "== whole program"
wine ./test_bench_scan.exe
wineserver -k || true
