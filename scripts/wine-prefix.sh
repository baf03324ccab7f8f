#!/usr/bin/env bash
# Creates a 32-bit Wine prefix at $1 (once; a second call does nothing).
set -eu
prefix=$1
export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [ -f "$prefix/system.reg" ]; then exit 0; fi
mkdir -p "$prefix"
echo "wine-prefix: creating $prefix" >&2
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
# Japanese fonts for the dialogs' texts.
fontdir=$prefix/drive_c/windows/Fonts
mkdir -p "$fontdir"
for f in /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/fonts-japanese-gothic.ttf; do
  [ -e "$f" ] && ln -sf "$f" "$fontdir/" || true
done
test -f "$prefix/system.reg"
