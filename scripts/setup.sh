#!/usr/bin/env bash
# Installs the Debian packages MELKO needs (when some are missing) and builds
# it with CMake and Ninja into build/. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t packages < <(grep -v '^#' scripts/debian-packages.txt | sed '/^$/d')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
