#!/usr/bin/env bash
# Runs the driver with Wine's relay trace limited to Beep, so that the calls the
# program makes can be counted: the trace goes to a log the driver reads.
# Usage: relay.sh LOG DRIVER [CASE ...]   (WINEPREFIX set by the caller)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tools/wine-env.sh"
log=$1
shift
key='HKCU\Software\Wine\Debug'
wine reg add "$key" /v RelayInclude /t REG_SZ /d 'KERNEL32.Beep;KERNELBASE.Beep' /f >/dev/null 2>&1
trap 'wine reg delete "$key" /v RelayInclude /f >/dev/null 2>&1 || true' EXIT
rm -f "$log"
: >"$log"
set +e
TOLVIX_RELAY_LOG=$log WINEDEBUG=+relay wine "$@" 2>>"$log"
rc=$?
set -e
exit $rc
