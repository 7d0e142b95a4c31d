#!/usr/bin/env bash
# Prepares a Wine prefix for Tolvix: creates it if needed, installs our TWAIN
# source manager into the system folder and the virtual scanner under twain_64,
# and writes the scanner model's registry value the driver setup would write.
# Usage: tools/prefix.sh PREFIX BIN_DIR [PRODUCT_ID]   (needs a display)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-env.sh"
mkdir -p "$1"
export WINEPREFIX=$(cd "$1" && pwd)  # Wine takes only an absolute prefix path
bin=$(cd "$2" && pwd) || { echo "no program folder $2" >&2; exit 1; }
product=${3-"Pagewell QX720KTR"}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
fi
win="$WINEPREFIX/drive_c/windows"
if [ -f "$bin/TWAINDSM.dll" ]; then
  cp "$bin/TWAINDSM.dll" "$win/system32/TWAINDSM.dll"
fi
shopt -s nullglob
ds=("$bin"/*.ds)
if [ ${#ds[@]} -gt 0 ]; then
  mkdir -p "$win/twain_64/Tolvix"
  cp "${ds[@]}" "$win/twain_64/Tolvix/"
fi
key='HKLM\Software\Vexel\PagewellQX\1.0\Devices\QX710/720\Pagewell QX Devices\VexelPagewellQX'
# A crash must end the process, not wait on a dialog nobody will answer.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
for view in 64 32; do
  wine reg add "$key" /v ProductId /t REG_SZ /d "$product" /f /reg:$view >/dev/null 2>&1
done
wineserver -w
