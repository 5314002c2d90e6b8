#!/usr/bin/env bash
# The Windows program: builds Qt for Windows (scripts/build-qt-windows.sh; cached), the
# program, its tests and its installer with MinGW-w64 (preset windows), runs the tests under
# Wine and then the installer test (scripts/test-windows-installer.sh). Called by
# scripts/test.sh; fails when a test fails or when no test runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win

scripts/deps.sh windows
ZT40_QT_WINDOWS=$(scripts/build-qt-windows.sh | tail -1)
export ZT40_QT_WINDOWS
cmake --preset windows >/dev/null

# A virtual display for Wine: Qt's programs start in seconds with one, in minutes without.
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export ZT40_WINE_DISPLAY=$display

# The same prefix and settings that the build's Wine wrapper uses.
WINEPREFIX=$(sed -n 's/^ZT40_WINEPREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG

# The first start of Wine creates the prefix, which can take a few minutes: do it now, before
# the build runs the test programs to list their tests under a short time limit.
"$build/wine-run.sh" cmd /c exit 0 >/dev/null

# One Wine server for the whole run, so that every test program starts quickly: end the server
# of the start above (or one left over by an interrupted run) in this build's own prefix, then
# start one that stays until the end of this script.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT

cmake --build --preset windows
# A test program that Wine fails to start is tried once more; the same tests run on Linux,
# twice (normal and sanitizer builds), without a second chance.
ctest --preset windows -j2 --no-tests=error
"$wineserver" -k 2>/dev/null || true

cmake --build --preset windows --target zt40_installer
scripts/test-windows-installer.sh "$build"
