#!/usr/bin/env python3
# Layer check: includes and calls run one way, from higher layers to lower ones.
#
# Reads every runtime source file's includes: a file may include headers of its own layer
# or lower ones, never the program's or the tests' files, and a piece's insides only from
# the piece's own files. With a build folder, also reads the build's link graph: for every
# runtime object file, the symbols it defines and the ones it needs (nm), which gives an
# edge from each object to each object it calls or reads. It fails on an edge that goes up
# the layers and on objects that reach themselves through such edges (a circle: neither
# could be linked, tested or replaced without the other). Prints each offence.
#
#   check_layers.py SOURCE_ROOT [BUILD_FOLDER]
import glob
import os
import re
import subprocess
import sys

# Lowest first; app/ sits above every runtime layer. Each layer is a static library of
# the same name, built from runtime/<layer>/ (plus generated sources of its own). The two
# front-ends share a rank: both stand on console, top uses both, and neither may reach the
# other.
LAYERS = ["ground", "values", "console", "window", "terminal", "top"]
RANKS = {"ground": 0, "values": 1, "console": 2, "window": 3, "terminal": 3, "top": 4}
# Insides of a piece, and the runtime files that may include them (by path prefix).
INTERNAL = {"runtime/values/string_storage.h": "runtime/values/string"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/(?:([a-z_]+)/)?[^"]*"')


def rank(folder):
    return RANKS.get(folder)


def reaches_up(own, target):
    """A layer may use its own layer and lower ones, never a higher one nor a peer."""
    return rank(target) > rank(own) or (rank(target) == rank(own) and target != own)


def include_offences(root):
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
                    if target is None or reaches_up(folder, folder_below):
                        found.append(f"runtime/{folder}/{name}:{number}: {line.strip()}")
                    header = line.split('"')[1]
                    if header in INTERNAL and not f"runtime/{folder}/{name}".startswith(INTERNAL[header]):
                        found.append(f"runtime/{folder}/{name}:{number}: includes the insides {header}")
    if scanned == 0:
        found.append(f"{runtime}: no source files found")
    return found


def symbols(obj, *flags):
    out = subprocess.run(["nm", "-P", *flags, obj], capture_output=True, text=True, check=True).stdout
    return [line.split() for line in out.splitlines() if line.strip()]


def demangle(name):
    out = subprocess.run(["c++filt", name], capture_output=True, text=True).stdout.strip()
    return out or name


def link_graph(build):
    """Objects by name ("<layer>: <source>") with their layer, and the edges between them,
    each with one symbol that makes it."""
    objects = {}
    for layer in LAYERS:
        folder = os.path.join(build, "runtime", "CMakeFiles", f"{layer}.dir")
        for obj in sorted(glob.glob(os.path.join(folder, "**", "*.o"), recursive=True)):
            source = os.path.relpath(obj, folder)[: -len(".o")].replace("__/", "")
            objects[f"{layer}: {source}"] = (layer, obj)
    defined = {}
    needed = {}
    for name, (_, obj) in objects.items():
        # Strong definitions only: inline functions and templates (weak) belong to headers.
        for fields in symbols(obj, "--defined-only"):
            if len(fields) >= 2 and fields[1] in "TDBR":
                defined.setdefault(fields[0], name)
        needed[name] = [fields[0] for fields in symbols(obj, "--undefined-only")]
    edges = {name: {} for name in objects}
    for name, wanted in needed.items():
        for symbol in wanted:
            target = defined.get(symbol)
            if target and target != name:
                edges[name].setdefault(target, symbol)
    return objects, edges


def link_offences(build):
    objects, edges = link_graph(build)
    if not objects:
        return [f"{build}: no runtime object files found (build first)"]
    found = []
    for name, targets in sorted(edges.items()):
        for target, symbol in sorted(targets.items()):
            if reaches_up(objects[name][0], objects[target][0]):
                found.append(f"call up: {name} -> {target} ({demangle(symbol)})")
    # Circles: strongly connected groups of more than one object (Tarjan).
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for other in sorted(edges[node]):
            if other not in index:
                visit(other)
                low[node] = min(low[node], low[other])
            elif other in on_stack:
                low[node] = min(low[node], index[other])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in index:
            visit(node)
    for group in groups:
        found.append("circle: " + ", ".join(group))
        for name in group:
            for target, symbol in sorted(edges[name].items()):
                if target in group:
                    found.append(f"    {name} -> {target} ({demangle(symbol)})")
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = include_offences(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layer order ground < values < console < window, terminal < top"
              " or into another piece's insides")
    calls = link_offences(sys.argv[2]) if len(sys.argv) > 2 else []
    for line in calls:
        print(line)
    return 1 if found or calls else 0


if __name__ == "__main__":
    sys.exit(main())
