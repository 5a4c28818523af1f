#!/usr/bin/env bash
# An installed copy finds its browser module: a click on TOV opens the web
# page window, whose browser asks the show's host for its page (resolved to
# the demo server here). The program itself links no web engine.
#   tests/system/web-page.sh <build dir> <the show's page URL>
source "$(dirname "$0")/lib.sh" "$1"
page_url="$2"

prefix="$SYSTEM_TMP/prefix"
cmake --install "$BUILD" --prefix "$prefix" --component Unspecified >/dev/null

start_display
start_feed
printf '[TOV]\nRSS=%s\n' "$FEED_URL" >"$prefix/bin/ZURav3.ini"
host=$(sed -E 's#^[a-z]+://([^/:]+).*#\1#' <<<"$page_url")
port=$(sed -E 's#^http://127\.0\.0\.1:([0-9]+)/.*#\1#' <<<"$FEED_URL")
start_program "$prefix/bin/ZURav3" HOME="$SYSTEM_TMP" \
    QTWEBENGINE_CHROMIUM_FLAGS="--host-resolver-rules=\"MAP $host 127.0.0.1:$port\""
wait_for 120 has_window_named '^ZURav3 v[0-9.]+' || fail "no main window"
! has_window_named '^토브 라디오$' || fail "the web page window is shown at start"

# TOV sits at (344, 3) in the main window.
xdotool mousemove --window "$(main_window)" 362 13 click 1
wait_for 120 grep -q '^GET / [0-9]* Mozilla/5.0 .*QtWebEngine' "$SYSTEM_TMP/feed.log" ||
    fail "the show's page was not asked for"
wait_for 60 has_window_named '^토브 라디오$' || fail "no web page window"
program_running || fail "the program ended"
quit_program
echo "web page test passed"
