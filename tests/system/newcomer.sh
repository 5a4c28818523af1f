#!/usr/bin/env bash
# A newcomer's first command: in a fresh clone, the README's first command
# (./run) builds the program and shows a window with episodes that play,
# without any network beyond 127.0.0.1. Slow: it builds the program afresh.
# Uses ccache when the machine has it.
#   tests/system/newcomer.sh <build dir> <source dir>
source "$(dirname "$0")/lib.sh" "$1"

source_dir=$(cd "$2" && pwd)
if ! git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
    echo "the sources are no git checkout: skipped"
    exit 77
fi
clone="$SYSTEM_TMP/clone"
git clone --quiet "$source_dir" "$clone"
first=$(sed -n '/^```sh$/,/^```$/p' "$clone/README.md" | sed -n '2p' | awk '{print $1}')
[ "$first" = "./run" ] || fail "the README's first command is '$first', not ./run"

start_display
start_bus
start_sound
mkdir -p "$SYSTEM_TMP/home"
private_folder "$SYSTEM_TMP/runtime"
cache=()
if command -v ccache >/dev/null; then
    cache=(CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
        CCACHE_DIR="$(ccache --get-config cache_dir)")
fi
(
    cd "$clone"
    exec setsid env -i PATH="$PATH" LANG=C.UTF-8 HOME="$SYSTEM_TMP/home" DISPLAY="$DISPLAY" \
        XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" DBUS_SESSION_BUS_ADDRESS="$BUS" \
        PULSE_SERVER="$SOUND_SERVER" "${cache[@]}" ./run
) >"$SYSTEM_TMP/program.log" 2>&1 &
run=$!
GROUPS_STARTED+=("$run")

started() {
    ! kill -0 "$run" 2>/dev/null || has_window_named '^ZURav3 v[0-9.]+'
}
wait_for 3000 started || fail "no window after ./run"
kill -0 "$run" 2>/dev/null || fail "./run ended without showing a window"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"

# The selected episode is the demo feed's first; it plays.
play_selected || fail "not playing: $(mpris_get PlaybackStatus)"
title=$(grep -o '<title>[^<]*</title>' "$clone/demo/feed.xml.in" | sed -n '2s/<[^>]*>//gp')
[ "$(mpris_metadata xesam:title)" = "$title" ] ||
    fail "playing '$(mpris_metadata xesam:title)', not the first episode '$title'"
start=$(mpris_position)
moved() { [ "$(mpris_position)" -gt $((start + 1000000)) ]; }
wait_for 60 moved || fail "the position stays at $(mpris_position) us"

close_window "$(main_window)"
for _ in $(seq 300); do
    kill -0 "$run" 2>/dev/null || break
    sleep 0.2
done
! kill -0 "$run" 2>/dev/null || fail "./run did not end after the window was closed"
echo "newcomer test passed"
