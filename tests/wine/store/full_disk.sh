#!/usr/bin/env bash
# Runs test_store's full_disk case with its save folder on a 300 KB tmpfs.
# Needs root for the mount; without it the test is skipped (77).
# Usage: full_disk.sh WINE_RUN TEST_STORE_EXE FOLDER
set -uo pipefail
run=$1 exe=$2 dir=$3
save=$dir/save
mkdir -p "$save"
if mountpoint -q "$save"; then umount "$save" || exit 2; fi
if [ "$(id -u)" != 0 ]; then echo "not root: cannot mount a tmpfs"; exit 77; fi
mount -t tmpfs -o size=300k,mode=0777 tolvix-full "$save" || exit 2
trap 'umount "$save"' EXIT
TOLVIX_STORE_WORK=$dir TOLVIX_FULL_DISK=$save "$run" "$exe" full_disk
