#!/usr/bin/env bash
# Installs what building and testing DEDORURU needs on Debian 12: only the
# packages that are missing, with one `apt-get update` before them.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev        # native build and unit tests
  valgrind clang libclang-rt-14-dev                    # memcheck, and libFuzzer
  g++-mingw-w64-i686 binutils-mingw-w64-i686           # the 32-bit deliverable
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64       # its 64-bit twin
  wine64                                               # runs the 64-bit twin
  python3 python3-pefile                               # the Wine and PE lanes' drivers
  chromium                                             # the browser lane
  zip unzip                                            # the release archives
)
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "setup: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser lane drives Chromium with playwright-core, from the npm registry.
browser_lane="$(dirname "$0")/../tests/browser"
if [ ! -d "$browser_lane/node_modules/playwright-core" ]; then
  (cd "$browser_lane" && npm ci --no-audit --no-fund --loglevel=error)
fi
