#!/usr/bin/env bash
# Checks the files test_formats wrote with independent readers: libtiff's
# tiffinfo and tiffcp, qpdf, poppler's pdfimages, ImageMagick's compare.
# Usage: check_outputs.sh WORK_FOLDER
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

declare -A checked
while read -r kind file index bmp code; do
  case $kind in
    tiff)
      if [ -z "${checked[$file]-}" ]; then
        checked[$file]=1
        tiffinfo -D "$file" >/dev/null 2>"$tmp/err" || fail "tiffinfo -D $file"
        [ ! -s "$tmp/err" ] || fail "tiffinfo $file: $(cat "$tmp/err")"
      fi
      rm -f "$tmp/plain.tif"
      tiffcp -c none "$file,$index" "$tmp/plain.tif" || { fail "tiffcp $file,$index"; continue; }
      same_pixels "$tmp/plain.tif" "$bmp" "$file page $index ($bmp, code $code)"
      ;;
    pages)
      n=$(tiffinfo "$file" 2>/dev/null | grep -c '^TIFF Directory')
      [ "$n" = "$index" ] || fail "$file has $n pages, not $index"
      ;;
    pdf)
      if [ -z "${checked[$file]-}" ]; then
        checked[$file]=1
        qpdf --check "$file" >"$tmp/qpdf" 2>&1 || fail "qpdf --check $file: $(cat "$tmp/qpdf")"
        pdfimages -list "$file" | tail -n +3 >"$tmp/list.$file"
      fi
      page=$((index + 1))
      read -r bpc enc < <(awk -v p="$page" '$1 == p { print $8, $9 }' "$tmp/list.$file")
      want=image
      [ "$bpc" = 1 ] && [ "$code" -ge 3 ] && want=ccitt
      [ "$enc" = "$want" ] || fail "$file page $page: encoding '$enc', not $want"
      rm -f "$tmp"/img-*
      pdfimages -f "$page" -l "$page" "$file" "$tmp/img" || { fail "pdfimages $file $page"; continue; }
      same_pixels "$(ls "$tmp"/img-000.*)" "$bmp" "$file page $page ($bmp)"
      ;;
  esac
done < <(tr -d '\r' <expect.txt)

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
