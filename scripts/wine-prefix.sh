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
# The marker names the font set; a prefix made with an older set is brought up to date.
marker=$prefix/.japanese-fonts-2
if [ -f "$prefix/system.reg" ]; then
  [ -f "$marker" ] && exit 0
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
# The dialogs' fonts ("ＭＳ ゴシック", "ＭＳ Ｐゴシック") are copies of the IPA fonts with the
# line height of those fonts, so that the dialogs get the base units they have on Windows.
# The IPA originals stay: the timetable's "Arial" text falls back to them.
/usr/bin/python3 "$here/make-dialog-fonts.py" /usr/share/fonts/opentype/ipafont-gothic "$fontdir"
# A running server would keep the old font list.
wineserver -k 2>/dev/null || true
wineserver -w || true
# The system's UI font falls back to IPA Gothic for Japanese, so that message boxes show it.
link=$(printf 'ipag.ttf,IPAGothic\0\0' | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
reg=$(mktemp --suffix=.reg)
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  printf '"ＭＳ ゴシック"="Tavrel Gothic"\r\n"ＭＳ Ｐゴシック"="Tavrel PGothic"\r\n'
  printf '"MS Gothic"="Tavrel Gothic"\r\n"MS PGothic"="Tavrel PGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    printf '"%s"=hex(7):%s\r\n' "$face" "$link"
  done
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
if wine regedit /S "$(wine winepath -w "$reg" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1; then
  rm -f "$prefix"/.japanese-fonts*
  touch "$marker"
fi
wineserver -w || true
rm -f "$reg"
test -f "$prefix/system.reg"
