#!/usr/bin/env python3
"""Checks the layers of src/: the core's folders in one order, and the front
ends above it, each in a folder of its own.

The core's folders are listed from the bottom up: a file of the core may
include headers of its own folder and of the folders listed before it, never
of a later one, and never anything of a front end. A front end (src/win32,
src/term) may include the core and itself, never the other front end, and
no core folder holds front-end code. Usage: check_layers.py SRC-DIR. Prints
every include that breaks a rule and exits 1, or says that the layers hold
and exits 0.
"""
import pathlib
import re
import sys

LAYERS = ["common", "res", "seams", "settings", "console", "popup", "crypto", "net", "app"]
FRONT_ENDS = ["win32", "term"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def faults_of(src: pathlib.Path, path: pathlib.Path):
    parts = path.relative_to(src).parts
    folder = parts[0]
    if folder in FRONT_ENDS:
        for included in INCLUDE.findall(path.read_text()):
            top = pathlib.PurePosixPath(included).parts[0]
            if top in FRONT_ENDS and top != folder:
                yield f"{path}: the {folder} front end includes the {top} front end's {included}"
            elif top not in FRONT_ENDS and top not in LAYERS and len(pathlib.PurePosixPath(included).parts) > 1:
                yield f"{path}: includes {included}, which lies in no layer"
        return
    if folder not in LAYERS:
        yield f"{path}: folder {folder} has no place in the layers"
        return
    if any(part in FRONT_ENDS for part in parts[1:-1]):
        yield f"{path}: front-end code in the core's folder {folder}"
    for included in INCLUDE.findall(path.read_text()):
        top = pathlib.PurePosixPath(included).parts[0]
        if top in FRONT_ENDS:
            yield f"{path}: the core includes the front end's {included}"
        elif top not in LAYERS:
            yield f"{path}: includes {included}, which lies in no layer"
        elif LAYERS.index(top) > LAYERS.index(folder):
            yield f"{path}: {folder} includes {included}, a layer above it"


def main(src: pathlib.Path) -> int:
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix in (".h", ".cpp"):
            faults.extend(faults_of(src, path))
    for fault in faults:
        print(fault)
    if not faults:
        print("the layers hold: " + " < ".join(LAYERS) + " < " + " | ".join(FRONT_ENDS))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
