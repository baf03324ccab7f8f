#!/usr/bin/env bash
# Creates a Wine prefix at $1 for programs of $2 bits (32 or 64; default: what this machine
# runs) with Japanese fonts, once; a second call does nothing. Prefixes of the two
# bitnesses never share a folder: the build folders win32/ and win64/ each hold their own.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
prefix=$(realpath -m "$1")
if [ -n "${2:-}" ]; then bits=$2; else tavrel_choose_bits; bits=$TAVREL_BITS; fi
tavrel_wine_env "$bits"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wine() { "$TAVREL_WINE" "$@"; }
wineserver() { "$WINESERVER" "$@"; }
if [ -f "$prefix/system.reg" ]; then
  [ -f "$prefix/.japanese-fonts" ] && exit 0
  created=0
else
  created=1
fi
if [ "$created" = 1 ]; then
  mkdir -p "$prefix"
  echo "wine-prefix: creating $prefix" >&2
  wine wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# Japanese fonts for the dialogs' texts.
fontdir=$prefix/drive_c/windows/Fonts
mkdir -p "$fontdir"
for f in /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/fonts-japanese-gothic.ttf; do
  [ -e "$f" ] && ln -sf "$f" "$fontdir/" || true
done
# The dialogs' fonts ("ＭＳ ゴシック", "ＭＳ Ｐゴシック") are the IPA fonts here, and the
# system's UI font falls back to IPA Gothic for Japanese, so that message boxes show it.
link=$(printf 'ipag.ttf,IPAGothic\0\0' | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
reg=$(mktemp --suffix=.reg)
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  printf '"ＭＳ ゴシック"="IPAGothic"\r\n"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
  printf '"MS Gothic"="IPAGothic"\r\n"MS PGothic"="IPAPGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    printf '"%s"=hex(7):%s\r\n' "$face" "$link"
  done
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
if wine regedit /S "$(wine winepath -w "$reg" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1; then
  touch "$prefix/.japanese-fonts"
fi
wineserver -w || true
rm -f "$reg"
test -f "$prefix/system.reg"
