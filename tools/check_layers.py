#!/usr/bin/env python3
"""Checks that the core's folders include one another in one order.

The folders below are listed from the bottom up: a file may include headers
of its own folder and of the folders listed before it, never of a later one,
and no file of the core includes a front end (a win32/ or term/ folder).
Usage: check_layers.py SRC-DIR. Prints every include that breaks the order
and exits 1, or says that the layers hold and exits 0.
"""
import pathlib
import re
import sys

LAYERS = ["common", "res", "seams", "settings", "console", "popup", "net", "app"]
FRONT_ENDS = ("win32", "term")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def main(src: pathlib.Path) -> int:
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or any(part in FRONT_ENDS for part in path.parts):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LAYERS:
            faults.append(f"{path}: folder {folder} has no place in the layers")
            continue
        for included in INCLUDE.findall(path.read_text()):
            parts = pathlib.PurePosixPath(included).parts
            if any(part in FRONT_ENDS for part in parts):
                faults.append(f"{path}: includes the front end's {included}")
            elif parts[0] not in LAYERS:
                faults.append(f"{path}: includes {included}, which lies in no layer")
            elif LAYERS.index(parts[0]) > LAYERS.index(folder):
                faults.append(f"{path}: {folder} includes {included}, a layer above it")
    for fault in faults:
        print(fault)
    if not faults:
        print("the layers hold: " + " < ".join(LAYERS))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
