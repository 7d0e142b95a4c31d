#!/usr/bin/env bash
# README command 1: installs what is missing, builds, prepares a Wine prefix
# inside the build folder and starts Tolvix.exe under Wine on the virtual scanner.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/deps.sh"
"$root/tools/build.sh" win64
bin="$root/build/win64/bin"
prefix="$root/build/win64/wineprefix"
if [ -z "${DISPLAY-}" ]; then
  echo "Tolvix is built in $bin, but there is no display to show its window."
  echo "Run this command from a desktop session, or over 'ssh -X', or start a"
  echo "virtual display first:  Xvfb :1 & export DISPLAY=:1"
  exit 1
fi
"$root/tools/prefix.sh" "$prefix" "$bin" "${TOLVIX_PRODUCT_ID-Pagewell QX720KTR}"
. "$root/tools/wine-env.sh"
export WINEPREFIX="$prefix"
cd "$bin"
exec wine Tolvix.exe
