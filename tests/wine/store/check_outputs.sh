#!/usr/bin/env bash
# Checks the files test_store's exports wrote, as listed in expect.txt, with
# independent readers: libtiff's tiffinfo and tiffcp, qpdf, poppler's pdfimages,
# ImageMagick's compare.
# Usage: check_outputs.sh WORK_FOLDER
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

declare -A checked
while read -r kind file a b c; do
  case $kind in
    tiff)  # tiff FILE INDEX PAGE_BMP COMPRESSION
      if [ -z "${checked[$file]-}" ]; then
        checked[$file]=1
        tiffinfo -D "$file" >/dev/null 2>"$tmp/err" || fail "tiffinfo -D $file"
        [ ! -s "$tmp/err" ] || fail "tiffinfo $file: $(cat "$tmp/err")"
      fi
      scheme=$(tiffinfo "$file" 2>/dev/null | sed -n 's/^ *Compression Scheme: //p' | sed -n "$((a + 1))p")
      [ "$scheme" = "${c//_/ }" ] || fail "$file page $a: compression '$scheme', not ${c//_/ }"
      rm -f "$tmp/plain.tif"
      tiffcp -c none "$file,$a" "$tmp/plain.tif" || { fail "tiffcp $file,$a"; continue; }
      same_pixels "$tmp/plain.tif" "$b" "$file page $a ($b)"
      ;;
    pages)  # pages FILE COUNT
      n=$(tiffinfo "$file" 2>/dev/null | grep -c '^TIFF Directory')
      [ "$n" = "$a" ] || fail "$file has $n pages, not $a"
      ;;
    pdfpages)  # pdfpages FILE COUNT
      qpdf --check "$file" >"$tmp/qpdf" 2>&1 || fail "qpdf --check $file: $(cat "$tmp/qpdf")"
      n=$(qpdf --show-npages "$file" 2>/dev/null)
      [ "$n" = "$a" ] || fail "$file has $n pages, not $a"
      ;;
    pdf)  # pdf FILE INDEX PAGE_BMP ENCODING
      page=$((a + 1))
      enc=$(pdfimages -f "$page" -l "$page" -list "$file" | awk 'NR > 2 { print $9 }')
      [ "$enc" = "$c" ] || fail "$file page $page: encoding '$enc', not $c"
      rm -f "$tmp"/img-*
      pdfimages -f "$page" -l "$page" "$file" "$tmp/img" || { fail "pdfimages $file $page"; continue; }
      same_pixels "$(ls "$tmp"/img-000.*)" "$b" "$file page $page ($b)"
      ;;
    pdffilter)  # pdffilter FILE FILTER|none: the image streams' filter
      filters=$(qpdf --qdf --object-streams=disable "$file" - 2>/dev/null | grep -ao '/\(RunLength\|CCITTFax\|Flate\)Decode' | sort -u | tr '\n' ' ')
      case $a in
        none) [ -z "$filters" ] || fail "$file: filters '$filters', expected none" ;;
        *) [ "$filters" = "/$a " ] || fail "$file: filters '$filters', expected /$a" ;;
      esac
      ;;
    same)  # same FILE PAGE_BMP: byte for byte
      cmp -s "$file" "$a" || fail "$file differs from $a"
      ;;
    *) fail "unknown expectation: $kind $file" ;;
  esac
done < <(tr -d '\r' <expect.txt)

echo "$(wc -l <expect.txt) expectation(s), $failures failure(s)"
[ "$failures" -eq 0 ]
