#!/usr/bin/env bash
# The program as built keeps what its extras store when a signal ends it, as
# its close box does: where the playing episode stopped (beside the settings),
# the speed set through the media controls (in the settings), and, with the
# new-episode notices turned on in an earlier run, the links of the feed it
# has seen.
#   tests/system/extras.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

start_display
start_bus
start_sound
start_feed

place_program '[OPT]' 'NewEpisodeNotice=1'
start_placed_program DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="$SOUND_SERVER"

wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"
[ "$(mpris_get MaximumRate | awk '{print $NF}')" = 3 ] || fail "MaximumRate $(mpris_get MaximumRate)"

mpris_send --print-reply --dest=org.mpris.MediaPlayer2.zurav3 /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Rate \
    variant:double:1.5 >/dev/null || fail "the rate was not taken"
[ "$(mpris_get Rate | awk '{print $NF}')" = 1.5 ] || fail "Rate $(mpris_get Rate)"

# The demo's episodes last 40 s: a stop before 10 s in is not yet "finished".
play_selected || fail "not playing: $(mpris_get PlaybackStatus)"
past_two_seconds() { [ "$(mpris_position)" -gt 2000000 ]; }
wait_for 60 past_two_seconds || fail "the position stays at $(mpris_position) us"

kill -TERM "$PROGRAM"
program_ends || fail "the program did not end on SIGTERM"

line=$(head -n 1 "$APP/ZURav3.positions" 2>/dev/null) || fail "no ZURav3.positions"
ms=${line%%$'\t'*}
link=${line#*$'\t'}
[[ "$link" == */audio/tov_08120[123].mp3 ]] || fail "the positions file names $link"
[ "$ms" -ge 2000 ] && [ "$ms" -lt 10000 ] || fail "kept at $ms ms"
grep -Eq '^Speed *= *1\.5$' "$APP/ZURav3.ini" || fail "no speed in: $(cat "$APP/ZURav3.ini")"
grep -Eq '^NewEpisodeNotice *= *1$' "$APP/ZURav3.ini" || fail "the notice choice is lost"
[ "$(head -n 1 "$APP/ZURav3.seen")" = "$FEED_URL" ] || fail "the seen file names another feed"
[ "$(wc -l <"$APP/ZURav3.seen")" -eq 4 ] || fail "the seen file: $(cat "$APP/ZURav3.seen")"
echo "extras test passed"
