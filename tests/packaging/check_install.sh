#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop reads there with its own validators.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/grinsley"
desktop="$prefix/share/applications/app.grinsley.Grinsley.desktop"
desktop-file-validate "$desktop"
grep -q '^MimeType=.*image/jpeg;.*image/png;.*x-scheme-handler/sn[0-9]\+;' "$desktop"
grep -q '^Exec=grinsley %U$' "$desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/app.grinsley.Grinsley.metainfo.xml"
for size in 16 24 32 48 64 128 256 512; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/app.grinsley.Grinsley.png"
  file "$icon" | grep -q "PNG image data, $size x $size"
done
echo "installed tree is sound"
