#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) on the program's own sources,
# with the compile commands of a configured build; fails on any finding.
#   scripts/check-tidy.sh [build dir]   default: build
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure first" >&2; exit 1; }
# The generated headers (forms, moc) must exist before the sources are read.
cmake --build "$build" --target zurav3_gui zurav3_webview ZURav3 >/dev/null
run-clang-tidy -p "$build" -quiet -j "$(nproc)" "$(pwd)/src/" >"$build/clang-tidy.log" 2>&1 || {
    # A header's finding repeats for every source that includes it: once each.
    sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E '(error|warning): ' | sort -u >&2
    echo "clang-tidy found the above" >&2
    exit 1
}
echo "clang-tidy: no findings"
