#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix of its bitness.
# Usage: wine-run.sh [--bits=32|--bits=64] program.exe [arguments...]
# The bitness is the build's (the toolchain passes it); without it, the machine's choice.
# The prefix lives in the build folder (TAVREL_WINEPREFIX, or ./wineprefix under the
# current folder, which is where ctest runs), never in the user's home.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
case "${1:-}" in
  --bits=32|--bits=64) bits=${1#--bits=}; shift ;;
  *) tavrel_choose_bits; bits=$TAVREL_BITS ;;
esac
tavrel_wine_env "$bits"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=${TAVREL_WINEPREFIX:-$PWD/wineprefix}
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$here/wine-prefix.sh" "$WINEPREFIX" "$bits"
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no DISPLAY; start Xvfb first (scripts/test.sh does)" >&2
fi
exec "$TAVREL_WINE" "$@"
