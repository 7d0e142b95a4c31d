#!/usr/bin/env bash
# Export speed: COUNT A4 400-dpi document pages from page files to a Group 4
# multi-page TIFF and to a Group 4 PDF through the export engine under Wine,
# next to libtiff's tiffcp and tiffcp + img2pdf natively on the same pages
# (given to them as one uncompressed multi-page TIFF written by our export).
# Our figures are timed inside the process, around ExportPages; the tools'
# figures include their process start. Best of three runs each. The engine's
# own share is measured too, exporting with a TIFF32.dll that writes nothing.
# Usage: export-bench.sh BIN_DIR WORK_DIR [COUNT ...]   (default 100 1000; needs a display)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
stop() { echo "export-bench.sh: $*" >&2; exit 2; }
[ $# -ge 2 ] || stop "usage: export-bench.sh BIN_DIR WORK_DIR [COUNT ...]"
[ -f "$1/bench_export.exe" ] || stop "no bench_export.exe in $1: build first with tools/build.sh win64"
[ -n "${DISPLAY-}" ] || stop "needs a display: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\""
for tool in img2pdf tiffcp tiffinfo qpdf; do
  command -v $tool >/dev/null || stop "$tool is missing (bash tools/deps.sh installs it)"
done
. "$root/tools/wine-env.sh"
bin=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)  # Wine takes only absolute paths
shift 2
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(100 1000)
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/tools/prefix.sh" "$WINEPREFIX" "$bin" >/dev/null

win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
since() { awk "BEGIN { print $(now) - $1 }"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
ours() {  # EXE COUNT TYPE COMPRESSION STEM -> output line of bench_export
  wine "$1" export "$(win "$pages")" "$2" "$3" "$4" "$(win "$save")" "$5" | tr -d '\r'
}

floor=$work/floor  # bench_export beside the TIFF32.dll that writes nothing
mkdir -p "$floor"
cp "$bin/bench_export.exe" "$bin/PDFLIB.dll" "$bin/null-tiff32/TIFF32.dll" "$floor/"

printf '%-6s %-28s %10s %10s %14s %16s\n' pages what seconds pages/s peak_private_kb peak_working_kb
for n in "${counts[@]}"; do
  pages=$work/pages$n save=$work/out$n
  rm -rf "$pages" "$save"
  mkdir -p "$pages" "$save"
  wine "$bin/bench_export.exe" write "$(win "$pages")" "$n" >/dev/null
  ours "$bin/bench_export.exe" "$n" 1 0 plain >/dev/null
  plain=$save/plain001.tif
  sync  # written-back pages must not compete with the runs timed below
  rows=$(tiffinfo "$plain" 2>/dev/null | sed -n 's/.*Image Length: \([0-9]*\).*/\1/p' | sed -n 1p)

  t_tif=() t_pdf=() t_cp=() t_img=() t_eng=() m_tif=() m_pdf=() w_tif=() w_pdf=()
  for _ in 1 2 3; do
    line=$(ours "$floor/bench_export.exe" "$n" 1 2 floor)
    t_eng+=("$(field seconds "$line")")
    line=$(ours "$bin/bench_export.exe" "$n" 1 2 g4tif)
    t_tif+=("$(field seconds "$line")") m_tif+=("$(field peak_private_kb "$line")") w_tif+=("$(field peak_working_set_kb "$line")")
    line=$(ours "$bin/bench_export.exe" "$n" 3 3 g4pdf)
    t_pdf+=("$(field seconds "$line")") m_pdf+=("$(field peak_private_kb "$line")") w_pdf+=("$(field peak_working_set_kb "$line")")
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/tiffcp.tif"; t_cp+=("$(since "$s")")
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/img.tif"; img2pdf "$save/img.tif" -o "$save/img2pdf.pdf"
    t_img+=("$(since "$s")")
  done

  # The outputs are what they claim to be.
  [ "$(tiffinfo "$save/g4tif001.tif" 2>/dev/null | grep -c 'CCITT Group 4')" = "$n" ] || echo "g4tif001.tif: not $n G4 pages"
  qpdf --check "$save/g4pdf001.pdf" >/dev/null || echo "g4pdf001.pdf: qpdf --check failed"
  [ "$(qpdf --show-npages "$save/g4pdf001.pdf")" = "$n" ] || echo "g4pdf001.pdf: not $n pages"

  rm -f "$save/floor001.tif"
  row() { printf '%-6s %-28s %10.3f %10.1f %14s %16s\n' "$n" "$1" "$2" "$(awk "BEGIN { print $n / $2 }")" "$3" "$4"; }
  row "Tolvix multi-page TIFF G4" "$(best "${t_tif[@]}")" "$(best "${m_tif[@]}")" "$(best "${w_tif[@]}")"
  row "engine alone, TIFF32 no-op" "$(best "${t_eng[@]}")" - -
  row "Tolvix PDF G4" "$(best "${t_pdf[@]}")" "$(best "${m_pdf[@]}")" "$(best "${w_pdf[@]}")"
  row "tiffcp -c g4 -r $rows" "$(best "${t_cp[@]}")" - -
  row "tiffcp + img2pdf" "$(best "${t_img[@]}")" - -
  ls -l "$save" | awk 'NR > 1 { print "       " $5 "\t" $9 }'
  rm -rf "$pages"
done
