#!/usr/bin/env python3
# Include direction check: a runtime file may include headers of its own layer or lower
# ones, never the program's or the tests' files. Prints each include against the order.
import os
import re
import sys

# Lowest first; app/ sits above every runtime layer.
LAYERS = ["ground", "values", "console", "window", "top"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/(?:([a-z_]+)/)?[^"]*"')


def rank(folder):
    return LAYERS.index(folder) if folder in LAYERS else None


def offences(root):
    found = []
    scanned = 0
    runtime = os.path.join(root, "runtime")
    for folder in sorted(os.listdir(runtime)):
        path = os.path.join(runtime, folder)
        if not os.path.isdir(path):
            continue
        own = rank(folder)
        if own is None:
            found.append(f"runtime/{folder}: a folder outside the layer list")
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            scanned += 1
            with open(os.path.join(path, name), encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    top, folder_below = match.groups()
                    target = rank(folder_below) if top == "runtime" else None
                    if target is None or target > own:
                        found.append(f"runtime/{folder}/{name}:{number}: {line.strip()}")
    if scanned == 0:
        found.append(f"{runtime}: no source files found")
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = offences(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layer order {' < '.join(LAYERS)}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
