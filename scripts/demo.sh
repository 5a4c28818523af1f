#!/usr/bin/env bash
# Runs the program offline against the demo server: a copy of the executable in
# build/demo/app, whose settings file points at a feed of three generated
# episodes on 127.0.0.1. Saved episodes go to build/demo/downloads.
#   scripts/demo.sh <build dir>           start the program, stop the server after it;
#                                         a feed set in its settings dialog becomes
#                                         the feed of <build dir>/src/ZURav3
#   scripts/demo.sh <build dir> --check   start it without a display, check that it
#                                         fetched the demo feed and keeps running
set -euo pipefail
source "$(dirname "$0")/ini.sh"
build=$(cd "$1" && pwd)
mode="${2:-}"
demo="$build/demo"
app="$demo/app"
mkdir -p "$app" "$demo/downloads"

log=$(mktemp)
"$demo/zurav3_demo_server" "$demo" >"$log" 2>&1 &
server=$!
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -f "$log"
}
trap cleanup EXIT

for _ in $(seq 100); do
    grep -q '^listening on ' "$log" && break
    sleep 0.1
done
base=$(sed -n 's/^listening on //p' "$log")
[ -n "$base" ] || { cat "$log"; echo "the demo server did not start" >&2; exit 1; }

feed="$base/tov/index.php/rss"
cp "$build/src/ZURav3" "$app/ZURav3"
# The browser module, where the copy looks for it: the library folder beside
# its folder, laid out as in the build (lib/zurav3, or lib/<multiarch>/zurav3).
rm -rf "$demo/lib"
cp -r "$build/lib" "$demo/lib"
cat >"$app/ZURav3.ini" <<INI
[TOV]
RSS=$feed

[OPT]
LastDown=$demo/downloads/
INI
echo "demo feed: $feed"

if [ "$mode" != "--check" ]; then
    "$app/ZURav3"
    # A feed set in the settings dialog is the user's own: ./run starts on it
    # from now on.
    rss=$(ini_get "$app/ZURav3.ini" TOV RSS)
    if [ -n "$rss" ] && [ "$rss" != "$feed" ]; then
        ini_set "$build/src/ZURav3.ini" TOV RSS "$rss"
        echo "your feed $rss is kept in $build/src/ZURav3.ini"
    fi
    exit 0
fi

# The check: the program starts without a display, asks for the demo feed
# with its own request headers, and is still running a moment later.
QT_QPA_PLATFORM=offscreen "$app/ZURav3" &
program=$!
for _ in $(seq 300); do
    grep -q '^GET /tov/index.php/rss 200 Mozilla/3.0 (compatible; Indy Library)$' "$log" && break
    sleep 0.1
done
grep -q '^GET /tov/index.php/rss 200 ' "$log" || { cat "$log"; echo "the feed was not fetched" >&2; exit 1; }
sleep 2
kill -0 "$program" || { echo "the program ended early" >&2; exit 1; }
echo "demo check passed"
