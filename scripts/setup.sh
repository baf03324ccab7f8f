#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again:
# it does nothing when everything is already there. Needs root (apt-get).
# 32-bit Wine only where this machine runs 32-bit code; elsewhere 64-bit Wine runs the
# 64-bit build and qemu-i386-static the 32-bit unit tests (see scripts/wine-env.sh).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

packages=(
  cmake ninja-build g++ g++-multilib make googletest libgtest-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb xauth x11-utils imagemagick fonts-ipafont-gothic
  clang libclang-rt-14-dev valgrind python3 python3-fonttools
)
if tavrel_runs_32bit; then
  packages+=(wine32:i386)
else
  packages+=(qemu-user-static)
fi

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}
  arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  q="$name"; [ -n "$arch" ] && q="$name:$arch"
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
case " ${missing[*]} " in
  *:i386*)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
