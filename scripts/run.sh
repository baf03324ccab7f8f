#!/usr/bin/env bash
# Builds tavrel.exe (installing what it needs first) and starts it under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j"$(nproc 2>/dev/null || echo 2)" --target tavrel
echo "built: build/win32/tavrel.exe (the main dialog is not there yet, so nothing is started)"
