#!/usr/bin/env bash
# Sourced: X displays for Wine. Xvfb picks its own free display number (-displayfd), so
# that servers started at the same moment never race for one.
TAVREL_XVFB_PIDS=()

# Starts one Xvfb; sets TAVREL_XVFB_DISPLAY (":N") once it takes connections.
tavrel_new_xvfb() {
  local out pid i
  out=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 </dev/null &
  pid=$!
  TAVREL_XVFB_PIDS+=("$pid")
  # The number is written, with a newline, once the server listens.
  for i in $(seq 1 300); do
    if grep -q '^[0-9][0-9]*$' "$out" 2>/dev/null; then
      TAVREL_XVFB_DISPLAY=":$(head -1 "$out")"
      rm -f "$out"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$out"
  echo "xvfb: Xvfb did not start" >&2
  return 1
}

tavrel_stop_xvfb() {
  local pid
  for pid in "${TAVREL_XVFB_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  TAVREL_XVFB_PIDS=()
}

# Makes sure DISPLAY answers: starts an Xvfb when it is unset or not answering, and stops
# it when the shell exits.
tavrel_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  tavrel_new_xvfb || return 1
  trap tavrel_stop_xvfb EXIT
  export DISPLAY=$TAVREL_XVFB_DISPLAY
}
