#!/usr/bin/env bash
# Performance figures under Wine (not tests): test_bench's page store and 50-sheet batch, then the export, best
# of three, of COUNT A4 400-dpi page files to G4 multi-page TIFF and PDF (also with a no-op TIFF32.dll: the engine's
# own share) next to tiffcp and tiffcp + img2pdf natively (process start included) on one uncompressed TIFF of them.
# Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/wine/run.sh [BUILD_DIR [COUNT ...]]  (default 50)
set -euo pipefail
trap 'echo "run.sh: stopped, this failed: $BASH_COMMAND" >&2' ERR
stop() { echo "run.sh: $*" >&2; exit 1; }
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win64}
[ -d "$build/bin" ] || stop "no build in $build: build first with tools/build.sh win64"
build=$(cd "$build" && pwd)  # Wine takes only absolute paths
shift $(($# > 0))
[ $# -gt 0 ] || set -- 50
[ -n "${DISPLAY-}" ] || stop "needs a display: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\""
for tool in img2pdf tiffcp tiffinfo qpdf; do command -v $tool >/dev/null || stop "no $tool: run tools/deps.sh"; done
. "$root/tools/wine-env.sh"
cmake --build "$build" --target test_bench >"$build/bench-build.log" ||
  stop "the benchmarks do not build, see $build/bench-build.log"
export WINEPREFIX=$build/wine/bench-prefix TOLVIX_BIN=$build/bin TOLVIX_SOURCE=$root
"$root/tools/prefix.sh" "$WINEPREFIX" "$build/bin"
bin=$build/bin work=$build/wine/bench-export
(cd "$bin" && wine ./test_bench.exe pages scan)  # the page store, then the whole program
echo "== export"

win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
since() { awk "BEGIN { print $(now) - $1 }"; }
ours() {  # EXE TYPE COMPRESSION STEM -> the figures line of test_bench export
  wine "$1" export "$(win "$pages")" "$n" "$2" "$3" "$(win "$save")" "$4" | tr -d '\r'
}
best() {  # KIND FIELD -> the smallest of the runs' figures
  sed -n "s/^$1 .*$2=\([^ ]*\).*/\1/p" "$work/runs" | sort -g | head -1 | grep . || echo -
}
row() {  # KIND LABEL
  local t; t=$(best "$1" seconds)
  printf '%-6s %-28s %10.3f %10.1f %14s %16s\n' "$n" "$2" "$t" "$(awk "BEGIN { print $n / $t }")" \
    "$(best "$1" peak_private_kb)" "$(best "$1" peak_working_set_kb)"
}

# Copies of test_bench beside the DLLs it exports with, where it leaves its settings file: real, and floor with
# the TIFF32.dll that writes nothing.
real=$work/real floor=$work/floor
mkdir -p "$real" "$floor"
cp "$bin/test_bench.exe" "$bin/PDFLIB.dll" "$bin/TIFF32.dll" "$real/"
cp "$bin/test_bench.exe" "$bin/PDFLIB.dll" "$bin/null-tiff32/TIFF32.dll" "$floor/"

printf '%-6s %-28s %10s %10s %14s %16s\n' pages what seconds pages/s peak_private_kb peak_working_kb
for n in "$@"; do
  pages=$work/pages$n save=$work/out$n
  rm -rf "$pages" "$save"
  mkdir -p "$pages" "$save"
  wine "$real/test_bench.exe" write "$(win "$pages")" "$n"
  ours "$real/test_bench.exe" 1 0 plain >/dev/null
  plain=$save/plain001.tif
  sync  # written-back pages must not compete with the runs timed below
  rows=$(tiffinfo "$plain" 2>/dev/null | sed -n 's/.*Image Length: \([0-9]*\).*/\1/p' | sed -n 1p)
  for _ in 1 2 3; do
    echo "eng $(ours "$floor/test_bench.exe" 1 2 floor)"
    echo "tif $(ours "$real/test_bench.exe" 1 2 g4tif)"
    echo "pdf $(ours "$real/test_bench.exe" 3 3 g4pdf)"
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/tiffcp.tif"; echo "cp seconds=$(since "$s")"
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/img.tif"; img2pdf "$save/img.tif" -o "$save/img2pdf.pdf"
    echo "img seconds=$(since "$s")"
  done >"$work/runs"

  # The outputs are what they claim to be.
  [ "$(tiffinfo "$save/g4tif001.tif" 2>/dev/null | grep -c 'CCITT Group 4')" = "$n" ] || echo "g4tif001.tif: not $n G4 pages"
  qpdf --check "$save/g4pdf001.pdf" >/dev/null || echo "g4pdf001.pdf: qpdf --check failed"
  [ "$(qpdf --show-npages "$save/g4pdf001.pdf")" = "$n" ] || echo "g4pdf001.pdf: not $n pages"

  rm -f "$save/floor001.tif"
  row tif "Tolvix multi-page TIFF G4"
  row eng "engine alone, TIFF32 no-op"
  row pdf "Tolvix PDF G4"
  row cp "tiffcp -c g4 -r $rows"
  row img "tiffcp + img2pdf"
  ls -l "$save" | awk 'NR > 1 { print "       " $5 "\t" $9 }'
  rm -rf "$pages"
done
wineserver -k || true
