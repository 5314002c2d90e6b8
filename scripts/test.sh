#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest:
# the normal build, the AddressSanitizer + UndefinedBehaviorSanitizer build, a bounded run of
# every fuzz target, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen

cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2 --no-tests=error

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 --no-tests=error

scripts/test-fuzz.sh

if [ -x scripts/test-windows.sh ]; then
    scripts/test-windows.sh
fi
