#!/usr/bin/env bash
# Sourced, after wine-env.sh (with tavrel_wine_env done) and xvfb.sh: Wine slots, so that
# Windows test programs run side by side without seeing each other. Two programs in one
# prefix share a wineserver, and with it the single-instance mutex and every window that
# the tests search for; two copies of a prefix do not.
#
# Slot i of folder holds i/wineprefix (a copy of a prepared prefix), i/display (the
# display of an Xvfb of its own) and a wineserver with Wine's services already running, so
# that no test program starts them (ctest would wait for them, as they hold its output).
# folder/resources.json lists ctest's resources: one "wine_slots" resource per slot. A
# test that asks for one (RESOURCE_GROUPS wine_slots:1) is told its slot in
# CTEST_RESOURCE_GROUP_0_WINE_SLOTS, and scripts/wine-run.sh runs it there.

# Starts count slots in folder from the prepared prefix.
tavrel_start_slots() {  # folder, count, prepared prefix
  local dir=$1 count=$2 base=$3 i pids=()
  tavrel_stop_slots "$dir"
  rm -rf "$dir"
  for ((i = 0; i < count; i++)); do
    mkdir -p "$dir/$i"
    cp -a --reflink=auto "$base" "$dir/$i/wineprefix" || return 1
    tavrel_new_xvfb || return 1
    echo "$TAVREL_XVFB_DISPLAY" >"$dir/$i/display"
  done
  for ((i = 0; i < count; i++)); do
    (
      export WINEPREFIX=$dir/$i/wineprefix DISPLAY=$(cat "$dir/$i/display")
      "$WINESERVER" -p300 2>/dev/null
      "$TAVREL_WINE" cmd /c exit >/dev/null 2>&1 </dev/null
    ) &
    pids+=($!)
  done
  # (Only these: a bare wait would wait for the Xvfb servers too.)
  for i in "${pids[@]}"; do wait "$i"; done
  {
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"wine_slots": ['
    for ((i = 0; i < count; i++)); do
      [ "$i" -gt 0 ] && printf ', '
      printf '{"id": "%d"}' "$i"
    done
    printf ']}]}\n'
  } >"$dir/resources.json"
}

# Ends the wineservers, and so every Wine program, of the slots in folder.
tavrel_stop_slots() {  # folder
  local prefix
  for prefix in "$1"/*/wineprefix; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null
  done
  return 0
}
