#!/usr/bin/env bash
# Builds the Windows libraries and their tests with MinGW-w64 and runs the tests under Wine.
# The Qt parts and the benchmarks are left out. Called by scripts/test.sh; fails when a test
# fails or when no test runs.
# Usage: scripts/test-windows.sh [build directory, default build-win]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZT40_BUILD_GUI=OFF -DZT40_BUILD_BENCHMARKS=OFF -DZT40_BUILD_TESTS=ON >/dev/null

# The same prefix and settings that the build's Wine wrapper uses.
WINEPREFIX=$(sed -n 's/^ZT40_WINEPREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG

# The first start of Wine creates the prefix, which can take half a minute: do it now, before
# the build runs the test programs to list their tests under a short time limit.
"$build/wine-run.sh" cmd /c exit 0 >/dev/null

# One Wine server for the whole run, so that every test program starts quickly: end the server
# of the start above (or one left over by an interrupted run) in this build's own prefix, then
# start one that stays until the end of this script.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k 2>/dev/null || true' EXIT

cmake --build "$build" -j2
# A test program that Wine fails to start is tried once more; the same tests run on Linux,
# twice (normal and sanitizer builds), without a second chance.
ctest --test-dir "$build" -j2 --output-on-failure --no-tests=error --timeout 300 --repeat until-pass:2
