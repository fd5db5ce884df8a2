#!/usr/bin/env bash
# Makes docs/registration-page.png, the picture in the README: the sample
# registrant's page, written by the native library and shown by Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target dedoruru_tool >/dev/null
out=build/screenshot
rm -rf "$out" && mkdir -p "$out" docs
DEDORURU_MACHINE_REGISTRY="$PWD/examples/sample-registrant.reg" DEDORURU_WINDOWS_DIR="$PWD/examples" \
  DEDORURU_USER_REGISTRY="$PWD/examples/no-browser.reg" \
  build/native/dedoruru register 'Software\Dedoru Software Works\Sample Registrant' "$out" 7.00.116 >/dev/null
node tests/browser/screenshot.mjs "$out/ZelkDEro.htm" docs/registration-page.png
