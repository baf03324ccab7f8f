#!/usr/bin/env bash
# Sourced: makes sure an X display is there for Wine. Starts Xvfb on a free display
# number when DISPLAY is unset (or not answering), and stops it when the shell exits.
tavrel_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      TAVREL_XVFB_PID=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
      done
      trap 'kill $TAVREL_XVFB_PID 2>/dev/null || true' EXIT
      return 0
    fi
  done
  echo "xvfb: no free display" >&2
  return 1
}
