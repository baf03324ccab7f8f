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
0 to 3) include no Windows header either: they build on a host that has none. The engine
speaks its own words to the main dialog: it includes nothing of resources/. Within a
folder, the modules (a .h with its .cpp) include each other without a circle, so that
each folder can be read from a bottom module up.
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
INCLUDE_PATH = re.compile(r'#\s*include\s*"([^"]+)"')
FORBIDDEN = {"engine": {"resources"}}


def circles(root, folder):
    """The circles between the modules of one folder, each as a list of module names."""
    edges = {}
    for path in sorted((root / folder).glob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        module = path.stem
        edges.setdefault(module, set())
        for line in path.read_text(encoding="utf-8").splitlines():
            m = INCLUDE_PATH.search(line)
            if not m:
                continue
            target = pathlib.PurePosixPath(m.group(1))
            if str(target.parent) == folder and target.stem != module:
                edges[module].add(target.stem)
    found, state = [], {}

    def visit(module, trail):
        state[module] = "open"
        for nxt in sorted(edges.get(module, ())):
            if state.get(nxt) == "open":
                found.append(trail[trail.index(nxt):] + [nxt])
            elif nxt in edges and nxt not in state:
                visit(nxt, trail + [nxt])
        state[module] = "done"

    for module in sorted(edges):
        if module not in state:
            visit(module, [module])
    return found


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
                if target in FORBIDDEN.get(folder, ()):
                    bad.append(f"{name}:{number}: {folder}/ includes nothing of {target}/: {line.strip()}")
                if target != folder and RANKS[target] >= rank:
                    bad.append(f"{name}:{number}: rank {rank} includes rank {RANKS[target]}: {line.strip()}")
        for circle in circles(root, folder):
            bad.append(f"{folder}/: modules include each other in a circle: {' -> '.join(circle)}")
    if bad:
        print("includes that run upward, into a forbidden folder or in a circle:")
        print("\n".join(bad))
        return 1
    print("every include points down the ranks")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
