#!/usr/bin/env bash
# Sourced: which Windows build runs on this machine, and Wine set up for it.
#
# The 32-bit build is the product. It runs under 32-bit Wine only where the kernel runs
# 32-bit x86 code; many machines have that switched off, and there the 64-bit build of the
# same sources runs under 64-bit Wine instead. Which one is decided by trying, never by
# guessing from the distribution.

# 0 when this machine runs 32-bit x86 code natively: a tiny 32-bit ELF that only exits
# with status 7 must run and return 7, and not through an emulator registered for i386
# (binfmt_misc would then run it, slowly, in user-mode emulation).
tavrel_runs_32bit() {
  local entry magic
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    case "${entry##*/}" in register|status) continue ;; esac
    grep -qx enabled "$entry" 2>/dev/null || continue
    case "${entry##*/}" in *i386*|*i486*|*i586*|*i686*) return 1 ;; esac
    magic=$(sed -n 's/^magic //p' "$entry" 2>/dev/null)
    # ELF, 32-bit, little-endian, e_machine 3 (i386)
    if [ "${magic:0:12}" = 7f454c460101 ] && [ "${magic:36:4}" = 0300 ]; then return 1; fi
  done
  local dir status
  dir=$(mktemp -d) || return 1
  # ELF header, one loadable segment, then: mov eax,1 (exit); mov ebx,7; int 0x80
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x07\x00\x00\x00\xcd\x80' >"$dir/exit7"
  chmod +x "$dir/exit7"
  "$dir/exit7" 2>/dev/null
  status=$?
  rm -rf "$dir"
  [ "$status" -eq 7 ]
}

# Sets TAVREL_BITS (32 or 64; an existing TAVREL_BITS=64 is kept, to try the 64-bit build
# on a machine that could run either).
tavrel_choose_bits() {
  if [ "${TAVREL_BITS:-}" != 64 ]; then
    if tavrel_runs_32bit; then TAVREL_BITS=32; else TAVREL_BITS=64; fi
  fi
  export TAVREL_BITS
}

# Wine for a build of $1 bits (default TAVREL_BITS). Debian's /usr/bin/wine takes the 32-bit
# loader whenever it is installed, even where it cannot run, so the loader and the server
# are named here. Exports WINEARCH, WINELOADER, WINESERVER; sets TAVREL_WINE (the loader to
# run), TAVREL_WIN (the build folder's name: win32 or win64) and TAVREL_TOOLCHAIN (its
# CMake toolchain file).
tavrel_wine_env() {
  local bits=${1:-$TAVREL_BITS}
  if [ "$bits" = 32 ]; then
    TAVREL_WIN=win32 TAVREL_TOOLCHAIN=cmake/mingw-i686.cmake
    WINEARCH=win32 WINELOADER=/usr/lib/wine/wine
    WINESERVER=/usr/lib/wine/wineserver32
    [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver64
  else
    TAVREL_WIN=win64 TAVREL_TOOLCHAIN=cmake/mingw-x86_64.cmake
    WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    WINESERVER=/usr/lib/wine/wineserver64
  fi
  TAVREL_WINE=$WINELOADER
  export WINEARCH WINELOADER WINESERVER
  # Wine turns file names into the locale's character set: without a UTF-8 locale (none at
  # all under env -i) it cannot make a file whose name holds Japanese.
  if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then export LC_ALL=C.UTF-8; fi
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}
