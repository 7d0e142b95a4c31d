#!/usr/bin/env bash
# Checks a printed document: one page (PostScript from a file printer, with the
# document name, or PDF from a print queue), rendered by Ghostscript at the
# printer's resolution; the page image must stand at the top left of the
# printable area at the size the test expects, within one device pixel, with the
# page's own pixels, and nothing printed elsewhere.
# Usage: check_print.sh WORK_FOLDER
#   (expect.txt: DOCUMENT PAGE_BMP WIDTH HEIGHT LEFT TOP DPI, in device pixels)
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

read -r doc bmp width height x y dpi <expect.txt
[ -s "$doc" ] || { echo "FAILED: no $doc"; exit 1; }
if [[ "$doc" == *.ps ]]; then
  grep -qx '%%Title: QX Utility Page Print' "$doc" || fail "document name: $(grep '^%%Title' "$doc")"
  [ "$(grep -c '^%%Page:' "$doc")" = 1 ] || fail "$(grep -c '^%%Page:' "$doc") pages, not 1"
fi

gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r"$dpi" -sOutputFile="$tmp/sheet-%d.pbm" "$doc" \
  || fail "Ghostscript cannot render $doc"
[ -f "$tmp/sheet-1.pbm" ] && [ ! -f "$tmp/sheet-2.pbm" ] || fail "Ghostscript did not render exactly one sheet"
if [ -f "$tmp/sheet-1.pbm" ]; then
  convert "$bmp" -sample "${width}x${height}!" "$tmp/expected.pbm"
  # Pixels differ only where the printer's and ImageMagick's sampling round apart.
  limit=$((width * height / 1000))
  best=
  for dy in 0 -1 1; do
    for dx in 0 -1 1; do
      convert "$tmp/sheet-1.pbm" -crop "${width}x${height}+$((x + dx))+$((y + dy))" +repage "$tmp/printed.pbm"
      diff=$(compare -metric AE "$tmp/printed.pbm" "$tmp/expected.pbm" null: 2>&1)
      [[ "$diff" =~ ^[0-9]+$ ]] || continue
      if [ -z "$best" ] || [ "$diff" -lt "$best" ]; then best=$diff bx=$((x + dx)) by=$((y + dy)); fi
    done
  done
  [ -n "$best" ] && [ "$best" -le "$limit" ] \
    || fail "printed page differs from the page scaled to ${width}x${height} at $x,$y: ${best:-?} pixels (limit $limit)"
  if [ -n "$best" ]; then
    outside=$(convert "$tmp/sheet-1.pbm" -fill white \
                -draw "rectangle $bx,$by $((bx + width - 1)),$((by + height - 1))" -format '%[min]' info:)
    [ "$outside" != 0 ] || fail "ink printed outside the page's place"
  fi
fi
[ "$failures" = 0 ] || exit 1
echo "print output ok"
