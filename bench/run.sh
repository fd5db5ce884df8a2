#!/usr/bin/env bash
# Builds what the measurements need and prints the table of bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
missing=()
for package in libbenchmark-dev strace sed; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
for preset in native win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
exec /usr/bin/python3 bench/run_bench.py
