#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack, accepted by lintian
# without errors or warnings, installed by apt, run from /usr/bin by an
# ordinary user (nobody) on a private desktop (it plays a served episode into
# a private PulseAudio server, keeps its settings in ~/.config/ZURav3/, opens
# the web page window with the module from /usr/lib/<multiarch>/zurav3/, as does a copy of
# the executable in a folder of its own), and removed by apt without a file of
# it left behind. Whatever fails, the package does not stay installed.
#   tests/system/debian-package.sh <build dir> <desktop id> <the show's page URL> <module folder>
source "$(dirname "$0")/lib.sh" "$1"
desktop_id="$2"
page_url="$3"
module="$4/libzurav3_webview.so"

if [ "$(id -u)" -ne 0 ]; then
    echo "installing a package needs root: skipped"
    exit 77
fi
command -v apt-get >/dev/null || { echo "no apt-get on this machine: skipped"; exit 77; }
id nobody >/dev/null 2>&1 || { echo "no user nobody: skipped"; exit 77; }
package_status() {
    dpkg-query -W -f='${Status}' zurav3 2>/dev/null || true
}
# Whether dpkg still has anything of the package, files or configuration.
package_known() {
    [ -n "$(package_status)" ] && [[ "$(package_status)" != *not-installed ]]
}
if [[ "$(package_status)" == *" installed" ]]; then
    echo "zurav3 is installed on this machine; the test would replace and remove it: skipped"
    exit 77
fi

apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -q "$@"
}
# From here on, whatever fails, the package is purged when the test ends.
remove_package() {
    if package_known; then
        apt_get purge -y zurav3 >/dev/null 2>&1 || dpkg --purge zurav3 >/dev/null 2>&1 || true
    fi
}
trap 'stop_all; remove_package' EXIT

cmake --build "$BUILD" --target package >"$SYSTEM_TMP/package.log" 2>&1 ||
    { cat "$SYSTEM_TMP/package.log" >&2; fail "the package was not built"; }
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$SYSTEM_TMP/package.log")
[ -f "$deb" ] || fail "no package in: $(cat "$SYSTEM_TMP/package.log")"
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Depends Recommends

# lintian's tags go to standard output, one per line, led by their level; on
# standard error it warns that it runs as root.
command -v lintian >/dev/null || fail "no lintian (scripts/install-deps.sh installs it)"
status=0
lintian --info --fail-on error,warning "$deb" >"$SYSTEM_TMP/lintian.log" \
    2>"$SYSTEM_TMP/lintian.err" || status=$?
cat "$SYSTEM_TMP/lintian.log"
[ "$status" -eq 0 ] && ! grep -q '^[EW]: ' "$SYSTEM_TMP/lintian.log" ||
    fail "lintian reports errors or warnings, or did not run: $(cat "$SYSTEM_TMP/lintian.err")"

# The build machine already has every library the package depends on.
apt_get install -y --no-install-recommends "$deb" >"$SYSTEM_TMP/apt.log" 2>&1 ||
    { cat "$SYSTEM_TMP/apt.log" >&2; fail "apt could not install the package"; }
dpkg -L zurav3 >"$SYSTEM_TMP/files"
for file in /usr/bin/ZURav3 "$module" \
    "/usr/share/applications/$desktop_id.desktop" "/usr/share/metainfo/$desktop_id.metainfo.xml" \
    /usr/share/icons/hicolor/256x256/apps/zurav3.png /usr/share/man/man1/ZURav3.1.gz \
    /usr/share/doc/zurav3/copyright /usr/share/doc/zurav3/changelog.Debian.gz; do
    grep -qx "$file" "$SYSTEM_TMP/files" || fail "the package has no $file"
done
if command -v man >/dev/null; then
    [ "$(man -w ZURav3)" = /usr/share/man/man1/ZURav3.1.gz ] || fail "man ZURav3 finds no page"
fi

# The program's user, on a desktop of its own: display, session bus, sound.
AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
home="$SYSTEM_TMP/home"
mkdir -p "$home/Downloads"
chown -R nobody:nogroup "$home"
private_folder "$SYSTEM_TMP/runtime"
start_display
start_bus
start_sound
start_feed
mkdir -p "$home/.config/ZURav3"
ini="$home/.config/ZURav3/ZURav3.ini"
printf '[TOV]\nRSS=%s\n' "$FEED_URL" >"$ini"
chown -R nobody:nogroup "$home/.config"

