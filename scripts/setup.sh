#!/usr/bin/env bash
# Installs the Debian packages the toolkit needs (scripts/packages/*.txt), then configures
# and builds it with the CMake preset given as the first argument (default: release).
# Run as root on Debian 12; packages already present are not fetched again.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"

mapfile -t wanted < <(cat scripts/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" -G Ninja
cmake --build --preset "$preset"
