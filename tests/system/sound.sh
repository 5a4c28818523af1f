#!/usr/bin/env bash
# The program as built plays through a PulseAudio server (a private one, on a
# null sink) on the demo feed: the first episode plays and its position moves,
# the server receives the program's stream, a seek lands in the middle, and a
# pause holds the position. The position is read over MPRIS.
#   tests/system/sound.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

start_display
start_bus
start_sound
start_feed

app="$SYSTEM_TMP/app"
mkdir -p "$app" "$SYSTEM_TMP/home" "$SYSTEM_TMP/saves"
private_folder "$SYSTEM_TMP/runtime"
cp "$BUILD/src/ZURav3" "$app/ZURav3"
printf '[TOV]\nRSS=%s\n[OPT]\nLastDown=%s/\n' "$FEED_URL" "$SYSTEM_TMP/saves" >"$app/ZURav3.ini"
start_program "$app/ZURav3" HOME="$SYSTEM_TMP/home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" \
    DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="$SOUND_SERVER"

wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
feed_fetched || fail "the demo feed was not fetched"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"

# Play the selected (first) episode, as the media keys do.
mpris PlayPause || fail "PlayPause was not answered"
wait_for 60 mpris_status_is Playing || fail "not playing: $(mpris_get PlaybackStatus)"
pactl --server="$SOUND_SERVER" list sink-inputs | grep -q 'application.name = "ZURav3"' ||
    fail "the sound server has no stream of the program"
start=$(mpris_position)
moved() { [ "$(mpris_position)" -gt $((start + 1000000)) ]; }
wait_for 60 moved || fail "the position stays at $(mpris_position) us"

length=$(mpris_metadata mpris:length)
track=$(mpris_metadata mpris:trackid)
[ "${length:-0}" -gt 20000000 ] || fail "length ${length:-none} us, expected the demo's 40 s"

# A seek to the middle: answered once the device is there, and it plays on.
middle=$((length / 2))
mpris SetPosition "objpath:$track" "int64:$middle" || fail "SetPosition was not answered"
at=$(mpris_position)
[ "$at" -ge $((middle - 500000)) ] && [ "$at" -lt $((middle + 10000000)) ] ||
    fail "after a seek to $middle us the position is $at us"
wait_for 60 mpris_status_is Playing || fail "the seek did not play on"

# Pause holds the position.
mpris Pause || fail "Pause was not answered"
wait_for 60 mpris_status_is Paused || fail "not paused: $(mpris_get PlaybackStatus)"
held=$(mpris_position)
sleep 1.5
[ "$(mpris_position)" = "$held" ] || fail "the position moved while paused"

quit_program
echo "sound test passed"
