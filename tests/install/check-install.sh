#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a
# software centre need: the program, its browser module, its menu entry and
# its metadata as the validators of desktop entries and of AppStream accept
# them, its icon, drawn and at each size, and its manual page.
# (tests/system/web-page.sh runs the installed copy's browser.)
#   tests/install/check-install.sh <build dir> <desktop id> <version> <module folder>
set -euo pipefail
build="$1"
id="$2"
version="$3"
module_dir="$4"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# As one component, so that the manifest of a real install (install_manifest.txt)
# stays as it was.
cmake --install "$build" --prefix "$prefix" --component Unspecified >/dev/null
test -x "$prefix/bin/ZURav3"
test -f "$prefix/$module_dir/libzurav3_webview.so"
# The manual page, gzipped as man reads it, and the licences.
gzip -t "$prefix/share/man/man1/ZURav3.1.gz"
test -f "$prefix/share/doc/zurav3/copyright"
# The web engine and libmpv are loaded when first used, never at start.
if readelf -d "$prefix/bin/ZURav3" | grep NEEDED | grep -E 'libmpv|WebEngine'; then
    echo "the program links what it should load when first used" >&2
    exit 1
fi
entry="$prefix/share/applications/$id.desktop"
test -f "$entry"
desktop-file-validate "$entry"
grep -qx 'Categories=AudioVideo;Audio;Player;' "$entry"
grep -qx 'Exec=ZURav3' "$entry"
grep -qx 'Icon=zurav3' "$entry"
grep -q '^Name\[ko\]=' "$entry"

# The metadata names the entry it describes and the version built, in both
# languages; the validator also checks it against the entry and the icons.
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
test -f "$metainfo"
grep -q "<id>$id</id>" "$metainfo"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
grep -q '<summary xml:lang="ko">' "$metainfo"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || { echo "newest release $newest, built $version" >&2; exit 1; }
appstreamcli validate-tree --no-net "$prefix"

test -s "$prefix/share/icons/hicolor/scalable/apps/zurav3.svg"
# A PNG's width and height are the two big-endian numbers at byte 16.
png_size() {
    local hex
    hex=$(od -An -tx1 -j16 -N8 "$1" | tr -d ' \n')
    echo "$((16#${hex:0:8})) x $((16#${hex:8:8}))"
}
for size in 16 22 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/zurav3.png"
    [ "$(png_size "$png")" = "$size x $size" ] || { echo "wrong icon: $png" >&2; exit 1; }
done
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
