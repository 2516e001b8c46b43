#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix and checks what a desktop needs from it: the command,
# the widget host, the menu entry, the icons and the AppStream file, each accepted by its
# validator.
# Usage: check-install.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2

for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing: run scripts/setup.sh (desktop-file-utils, appstream)" >&2
        exit 1
    fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$prefix/bin/skyvelle" ] || fail "bin/skyvelle is not installed"
[ -x "$prefix/bin/skyvelle-widgets" ] || fail "bin/skyvelle-widgets is not installed"
desktop="$prefix/share/applications/skyvelle.desktop"
[ -f "$desktop" ] || fail "share/applications/skyvelle.desktop is not installed"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects skyvelle.desktop"
grep -qx 'Exec=skyvelle %u' "$desktop" || fail "the desktop entry does not run skyvelle %u"
grep -qx 'MimeType=x-scheme-handler/skyvelle;' "$desktop" || fail "the entry does not claim skyvelle://"

icons="$prefix/share/icons/hicolor"
[ -f "$icons/scalable/apps/skyvelle.svg" ] || fail "the scalable icon is not installed"
for size in 16 24 32 48 64 128 256 512; do
    png="$icons/${size}x${size}/apps/skyvelle.png"
    [ -f "$png" ] || fail "the ${size}px icon is not installed"
    # A PNG's header holds its width and height as 32-bit big-endian numbers at byte 16.
    dims=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')
    [ "$dims" = "0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))" ] \
        || fail "the ${size}px icon is not ${size}x${size} ($dims)"
done

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null || true)
[ -n "$metainfo" ] || fail "share/metainfo/ holds no metainfo file"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
grep -q '<launchable type="desktop-id">skyvelle.desktop</launchable>' "$metainfo" \
    || fail "the metainfo does not launch skyvelle.desktop"
# The newest release must be this version: a version bump needs its release notes.
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1)
[ "$newest" = "<release version=\"$version\"" ] || fail "newest release is $newest, not $version"

echo "installed layout and validators: ok"
