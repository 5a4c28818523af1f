#!/usr/bin/env bash
# The program as built, on a feed server that accepts the connection and then
# answers nothing: while the server still holds the program's request, the
# main window is shown, a click on 설정 opens the settings dialog, and the
# media controls answer GetAll on the session bus. Once the server answers,
# the drop-down holds the feed's episodes: Play over MPRIS plays the first.
# The server holds for at most 60 s; whether the program waited is read from
# the server (the request still open), not from a clock.
#   tests/system/slow-feed.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

start_display
start_bus
start_sound
start_feed

# The demo's feed, handed out by the held server once released; its episodes
# stay on the demo server.
curl -fsS "$FEED_URL" -o "$SYSTEM_TMP/feed.xml" || fail "the demo feed could not be read"
first_title=$(grep -o '<title>[^<]*</title>' "$SYSTEM_TMP/feed.xml" | sed -n '2{s/<[^>]*>//g;p}')
"$BUILD/tests/zurav3_held_feed_server" "$SYSTEM_TMP/feed.xml" "$SYSTEM_TMP/release" 60 \
    >"$SYSTEM_TMP/held.log" 2>&1 &
PIDS+=($!)
wait_for 60 grep -q '^listening on ' "$SYSTEM_TMP/held.log" || fail "no held feed server"
FEED_URL="$(sed -n 's/^listening on //p' "$SYSTEM_TMP/held.log")/tov/index.php/rss"

# The program's request is in and still waits for its answer.
request_held() {
    grep -q '^accepted ' "$SYSTEM_TMP/held.log" &&
        ! grep -Eq '^(gave-up|released)' "$SYSTEM_TMP/held.log"
}
held_log() {
    tr '\n' ',' <"$SYSTEM_TMP/held.log"
}

place_program
started=$SECONDS
start_placed_program DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="$SOUND_SERVER"

wait_for 60 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window ($(held_log))"
request_held ||
    fail "the window appeared after $((SECONDS - started)) s, once the feed request had ended" \
        "($(held_log))"

# A click reaches the window: its settings dialog opens and closes again.
window=$(main_window)
xdotool mousemove --window "$window" 15 13 click 1
wait_for 30 has_window_named '^설정$' || fail "a click on 설정 opened no dialog"
close_window "$(window_named '^설정$')"
wait_for 30 bash -c "! xdotool search --onlyvisible --name '^설정\$'" || fail "the dialog stays"

# The media controls answer.
get_all() {
    mpris_send --print-reply --reply-timeout=10000 --dest=org.mpris.MediaPlayer2.zurav3 \
        /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.GetAll \
        string:org.mpris.MediaPlayer2.Player | grep -q PlaybackStatus
}
wait_for 30 get_all || fail "the media controls did not answer GetAll"
request_held || fail "the feed request ended before the server answered ($(held_log))"

# The server answers; the drop-down fills, and Play plays its first episode.
touch "$SYSTEM_TMP/release"
wait_for 30 grep -q '^answered ' "$SYSTEM_TMP/held.log" || fail "the feed was not answered"
play_selected || fail "not playing: $(mpris_get PlaybackStatus)"
[ "$(mpris_metadata xesam:title)" = "$first_title" ] ||
    fail "playing \"$(mpris_metadata xesam:title)\", not the feed's first \"$first_title\""

quit_program
echo "slow feed test passed"
