#!/usr/bin/env bash
# Tests the Windows installer under Wine, as a user would meet it: runs it silently, starts the
# installed zt40-log.exe with the simulated instrument for one reading, starts the installed
# zt40.exe from its Start-menu folder with the simulated instrument until its window shows on a
# virtual display, closes it, uninstalls silently and checks that no file and no
# registry key of the installation is left. Prints "N passed, N failed".
# Usage: scripts/test-windows-installer.sh [build directory, default build-win]
#   ZT40_WINDOWS_SCREENSHOT=FILE   also saves a screenshot of the running program
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win}")
installer=$(ls "$build"/zt40-*-setup.exe 2>/dev/null | head -1)
[ -n "$installer" ] || { echo "test-windows-installer: no installer in $build" >&2; exit 1; }

# A prefix of its own: a machine on which the program was never installed.
export WINEPREFIX=$build/wineprefix-installer WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset WINEPATH
wine=$(sed -n 's/^ZT40_WINE_LOADER:[A-Z]*=//p' "$build/CMakeCache.txt")
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
rm -rf "$WINEPREFIX"

passed=0
failed=0
check() { # check WHAT COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
    fi
}

# Wine's own display on a virtual X server; no window manager is needed.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w

drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/TARVELON/ZT40"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/MIRELANTA ZT 40.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zt40'
registry_has_key() { "$wine" reg query "$key" >/dev/null 2>&1; }
ours() { # files of the installation anywhere in the prefix, but in the user's own folders
    find "$drive" \( -path "$drive/users" -prune \) -o \( -iname '*zt40*' -o -iname 'TARVELON' \) -print
}

"$wine" "$(winepath -w "$installer" 2>/dev/null || echo "Z:${installer//\//\\}")" /S
"$wineserver" -w
check "the installer puts the program, its DLLs, plugins, help, licences and uninstaller in Program Files" \
    test -f "$folder/zt40.exe" -a -f "$folder/Qt6Widgets.dll" -a -f "$folder/plugins/platforms/qwindows.dll" \
         -a -f "$folder/hilfe.chm" -a -f "$folder/CTRUK.ICO" -a -f "$folder/translations/qtbase_de.qm" \
         -a -f "$folder/licences/LGPL-3.txt" -a -f "$folder/Uninstall.exe"
check "the installer makes a Start-menu shortcut" test -f "$shortcut"

# The command-line logger runs from the installation with the DLLs installed beside it.
logged_one_reading() { # the csv header and one record
    [ "$(head -1 "$1")" = $'date,time,mode,value,comment\r' ] && [ "$(wc -l <"$1")" -eq 2 ]
}
records=$(mktemp -d)
(cd "$folder" && timeout 60 "$wine" zt40-log.exe --simulator -n 1 -f csv \
    -o "Z:${records//\//\\}\\one.csv" >/dev/null 2>&1) || true
check "the installed zt40-log writes a reading from the simulated instrument" \
    logged_one_reading "$records/one.csv"
rm -rf "$records"
check "the installer registers its uninstaller in Add/Remove Programs" registry_has_key

# Started in its installation folder, as the shortcut starts it.
(cd "$folder" && ZT40_SIMULATOR=1 "$wine" zt40.exe >/dev/null 2>&1 &)
window=""
for _ in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --name 'ZT 40' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 1
done
check "the installed program shows its window" test -n "$window"
# The simulated instrument is found and measures: its serial number and readings show.
sleep 12
if [ -n "${ZT40_WINDOWS_SCREENSHOT:-}" ] && [ -n "$window" ]; then
    import -window root "$ZT40_WINDOWS_SCREENSHOT"
    echo "screenshot: $ZT40_WINDOWS_SCREENSHOT"
fi
user_data=$(ls -d "$drive"/users/*/AppData/Local/zt40 2>/dev/null | head -1 || true)
check "installed, the program keeps its journal in the user's own folder, not in Program Files" \
    test -n "$user_data" -a ! -e "$folder/zt40.ini"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w

"$wine" "C:\\Program Files\\TARVELON\\ZT40\\Uninstall.exe" /S
# The uninstaller copies itself to a temporary folder and goes on from there: wait for it.
"$wineserver" -w
check "the uninstaller removes the installation folder and the shortcut" \
    test ! -e "$folder" -a ! -e "$shortcut"
check "the uninstaller removes its registry key" bash -c "! \"$wine\" reg query '$key' >/dev/null 2>&1"
left=$(ours)
check "no file of the installation is left (found: ${left:-none})" test -z "$left"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
