#!/usr/bin/env bash
# Runs every test: the core's unit tests natively under ASan and UBSan and again as a 32-bit
# program, the static check of the 32-bit tavrel.exe and its zip, then the Windows test
# programs and the end-to-end tests of tavrel.exe under Wine and Xvfb: on the 32-bit build
# where this machine runs 32-bit code, else on the 64-bit build of the same sources.
# Installs what it needs first (as root). Usage: bash scripts/test.sh
#
# The Wine tests mostly wait for recordings in real time, so they run side by side,
# TAVREL_WINE_SLOTS (default 4) at a time, each in a Wine slot of its own (a prefix, a
# display and a wineserver: scripts/wine-slots.sh). Their build goes first; the other
# builds and the unit tests run meanwhile at the lowest priority, in the time the Wine
# tests leave, so that they never slow those down.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
# Build folder root; a second working copy of the tests may use another (TAVREL_BUILD=...).
b=${TAVREL_BUILD:-build}
# One locale for every run, whatever the caller's (C.UTF-8 is always there on Debian):
# Wine needs a UTF-8 one for file names that hold Japanese.
export LC_ALL=C.UTF-8

bash scripts/setup.sh || exit 1
source scripts/cmake-env.sh
source scripts/wine-env.sh
source scripts/xvfb.sh
source scripts/wine-slots.sh
tavrel_choose_bits
tavrel_wine_env
w=$b/$TAVREL_WIN
slots=$root/$w/slots
count=${TAVREL_WINE_SLOTS:-4}
echo "test: this machine runs ${TAVREL_BITS}-bit Windows programs; the Windows and end-to-end tests drive $w, $count at a time"

# Each ctest run's output goes to a file of its own in $logs, read for the summary
# afterwards; each made at the start, so that a run that never happens counts as failed.
work=$(mktemp -d)
logs=$work/ctest
mkdir "$logs"
background=()
finish() {
  local pid
  for pid in "${background[@]}"; do kill "$pid" 2>/dev/null; done
  tavrel_stop_slots "$slots"
  tavrel_stop_xvfb
  [ -n "${TAVREL_E2E_KEEP:-}" ] || rm -rf "$slots"
  rm -rf "$work"
}
trap finish EXIT

# Builds targets (all when none) of a configured folder; on failure shows the end of the
# build's output.
build() {  # build folder, targets...
  local dir=$1 out targets=()
  shift
  [ $# -gt 0 ] && targets=(--target "$@")
  out=$work/build-${dir//\//-}
  if ! cmake --build "$dir" -j"$jobs" "${targets[@]}" >"$out" 2>&1; then
    echo "test: the build in $dir failed:"
    tail -n 40 "$out"
    return 1
  fi
}
# The zip for Windows users, from the built program and texts.
package() { (cd "$b/win32" && cpack >"$work/cpack" 2>&1) || { cat "$work/cpack"; return 1; }; }
run_ctest() {  # name, build folder, ctest arguments...
  local name=$1 dir=$2
  shift 2
  (cd "$dir" && ctest --output-on-failure "$@" 2>&1) | tee "$logs/$name"
}
# Runs a command at the lowest priority in the background, its output into $work/out-<name>.
names=()
pids=()
in_background() {  # name, command...
  local name=$1
  shift
  ( renice -n 19 -p "$BASHPID" >/dev/null; "$@" ) >"$work/out-$name" 2>&1 &
  names+=("$name")
  pids+=($!)
  background+=($!)
}

native() {
  tavrel_configure "$b/native" -DTAVREL_SANITIZE=ON && build "$b/native" &&
    run_ctest unit "$b/native" -j"$jobs"
}
native32() {
  tavrel_configure "$b/native32" -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake &&
    build "$b/native32" && run_ctest unit-32bit "$b/native32" -j"$jobs"
}
# The product is always built, packaged, and checked without running it; where the Wine
# tests drive the 64-bit build, the 32-bit one needs nothing more.
static32() {
  tavrel_configure "$b/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake &&
    build "$b/win32" tavrel package_texts && package && run_ctest static-32bit "$b/win32" -L static
}

: >"$logs/unit"
: >"$logs/unit-32bit"
: >"$logs/$TAVREL_WIN"
in_background unit native
in_background unit-32bit native32
if [ "$TAVREL_WIN" != win32 ]; then
  : >"$logs/static-32bit"
  in_background static-32bit static32
fi

# The Wine tests' build and, meanwhile, the prefix that each slot gets a copy of.
wine_ready=0
if tavrel_new_xvfb; then
  (DISPLAY=$TAVREL_XVFB_DISPLAY bash scripts/wine-prefix.sh "$root/$w/wineprefix" "$TAVREL_BITS") &
  prefix_pid=$!
  background+=($prefix_pid)
  if tavrel_configure "$w" -DCMAKE_TOOLCHAIN_FILE="$TAVREL_TOOLCHAIN" && build "$w" &&
    { [ "$TAVREL_WIN" != win32 ] || package; } && wait "$prefix_pid" &&
    tavrel_start_slots "$slots" "$count" "$root/$w/wineprefix"; then
    wine_ready=1
  fi
fi
if [ "$wine_ready" = 1 ]; then
  (cd "$w" && exec ctest --output-on-failure -j"$count" --resource-spec-file "$slots/resources.json") \
    >"$logs/$TAVREL_WIN" 2>&1 &
  wine_pid=$!
  background+=($wine_pid)
else
  echo "test: the Windows and end-to-end tests could not start"
fi

for i in "${!names[@]}"; do
  wait "${pids[$i]}"
  echo "== ${names[$i]}"
  cat "$work/out-${names[$i]}"
done
if [ "$wine_ready" = 1 ]; then
  echo "== $TAVREL_WIN"
  tail -n +1 -f --pid="$wine_pid" "$logs/$TAVREL_WIN"
  wait "$wine_pid"
fi
tavrel_stop_slots "$slots"

# ctest counts a skipped test as passed; here it is counted apart. A run without its
# summary line (no tests found, its build or ctest itself failed) counts as one failure.
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
echo
if [ "$skipped" -gt 0 ]; then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
