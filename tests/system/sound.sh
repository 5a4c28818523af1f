#!/usr/bin/env bash
# The program as built plays through a PulseAudio server (a private one, on a
# null sink) on the demo feed: the first episode plays and its position moves,
# the server receives the program's stream, a seek lands in the middle, and a
# pause holds the position. The position is read over MPRIS, as are the link,
# the show and the installed icon; the keyboard's play key and the stop
# shortcut reach the window as X key events.
#   tests/system/sound.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

start_display
start_bus
start_sound
start_feed

# Installed, so that the media controls have its icon; the folder can be
# written, so the settings stay beside the program.
prefix="$SYSTEM_TMP/prefix"
cmake --install "$BUILD" --prefix "$prefix" --component Unspecified >/dev/null
app="$prefix/bin"
mkdir -p "$SYSTEM_TMP/home" "$SYSTEM_TMP/saves"
private_folder "$SYSTEM_TMP/runtime"
printf '[TOV]\nRSS=%s\n[OPT]\nLastDown=%s/\n' "$FEED_URL" "$SYSTEM_TMP/saves" >"$app/ZURav3.ini"
start_program "$app/ZURav3" HOME="$SYSTEM_TMP/home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" \
    DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="$SOUND_SERVER"

wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
feed_fetched || fail "the demo feed was not fetched"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"

# Play the selected (first) episode, as the media keys do.
play_selected || fail "not playing: $(mpris_get PlaybackStatus)"
pactl --server="$SOUND_SERVER" list sink-inputs | grep -q 'application.name = "ZURav3"' ||
    fail "the sound server has no stream of the program"
start=$(mpris_position)
moved() { [ "$(mpris_position)" -gt $((start + 1000000)) ]; }
wait_for 60 moved || fail "the position stays at $(mpris_position) us"

length=$(mpris_metadata mpris:length)
track=$(mpris_metadata mpris:trackid)
[ "${length:-0}" -gt 20000000 ] || fail "length ${length:-none} us, expected the demo's 40 s"
link="${FEED_URL%/tov/index.php/rss}/audio/tov_081201.mp3"
[ "$(mpris_metadata xesam:url)" = "$link" ] || fail "xesam:url $(mpris_metadata xesam:url)"
[ "$(mpris_metadata xesam:album)" = "토브 라디오 (데모)" ] ||
    fail "xesam:album $(mpris_metadata xesam:album)"
icon="file://$prefix/share/icons/hicolor/256x256/apps/zurav3.png"
[ "$(mpris_metadata mpris:artUrl)" = "$icon" ] || fail "mpris:artUrl $(mpris_metadata mpris:artUrl)"
entry=$(mpris_send --print-reply=literal --dest=org.mpris.MediaPlayer2.zurav3 \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2 string:DesktopEntry | awk '{print $NF}')
[ -f "$prefix/share/applications/$entry.desktop" ] || fail "DesktopEntry $entry is not installed"

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

# The keyboard, on the focused window: its play key plays on, Ctrl+. stops.
window=$(main_window)
xdotool windowfocus --sync "$window" || fail "the window took no focus"
xdotool key XF86AudioPlay
wait_for 60 mpris_status_is Playing || fail "the play key did not play: $(mpris_get PlaybackStatus)"
xdotool key ctrl+period
wait_for 60 mpris_status_is Stopped || fail "Ctrl+. did not stop: $(mpris_get PlaybackStatus)"

quit_program
echo "sound test passed"
