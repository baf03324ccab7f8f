#!/usr/bin/env bash
# Sourced: how the scripts configure a build folder.

# cmake -S . -B folder with Ninja, which builds in parallel what Make builds target after
# target. A folder first configured by another generator is configured afresh; the rest
# of it (a Wine prefix, say) stays.
tavrel_configure() {  # build folder, cmake arguments...
  local dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
  cmake -G Ninja -S . -B "$dir" "$@" >/dev/null
}
