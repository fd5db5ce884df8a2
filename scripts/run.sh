#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, and has the 64-bit
# DEDORURU.dll register the sample registrant of examples/ under Wine: the
# identity goes into the prefix's registry, the demographics into its Windows
# folder, and RegisterUser writes the page and its images into
# build/registration and opens the page with the prefix's browser.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in native win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "built build/win32/DEDORURU.dll ($(stat -c %s build/win32/DEDORURU.dll) bytes, the deliverable)"
echo "built build/win64/DEDORURU.dll ($(stat -c %s build/win64/DEDORURU.dll) bytes, run below under Wine)"

export WINEPREFIX="$PWD/build/win64/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=" LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY
wine=/usr/lib/wine/wine64
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "preparing a Wine prefix in $WINEPREFIX (once, about 20 s)"
fi
"$wine" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1

to_windows() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
host=build/win64/dedoruru.exe
call() { "$wine" "$host" "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }

# The sample registrant, as a product's set-up program would have stored it.
"$wine" reg import "$(to_windows examples/sample-registrant.reg)" </dev/null >/dev/null 2>&1
cp examples/ZelkDEro.ini "$WINEPREFIX/drive_c/windows/ZelkDEro.ini"

out=build/registration
rm -rf "$out" && mkdir -p "$out"
call probe
call register 'Software\Dedoru Software Works\Sample Registrant' "$(to_windows "$out")" 7.00.116
echo "the page is $(realpath "$out")/ZelkDEro.htm, with its images beside it:"
ls -l "$out" | tail -n +2

# The rename service, on a scratch file: once moved, then refused.
demo=build/win64/demo
rm -rf "$demo" && mkdir -p "$demo"
echo "registration form" >"$demo/form.txt"
call rename "$(to_windows "$demo/form.txt")" "$(to_windows "$demo/form-renamed.txt")"
call rename "$(to_windows "$demo/form.txt")" "$(to_windows "$demo/form-renamed.txt")"
