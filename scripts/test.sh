#!/usr/bin/env bash
# Runs every test: the core's unit tests natively under ASan and UBSan and again as a 32-bit
# program, the static check of the 32-bit tavrel.exe, then the Windows test programs and
# the end-to-end tests of tavrel.exe under Wine and Xvfb: on the 32-bit build where this
# machine runs 32-bit code, else on the 64-bit build of the same sources.
# Installs what it needs first (as root). Usage: bash scripts/test.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
# Build folder root; a second working copy of the tests may use another (TAVREL_BUILD=...).
b=${TAVREL_BUILD:-build}

bash scripts/setup.sh || exit 1
source scripts/wine-env.sh
tavrel_choose_bits
tavrel_wine_env
echo "test: this machine runs ${TAVREL_BITS}-bit Windows programs; the Windows and end-to-end tests drive $b/$TAVREL_WIN"

set -e
cmake -S . -B "$b/native" -DTAVREL_SANITIZE=ON >/dev/null
cmake --build "$b/native" -j"$jobs"
cmake -S . -B "$b/native32" -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake >/dev/null
cmake --build "$b/native32" -j"$jobs"
# The product is always built, packaged, and checked without running it.
cmake -S . -B "$b/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$b/win32" -j"$jobs"
# The zip for Windows users, checked by the win32 build's static tests.
cmake --build "$b/win32" --target package >/dev/null
if [ "$TAVREL_BITS" = 64 ]; then
  cmake -S . -B "$b/win64" -DCMAKE_TOOLCHAIN_FILE="$TAVREL_TOOLCHAIN" >/dev/null
  cmake --build "$b/win64" -j"$jobs"
fi
set +e

source scripts/xvfb.sh
tavrel_start_xvfb || exit 1
export TAVREL_WINEPREFIX=$root/$b/$TAVREL_WIN/wineprefix
bash scripts/wine-prefix.sh "$TAVREL_WINEPREFIX" "$TAVREL_BITS"
export WINEPREFIX=$TAVREL_WINEPREFIX
# Keep one wineserver up for the whole run, so that each test program starts quickly.
"$WINESERVER" -p300 2>/dev/null || true
# Start Wine's own services now, detached from ctest's output: started by the first test
# program they would hold its output open and ctest would wait for them.
"$TAVREL_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true

# Each ctest run's output goes to a file of its own, read for the summary afterwards.
logs=$(mktemp -d)
run_ctest() {  # name, build folder, ctest arguments...
  local name=$1 dir=$2; shift 2
  echo "== $name"
  (cd "$dir" && ctest --output-on-failure "$@" 2>&1) | tee "$logs/$name"
}
run_ctest unit "$b/native" -j"$jobs"
run_ctest unit-32bit "$b/native32" -j"$jobs"
if [ "$TAVREL_WIN" != win32 ]; then
  run_ctest static-32bit "$b/win32" -L static
fi
run_ctest "$TAVREL_WIN" "$b/$TAVREL_WIN"
"$WINESERVER" -k 2>/dev/null || true

# ctest counts a skipped test as passed; here it is counted apart. A run without its
# summary line (no tests found, ctest itself failed) counts as one failure.
passed=0; failed=0; skipped=0
for log in "$logs"/*; do
  summary=$(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/p' "$log" | tail -1)
  if [ -z "$summary" ]; then
    echo "test: no result from the ${log##*/} tests"
    failed=$((failed + 1)); continue
  fi
  set -- $summary
  s=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log")
  passed=$((passed + $1 - $2 - s)); failed=$((failed + $2)); skipped=$((skipped + s))
done
rm -rf "$logs"
echo
if [ "$skipped" -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
