#!/usr/bin/env bash
# A copy of the prepared test prefix per lane, for a Wine server of its own. Usage: lanes.sh PREFIX COUNT
set -euo pipefail
base=$1 count=$2
for ((i = 0; i < count; i++)); do
  lane="$base-lane$i"
  rm -rf "$lane"
  cp -al "$base" "$lane"
  # Files Wine rewrites are copied, not shared through hard links.
  for f in "$lane"/*.reg; do cp --remove-destination "$base/$(basename "$f")" "$f"; done
done
