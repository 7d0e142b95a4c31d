#!/usr/bin/env bash
# Runs a driver's full_disk case with TOLVIX_FULL_DISK naming a folder on a small
# tmpfs of its own, so that the disk fills while the case writes to it.
# Needs root for the mount; without it the test is skipped (77).
# Usage: full-disk.sh SIZE DRIVER_EXE
set -uo pipefail
size=$1 exe=$2
root=${TOLVIX_SOURCE:?}
. "$root/tools/wine-env.sh"
: "${WINEPREFIX:?}"
mnt=$(mktemp -d /tmp/tolvix-full.XXXXXX)
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rmdir "$mnt" 2>/dev/null
}
trap cleanup EXIT INT TERM
if ! mount -t tmpfs -o "size=$size,mode=0777" tolvix-full "$mnt" 2>/dev/null; then
  echo "cannot mount a tmpfs here (not root?): skipped"
  exit 77
fi
TOLVIX_FULL_DISK=$mnt wine "$exe" full_disk
