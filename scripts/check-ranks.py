#!/usr/bin/env python3
"""Fails when an include runs upward through the ranks of the source tree.

The ranks, bottom up (the README's layout table shows the same):
  0 base/ and resources/: platform interfaces, Shift-JIS, calendar, the capture
    application's fixed interface, resource ids
  1 reservations/
  2 capture_settings/ and view/ (side by side: neither includes the other)
  3 engine/
  4 base/win32/   5 reservations/win32/   6 capture_settings/win32/, view/win32/
  7 engine/win32/
  8 app/: process entry and main dialog, the one place that knows every subsystem
A file may include headers of its own folder and of lower ranks only. The cores (ranks
0 to 3) include no Windows header either: they build on a host that has none.
"""
import pathlib
import re
import sys

RANKS = {
    "base": 0, "resources": 0,
    "reservations": 1,
    "capture_settings": 2, "view": 2,
    "engine": 3,
    "base/win32": 4,
    "reservations/win32": 5,
    "capture_settings/win32": 6, "view/win32": 6,
    "engine/win32": 7,
    "app": 8, "app/win32": 8,
}
CORE_TOP = 3
WINDOWS_HEADER = re.compile(
    r'#\s*include\s*[<"](windows|winuser|wingdi|commctrl|commdlg|shellapi|shlobj)\.h[>"]', re.I)
PROJECT_INCLUDE = re.compile(r'#\s*include\s*"([^"]+)/[^/"]+"')


def folder_of(relative):
    return str(pathlib.PurePosixPath(relative).parent)


def main(root):
    root = pathlib.Path(root)
    bad = []
    for folder, rank in RANKS.items():
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            name = f"{folder}/{path.name}"
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                if rank <= CORE_TOP and WINDOWS_HEADER.search(line):
                    bad.append(f"{name}:{number}: a core file includes a Windows header: {line.strip()}")
                m = PROJECT_INCLUDE.search(line)
                if not m or m.group(1) not in RANKS:
                    continue
                target = m.group(1)
                if target != folder and RANKS[target] >= rank:
                    bad.append(f"{name}:{number}: rank {rank} includes rank {RANKS[target]}: {line.strip()}")
    if bad:
        print("includes that run upward:")
        print("\n".join(bad))
        return 1
    print("every include points down the ranks")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
