#!/usr/bin/env bash
# Runs one fuzz target from its committed seeds. New inputs go to a scratch folder, never
# into the committed corpus; a crashing input is written to that folder as crash-*.
# Usage: run-fuzzer.sh <fuzzer> <seed folder> <scratch folder> [libFuzzer options...]
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work/corpus"
# The table target needs room for a whole table and its parameters; the settings target for
# files beyond the 32000 bytes that the program reads at most; the journal target pads its
# input past the 256 KiB read by itself, so a few lines are enough; the iEPG target for
# files past the 64 KiB refused.
case "$(basename "$fuzzer")" in
  fuzz_schedule_table) max_len=11200 ;;
  fuzz_journal) max_len=16384 ;;
  fuzz_iepg) max_len=66000 ;;
  *) max_len=40000 ;;
esac
exec "$fuzzer" -max_len=$max_len -artifact_prefix="$work/" -print_final_stats=1 "$@" \
  "$work/corpus" "$seeds"
