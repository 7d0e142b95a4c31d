#!/usr/bin/env bash
# Prints through a private CUPS server (everything in the work folder) with a PDF
# queue whose printer has margins, Wine's default printer in a prefix copy: one job
# under the document name, its one sheet rendered at the printer's resolution with
# the page where and as large as the driver expects, within one device pixel.
# Usage: print-queue.sh DRIVER WORK_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../tools/wine-env.sh"
driver=$1 work=$2 queue=TolvixPDF
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"/etc "$work"/spool/tmp "$work"/cache "$work"/state "$work"/log
export CUPS_SERVER=$work/cups.sock
# Everyone on the private socket may do everything, lpadmin included.
printf '%s\n' "Listen $CUPS_SERVER" "LogLevel warn" "<Policy default>" "<Limit All>" "Order allow,deny" "Allow all" \
  "</Limit>" "</Policy>" >"$work/etc/cupsd.conf"
# cupsd refuses to run its filters as root.
printf '%s\n' "ServerRoot $work/etc" "RequestRoot $work/spool" "TempDir $work/spool/tmp" "CacheDir $work/cache" \
  "StateDir $work/state" "ErrorLog $work/log/error_log" "AccessLog $work/log/access_log" \
  "User lp" "Group lp" "SystemGroup root" >"$work/etc/cups-files.conf"
cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" &
cupsd_pid=$!
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  kill "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
status=0
fail() { echo "FAILED: $*"; status=1; }

# lpstat -r succeeds whether or not the scheduler runs: read what it says.
timeout 20 sh -c 'until LC_ALL=C lpstat -r 2>/dev/null | grep -qx "scheduler is running"; do sleep 0.2; done' \
  || { echo "FAILED: the private CUPS server did not start"; cat "$work/log/error_log"; exit 1; }
{ lpadmin -p "$queue" -E -v cups-pdf:/ -P "$here/test-printer.ppd" && lpadmin -d "$queue"; } >"$work/lpadmin.log" 2>&1 \
  || { echo "FAILED: the queue was not added:"; cat "$work/lpadmin.log"; exit 1; }
# cups-pdf writes into the job owner's home folder, named after the job.
out_dir=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
rm -f "$out_dir"/QX_Utility_Page_Print*.pdf

# The prefix's server may still be saving the registry after the last test: copy
# once it has ended; the registry files as copies, since Wine rewrites them.
timeout 60 wineserver -w || { echo "FAILED: the Wine server of $WINEPREFIX did not end"; exit 1; }
cp -al "$WINEPREFIX" "$prefix"
for reg in "$WINEPREFIX"/*.reg; do cp --remove-destination "$reg" "$prefix/"; done
WINEPREFIX=$prefix TOLVIX_PRINT_WORK=$work TOLVIX_PRINTER=$queue wine "$driver" print_queue &
driver_pid=$!

finished() { lpstat -W completed -o "$queue" | grep -q . && ! lpstat -o "$queue" | grep -q .; }
deadline=$((SECONDS + 120))
until finished || ! kill -0 "$driver_pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
if finished; then
  touch "$work/printed"
else
  fail "the queue finished no job: $(lpstat -W all -o "$queue")"
  tail -5 "$work/log/error_log" 2>/dev/null
fi
wait "$driver_pid" || status=1
# Every job the queue was given, finished or not: a cancelled one must not be among them.
jobs=$(lpstat -W all -o "$queue" | grep -c .) || true
[ "$jobs" = 1 ] || fail "$jobs jobs printed, not one"
pdf=$(ls "$out_dir"/QX_Utility_Page_Print*.pdf 2>/dev/null | head -1)
[ -n "$pdf" ] || { fail "no PDF of the job \"QX Utility Page Print\" in $out_dir"; exit 1; }
mv "$pdf" "$work/page.pdf"

# expect.txt (from the driver): the page's size and place on the sheet and the
# printer's resolution, in device pixels.
read -r width height x y dpi <"$work/expect.txt" || { fail "no expect.txt from the driver"; exit 1; }
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r"$dpi" -sOutputFile="$work/sheet-%d.pbm" "$work/page.pdf" \
  || { fail "Ghostscript cannot render the job's PDF"; exit 1; }
[ -f "$work/sheet-1.pbm" ] && [ ! -f "$work/sheet-2.pbm" ] || { fail "not exactly one sheet"; exit 1; }
convert "$work/page.bmp" -sample "${width}x${height}!" "$work/expected.pbm"
# Pixels differ only where the printer's and ImageMagick's sampling round apart.
limit=$((width * height / 1000))
bx=
for dy in 0 -1 1; do
  for dx in 0 -1 1; do
    convert "$work/sheet-1.pbm" -crop "${width}x${height}+$((x + dx))+$((y + dy))" +repage "$work/printed.pbm"
    diff=$(compare -metric AE "$work/printed.pbm" "$work/expected.pbm" null: 2>&1) || true
    if [[ "$diff" =~ ^[0-9]+$ ]] && [ "$diff" -le "$limit" ]; then bx=$((x + dx)) by=$((y + dy)) && break 2; fi
  done
done
[ -n "$bx" ] || { fail "no place within a pixel of $x,$y shows the page at ${width}x${height} (last: $diff pixels differ)"; exit 1; }
outside=$(convert "$work/sheet-1.pbm" -fill white \
            -draw "rectangle $bx,$by $((bx + width - 1)),$((by + height - 1))" -format '%[min]' info:)
[ "$outside" != 0 ] || fail "ink printed outside the page's place"
exit $status
