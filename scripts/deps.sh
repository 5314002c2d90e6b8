#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/deps.sh [run|package|windows|test]
#   (package adds what making the Debian package needs, windows what building Qt and the
#   program for Windows, its installer and their tests under Wine need, test all of these and
#   what the test run needs)
set -euo pipefail

packages=(cmake ninja-build g++ ccache pkg-config qt6-base-dev libgl-dev libusb-1.0-0-dev
          qt6-translations-l10n fonts-liberation fp-utils zlib1g-dev)
if [ "${1:-}" = package ]; then
    packages+=(dpkg-dev file)
fi
if [ "${1:-}" = windows ] || [ "${1:-}" = test ]; then
    packages+=(dpkg-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 nsis xvfb xauth
               xdotool)
fi
if [ "${1:-}" = test ]; then
    packages+=(libgtest-dev libgmock-dev googletest libbenchmark-dev
               libumockdev-dev umockdev clang libclang-rt-14-dev
               dpkg-dev file desktop-file-utils appstream lintian poppler-utils systemd logrotate)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
