#!/usr/bin/env bash
# Checks the zip for Windows users: exactly one folder tavrel-<version>-win32 holding
# tavrel.exe (a PE32 GUI program of system DLLs whose version resource carries <version>),
# README-ja.txt and LICENSE.txt, both valid code page 932 text with CR LF line ends.
# Usage: check-package.sh <zip> <version> <objdump> <windres>
set -u
zip=$1 version=$2 objdump=$3 windres=$4
here=$(cd "$(dirname "$0")" && pwd)
name=tavrel-$version-win32
fail() { echo "check-package: $*"; status=1; }
status=0
[ -f "$zip" ] || { echo "check-package: no $zip (make it with --target package)"; exit 1; }
[ "$(basename "$zip")" = "$name.zip" ] || fail "the zip is named $(basename "$zip"), not $name.zip"

listing=$(cmake -E tar tf "$zip" | sed 's|/$||' | sort)
expected=$(printf '%s\n' "$name" "$name/LICENSE.txt" "$name/README-ja.txt" "$name/tavrel.exe" | sort)
# Some zips list the folder itself, some only its files.
[ "$listing" = "$expected" ] || [ "$listing" = "$(grep / <<<"$expected")" ] ||
  fail "holds:"$'\n'"$listing"$'\n'"expected:"$'\n'"$expected"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
(cd "$dir" && cmake -E tar xf "$zip") || fail "cannot be unpacked"
exe=$dir/$name/tavrel.exe
"$here/check-exe.sh" "$objdump" "$exe" PE32 || status=1
resources=$("$windres" -J coff -i "$exe" -O rc 2>&1)
IFS=. read -r major minor patch <<<"$version"
grep -q "FILEVERSION $major, $minor, $patch, 0\$" <<<"$resources" || fail "FILEVERSION is not $version"
grep -q "PRODUCTVERSION $major, $minor, $patch, 0\$" <<<"$resources" || fail "PRODUCTVERSION is not $version"
for key in FileVersion ProductVersion; do
  grep -qF "VALUE \"$key\", \"$version\"" <<<"$resources" || fail "$key is not \"$version\""
done

for text in README-ja.txt LICENSE.txt; do
  file=$dir/$name/$text
  [ -s "$file" ] || { fail "$text is empty"; continue; }
  iconv -f CP932 -t UTF-8 "$file" >/dev/null 2>&1 || fail "$text is not code page 932 text"
  # Every line ends in CR LF: no LF without its CR, no CR without its LF.
  lines=$(wc -l <"$file")
  crlf=$(grep -c $'\r$' "$file")
  cr=$(tr -cd '\r' <"$file" | wc -c)
  [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && [ "$cr" -eq "$lines" ] ||
    fail "$text has $lines line feeds, $crlf CR LF line ends and $cr CRs"
  [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "$text does not end with CR LF"
done
grep -q "MIT License" "$dir/$name/LICENSE.txt" && grep -q "Copyright (c) 2026 the Tavrel authors" "$dir/$name/LICENSE.txt" ||
  fail "LICENSE.txt is not the MIT License of the Tavrel authors"
[ "$status" = 0 ] && echo "check-package: $(basename "$zip") holds $(grep / <<<"$expected" | tr '\n' ' ')as it should"
exit $status
