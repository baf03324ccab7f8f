#!/usr/bin/env bash
# Prints what the program costs: instructions of an idle tick and of a full paint (callgrind
# on the native core), start-up time and peak working set under Wine beside a minimal
# dialog program, and the size of tavrel.exe. Not part of the tests' pass or fail, though
# the instruction budgets are also checked by the unit tests.
# Usage: bash scripts/bench.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
b=${TAVREL_BUILD:-build}
bash scripts/setup.sh >/dev/null || exit 1
source scripts/cmake-env.sh
tavrel_configure "$b/native" && cmake --build "$b/native" -j2 --target core_bench >/dev/null || exit 1
source scripts/wine-env.sh
tavrel_choose_bits
tavrel_wine_env
w=$b/$TAVREL_WIN
tavrel_configure "$w" -DCMAKE_TOOLCHAIN_FILE=$TAVREL_TOOLCHAIN &&
  cmake --build "$w" -j2 --target tavrel capture_standin baseline_dialog startup_bench >/dev/null || exit 1

echo "== machine"
echo "$(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "$("$TAVREL_WINE" --version 2>/dev/null), $(g++ --version | head -1)"
echo "the ${TAVREL_BITS}-bit build ($w): tavrel.exe beside a baseline dialog of the same bitness"
echo
echo "== instructions per call (callgrind, native core, -O2)"
bench/instruction-budgets.sh "$b/native/bench/core_bench"
echo
echo "== under Wine"
source scripts/xvfb.sh
tavrel_start_xvfb || exit 1
export WINEPREFIX=$root/$w/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX" "$TAVREL_BITS"
"$WINESERVER" -p60 2>/dev/null || true
"$TAVREL_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
TAVREL_EXE=$root/$w/tavrel.exe TAVREL_STANDIN=$root/$w/tools/capture_standin/capture_standin.exe \
  "$TAVREL_WINE" "$w/bench/win32/startup_bench.exe" "$root/$w/bench/win32/baseline_dialog.exe" 2>/dev/null | tr -d '\r'
"$WINESERVER" -k 2>/dev/null || true
echo
echo "== size"
tsize=$(stat -c %s "$w/tavrel.exe")
bsize=$(stat -c %s "$w/bench/win32/baseline_dialog.exe")
echo "tavrel.exe $tsize bytes ($((tsize / 1024)) KiB); baseline dialog $bsize bytes"
