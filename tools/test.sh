#!/usr/bin/env bash
# README command 2: installs what is missing, builds every target and runs every
# test, native and under Wine (headless), ending with ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/deps.sh"
"$root/tools/build.sh" win64 win32 native
build="$root/build"
# One test tree over the native and the Wine tests, so ctest prints one summary.
mkdir -p "$build/all"
cat > "$build/all/CTestTestfile.cmake" <<EOT
subdirs("$build/native" "$build/win64")
EOT
cd "$build/all"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --timeout 600 -j"$(nproc)"
