#!/usr/bin/env bash
# check-common.sh WORK_FOLDER: reads back every line of WORK_FOLDER/expect.txt with independent readers (tiffinfo,
# tiffcp, qpdf, pdfimages, and ImageMagick counting differing pixels). Schemes are written with _ for spaces.
set -uo pipefail
cd "$1" || exit 2
[ -s expect.txt ] || { echo "no expect.txt in $1"; exit 2; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

while read -r kind file a b c; do
  case $kind in
    tiff)  # tiff FILE INDEX PAGE_BMP|- SCHEME: the page's compression and pixels
      tiffinfo -D "$file" >/dev/null 2>"$tmp/err" && [ ! -s "$tmp/err" ] || fail "tiffinfo -D $file: $(cat "$tmp/err")"
      enc=$(tiffinfo "$file" 2>/dev/null | sed -n 's/^ *Compression Scheme: //p' | sed -n "$((a + 1))p")
      [ "$enc" = "${c//_/ }" ] || fail "$file page $a: compression '$enc', not ${c//_/ }"
      [ "$b" = - ] && continue
      tiffcp -c none "$file,$a" "$tmp/plain.tif" || { fail "tiffcp $file,$a"; continue; }
      n=$(compare -metric AE "$tmp/plain.tif" "$b" null: 2>&1)
      [ "$n" = 0 ] || fail "$file page $a ($b): $n pixels differ"
      ;;
    pages)  # pages FILE COUNT [WIDTH HEIGHT]: TIFF directories, and the first one's size
      n=$(tiffinfo "$file" 2>/dev/null | grep -c '^TIFF Directory')
      [ "$n" = "$a" ] || fail "$file has $n pages, not $a"
      [ -z "$b" ] || tiffinfo "$file" 2>/dev/null | grep -q "Image Width: $b Image Length: $c" || fail "$file: not $b x $c"
      ;;
    pdfpages)  # pdfpages FILE COUNT FILTER|none: a sound file, its pages, the image streams' filter
      qpdf --check "$file" >"$tmp/qpdf" 2>&1 || fail "qpdf --check $file: $(cat "$tmp/qpdf")"
      n=$(qpdf --show-npages "$file" 2>/dev/null)
      [ "$n" = "$a" ] || fail "$file has $n pages, not $a"
      filters=$(qpdf --qdf --object-streams=disable "$file" - 2>/dev/null |
        grep -ao '\(RunLength\|CCITTFax\|Flate\)Decode' | sort -u | tr '\n' ' ')
      [ "${filters:-none }" = "$b " ] || fail "$file: filters '${filters:-none }', not $b"
      ;;
    pdf)  # pdf FILE INDEX PAGE_BMP ENCODING
      page=$((a + 1))
      enc=$(pdfimages -f "$page" -l "$page" -list "$file" | awk 'NR > 2 { print $9 }')
      [ "$enc" = "$c" ] || fail "$file page $page: encoding '$enc', not $c"
      rm -f "$tmp"/img-*
      pdfimages -f "$page" -l "$page" "$file" "$tmp/img" || { fail "pdfimages $file $page"; continue; }
      n=$(compare -metric AE "$(ls "$tmp"/img-000.*)" "$b" null: 2>&1)
      [ "$n" = 0 ] || fail "$file page $page ($b): $n pixels differ"
      ;;
    *) fail "unknown expectation: $kind $file" ;;
  esac
done < <(tr -d '\r' <expect.txt)
echo "$(wc -l <expect.txt) expectation(s), $failures failure(s)"
[ "$failures" -eq 0 ]
