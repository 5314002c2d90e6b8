#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in its program directory
# (build/bin: flag icons, help files, zt40.ini) with the simulated instrument, unless
# ZT40_SIMULATOR says otherwise (empty: only a real instrument through libusb).
# Extra arguments and the environment are passed through to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default

cd build/bin
export ZT40_SIMULATOR="${ZT40_SIMULATOR-1}"
[ -n "$ZT40_SIMULATOR" ] || unset ZT40_SIMULATOR
exec ./zt40 "$@"
