#!/usr/bin/env bash
# Checks the files the save driver's Tolvix.exe wrote, as listed in expect.txt,
# with independent readers: libtiff's tiffinfo and qpdf, poppler's pdfimages.
# Usage: check_outputs.sh WORK_FOLDER
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

while read -r kind file a b c; do
  case $kind in
    tiff)  # tiff FILE WIDTH HEIGHT COMPRESSION: one page, every strip decoded
      tiffinfo -D "$file" >"$tmp/info" 2>"$tmp/err" || fail "tiffinfo -D $file"
      [ ! -s "$tmp/err" ] || fail "tiffinfo $file: $(cat "$tmp/err")"
      [ "$(grep -c '^TIFF Directory' "$tmp/info")" = 1 ] || fail "$file: not one page"
      grep -q "Image Width: $a Image Length: $b" "$tmp/info" || fail "$file: not $a x $b"
      scheme=$(sed -n 's/^ *Compression Scheme: //p' "$tmp/info")
      [ "$scheme" = "${c//_/ }" ] || fail "$file: compression '$scheme', not ${c//_/ }"
      ;;
    pdfpages)  # pdfpages FILE COUNT ENCODING
      qpdf --check "$file" >"$tmp/qpdf" 2>&1 || fail "qpdf --check $file: $(cat "$tmp/qpdf")"
      n=$(qpdf --show-npages "$file" 2>/dev/null)
      [ "$n" = "$a" ] || fail "$file has $n pages, not $a"
      enc=$(pdfimages -list "$file" | awk 'NR > 2 { print $9 }' | sort -u)
      [ "$enc" = "$b" ] || fail "$file: image encodings '$enc', not $b"
      ;;
    *) fail "unknown expectation: $kind $file" ;;
  esac
done < <(tr -d '\r' <expect.txt)

echo "$(wc -l <expect.txt) expectation(s), $failures failure(s)"
[ "$failures" -eq 0 ]
