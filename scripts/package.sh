#!/usr/bin/env bash
# Installs what is missing, builds the program and makes its Debian package:
# build/zt40_<version>_<arch>.deb, to be installed with: sudo apt install ./build/zt40_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
cmake --preset default >/dev/null
cmake --build --preset default
cd build
rm -f zt40_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/zt40_*.deb
