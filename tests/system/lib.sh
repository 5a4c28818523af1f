# Shared by the system tests, which run the program as the build makes it, with
# no test hooks, on a private desktop the test starts and stops: an X server
# (Xvfb), a session bus, a PulseAudio server on a null sink, and the demo's
# feed server. What the program shows is read from outside: window names and
# properties (xdotool, xprop), MPRIS over D-Bus, files on disk.
#   source lib.sh <build dir>
set -euo pipefail

BUILD=$(cd "$1" && pwd)
SYSTEM_TMP=$(mktemp -d)
# Other users (nobody, in the installed test) pass through to what is theirs.
chmod 755 "$SYSTEM_TMP"
PIDS=()
# Process groups started with setsid, ended as a whole.
GROUPS_STARTED=()
BUS=""
# The command prefix that runs a tool as the program's user (empty: this one).
AS=()

stop_all() {
    local i
    for group in "${GROUPS_STARTED[@]}"; do
        kill -- "-$group" 2>/dev/null || true
    done
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null || true
    done
    for pid in "${PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    PIDS=()
    rm -rf "$SYSTEM_TMP"
}
trap stop_all EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -f "$SYSTEM_TMP/program.log" ]; then
        echo "--- program output" >&2
        tail -n 40 "$SYSTEM_TMP/program.log" >&2
    fi
    exit 1
}

# wait_for <seconds> <command...>: runs the command until it succeeds; false
# when the time is up. Deadlines are generous: the machine may be loaded.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# -noreset: otherwise the server resets when its last client goes, and a
# program started again at that moment cannot connect.
start_display() {
    Xvfb -displayfd 3 -ac -noreset -nolisten tcp -screen 0 1024x768x24 \
        3>"$SYSTEM_TMP/display" 2>"$SYSTEM_TMP/xvfb.log" &
    PIDS+=($!)
    wait_for 60 grep -q '^[0-9]' "$SYSTEM_TMP/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$SYSTEM_TMP/display")"
}

# A session bus of the program's user.
start_bus() {
    "${AS[@]}" dbus-daemon --session --nofork --nopidfile --print-address=3 \
        3>"$SYSTEM_TMP/bus" &
    PIDS+=($!)
    wait_for 60 grep -q . "$SYSTEM_TMP/bus" || fail "the session bus did not start"
    BUS=$(head -n 1 "$SYSTEM_TMP/bus")
}

start_sound() {
    local dir="$SYSTEM_TMP/sound"
    mkdir -p -m 700 "$dir/runtime"
    HOME="$dir" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime/pulse" \
        PULSE_STATE_PATH="$dir/state" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-level=error \
        -L module-null-sink -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        2>"$dir/log" &
    PIDS+=($!)
    SOUND_SERVER="unix:$dir/native"
    wait_for 60 pactl --server="$SOUND_SERVER" info || fail "the sound server did not start"
}

# The demo's feed of three episodes, with their MP3 files, on 127.0.0.1.
start_feed() {
    "$BUILD/demo/zurav3_demo_server" "$BUILD/demo" >"$SYSTEM_TMP/feed.log" 2>&1 &
    PIDS+=($!)
    wait_for 60 grep -q '^listening on ' "$SYSTEM_TMP/feed.log" || fail "no feed server"
    FEED_URL="$(sed -n 's/^listening on //p' "$SYSTEM_TMP/feed.log")/tov/index.php/rss"
}

feed_fetched() {
    grep -q '^GET /tov/index.php/rss 200 ' "$SYSTEM_TMP/feed.log"
}

