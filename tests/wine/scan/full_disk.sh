#!/usr/bin/env bash
# Runs the full-disk case of the scan driver with the program's temp folder on a
# small tmpfs of its own, so that the disk fills while page files are written.
# Needs root for the mount; without it the test is skipped (77).
# Usage: full_disk.sh TEST_SCAN_EXE
set -uo pipefail
exe=$1
root=${TOLVIX_SOURCE:?}
. "$root/tools/wine-env.sh"
: "${WINEPREFIX:?}"
mnt=$(mktemp -d /tmp/tolvix-fulldisk.XXXXXX)
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rmdir "$mnt" 2>/dev/null
}
trap cleanup EXIT INT TERM
# Three pages of the test size (119 KiB each) fit; the fourth does not.
if ! mount -t tmpfs -o size=400k,mode=0777 tolvix-fulldisk "$mnt" 2>/dev/null; then
  echo "cannot mount a tmpfs here (not root?): skipped"
  exit 77
fi
TOLVIX_FULL_DISK=$mnt wine "$exe" full_disk
