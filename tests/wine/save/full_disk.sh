#!/usr/bin/env bash
# Runs the save driver's full-disk case with its save folder on a tmpfs that
# holds the page files of a batch only in part.
# Needs root for the mount; without it the test is skipped (77).
# Usage: full_disk.sh TEST_SAVE_EXE
set -uo pipefail
exe=$1
root=${TOLVIX_SOURCE:?}
. "$root/tools/wine-env.sh"
: "${WINEPREFIX:?}"
mnt=$(mktemp -d /tmp/tolvix-savefull.XXXXXX)
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rmdir "$mnt" 2>/dev/null
}
trap cleanup EXIT INT TERM
# Not one full-size page fits.
if ! mount -t tmpfs -o size=1100k,mode=0777 tolvix-savefull "$mnt" 2>/dev/null; then
  echo "cannot mount a tmpfs here (not root?): skipped"
  exit 77
fi
TOLVIX_FULL_DISK=$mnt wine "$exe" full_disk
