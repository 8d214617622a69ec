#!/usr/bin/env python3
# Counts the program's includes by folder (each file in its own folder, so
# session/state/ is not session/) and fails when they form a cycle, or when a
# folder other than app/ includes session/ (Main and the launch step).
#
# The one cycle allowed is settings/ with repeater/: the settings defaults
# prepare the probe's socket, the download checks fetched values with the
# settings' checks. Usage: layers_check.py [source root]
import collections, pathlib, re, sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
skip = ("tests", "bench", "build", "out", ".")
edges = collections.Counter()
for path in sorted(root.rglob("*.[ch]*")):
    rel = path.relative_to(root)
    if path.suffix not in (".h", ".cpp") or rel.parts[0].startswith(skip):
        continue
    for target in re.findall(r'^\s*#\s*include\s+"([^"]+/[^"/]+)"', path.read_text(), re.M):
        here, there = rel.parent.as_posix(), pathlib.PurePosixPath(target).parent.as_posix()
        if here != there and (root / target).is_file():
            edges[here, there] += 1

graph = collections.defaultdict(set)
for (here, there), count in sorted(edges.items()):
    print(f"{here:18} -> {there:18} {count}")
    graph[here].add(there)

def reach(start):
    seen, todo = set(), [start]
    while todo:
        for nxt in graph[todo.pop()] - seen:
            seen.add(nxt)
            todo.append(nxt)
    return seen

faults = [f"cycle: {a} <-> {b}" for a in sorted(graph) for b in sorted(reach(a))
          if a < b and a in reach(b) and (a, b) != ("repeater", "settings")]
faults += [f"{a} includes session/" for (a, b) in edges if b == "session" and a != "app"]
print("\n".join(faults) or "one way, but for settings <-> repeater")
sys.exit(1 if faults else 0)
