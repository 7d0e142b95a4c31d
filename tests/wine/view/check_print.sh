#!/usr/bin/env bash
# Checks what the print test sent to its file printer: one PostScript page under
# the document name, rendered by Ghostscript at the printer's 300 dpi; the page
# image must stand at the top left of the printable area (1/4 inch from the left,
# 1/2 inch from the top of the Letter sheet) at the size the test expects, with
# the page's own pixels, and nothing printed elsewhere.
# Usage: check_print.sh WORK_FOLDER   (expect.txt: PS_FILE PAGE_BMP WIDTH HEIGHT)
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

read -r ps bmp width height <expect.txt
[ -s "$ps" ] || { echo "FAILED: no $ps"; exit 1; }
grep -qx '%%Title: QX Utility Page Print' "$ps" || fail "document name: $(grep '^%%Title' "$ps")"
[ "$(grep -c '^%%Page:' "$ps")" = 1 ] || fail "$(grep -c '^%%Page:' "$ps") pages, not 1"

gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r300 -sOutputFile="$tmp/sheet-%d.pbm" "$ps" \
  || fail "Ghostscript cannot render $ps"
[ -f "$tmp/sheet-1.pbm" ] && [ ! -f "$tmp/sheet-2.pbm" ] || fail "Ghostscript did not render exactly one sheet"
if [ -f "$tmp/sheet-1.pbm" ]; then
  x=75 y=150
  # Pixels differ only where the printer's and ImageMagick's sampling round apart.
  convert "$tmp/sheet-1.pbm" -crop "${width}x${height}+$x+$y" +repage "$tmp/printed.pbm"
  convert "$bmp" -sample "${width}x${height}!" "$tmp/expected.pbm"
  diff=$(compare -metric AE "$tmp/printed.pbm" "$tmp/expected.pbm" null: 2>&1)
  limit=$((width * height / 1000))
  [[ "$diff" =~ ^[0-9]+$ ]] && [ "$diff" -le "$limit" ] \
    || fail "printed page differs from the page scaled to ${width}x${height} at $x,$y: $diff pixels (limit $limit)"
  outside=$(convert "$tmp/sheet-1.pbm" -fill white \
              -draw "rectangle $x,$y $((x + width - 1)),$((y + height - 1))" -format '%[min]' info:)
  [ "$outside" != 0 ] || fail "ink printed outside the page's place"
fi
[ "$failures" = 0 ] || exit 1
echo "print output ok"
