#!/usr/bin/env bash
# Runs the 30000-page case of the scan driver. The program then holds 30000 files
# open, and Wine keeps a Unix descriptor for each in the wineserver and in the
# program: both need a descriptor limit above that. The limit is raised here and
# a wineserver of our own is started under it, in a copy of the shared prefix.
# Usage: many_pages.sh TEST_SCAN_EXE
set -euo pipefail
exe=$1
root=${TOLVIX_SOURCE:?}
. "$root/tools/wine-env.sh"
shared=${WINEPREFIX:?}
want=65536
if [ "$(ulimit -Hn)" != unlimited ] && [ "$(ulimit -Hn)" -lt $want ]; then
  ulimit -Hn $want 2>/dev/null || { echo "cannot raise the descriptor limit to $want: skipped"; exit 77; }
fi
ulimit -Sn $want
own="$(dirname "$shared")/scan-many-pages"
rm -rf "$own"
cp -al "$shared" "$own"
# Files Wine rewrites are copied, not shared through hard links.
for f in "$own"/*.reg; do cp --remove-destination "$shared/$(basename "$f")" "$f"; done
export WINEPREFIX=$own
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$own"
}
trap cleanup EXIT INT TERM
wine "$exe" limit_30000
