#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds (default 600), one after the other,
# at low priority, from its committed seeds. Builds them first in the native build folder.
# New inputs and any crash-* input land in <build>/native/tests/fuzz/long/<target>/.
# Usage: bash scripts/fuzz-long.sh [seconds] [target...]
#   (TAVREL_BUILD=<folder root> as for scripts/test.sh; targets: fuzz_schedule_table,
#   fuzz_settings_file, fuzz_journal, fuzz_iepg; default all four)
set -euo pipefail
shopt -s extglob
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_schedule_table fuzz_settings_file fuzz_journal fuzz_iepg)
b=${TAVREL_BUILD:-build}
cmake -S . -B "$b/native" >/dev/null
cmake --build "$b/native" -j2 --target fuzzers
status=0
for t in "${targets[@]}"; do
  echo "== $t for $seconds s"
  nice -n 10 tests/fuzz/run-fuzzer.sh "$b/native/tests/fuzz/$t" "tests/fuzz/corpus/$t" \
    "$b/native/tests/fuzz/long/$t" -max_total_time="$seconds" 2>&1 |
    grep -E '^(Done|stat::|SUMMARY|==[0-9]+==|.*broken:|artifact_prefix)' || true
  if compgen -G "$b/native/tests/fuzz/long/$t/@(crash|leak|oom|timeout)-*" >/dev/null; then
    echo "$t: failing input (crash-, leak-, oom- or timeout-) in $b/native/tests/fuzz/long/$t/"; status=1
  fi
done
exit $status
