#!/usr/bin/env bash
# The inner loop: builds the core's unit tests natively under ASan and UBSan (build/native,
# as scripts/test.sh does) and runs them in one process. Arguments go to GoogleTest, e.g.
#     bash scripts/unit.sh --gtest_filter='Scheduler.*'
# The whole suite, with the fuzz runs, the 32-bit and the Wine tests: bash scripts/test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
b=${TAVREL_BUILD:-build}
source scripts/cmake-env.sh
[ -f "$b/native/build.ninja" ] || tavrel_configure "$b/native" -DTAVREL_SANITIZE=ON
cmake --build "$b/native" -j"$(nproc 2>/dev/null || echo 2)" --target unit_tests
exec "$b/native/unit_tests" "$@"
