# Sourced by the output checkers: enters the work folder named by $1, which must
# hold expect.txt, and gives fail, same_pixels and a scratch folder $tmp.
work=$1
cd "$work" || exit 2
[ -s expect.txt ] || { echo "no expect.txt in $work"; exit 2; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Pixels equal, counted by ImageMagick: 0 differing pixels.
same_pixels() {
  local diff
  diff=$(compare -metric AE "$1" "$2" null: 2>&1) || true
  [ "$diff" = "0" ] || { fail "$3: $diff pixels differ"; return 1; }
}
