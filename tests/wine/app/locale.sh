#!/usr/bin/env bash
# The driver's no_file case once as a US and once as a British user, each in a copy
# of the test prefix whose Wine server starts with that LANG.
set -euo pipefail
. "$(cd "$(dirname "$0")/../../.." && pwd)/tools/wine-env.sh"
base=$WINEPREFIX status=0
for pair in en_US.UTF-8:3 en_GB.UTF-8:1; do
  lang=${pair%%:*}
  export WINEPREFIX="$TOLVIX_WORK/${lang%%.*}"
  rm -rf "$WINEPREFIX" && mkdir -p "$TOLVIX_WORK" && cp -al "$base" "$WINEPREFIX"
  echo "== LANG=$lang, default page size ${pair##*:}"
  LANG=$lang LC_ALL=$lang TOLVIX_EXPECT_PAGESIZE=${pair##*:} wine "$1" no_file || status=1
  wineserver -k || true
  rm -rf "$WINEPREFIX"
done
exit $status
