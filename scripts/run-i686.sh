#!/usr/bin/env bash
# Runs a static 32-bit Linux program: natively where the kernel runs 32-bit code, else
# through qemu-i386-static, called directly (no binfmt registration needed).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TAVREL_RUNS_32BIT:-}" ]; then
  source "$here/wine-env.sh"
  if tavrel_runs_32bit; then TAVREL_RUNS_32BIT=1; else TAVREL_RUNS_32BIT=0; fi
fi
if [ "$TAVREL_RUNS_32BIT" = 1 ]; then exec "$@"; fi
exec qemu-i386-static "$@"