# A private folder of the program's user (mode 700, as XDG_RUNTIME_DIR must be).
private_folder() {
    mkdir -p -m 700 "$1"
    if [ ${#AS[@]} -gt 0 ]; then
        chown nobody:nogroup "$1"
    fi
}

# start_program <executable> [NAME=value...]: the program in an environment of
# only what a desktop session gives it.
start_program() {
    local exe="$1"
    shift
    "${AS[@]}" env -i PATH="$PATH" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
        ${ASAN_OPTIONS+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        ${UBSAN_OPTIONS+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
        "$@" "$exe" >"$SYSTEM_TMP/program.log" 2>&1 &
    PROGRAM=$!
    PIDS+=("$PROGRAM")
}

# place_program [settings line...]: a copy of the program as built in a folder
# of its own ($APP), whose settings point at the demo feed (with the lines
# given after it), and a home and a runtime folder for it.
place_program() {
    APP="$SYSTEM_TMP/app"
    mkdir -p "$APP" "$SYSTEM_TMP/home"
    private_folder "$SYSTEM_TMP/runtime"
    cp "$BUILD/src/ZURav3" "$APP/ZURav3"
    printf '[TOV]\nRSS=%s\n' "$FEED_URL" >"$APP/ZURav3.ini"
    if [ $# -gt 0 ]; then
        printf '%s\n' "$@" >>"$APP/ZURav3.ini"
    fi
}

# start_placed_program [NAME=value...]: the placed copy, at home in its folders.
start_placed_program() {
    start_program "$APP/ZURav3" HOME="$SYSTEM_TMP/home" XDG_RUNTIME_DIR="$SYSTEM_TMP/runtime" "$@"
}

program_running() {
    kill -0 "$PROGRAM" 2>/dev/null
}

# Waits for the program to end on its own.
program_ends() {
    local i
    for ((i = 0; i < 600; i++)); do
        program_running || {
            wait "$PROGRAM" 2>/dev/null || true
            return 0
        }
        sleep 0.2
    done
    return 1
}

# The id of a shown window whose name matches the extended regular expression.
window_named() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

has_window_named() {
    [ -n "$(window_named "$1")" ]
}

# The main window's caption is "ZURav3 v<version>"; boxes are titled "ZURav3".
main_window() {
    window_named '^ZURav3 v[0-9.]+'
}

# Closes a window as its close box does.
close_window() {
    "$BUILD/tests/zurav3_close_window" "$1"
}

# Closes the main window and waits for the program to end.
quit_program() {
    local window
    window=$(main_window)
    [ -n "$window" ] || fail "no main window to close"
    close_window "$window"
    program_ends || fail "the program did not end after its window was closed"
}

# MPRIS: mpris <method> [arguments...] calls a method of the player and waits
# for its answer; mpris_get <property> prints a property's value.
mpris_send() {
    "${AS[@]}" env DBUS_SESSION_BUS_ADDRESS="$BUS" dbus-send --session "$@"
}

mpris() {
    local method="$1"
    shift
    mpris_send --print-reply --reply-timeout=120000 --dest=org.mpris.MediaPlayer2.zurav3 \
        /org/mpris/MediaPlayer2 "org.mpris.MediaPlayer2.Player.$method" "$@" >/dev/null
}

# Plays the selected episode as the media keys do. The window shows before its
# feed has arrived, and until then there is nothing to play: the key is sent
# again, ten seconds apart, until the episode plays (a minute at most).
play_selected() {
    local try
    for try in 1 2 3 4 5 6; do
        [ "$try" = 1 ] || echo "play_selected: try $try" >&2
        mpris PlayPause || return 1
        wait_for 10 mpris_status_is Playing && return 0
    done
    return 1
}

# The same without waiting for the answer (a box the method shows would hold it).
mpris_no_wait() {
    local method="$1"
    shift
    mpris_send --type=method_call --dest=org.mpris.MediaPlayer2.zurav3 \
        /org/mpris/MediaPlayer2 "org.mpris.MediaPlayer2.Player.$method" "$@"
}

mpris_get() {
    mpris_send --print-reply=literal --reply-timeout=60000 --dest=org.mpris.MediaPlayer2.zurav3 \
        /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
        string:org.mpris.MediaPlayer2.Player "string:$1"
}

mpris_status_is() {
    [ "$(mpris_get PlaybackStatus | awk '{print $NF}')" = "$1" ]
}

# The position in microseconds.
mpris_position() {
    mpris_get Position | awk '{print $NF}'
}

# One entry of the Metadata property (mpris:length, mpris:trackid,
# xesam:title); empty when it is missing.
mpris_metadata() {
    # dbus-send prints "<key> variant <value>", the closing ")" of an entry
    # holding text on the same line.
    mpris_get Metadata | sed -n "s/^ *$1 *variant *//p" | sed 's/ *)$//; s/ *$//; s/^int64 //'
}
