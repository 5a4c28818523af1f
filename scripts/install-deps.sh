#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Only missing packages are installed, so a second run costs a second.
#   scripts/install-deps.sh            everything (./test, CI)
#   scripts/install-deps.sh --to-run   without the tools only the tests run (./run)
set -euo pipefail

packages=(
    # build tools
    build-essential cmake ninja-build pkg-config git clang-format clang-tidy
    # the Debian package (./package): CPack finds the program's ELF files with
    # file, dpkg-shlibdeps (dpkg-dev, with build-essential) their dependencies
    file
    # windows, dialogs, clipboard, D-Bus, tests' input helpers
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # the player's glyphs, drawn from SVG at the screen's scale
    qt6-svg-dev
    # the embedded browser
    qt6-webengine-dev qt6-webengine-dev-tools
    # media device, HTTP, XML, INI
    libmpv-dev libcurl4-openssl-dev libpugixml-dev libsimpleini-dev
    # tests and benchmarks (the transfer benchmark compares with the curl tool)
    libgtest-dev libgmock-dev libcpp-httplib-dev libbenchmark-dev curl
    # fuzzing with libFuzzer (clang's runtime)
    clang libclang-rt-14-dev
    # test and demo audio: a tone generator and an MP3 encoder
    sox lame
    # a display for screenshots and for tests of the executable, and a private
    # session bus for desktop tests
    xvfb xauth dbus
    # Qt's SVG image and icon plugins: the desktop theme's SVG icons, as in the
    # file dialogs
    libqt6svg6
    # a close box for the system tests to click (Xlib)
    libx11-dev
    # the start-up benchmark watches windows appear (xcb)
    libxcb1-dev
    # Korean text, and Qt's own texts (standard buttons, file dialogs) in Korean
    fonts-nanum qt6-translations-l10n
)
# The system tests' tools: a private sound server on a null sink and its
# client tools, readers of the windows' titles and icons, and input for them;
# the validators of the installed desktop entry and software-centre metadata,
# and of the Debian package.
test_tools=(pulseaudio pulseaudio-utils x11-utils xdotool desktop-file-utils appstream lintian ffmpeg)
if [ "${1:-}" != "--to-run" ]; then
    packages+=("${test_tools[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"

# The tests start PulseAudio's server themselves, privately. Installed for
# them, it must not start in the users' desktop sessions, where another sound
# server (PipeWire's, say) may be serving.
if [[ " ${missing[*]} " == *" pulseaudio "* ]]; then
    "${sudo_cmd[@]}" systemctl --global disable pulseaudio.service pulseaudio.socket || true
fi
