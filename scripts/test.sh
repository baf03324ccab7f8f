#!/usr/bin/env bash
# Runs every test: the core's unit tests natively under ASan and UBSan, then the Windows
# test programs and the end-to-end tests of tavrel.exe under Wine and Xvfb.
# Installs what it needs first (as root). Usage: bash scripts/test.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
# Build folder root; a second working copy of the tests may use another (TAVREL_BUILD=...).
b=${TAVREL_BUILD:-build}

bash scripts/setup.sh || exit 1

set -e
cmake -S . -B "$b/native" -DTAVREL_SANITIZE=ON >/dev/null
cmake --build "$b/native" -j"$jobs"
cmake -S . -B "$b/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$b/win32" -j"$jobs"
set +e

source scripts/xvfb.sh
tavrel_start_xvfb || exit 1
export TAVREL_WINEPREFIX=$root/$b/win32/wineprefix
bash scripts/wine-prefix.sh "$TAVREL_WINEPREFIX"
export WINEPREFIX=$TAVREL_WINEPREFIX WINEARCH=win32 WINEDEBUG=-all
# Keep one wineserver up for the whole run, so that each test program starts quickly.
wineserver -p 300 2>/dev/null || true
# Start Wine's own services now, detached from ctest's output: started by the first test
# program they would hold its output open and ctest would wait for them.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

results=$(mktemp)
(cd "$b/native" && ctest --output-on-failure -j"$jobs" 2>&1) | tee -a "$results"
(cd "$b/win32" && ctest --output-on-failure 2>&1) | tee -a "$results"
wineserver -k 2>/dev/null || true

passed=0; failed=0
while read -r line; do
  p=$(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/p' <<<"$line")
  if [ -n "$p" ]; then
    set -- $p
    passed=$((passed + $1 - $2)); failed=$((failed + $2))
  fi
done <"$results"
rm -f "$results"
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
