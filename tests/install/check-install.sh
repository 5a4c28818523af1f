#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the program, its menu entry and its icon.
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/ZURav3"
entry="$prefix/share/applications/zurav3.desktop"
test -f "$entry"
grep -qx 'Categories=AudioVideo;Audio;Player;' "$entry"
grep -qx 'Exec=ZURav3' "$entry"
grep -qx 'Icon=zurav3' "$entry"
test -s "$prefix/share/icons/hicolor/scalable/apps/zurav3.svg"
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
