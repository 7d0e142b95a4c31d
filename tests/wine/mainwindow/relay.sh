#!/usr/bin/env bash
# Runs the driver with Wine's relay trace limited to Beep, into the log the driver
# reads, so that the program's calls can be counted. Usage: relay.sh LOG DRIVER [CASE ...]
set -euo pipefail
. "$(cd "$(dirname "$0")/../../.." && pwd)/tools/wine-env.sh"
log=$1
shift
key='HKCU\Software\Wine\Debug'
wine reg add "$key" /v RelayInclude /t REG_SZ /d 'KERNEL32.Beep;KERNELBASE.Beep' /f >/dev/null
trap 'wine reg delete "$key" /v RelayInclude /f >/dev/null 2>&1 || true' EXIT
rc=0
TOLVIX_RELAY_LOG=$log WINEDEBUG=+relay wine "$@" 2>"$log" || rc=$?
if [ $rc -ne 0 ]; then # the last that Wine and the driver wrote besides the trace
  grep -v -e ':Call ' -e ':Ret ' -e ':trace:relay:' "$log" | tail -n 20 >&2 || true
fi
exit $rc
