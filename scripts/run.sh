#!/usr/bin/env bash
# The main job: sets up the machine, builds the 32-bit and 64-bit DLLs, and
# calls IsBrowserAvail and zelkRename of the 64-bit build under Wine through
# the dedoruru host tool, printing what they answer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "built build/win32/DEDORURU.dll ($(stat -c %s build/win32/DEDORURU.dll) bytes, the deliverable)"
echo "built build/win64/DEDORURU.dll ($(stat -c %s build/win64/DEDORURU.dll) bytes, run below under Wine)"

export WINEPREFIX="$PWD/build/win64/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree="
unset DISPLAY
wine=/usr/lib/wine/wine64
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "preparing a Wine prefix in $WINEPREFIX (once, about 20 s)"
fi
"$wine" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1

host=build/win64/dedoruru.exe
demo=build/win64/demo
rm -rf "$demo" && mkdir -p "$demo"
echo "registration form" >"$demo/form.txt"
to_windows() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

call() { "$wine" "$host" "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
call probe
call rename "$(to_windows "$demo/form.txt")" "$(to_windows "$demo/form-renamed.txt")"
call rename "$(to_windows "$demo/form.txt")" "$(to_windows "$demo/form-renamed.txt")"
echo "files in $demo: $(ls "$demo" | tr '\n' ' ')"
