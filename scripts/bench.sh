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
cmake -S . -B "$b/native" >/dev/null && cmake --build "$b/native" -j2 --target core_bench >/dev/null || exit 1
cmake -S . -B "$b/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null &&
  cmake --build "$b/win32" -j2 --target tavrel capture_standin baseline_dialog startup_bench >/dev/null || exit 1

echo "== machine"
echo "$(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "$(wine --version 2>/dev/null), $(i686-w64-mingw32-g++-posix --version | head -1), $(g++ --version | head -1)"
echo
echo "== instructions per call (callgrind, native core, -O2)"
bench/instruction-budgets.sh "$b/native/bench/core_bench"
echo
echo "== under Wine"
source scripts/xvfb.sh
tavrel_start_xvfb || exit 1
export WINEPREFIX=$root/$b/win32/wineprefix WINEARCH=win32 WINEDEBUG=-all
bash scripts/wine-prefix.sh "$WINEPREFIX"
wineserver -p 60 2>/dev/null || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
TAVREL_EXE=$root/$b/win32/tavrel.exe TAVREL_STANDIN=$root/$b/win32/tools/capture_standin/capture_standin.exe \
  wine "$b/win32/bench/win32/startup_bench.exe" "$root/$b/win32/bench/win32/baseline_dialog.exe" 2>/dev/null | tr -d '\r'
wineserver -k 2>/dev/null || true
echo
echo "== size"
tsize=$(stat -c %s "$b/win32/tavrel.exe")
bsize=$(stat -c %s "$b/win32/bench/win32/baseline_dialog.exe")
echo "tavrel.exe $tsize bytes ($((tsize / 1024)) KiB); baseline dialog $bsize bytes"
