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

# Two lanes of Wine tests side by side, each on an X display of its own.
export TOLVIX_LANES=2
lanes=$TOLVIX_LANES
pids=()
displays=()
stop_displays() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; }
trap stop_displays EXIT
for ((i = 0; i < lanes; i++)); do
  rm -f "display$i"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"display$i" 2>"xvfb$i.log" &
  pids+=($!)
done
for ((i = 0; i < lanes; i++)); do
  for ((t = 0; t < 100; t++)); do
    [ -s "display$i" ] && break
    kill -0 "${pids[$i]}" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "display$i" ] || { echo "Xvfb for lane $i did not start:"; cat "xvfb$i.log"; exit 1; }
  displays+=(":$(tr -d '[:space:]' < "display$i")")
done
slots="" sep=""
for ((i = 0; i < lanes; i++)); do
  slots+="$sep{\"id\": \"$i\", \"slots\": 1}"
  sep=", "
done
cat > lanes.json <<EOT
{"version": {"major": 1, "minor": 0}, "local": [{"lanes": [$slots]}]}
EOT
export TOLVIX_DISPLAYS="${displays[*]}"
export DISPLAY=${displays[0]}
ctest --output-on-failure --timeout 600 -j"$(nproc)" --resource-spec-file lanes.json
