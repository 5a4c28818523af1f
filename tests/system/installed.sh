#!/usr/bin/env bash
# An installed copy, run by an ordinary user (nobody, with a home the test
# makes): its settings go to ~/.config/ZURav3/ZURav3.ini and are read back at
# the next start, saves start in a folder that user can write, and the window
# has its icon. The install itself is checked by tests/install/check-install.sh.
#   tests/system/installed.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

id nobody >/dev/null 2>&1 || { echo "no user nobody: skipped"; exit 77; }
if [ "$(id -u)" -ne 0 ]; then
    echo "running as another user needs root: skipped"
    exit 77
fi

prefix="$SYSTEM_TMP/prefix"
# As one component, so that the manifest of a real install (install_manifest.txt)
# stays as it was.
cmake --install "$BUILD" --prefix "$prefix" --component Unspecified >/dev/null
chmod -R a+rX,go-w "$prefix"
home="$SYSTEM_TMP/home"
mkdir -p "$home/Downloads"
chown -R nobody:nogroup "$home"
AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
private_folder "$SYSTEM_TMP/runtime"

start_display
start_feed
# No session bus (the program runs without media controls then) and no sound.
run_installed() {
    start_program "$prefix/bin/ZURav3" HOME="$home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$SYSTEM_TMP/no-bus"
    wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
}

run_installed
# The window manager's icon, at the sizes compiled into the program (Qt
# leaves the largest out of the window property).
icon=$(xprop -id "$(main_window)" _NET_WM_ICON)
for size in 16 32 48 128; do
    grep -q "Icon ($size x $size)" <<<"$icon" || fail "the window has no $size-pixel icon"
done
quit_program
# The built-in feed's host does not resolve here: the window said nothing, the
# program said why on standard error.
grep -q '^ZURav3: 피드를 불러오지 못했습니다: http' "$SYSTEM_TMP/program.log" ||
    fail "no line on standard error about the feed that could not be fetched"

ini="$home/.config/ZURav3/ZURav3.ini"
[ -f "$ini" ] || fail "no settings in $ini"
[ ! -e "$prefix/bin/ZURav3.ini" ] || fail "settings were written beside the installed program"
last_down=$(sed -n 's/^LastDown *= *//p' "$ini")
[ "$last_down" = "$home/Downloads/" ] || fail "LastDown is '$last_down'"
"${AS[@]}" test -w "$last_down" || fail "LastDown cannot be written by its user"

# Read back: the feed named in the file is the one fetched at the next start.
"${AS[@]}" sed -i "s|^RSS *=.*|RSS=$FEED_URL|" "$ini"
! feed_fetched || fail "the feed was fetched before it was set"
run_installed
wait_for 60 feed_fetched || fail "the feed of $ini was not fetched"
quit_program
grep -q "^RSS *= *$FEED_URL\$" "$ini" || fail "the feed was not kept in $ini"
echo "installed test passed"
