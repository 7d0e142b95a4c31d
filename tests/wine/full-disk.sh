#!/usr/bin/env bash
# Runs a driver's full_disk case with TOLVIX_FULL_DISK naming a small tmpfs of its own, so that
# the disk fills while the case writes. Needs root to mount; else 77 (skipped).
# Usage: full-disk.sh SIZE DRIVER_EXE
set -uo pipefail
. "${TOLVIX_SOURCE:?}/tools/wine-env.sh"
: "${WINEPREFIX:?}"
mnt=$(mktemp -d /tmp/tolvix-full.XXXXXX)
trap 'mountpoint -q "$mnt" && umount "$mnt"; rmdir "$mnt" 2>/dev/null' EXIT
trap 'exit 1' INT TERM
mount -t tmpfs -o "size=$1,mode=0777" tolvix-full "$mnt" 2>/dev/null || { echo "cannot mount a tmpfs (not root?): skipped"; exit 77; }
TOLVIX_FULL_DISK=$mnt wine "$2" full_disk
