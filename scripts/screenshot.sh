#!/usr/bin/env bash
# Pictures the program for the README, an episode of the demo feed playing:
#   scripts/screenshot.sh [build dir] [file.png]
# on a private desktop as the system tests start it (tests/system/lib.sh):
# Xvfb, a PulseAudio server on a null sink, the demo's feed server. Needs the
# tools ./test installs (xdotool, pulseaudio). QT_SCALE_FACTOR=2 pictures the
# window at twice its size.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out=$(realpath -m "${2:-docs/screenshot.png}")
scale="${QT_SCALE_FACTOR:-1}"
source tests/system/lib.sh "$build"
# A length in the window's design, in pixels of the screen.
scaled() { awk -v n="$1" -v s="$scale" 'BEGIN { printf "%d", n * s + 0.5 }'; }

start_display
start_sound
start_feed
mkdir -p "$SYSTEM_TMP/saves"
place_program '[OPT]' "LastDown=$SYSTEM_TMP/saves/"
start_placed_program PULSE_SERVER="$SOUND_SERVER" QT_SCALE_FACTOR="$scale"
wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"

# 재생 plays the first episode; the caption then names it. The pointer moves
# away so that no hint covers the window.
xdotool mousemove --window "$(main_window)" "$(scaled 264)" "$(scaled 13)" click 1
wait_for 60 has_window_named '^ZURav3 v[0-9.]+ - ' || fail "the episode did not play"
xdotool mousemove 700 700
sleep 12
program_running || fail "the program ended"
mkdir -p "$(dirname "$out")"
# The window's client area sits at the screen's top-left corner. The grabber
# counts in the screen's pixels, whatever scale the program was given.
QT_SCALE_FACTOR=1 "$BUILD/demo/zurav3_screenshot" "$out" 0 0 "$(scaled 382)" "$(scaled 67)"
quit_program
echo "picture saved: $out"
