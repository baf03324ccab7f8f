#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix of its bitness.
# Usage: wine-run.sh [--bits=32|--bits=64] program.exe [arguments...]
# The bitness is the build's (the toolchain passes it); without it, the machine's choice.
# The prefix lives in the build folder: the Wine slot's when ctest gave the test one (see
# scripts/wine-slots.sh), else WINEPREFIX, TAVREL_WINEPREFIX, or ./wineprefix under the
# current folder (where ctest runs); never in the user's home.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
case "${1:-}" in
  --bits=32|--bits=64) bits=${1#--bits=}; shift ;;
  *) tavrel_choose_bits; bits=$TAVREL_BITS ;;
esac
tavrel_wine_env "$bits"
if [ -n "${CTEST_RESOURCE_GROUP_0_WINE_SLOTS:-}" ]; then
  # A Wine slot from ctest (scripts/wine-slots.sh): its prefix and display, whatever the
  # environment says, since tests run side by side must never share them.
  slot=${CTEST_RESOURCE_GROUP_0_WINE_SLOTS#id:}
  slot=${TAVREL_SLOTS:-}/${slot%%,*}
  if [ ! -f "$slot/wineprefix/system.reg" ] || [ ! -s "$slot/display" ]; then
    echo "wine-run: no Wine slot prepared in $slot (scripts/test.sh prepares them)" >&2
    exit 1
  fi
  export WINEPREFIX=$slot/wineprefix
  DISPLAY=$(cat "$slot/display")
  export DISPLAY
elif [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=${TAVREL_WINEPREFIX:-$PWD/wineprefix}
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$here/wine-prefix.sh" "$WINEPREFIX" "$bits"
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no DISPLAY; start Xvfb first (scripts/test.sh does)" >&2
fi
exec "$TAVREL_WINE" "$@"
