#!/usr/bin/env bash
# Makes the tones the player tests open: a 3-second MP3, a 1-second WAV and a
# 60-second MP3, small enough to keep in the repository. Needs sox and lame
# (scripts/install-deps.sh installs both). Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 3 s of 440 Hz, mono 44.1 kHz, CBR 32 kbit/s, with the encoder's info tag so
# that the length is exact.
sox -R -D -n -r 44100 -c 1 -b 16 "$work/tone.wav" synth 3 sine 440 vol 0.5
lame --quiet -b 32 -m m "$work/tone.wav" tone-3s.mp3

# 1 s of 660 Hz, mono 22.05 kHz, 8-bit PCM.
sox -R -D -n -r 22050 -c 1 -b 8 -e unsigned-integer tone-1s.wav synth 1 sine 660 vol 0.5

# 60 s of 440 Hz, mono 8 kHz, CBR 8 kbit/s: long enough to stop an episode
# part-way, more than half a minute before its end.
sox -R -D -n -r 8000 -c 1 -b 16 "$work/long.wav" synth 60 sine 440 vol 0.5
lame --quiet -b 8 -m m "$work/long.wav" tone-60s.mp3
