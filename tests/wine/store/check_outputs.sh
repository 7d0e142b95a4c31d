#!/usr/bin/env bash
# Reads back the files test_store's exports wrote, as listed in expect.txt, with
# independent readers: libtiff's tiffinfo and tiffcp, qpdf, poppler's pdfimages,
# ImageMagick's compare. A line is "tiff FILE COMPRESSION REF..." or
# "pdf FILE ENCODING FILTER|none REF...": one REF a page, the BMP it must equal,
# or - for a page only counted.
# Usage: check_outputs.sh WORK_FOLDER
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

while read -r kind file enc rest; do
  [ "$kind" = pdf ] && read -r filter rest <<<"$rest"
  read -ra refs <<<"$rest"
  case $kind in
    tiff)
      tiffinfo -D "$file" >/dev/null 2>"$tmp/err" && [ ! -s "$tmp/err" ] || fail "tiffinfo -D $file: $(cat "$tmp/err")"
      mapfile -t pages < <(tiffinfo "$file" 2>/dev/null | sed -n 's/^ *Compression Scheme: //p')
      ;;
    pdf)
      qpdf --check "$file" >"$tmp/qpdf" 2>&1 || fail "qpdf --check $file: $(cat "$tmp/qpdf")"
      filters=$(qpdf --qdf --object-streams=disable "$file" - 2>/dev/null | grep -ao '/\(RunLength\|CCITTFax\|Flate\)Decode' | sort -u | tr -d '\n')
      [ "$filters" = "${filter#none}" ] || fail "$file: filters '$filters', not $filter"
      mapfile -t pages < <(seq "$(qpdf --show-npages "$file" 2>/dev/null)")
      ;;
    *) fail "unknown expectation: $kind $file"; continue ;;
  esac
  [ ${#pages[@]} = ${#refs[@]} ] || fail "$file has ${#pages[@]} pages, not ${#refs[@]}"
  for i in "${!refs[@]}"; do
    [ "${refs[i]}" = - ] && continue
    rm -f "$tmp"/page*
    if [ "$kind" = tiff ]; then
      [ "${pages[i]-}" = "${enc//_/ }" ] || fail "$file page $i: compression '${pages[i]-}', not ${enc//_/ }"
      tiffcp -c none "$file,$i" "$tmp/page.tif" || { fail "tiffcp $file,$i"; continue; }
    else
      got=$(pdfimages -f $((i + 1)) -l $((i + 1)) -list "$file" | awk 'NR > 2 { print $9 }')
      [ "$got" = "$enc" ] || fail "$file page $((i + 1)): encoding '$got', not $enc"
      pdfimages -f $((i + 1)) -l $((i + 1)) "$file" "$tmp/page" || { fail "pdfimages $file $((i + 1))"; continue; }
    fi
    same_pixels "$(ls "$tmp"/page*)" "${refs[i]}" "$file page $i (${refs[i]})"
  done
done < <(tr -d '\r' <expect.txt)

echo "$(wc -l <expect.txt) file(s), $failures failure(s)"
[ "$failures" -eq 0 ]
