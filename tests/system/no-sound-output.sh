#!/usr/bin/env bash
# The program as built on a desktop with no sound output at all (no sound
# server, no card): Play shows the error box, titled "ZURav3", and the media
# controls say Stopped; the program goes on running.
#   tests/system/no-sound-output.sh <build dir>
source "$(dirname "$0")/lib.sh" "$1"

start_display
start_bus
start_feed

place_program
# Nothing to play into: PulseAudio and PipeWire are sought where none listens,
# ALSA knows no device, and no JACK server is started.
: >"$SYSTEM_TMP/no-cards.conf"
start_placed_program DBUS_SESSION_BUS_ADDRESS="$BUS" PULSE_SERVER="unix:$SYSTEM_TMP/no-server" \
    ALSA_CONFIG_PATH="$SYSTEM_TMP/no-cards.conf" JACK_NO_START_SERVER=1

wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
wait_for 60 mpris_status_is Stopped || fail "no media controls on the bus"
! has_window_named '^ZURav3$' || fail "a box was shown before anything was played"

# The box holds the answer to PlayPause until it is closed.
mpris_no_wait PlayPause
wait_for 60 has_window_named '^ZURav3$' || fail "no error box"
mpris_status_is Stopped || fail "the media controls say $(mpris_get PlaybackStatus)"
program_running || fail "the program ended"

close_window "$(window_named '^ZURav3$')"
wait_for 60 bash -c "! xdotool search --onlyvisible --name '^ZURav3\$'" || fail "the box stays"
mpris_status_is Stopped || fail "the media controls say $(mpris_get PlaybackStatus)"
quit_program
echo "no-sound-output test passed"
