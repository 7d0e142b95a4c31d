#!/usr/bin/env bash
# Runs the settings driver's locale case once as a US and once as a British user,
# each in a copy of the test prefix whose Wine server starts with that LANG.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tools/wine-env.sh"
driver=$1
base=$WINEPREFIX
status=0
for pair in en_US.UTF-8:3 en_GB.UTF-8:1; do
  lang=${pair%%:*}
  export WINEPREFIX="$TOLVIX_WORK/${lang%%.*}"
  rm -rf "$WINEPREFIX"
  mkdir -p "$TOLVIX_WORK"
  cp -al "$base" "$WINEPREFIX"
  echo "== LANG=$lang, default page size $((${pair##*:}))"
  LANG=$lang LC_ALL=$lang TOLVIX_EXPECT_PAGESIZE=${pair##*:} wine "$driver" locale_default || status=1
  wineserver -k || true
  rm -rf "$WINEPREFIX"
done
exit $status
