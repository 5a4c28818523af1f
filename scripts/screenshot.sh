#!/usr/bin/env bash
# Pictures the program on the demo feed under Xvfb, for the README:
#   scripts/screenshot.sh [build dir] [file.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out=$(realpath -m "${2:-docs/screenshot.png}")
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" ./scripts/demo.sh "$build" --screenshot "$out"
