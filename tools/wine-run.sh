#!/usr/bin/env bash
# Runs one Win32 program under Wine with the project's Wine settings and returns
# its exit code. WINEPREFIX must be set by the caller.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-env.sh"
: "${WINEPREFIX:?WINEPREFIX must name the prefix to use}"
exec wine "$@"
