#!/usr/bin/env bash
# Installs what building, running and testing Tolvix needs on Debian (as root).
# Skips apt entirely when everything is already there.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  mingw-w64 wine wine64 xvfb xauth x11-utils imagemagick locales
  libgtest-dev libgmock-dev libbenchmark-dev libtiff-dev
  libtiff-tools qpdf poppler-utils ghostscript img2pdf python3
  cups printer-driver-cups-pdf
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Wine takes the user's locale from LANG only for locales that exist.
for loc in en_US.UTF-8 en_GB.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc%.UTF-8}.utf8$"; then
    sed -i "s/^# *${loc} UTF-8/${loc} UTF-8/" /etc/locale.gen
    grep -q "^${loc} UTF-8" /etc/locale.gen || echo "${loc} UTF-8" >> /etc/locale.gen
    need_gen=1
  fi
done
[ -z "${need_gen-}" ] || locale-gen >/dev/null
