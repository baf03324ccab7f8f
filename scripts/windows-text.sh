#!/usr/bin/env bash
# Writes a UTF-8 text as Windows users' Notepad reads it on a Japanese system: code page
# 932 (not plain Shift_JIS, which lacks characters such as "～" and "①") with CR LF ends.
# Usage: windows-text.sh <in, UTF-8> <out>
set -euo pipefail
mkdir -p "$(dirname "$2")"
tmp="$2.tmp"
iconv -f UTF-8 -t CP932 "$1" | sed 's/\r*$/\r/' >"$tmp"
mv "$tmp" "$2"
