#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, and registers the
# sample registrant of examples/ natively on Linux: the identity comes from
# the registry store examples/sample-registrant.reg, the demographics from
# examples/ZelkDEro.ini, and RegisterUser writes the page and its images into
# ./out and opens the page in the desktop's browser, where there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
mkdir -p build
for preset in native win32 win64; do
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"build/$preset.log" 2>&1; then
    cat "build/$preset.log"
    echo "the $preset build failed" >&2
    exit 1
  fi
done
echo "built build/native/libdedoruru.so and the dedoruru tool, build/win32/DEDORURU.dll ($(stat -c %s build/win32/DEDORURU.dll) bytes, the deliverable) and build/win64/DEDORURU.dll"

export DEDORURU_MACHINE_REGISTRY="$PWD/examples/sample-registrant.reg"
export DEDORURU_WINDOWS_DIR="$PWD/examples"
tool=build/native/dedoruru
if ! "$tool" browser >/dev/null; then
  echo "no desktop browser is registered for web pages here: the page is written, not opened"
  export DEDORURU_USER_REGISTRY="$PWD/examples/no-browser.reg"
fi

rm -rf out && mkdir out
"$tool" register 'Software\Dedoru Software Works\Sample Registrant' out 7.00.116
echo "the page: $PWD/out/ZelkDEro.htm (images beside it: $(cd out && ls *.jpg *.gif | tr '\n' ' '))"
