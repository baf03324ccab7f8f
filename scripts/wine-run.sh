#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own 32-bit prefix.
# The prefix lives in the build folder (TAVREL_WINEPREFIX, or ./wineprefix under the
# current folder, which is where ctest runs), never in the user's home.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=${TAVREL_WINEPREFIX:-$PWD/wineprefix}
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$here/wine-prefix.sh" "$WINEPREFIX"
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no DISPLAY; start Xvfb first (scripts/test.sh does)" >&2
fi
exec wine "$@"
