#!/usr/bin/env python3
# Include direction check: a runtime file may include headers of its own layer or lower
# ones, never the program's or the tests' files; and no two pieces of one layer lean on
# each other in a circle; a piece's insides are included only by the piece's own files.
# Prints each include against these rules.
import os
import re
import sys

# Lowest first; app/ sits above every runtime layer.
LAYERS = ["ground", "values", "console", "window", "top"]
# Insides of a piece, and the runtime files that may include them (by path prefix).
INTERNAL = {"runtime/values/string_storage.h": "runtime/values/string"}
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
                    header = line.split('"')[1]
                    if header in INTERNAL and not f"runtime/{folder}/{name}".startswith(INTERNAL[header]):
                        found.append(f"runtime/{folder}/{name}:{number}: includes the insides {header}")
    if scanned == 0:
        found.append(f"{runtime}: no source files found")
    return found


def circles(root):
    """Pieces (a header with the source file of the same name) that reach themselves
    through includes. A header without a source file of its own (the insides of a piece,
    a table of constants) belongs to whoever includes it and is not a piece."""
    runtime = os.path.join(root, "runtime")
    files = {}
    for folder in sorted(os.listdir(runtime)):
        path = os.path.join(runtime, folder)
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name.endswith((".cpp", ".h")):
                    files[f"runtime/{folder}/{name}"] = os.path.join(path, name)
    pieces = {f[:-2] for f in files if f.endswith(".h") and f[:-2] + ".cpp" in files}
    needs = {piece: set() for piece in pieces}
    for short, full in files.items():
        piece = short.rsplit(".", 1)[0]
        if piece not in pieces:
            continue
        with open(full, encoding="utf-8") as source:
            for line in source:
                match = re.match(r'^\s*#\s*include\s+"(runtime/[a-z_]+/[a-z_]+)\.h"', line)
                if match and match.group(1) in pieces and match.group(1) != piece:
                    needs[piece].add(match.group(1))
    found = []
    state = {}  # 1 on the current path, 2 done

    def visit(piece, path):
        state[piece] = 1
        path.append(piece)
        for other in sorted(needs[piece]):
            if state.get(other) == 1:
                found.append("circle: " + " -> ".join(path[path.index(other):] + [other]))
            elif other not in state:
                visit(other, path)
        path.pop()
        state[piece] = 2

    for piece in sorted(pieces):
        if piece not in state:
            visit(piece, [])
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = offences(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layer order {' < '.join(LAYERS)} or into another piece's insides")
    loops = circles(root)
    for line in loops:
        print(line)
    return 1 if found or loops else 0


if __name__ == "__main__":
    sys.exit(main())
