#!/usr/bin/env bash
# Makes the demo's three episodes with a tone generator (sox) and an MP3
# encoder (lame): 40 seconds each, a few hundred kilobytes.
set -euo pipefail
out="$1"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
make() {
    local name="$1"
    shift
    sox -q -n -r 44100 -c 2 -b 16 "$tmp/$name.wav" "$@"
    lame --quiet -b 64 --tt "$name" "$tmp/$name.wav" "$out/$name.mp3"
}
make tov_081201 synth 40 sine 440 tremolo 2 40 fade 0.5 40 1
make tov_081202 synth 40 sine 262 sine 330 sine 392 remix 1-3 1-3 tremolo 1 30 fade 0.5 40 1
make tov_081203 synth 40 sine 196 tremolo 0.5 50 fade 0.5 40 1
