#!/usr/bin/env bash
# Builds Qt's base modules for 64-bit Windows (MinGW-w64) from Debian's own source package
# qt6-base, with only what zt40 uses, into a cache folder outside the tree, and prints that
# folder (the Qt prefix) on its last line of standard output.
#
# The build is reused while the Qt version, the compiler and the options below are the same:
# they make the cache key, part of the folder's name. A fresh build takes about 40 minutes on
# two cores and prints its progress on standard error; a valid cache returns at once.
#
# Usage: scripts/build-qt-windows.sh
#   ZT40_QT_WINDOWS_CACHE   where the builds are kept (default: ~/.cache/zt40/qt-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

log() { echo "build-qt-windows: $*" >&2; }

cache=${ZT40_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zt40/qt-windows}
version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$version" ]; then
    log "Debian's qt6-base-dev (the host tools) is not installed: run scripts/deps.sh windows"
    exit 1
fi
upstream=${version%%+*}
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)

# Only the modules and features the program and its tests use: Core, Gui, Widgets,
# PrintSupport and Test; the windows, offscreen and minimal platforms; no SQL, network, D-Bus,
# concurrent or XML modules. OpenGL stays on: Qt 6.4's windows platform does not build without
# it. Debian's source leaves out the Wintab header, hence no tablet events.
options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_testlib=ON -DFEATURE_printsupport=ON -DFEATURE_widgets=ON
    -DFEATURE_openssl=OFF -DFEATURE_vulkan=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
)
key=$(printf '%s\n' "$version" "$compiler" "${options[@]}" "$(sha256sum <"$root/cmake/mingw-w64-x86_64.cmake")" |
      sha256sum | cut -c1-12)
prefix=$cache/qt-$upstream-mingw-$key

if [ -e "$prefix/.complete" ]; then
    log "using the cached build $prefix"
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ -e "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

start=$(date +%s)
# An interrupted build with the same key goes on where it stopped.
work=$cache/work-$key
rm -rf "$prefix"
mkdir -p "$work"

# Debian's source package: needs a deb-src entry, made from the system's own deb entry.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1 ||
   [ -z "$(apt-get source --print-uris qt6-base 2>/dev/null | grep "'")" ]; then
    log "adding the deb-src entries beside the system's deb entries"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee /etc/apt/sources.list.d/zt40-debian-src.sources >/dev/null
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            $sudo tee /etc/apt/sources.list.d/zt40-debian-src.list >/dev/null
    fi
    $sudo apt-get update -qq
fi
[ -d "$work/src" ] || { log "fetching Debian's source package qt6-base $version"
(cd "$work" && apt-get source -qq --download-only "qt6-base=$version" >&2 &&
 dpkg-source -x --skip-debianization qt6-base_*.dsc src >/dev/null); }

log "configuring Qt $upstream for x86_64-w64-mingw32"
cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log" 2>&1 || {
    tail -40 "$work/configure.log" >&2
    exit 1
}
log "building (about 1,200 steps; progress every 100)"
ninja -C "$work/build" -j"$(nproc)" 2>&1 | awk '
    /^\[[0-9]+\/[0-9]+\]/ { gsub(/[][]/, "", $1); split($1, n, "/"); if (n[1] % 100 == 0 || n[1] == n[2]) print "build-qt-windows: step " n[1] " of " n[2] > "/dev/stderr"; next }
    { print > "/dev/stderr" }'
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
ninja -C "$work/build" install >/dev/null
rm -rf "$work"
touch "$prefix/.complete"
log "built in $(( ($(date +%s) - start) / 60 )) min $(( ($(date +%s) - start) % 60 )) s: $prefix"
echo "$prefix"
