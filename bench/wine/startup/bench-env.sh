# Sourced by the start-up benchmarks: a prepared prefix, the programs in a folder of their own, a warm Wine
# server that ends with the script, and waiting for a program's window.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
. "$root/tools/wine-env.sh"
bin=$root/build/win64/bin
export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wine/bench-prefix}
"$root/tools/prefix.sh" "$WINEPREFIX" "$bin"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT   # also after a failure: prefix.sh waits for the server
cp "$bin"/*.exe "$bin"/*.dll "$bin"/*.HLP "$work"/
wineserver -p 60   # kept up between runs
wine cmd /c exit >/dev/null 2>&1   # warm up

# True when process $1 has a viewable window captioned $2 (Wine makes the X window at creation).
window_shown() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$2\":" | awk '{print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -qw "$1" \
      && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}

# Waits up to 30 s for process $1 (running $3) to show its window captioned $2; else ends it and the caller.
wait_shown() {
  local deadline=$(($(date +%s) + 30))
  until window_shown "$1" "$2"; do
    if [ "$(date +%s)" -gt "$deadline" ] || ! kill -0 "$1" 2>/dev/null; then
      echo "no window \"$2\" from $3 (process $1) within 30 s" >&2
      kill "$1" 2>/dev/null || true
      exit 1
    fi
    sleep 0.005
  done
}
