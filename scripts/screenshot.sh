#!/usr/bin/env bash
# Takes the README's screenshots: starts the program with the simulated instrument on a virtual
# X display, waits until a few readings are in the list, and saves the screen as
# docs/screenshot.png; with xdotool at hand it then opens the trend window and saves it as
# docs/trend.png.
# Usage: scripts/screenshot.sh [seconds to wait, default 14]
# ZT40_BUILD_DIR names the build directory (default: build, made by scripts/run.sh);
# ZT40_SCREENSHOT_LOCALE the regional settings shown (default en_US.UTF-8).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="${ZT40_BUILD_DIR:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
wait_seconds="${1:-14}"
out="$root/docs/screenshot.png"
trend_out="$root/docs/trend.png"

for tool in xvfb-run import convert; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (xvfb, imagemagick)" >&2; exit 1; }
done
[ -x "$build/bin/zt40" ] || { echo "screenshot: $build/bin/zt40 not built (run scripts/run.sh)" >&2; exit 1; }
mkdir -p "$root/docs"

# The program directory is the working directory: a scratch copy keeps the build's zt40.ini
# out of it and starts in English.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build"/bin/zt40 "$build"/bin/*.ICO "$build"/bin/*.chm "$work"/

# The screen is a little larger than the window, which the program centres on it.
xvfb-run --auto-servernum --server-args="-screen 0 760x600x24" \
    env -C "$work" ZT40_SIMULATOR=1 LC_ALL="${ZT40_SCREENSHOT_LOCALE:-en_US.UTF-8}" bash -c '
        ./zt40 &
        pid=$!
        sleep "$1"
        import -window root "$2"
        if command -v xdotool >/dev/null; then
            # The trend button sits left of the help icon; its window opens beside the main one.
            main=$(xdotool search --name "ZT 40" | head -1)
            xdotool mousemove --window "$main" 576 112 click 1
            sleep 2
            trend=$(xdotool search --name "Trend of the readings" | head -1)
            [ -n "$trend" ] && import -window "$trend" "$3"
        fi
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    ' screenshot "$wait_seconds" "$out" "$trend_out"
# Only the window: the bare screen around it is black.
convert "$out" -bordercolor black -border 1 -trim +repage "$out"
echo "screenshot: $out"
if [ -f "$trend_out" ]; then echo "screenshot: $trend_out"; fi
