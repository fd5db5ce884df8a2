#!/usr/bin/env bash
# Builds the release archives into build/release: a zip for each Windows
# architecture and a tarball for Linux, each an installed tree with the
# README, the licence and SHA-256 sums of its files. The version in their
# names is the project's one version, from CMakeLists.txt. The DLL in the
# win32 zip is then checked by the PE lane.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
version=$(sed -n 's/^project(dedoruru VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out="$PWD/build/release"
rm -rf "$out" && mkdir -p "$out/stage"

for target in win32:win32 win64:win64 native:linux-x86_64; do
  preset=${target%%:*}
  name="dedoruru-$version-${target#*:}"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  tree="$out/stage/$name"
  cmake --install "build/$preset" --prefix "$tree" >/dev/null
  cp README.md LICENSE "$tree/"
  (cd "$tree" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
  if [ "$preset" = native ]; then
    (cd "$out/stage" && tar -czf "$out/$name.tar.gz" --owner=0 --group=0 "$name")
  else
    (cd "$out/stage" && zip -qr -X "$out/$name.zip" "$name")
  fi
done

# The deliverable as shipped: the DLL and import library inside the win32 zip.
check="$out/check" && rm -rf "$check" && mkdir -p "$check"
unzip -q "$out/dedoruru-$version-win32.zip" -d "$check"
shipped="$check/dedoruru-$version-win32"
(cd "$shipped" && sha256sum --quiet -c SHA256SUMS)
text=$(sed -n 's/#define DEDORURU_VERSION_TEXT "\(.*\)"/\1/p' build/win32/generated/version.h)
/usr/bin/python3 tests/pe/check_pe.py --dll "$shipped/bin/DEDORURU.dll" --objdump /usr/bin/i686-w64-mingw32-objdump \
  --version "$version" --version-text "$text" --resources resources --import-lib "$shipped/lib/DEDORURU.lib" | tail -n 1

(cd "$out" && sha256sum ./*.zip ./*.tar.gz)
