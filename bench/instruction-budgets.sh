#!/usr/bin/env bash
# Counts, with callgrind, the instructions of one call of each hot path of the core and
# checks them against their budgets. Prints the figures; fails when one is over budget.
# Usage: instruction-budgets.sh path/to/core_bench
set -u
bench=$1
# Budgets (instructions per call).
# They were set at what the code reaches on the project's machine plus a margin, well
# below the first targets (200,000 for a tick, 300,000 for a paint).
declare -A budget=(
  [bench_idle_tick]=10000                 # a tick while idle, 40 reservations, none due
  [bench_first_tick_of_day]=120000        # the first tick after start: every period and window
  [bench_first_tick_of_next_day]=40000    # the first tick of a new day: every window again
  [bench_full_paint]=180000               # one paint of the full week, canvas drawing nothing
)
status=0
for fn in bench_idle_tick bench_first_tick_of_day bench_first_tick_of_next_day bench_full_paint; do
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$fn" "$bench" >/dev/null 2>&1
  n=$(grep -E '^summary:|^totals:' "$out" | head -1 | awk '{print $2}')
  rm -f "$out"
  if [ -z "$n" ]; then
    echo "$fn: no figure (valgrind failed)"
    status=1
    continue
  fi
  verdict=ok
  if [ "$n" -gt "${budget[$fn]}" ]; then verdict="OVER BUDGET"; status=1; fi
  printf '%-26s %9d instructions (budget %d) %s\n' "$fn" "$n" "${budget[$fn]}" "$verdict"
done
exit $status
