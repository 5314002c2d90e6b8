#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as a lab would use it:
# desktop entry and metainfo valid, lintian without errors, installed with apt, the installed
# program started by an unprivileged user with the simulated instrument (offscreen), and
# zt40-log logging three readings for that user, writing only into that user's folders; the
# zt40-log service checked without starting it (no systemd runs here): its unit, its user, its
# options run as the service would run them, and the logrotate example; then removed without
# leaving a file behind.
# Needs root (or sudo) for apt and for the test user. Usage: scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(cd "${1:-build}" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -n"
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

desktop-file-validate packaging/zt40.desktop
appstreamcli validate --no-net packaging/*.metainfo.xml

(cd "$build" && rm -f zt40_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/zt40_*.deb)
lint=0
lintian --fail-on error "$deb" >"$build/lintian.log" 2>&1 || lint=$?
grep -v "running with root privileges" "$build/lintian.log" || true
[ "$lint" -eq 0 ] || fail "lintian reports errors"

# One package test at a time on this machine: they install and remove the same package.
exec 9>/tmp/zt40-package-test.lock
flock 9

user=zt40-package-test
work=$(mktemp -d)
chmod 755 "$work"
# The service's user and readings outlive a purge: the test removes them when it made them.
service_user_made=no
getent passwd zt40-log >/dev/null || service_user_made=yes
cleanup() {
    $sudo apt-get remove --purge -y -qq zt40 >/dev/null 2>&1 || true
    $sudo userdel -r "$user" >/dev/null 2>&1 || true
    if [ "$service_user_made" = yes ]; then
        $sudo userdel zt40-log >/dev/null 2>&1 || true
        $sudo groupdel zt40-log >/dev/null 2>&1 || true
        $sudo rm -rf /var/lib/zt40-log
    fi
    $sudo rm -rf "$work"
}
trap cleanup EXIT

apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"; }
apt_get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "the package does not install"; }
command -v zt40 >/dev/null || fail "zt40 is not on the PATH after installing"
dpkg -L zt40 >"$work/files"

# A fresh unprivileged user with an empty home.
$sudo userdel -r "$user" >/dev/null 2>&1 || true
$sudo useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
runtime="$work/runtime"
start="$work/start" # a folder of the user's that is not the program directory
$sudo install -d -o "$user" -m 700 "$runtime"
$sudo install -d -o "$user" -m 755 "$start"
touch "$work/stamp"
sleep 1

status=0
(cd "$start" && $sudo runuser -u "$user" -- env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin \
     XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen ZT40_SIMULATOR=1 \
     timeout -s TERM 4 zt40 >"$work/out.log" 2>&1) || status=$?
cat "$work/out.log"
# 124: still running when its time was up, as it should be; anything else is a crash or an exit.
[ "$status" -eq 124 ] || fail "the installed program ended with status $status"
# Errors shown in a message box are also written to stderr.
! grep -q '^zt40: ' "$work/out.log" || fail "the installed program showed an error"

# The command-line logger, as a test station runs it: no display, three readings as
# tab-separated lines (date, time, mode, value, empty comment), status lines on stderr.
command -v zt40-log >/dev/null || fail "zt40-log is not on the PATH after installing"
status=0
(cd "$start" && $sudo runuser -u "$user" -- env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin \
     timeout -s TERM 60 zt40-log --simulator --count 3 >"$work/log.tsv" 2>"$work/log.err") || status=$?
cat "$work/log.tsv" "$work/log.err"
[ "$status" -eq 0 ] || fail "zt40-log --simulator --count 3 ended with status $status"
[ "$(wc -l <"$work/log.tsv")" -eq 3 ] || fail "zt40-log wrote $(wc -l <"$work/log.tsv") lines, not 3"
grep -Pvq '^[^\t]+\t[0-9:. APM]+\t[LCD ]+\t[0-9]+[.,][0-9]\t$' "$work/log.tsv" \
    && fail "zt40-log wrote a line that is no record"
grep -q 'instrument found: serial ZT40A07311' "$work/log.err" || fail "zt40-log did not report the instrument"
man -w zt40-log >/dev/null 2>&1 || [ -f /usr/share/man/man1/zt40-log.1.gz ] || fail "no manual page for zt40-log"

# Nothing written outside the user's home and runtime folder.
written=$($sudo find / \( -path /proc -o -path /sys -o -path /dev -o -path "$home" -o -path "$runtime" \) \
              -prune -o -user "$user" -newer "$work/stamp" -print 2>/dev/null || true)
[ -z "$written" ] || fail "the program wrote outside the user's folders: $written"

# The service, as installed: systemd reads the unit without complaint; its hardening keeps
# this unit's exposure level and hides neither the instrument nor the group plugdev; it is
# not enabled; its user is in plugdev and owns its folder; its options are a conffile.
unit=/lib/systemd/system/zt40-log.service
state=/var/lib/zt40-log
grep -qx "$unit" "$work/files" || fail "the package has no $unit"
# verify reports a value it cannot parse, and ignores it, with status 0: any word is a fault.
systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 && [ ! -s "$work/verify.log" ] \
    || { cat "$work/verify.log"; fail "systemd-analyze verify $unit"; }
systemd-analyze security --offline=yes --threshold=11 "$unit" >"$work/security.log" 2>&1 \
    || { tail -n 1 "$work/security.log"; fail "the unit's hardening is weaker than it was"; }
grep -Eq '^(PrivateDevices|PrivateUsers|PrivateNetwork)=(yes|true|on|1)' "$unit" \
    && fail "the unit hides the instrument, plugdev or udev's announcements from the logger"
grep -qx 'DeviceAllow=char-usb_device rw' "$unit" || fail "the unit does not allow the USB devices"
wants=/etc/systemd/system/multi-user.target.wants/zt40-log.service
[ ! -e "$wants" ] || fail "installing enabled the service"
id -nG zt40-log | grep -qw plugdev || fail "the user zt40-log is not in plugdev"
[ "$(stat -c %U:%G "$state")" = zt40-log:zt40-log ] || fail "$state does not belong to zt40-log"
dpkg-query -W -f='${Conffiles}\n' zt40 | grep -q ' /etc/default/zt40-log ' \
    || fail "/etc/default/zt40-log is no conffile"

# The service's command as systemd runs it: its user, its folder, the options of the defaults
# file (with the simulator and a count added); then the logrotate example moves the readings.
options=$(. /etc/default/zt40-log && echo "$ZT40_LOG_OPTIONS")
touch "$work/stamp"
sleep 1
status=0
# shellcheck disable=SC2086 # split at blanks, as systemd splits $ZT40_LOG_OPTIONS
(cd "$state" && $sudo runuser -u zt40-log -- env -i HOME="$state" PATH=/usr/bin:/bin \
     timeout -s TERM 60 zt40-log $options --simulator --count 2 2>"$work/service.err") || status=$?
cat "$work/service.err"
[ "$status" -eq 0 ] || fail "zt40-log with the service's options ended with status $status"
[ "$(stat -c %U "$state/readings.csv")" = zt40-log ] || fail "the service's readings.csv is missing"
head -n 1 "$state/readings.csv" | grep -q '^date,time,mode,value,' \
    || fail "readings.csv has no header line"
lines=$(wc -l <"$state/readings.csv")
[ "$lines" -eq 3 ] || fail "readings.csv holds $lines lines, not 3"
written=$($sudo find / \( -path /proc -o -path /sys -o -path /dev -o -path "$state" \) \
              -prune -o -user zt40-log -newer "$work/stamp" -print 2>/dev/null || true)
[ -z "$written" ] || fail "the service's user wrote outside $state: $written"
# logrotate, too, ignores a line it cannot read with status 0: any word is a fault.
$sudo logrotate --force --state "$work/logrotate.state" \
    /usr/share/doc/zt40/examples/zt40-log.logrotate >"$work/logrotate.log" 2>&1 \
    && [ ! -s "$work/logrotate.log" ] \
    || { cat "$work/logrotate.log"; fail "the logrotate example failed"; }
[ -f "$state/readings.csv.1" ] && [ ! -e "$state/readings.csv" ] \
    || fail "the logrotate example did not move readings.csv away"

# Enabled by the lab, the service is disabled again by purging (checked below).
$sudo systemctl enable zt40-log >/dev/null 2>&1 || fail "systemctl enable zt40-log"
[ -L "$wants" ] || fail "enabling made no link"

apt_get remove --purge -y -qq zt40 >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "removal"; }
left=""
while IFS= read -r path; do
    # Folders shared with other packages stay (/lib is a link to usr/lib); everything of our
    # own must go.
    if [ -f "$path" ] || { [ -L "$path" ] && [ ! -d "$path" ]; } || { [ -d "$path" ] && [[ "$path" == */zt40 || "$path" == */zt40/* ]]; }; then
        left+="$path "
    fi
done <"$work/files"
[ -z "$left" ] || fail "files left after removal: $left"
# Purging keeps the readings (and their owner), never the unit's links.
[ -f "$state/readings.csv.1" ] || fail "purging deleted the service's readings"
[ -z "$(find /etc/systemd/system -name 'zt40-log.*' 2>/dev/null)" ] \
    || fail "purging left links of the service"
echo "test-package: $(basename "$deb") built, validated, installed, run by $user and as the" \
     "service would run, and removed cleanly"
