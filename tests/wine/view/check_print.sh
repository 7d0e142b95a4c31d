#!/usr/bin/env bash
# Checks a printed document rendered at the printer's resolution: one sheet, the
# page at the expected size and place within one device pixel, nothing elsewhere.
# Usage: check_print.sh WORK_FOLDER
#   (expect.txt: DOCUMENT PAGE_BMP WIDTH HEIGHT LEFT TOP DPI, in device pixels)
set -uo pipefail
. "$(dirname "$0")/../check-common.sh"

read -r doc bmp width height x y dpi <expect.txt
[ -s "$doc" ] || { echo "FAILED: no $doc"; exit 1; }
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r"$dpi" -sOutputFile="$tmp/sheet-%d.pbm" "$doc" \
  || { echo "FAILED: Ghostscript cannot render $doc"; exit 1; }
[ -f "$tmp/sheet-1.pbm" ] && [ ! -f "$tmp/sheet-2.pbm" ] || { echo "FAILED: not exactly one sheet"; exit 1; }
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
    [ "$best" -gt "$limit" ] || break 2
  done
done
[ -n "$best" ] && [ "$best" -le "$limit" ] \
  || { echo "FAILED: the print differs from the page scaled to ${width}x${height} at $x,$y: ${best:-?} pixels (limit $limit)"; exit 1; }
outside=$(convert "$tmp/sheet-1.pbm" -fill white \
            -draw "rectangle $bx,$by $((bx + width - 1)),$((by + height - 1))" -format '%[min]' info:)
[ "$outside" != 0 ] || { echo "FAILED: ink printed outside the page's place"; exit 1; }
echo "print output ok"
