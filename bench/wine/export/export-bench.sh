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
. "$root/tools/wine-env.sh"
bin=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(100 1000)
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/tools/prefix.sh" "$WINEPREFIX" "$bin" >/dev/null
command -v img2pdf >/dev/null || { echo "img2pdf is missing (apt-get install img2pdf)"; exit 2; }

win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
ours() {  # COUNT TYPE COMPRESSION STEM -> output line of bench_export
  wine "$bin/bench_export.exe" export "$(win "$pages")" "$1" "$2" "$3" "$(win "$save")" "$4" | tr -d '\r'
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
  ours "$n" 1 0 plain >/dev/null
  plain=$save/plain001.tif
  sync  # written-back pages must not compete with the runs timed below
  rows=$(tiffinfo "$plain" 2>/dev/null | sed -n 's/.*Image Length: \([0-9]*\).*/\1/p' | sed -n 1p)

  declare -a t_tif=() t_pdf=() t_cp=() t_img=() t_eng=() m_tif=() m_pdf=() w_tif=() w_pdf=()
  for rep in 1 2 3; do
    line=$(wine "$floor/bench_export.exe" export "$(win "$pages")" "$n" 1 2 "$(win "$save")" floor | tr -d '\r')
    t_eng+=("$(field seconds <<<"$line")")
    line=$(ours "$n" 1 2 g4tif)
    t_tif+=("$(field seconds <<<"$line")") m_tif+=("$(field peak_private_kb <<<"$line")")
    w_tif+=("$(field peak_working_set_kb <<<"$line")")
    line=$(ours "$n" 3 3 g4pdf)
    t_pdf+=("$(field seconds <<<"$line")") m_pdf+=("$(field peak_private_kb <<<"$line")")
    w_pdf+=("$(field peak_working_set_kb <<<"$line")")
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/tiffcp.tif"; e=$(now)
    t_cp+=("$(echo "$e - $s" | bc -l)")
    s=$(now); tiffcp -c g4 -r "$rows" "$plain" "$save/img.tif"; img2pdf "$save/img.tif" -o "$save/img2pdf.pdf"; e=$(now)
    t_img+=("$(echo "$e - $s" | bc -l)")
  done

  # The outputs are what they claim to be.
  [ "$(tiffinfo "$save/g4tif001.tif" 2>/dev/null | grep -c 'CCITT Group 4')" = "$n" ] || echo "g4tif001.tif: not $n G4 pages"
  qpdf --check "$save/g4pdf001.pdf" >/dev/null || echo "g4pdf001.pdf: qpdf --check failed"
  [ "$(qpdf --show-npages "$save/g4pdf001.pdf")" = "$n" ] || echo "g4pdf001.pdf: not $n pages"

  rm -f "$save/floor001.tif"
  for what in tif eng pdf cp img; do
    declare -n times=t_$what
    t=$(best "${times[@]}")
    case $what in
      tif) label="Tolvix multi-page TIFF G4"; mem=$(best "${m_tif[@]}") ws=$(best "${w_tif[@]}") ;;
      eng) label="engine alone, TIFF32 no-op"; mem=- ws=- ;;
      pdf) label="Tolvix PDF G4"; mem=$(best "${m_pdf[@]}") ws=$(best "${w_pdf[@]}") ;;
      cp) label="tiffcp -c g4 -r $rows"; mem=- ws=- ;;
      img) label="tiffcp + img2pdf"; mem=- ws=- ;;
    esac
    floor=$work/floor  # bench_export beside the TIFF32.dll that writes nothing
mkdir -p "$floor"
cp "$bin/bench_export.exe" "$bin/PDFLIB.dll" "$bin/null-tiff32/TIFF32.dll" "$floor/"

printf '%-6s %-28s %10.3f %10.1f %14s %16s\n' "$n" "$label" "$t" "$(echo "$n / $t" | bc -l)" "$mem" "$ws"
  done
  ls -l "$save" | awk 'NR > 1 { print "       " $5 "\t" $9 }'
  rm -rf "$pages"
done
