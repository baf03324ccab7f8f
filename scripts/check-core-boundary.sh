#!/usr/bin/env bash
# Fails when a core source (a subsystem folder's own files, not its win32/ folder)
# includes a Windows header or a Win32-layer header.
set -u
root=$1
bad=$(grep -nE '#\s*include\s*[<"](windows|winuser|wingdi|commctrl|commdlg|shellapi)\.h[>"]|#\s*include\s*"[a-z_]+/win32/' \
  "$root"/{app,reservations,engine,capture_settings,view}/*.{h,cpp} 2>/dev/null)
if [ -n "$bad" ]; then
  echo "core sources reach into the Win32 layer:"
  echo "$bad"
  exit 1
fi
echo "core boundary holds"
