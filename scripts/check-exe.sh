#!/usr/bin/env bash
# Checks a built tavrel.exe without running it: a GUI program of the expected PE kind
# (PE32 for the 32-bit product, PE32+ for the 64-bit test build) that imports only DLLs
# every Windows has, so that it runs from a folder holding nothing else.
# Usage: check-exe.sh <objdump> <program.exe> <PE32|PE32+>
set -u
objdump=$1 exe=$2 kind=$3
headers=$("$objdump" -p "$exe" 2>&1) || { echo "check-exe: $objdump cannot read $exe: $headers"; exit 1; }
status=0
magic=$(sed -nE 's/^Magic[[:space:]]+[0-9a-f]+[[:space:]]+\((PE32\+?)\)$/\1/p' <<<"$headers")
if [ "$magic" != "$kind" ]; then
  echo "check-exe: $exe is '${magic:-not a PE image}', expected $kind"; status=1
fi
if ! grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers"; then
  echo "check-exe: $exe is not a Windows GUI program"; status=1
fi
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll "
dlls=$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$headers" | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "check-exe: $exe imports nothing"; status=1; }
for dll in $dlls; do
  case "$allowed" in *" $dll "*) ;; *) echo "check-exe: $exe imports $dll"; status=1 ;; esac
done
[ "$status" = 0 ] && echo "check-exe: $exe is a $kind GUI program importing only $(echo $dlls)"
exit $status
