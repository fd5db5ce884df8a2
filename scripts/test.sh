#!/usr/bin/env bash
# Sets up the machine, builds all three presets and runs every test lane:
#   unit  (native)  GoogleTest against the in-memory platform and the Linux one,
#                   also under valgrind, and (sanitize) under ASan and UBSan
#   posix (native)  the shared scenarios against libdedoruru.so
#   fuzz  (fuzz)    libFuzzer on the substitution and the Linux readers, bounded in time
#   threads (tsan)  RegisterUser from 8 threads at once under ThreadSanitizer (and under Wine in win64)
#   pe    (win32)   inspection of the 32-bit deliverable DEDORURU.dll
#   wine  (win64)   the shared scenarios and a Windows test host, under Wine
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || exit 1

passed=0
failed=0
failures=()
for preset in native sanitize fuzz tsan win32 win64; do
  echo "== $preset: configure and build"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
    echo "== $preset: test"
    if ctest --preset "$preset"; then
      passed=$((passed + 1))
      continue
    fi
  fi
  failed=$((failed + 1))
  failures+=("$preset")
done

((failed == 0)) || echo "failed presets: ${failures[*]}"
echo "presets: $passed passed, $failed failed"
((failed == 0))
