#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest:
# the normal build (and its Debian package, installed and removed again), the
# AddressSanitizer + UndefinedBehaviorSanitizer build, the ThreadSanitizer build of zt40-log, a
# bounded run of every fuzz target, and the Windows program, its tests under Wine and its
# installer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen

# Qt for Windows takes about half an hour to build the first time (then it comes from its
# cache): it builds in the background at low priority while the Linux stages run, and the
# Windows stage at the end waits for it.
nice -n 15 scripts/build-qt-windows.sh >/dev/null &
qt_windows=$!

cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2 --no-tests=error
# The Debian package from the same build: validated, installed, run by a user, removed.
scripts/test-package.sh build

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 --no-tests=error

# ThreadSanitizer on zt40-log, whose poll cycle runs on a thread of its own: only the logger,
# what it links and its tests are built.
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j2 --no-tests=error

scripts/test-fuzz.sh

# A failed background build is reported here; the Windows stage then tries it once more.
wait "$qt_windows" || echo "test: the background build of Qt for Windows failed" >&2
scripts/test-windows.sh
