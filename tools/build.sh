#!/usr/bin/env bash
# Builds every target: win64 (run and tested under Wine), win32 (the shipped
# program, compile and link only) and native (codecs, their tests and benchmarks).
# Usage: tools/build.sh [win64|win32|native ...]   (default: all three)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVIX_BUILD:-$root/build}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win64 win32 native)
for t in "${targets[@]}"; do
  case $t in
    win64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    native) args=() ;;
    *) echo "unknown target $t" >&2; exit 2 ;;
  esac
  cmake -S "$root" -B "$build/$t" -G Ninja -DCMAKE_BUILD_TYPE=Release "${args[@]}" >/dev/null
  cmake --build "$build/$t" -j"$(nproc)"
done