# The show's host resolves to the demo server, which answers the page too.
# Without user namespaces the browser's sandbox cannot start as nobody; a
# desktop has them, a container may not.
host=$(sed -E 's#^[a-z]+://([^/:]+).*#\1#' <<<"$page_url")
port=$(sed -E 's#^http://127\.0\.0\.1:([0-9]+)/.*#\1#' <<<"$FEED_URL")
browser_env=(QTWEBENGINE_CHROMIUM_FLAGS="--host-resolver-rules=\"MAP $host 127.0.0.1:$port\"")
if ! "${AS[@]}" unshare --user true 2>/dev/null; then
    echo "no user namespaces here: the browser runs without its sandbox"
    browser_env+=(QTWEBENGINE_DISABLE_SANDBOX=1)
fi

# open_web_page: TOV (at (344, 3) in the main window) shows the web page
# window, whose browser asks the show's host for its page, with the module
# installed in the library folder.
page_requests() {
    grep -c '^GET / [0-9]* Mozilla/5.0 .*QtWebEngine' "$SYSTEM_TMP/feed.log" || true
}
more_page_requests_than() {
    [ "$(page_requests)" -gt "$1" ]
}
open_web_page() {
    local before
    before=$(page_requests)
    xdotool mousemove --window "$(main_window)" 362 13 click 1
    wait_for 120 more_page_requests_than "$before" || fail "the show's page was not asked for"
    wait_for 60 has_window_named '^토브 라디오$' || fail "no web page window"
    grep -q " $module\$" "/proc/$PROGRAM/maps" || fail "the browser module was not loaded from $module"
}

start_program /usr/bin/ZURav3 HOME="$home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" \
    DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="$SOUND_SERVER" "${browser_env[@]}"
wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
wait_for 60 feed_fetched || fail "the feed of $ini was not fetched"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"
play_selected || fail "not playing: $(mpris_get PlaybackStatus)"
grep -q '^GET /audio/tov_081201.mp3 ' "$SYSTEM_TMP/feed.log" || fail "the episode was not fetched"
pactl --server="$SOUND_SERVER" list sink-inputs | grep -q 'application.name = "ZURav3"' ||
    fail "the sound server has no stream of the program"
mpris Stop || fail "Stop was not answered"
open_web_page
quit_program
grep -q '^LastDown *= *' "$ini" || fail "the settings were not written back to $ini"
grep -q "^RSS *= *$FEED_URL\$" "$ini" || fail "the feed was not kept in $ini"
[ ! -e /usr/bin/ZURav3.ini ] || fail "settings were written beside the installed program"

# A copy of the executable on its own, with no lib/zurav3 beside its folder.
copy="$SYSTEM_TMP/copy/app"
mkdir -p "$copy"
cp /usr/bin/ZURav3 "$copy/"
printf '[TOV]\nRSS=%s\n' "$FEED_URL" >"$copy/ZURav3.ini"
chown -R nobody:nogroup "$SYSTEM_TMP/copy"
start_program "$copy/ZURav3" HOME="$home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$SYSTEM_TMP/no-bus" "${browser_env[@]}"
wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "the copy shows no main window"
open_web_page
quit_program

# Removed, nothing of the package is left: no file, and no folder that no
# other package owns.
apt_get remove -y zurav3 >"$SYSTEM_TMP/apt.log" 2>&1 ||
    { cat "$SYSTEM_TMP/apt.log" >&2; fail "apt could not remove the package"; }
while IFS= read -r path; do
    if [ "$path" = /. ]; then
        continue
    elif [ -d "$path" ] && [ ! -L "$path" ]; then
        dpkg-query -S "$path" >/dev/null 2>&1 || fail "folder $path was left behind"
    elif [ -e "$path" ] || [ -L "$path" ]; then
        fail "$path was left behind"
    fi
done <"$SYSTEM_TMP/files"
# Nothing to configure, so nothing is left to purge either.
! package_known || fail "after its removal, dpkg knows zurav3 as: $(package_status)"
echo "Debian package test passed"
