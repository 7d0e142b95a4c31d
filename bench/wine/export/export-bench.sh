#!/usr/bin/env bash
# Export speed, best of three: COUNT A4 400-dpi page files to G4 multi-page TIFF and PDF through the export
# engine under Wine (also with a no-op TIFF32.dll: the engine's own share), next to tiffcp and tiffcp + img2pdf
# natively (process start included) on the same pages as one uncompressed TIFF from our export.
# Usage: export-bench.sh BIN_DIR WORK_DIR [COUNT ...]   (default 100 1000; needs a display)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
stop() { echo "export-bench.sh: $*" >&2; exit 2; }
[ $# -ge 2 ] || stop "usage: export-bench.sh BIN_DIR WORK_DIR [COUNT ...]"
[ -f "$1/bench_export.exe" ] || stop "no bench_export.exe in $1: build first with tools/build.sh win64"
[ -n "${DISPLAY-}" ] || stop "needs a display: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\""
for tool in img2pdf tiffcp tiffinfo qpdf; do command -v $tool >/dev/null || stop "no $tool: run tools/deps.sh"; done
. "$root/tools/wine-env.sh"
bin=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)  # Wine takes only absolute paths
shift 2
[ $# -gt 0 ] || set -- 100 1000
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/tools/prefix.sh" "$WINEPREFIX" "$bin" >/dev/null

win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
since() { awk "BEGIN { print $(now) - $1 }"; }
ours() {  # EXE TYPE COMPRESSION STEM -> the figures line of bench_export
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

floor=$work/floor  # bench_export beside the TIFF32.dll that writes nothing
mkdir -p "$floor"
cp "$bin/bench_export.exe" "$bin/PDFLIB.dll" "$bin/null-tiff32/TIFF32.dll" "$floor/"

printf '%-6s %-28s %10s %10s %14s %16s\n' pages what seconds pages/s peak_private_kb peak_working_kb
for n in "$@"; do
  pages=$work/pages$n save=$work/out$n
  rm -rf "$pages" "$save"
  mkdir -p "$pages" "$save"
  wine "$bin/bench_export.exe" write "$(win "$pages")" "$n"
  ours "$bin/bench_export.exe" 1 0 plain >/dev/null
  plain=$save/plain001.tif
  sync  # written-back pages must not compete with the runs timed below
  rows=$(tiffinfo "$plain" 2>/dev/null | sed -n 's/.*Image Length: \([0-9]*\).*/\1/p' | sed -n 1p)
  for _ in 1 2 3; do
    echo "eng $(ours "$floor/bench_export.exe" 1 2 floor)"
    echo "tif $(ours "$bin/bench_export.exe" 1 2 g4tif)"
    echo "pdf $(ours "$bin/bench_export.exe" 3 3 g4pdf)"
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
