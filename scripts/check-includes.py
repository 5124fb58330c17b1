#!/usr/bin/env python3
"""Checks the include graph of the rooms: no include runs upward and no include cycle.

Every room has a rank; a file may include only files of its own room or of rooms of lower
rank. Rooms of the same rank are peers and do not include each other (the formats, the
portable kernels beside the shared codecs). A room's win/ and native/ folders belong to it.
Then the components must form no cycle: a header and the source file of the same name are one
component, since the source defines what the header declares, so a header that includes B
while B's source includes that header is a cycle even though no file includes itself. Prints
each fault; exits 1 when there is one.

With --objects TREE it also checks the built objects of a native tree (after a build): a
component that uses a symbol defined in another one depends on it, whether or not it
includes that one's header (a header whose definitions live in another component's source),
and these links must form no cycle either.

Usage: scripts/check-includes.py [top] [--objects TREE]   (top defaults to the checkout
holding this script)
"""
import os
import re
import subprocess
import sys

FORMATS = ("bmp", "png", "jpeg", "gif", "tiff")

# Lower ranks sit below higher ones.
RANKS = {
    "common": 0,
    "kernels": 1,
    "codecs": 1,
    **{"codecs/" + f: 2 for f in FORMATS},
    "loading": 3,
    "shell/core": 4,
    "view/core": 4,
    "shell": 5,
    "view": 5,
    "imagewin/core": 5,
    "imagewin": 6,
    "viewer/core": 6,
    "viewer": 7,
    "app": 8,
    "cli": 8,
}

# Cycles that were there when the check moved to components, in areas still being reworked.
# Each must not grow; one that is broken is reported so that it leaves this list.
KNOWN_CYCLES = [
    {"kernels/adjust_context", "kernels/lookup_tables"},
    {"kernels/filter_rows", "kernels/filter_work"},
    {"view/core/view_geometry", "view/core/view_mapping"},
    {
        "imagewin/edit_bars", "imagewin/edit_commands", "imagewin/edit_history_window",
        "imagewin/edit_menus", "imagewin/edit_panes", "imagewin/edit_state", "imagewin/edit_tool_host",
        "imagewin/edit_window", "imagewin/image_commands_win",
        "imagewin/image_file_list_win", "imagewin/image_view_win", "imagewin/image_windows",
        "imagewin/save_dialog", "imagewin/save_edit_image", "imagewin/save_preview",
        "imagewin/saving_seam", "imagewin/tool_host", "imagewin/undo_history_win",
    },
]

# The same for the links between components.
KNOWN_LINK_CYCLES = [
    {"loading/browser_load", "loading/browser_load_readers"},
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room_of(path):
    parts = path.split("/")
    if len(parts) > 2 and parts[0] == "codecs" and parts[1] in FORMATS:
        return "codecs/" + parts[1]
    if len(parts) > 2 and parts[1] == "core" and parts[0] + "/core" in RANKS:
        return parts[0] + "/core"
    return parts[0] if parts[0] in RANKS else None


def source_files(top):
    for name in sorted({r.split("/")[0] for r in RANKS}):
        for folder, _, files in os.walk(os.path.join(top, name)):
            for f in files:
                if f.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(folder, f), top)


def strongly_connected(graph):
    """The cycles of a graph: Tarjan's strongly connected components, iteratively."""
    index, low, on_stack, stack, order = {}, {}, set(), [], [0]
    cycles = []
    for start in graph:
        if start in index:
            continue
        work = [(start, 0)]
        while work:
            node, i = work.pop()
            if i == 0:
                index[node] = low[node] = order[0]
                order[0] += 1
                stack.append(node)
                on_stack.add(node)
            children = graph.get(node, [])
            if i < len(children):
                work.append((node, i + 1))
                child = children[i]
                if child not in index:
                    work.append((child, 0))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            if low[node] == index[node]:
                component = []
                while True:
                    top_node = stack.pop()
                    on_stack.discard(top_node)
                    component.append(top_node)
                    if top_node == node:
                        break
                if len(component) > 1 or node in graph.get(node, []):
                    cycles.append(sorted(component))
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
    return cycles


def link_graph(tree):
    """Component -> components whose symbols its objects use, from the objects of a tree."""
    objects = {}
    for folder, _, files in os.walk(tree):
        # The libraries: a program's own files (codectool's main and its formats) call each
        # other by design and no library can reach them.
        if os.sep + "px_" not in folder or ".dir" not in folder:
            continue
        for f in files:
            if f.endswith((".cpp.o", ".cpp.obj")):
                path = os.path.join(folder, f)
                rel = path.split(".dir" + os.sep, 1)[1]
                if room_of(rel) is not None:
                    objects[path] = rel.rsplit(".cpp.", 1)[0]
    defined, used = {}, {}
    for path, component in objects.items():
        listing = subprocess.run(["nm", "-P", path], capture_output=True, text=True).stdout
        for line in listing.splitlines():
            fields = line.split()
            if len(fields) < 2:
                continue
            if fields[1] == "U":
                used.setdefault(component, set()).add(fields[0])
            elif fields[1] in "TDBR":  # weak and common symbols (inline code) belong to nobody
                defined.setdefault(fields[0], component)
    graph = {c: [] for c in objects.values()}
    for component, symbols in used.items():
        for s in symbols:
            owner = defined.get(s)
            if owner and owner != component and owner not in graph[component]:
                graph[component].append(owner)
    return graph


def cycle_edges(graph, component):
    """The includes inside a cycle, so the fault says which one to move."""
    members = set(component)
    return ", ".join(f"{a} -> {b}" for a in component for b in graph.get(a, []) if b in members)


def main():
    args = sys.argv[1:]
    objects_tree = None
    if "--objects" in args:
        at = args.index("--objects")
        objects_tree = args[at + 1]
        del args[at : at + 2]
    top = args[0] if args else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    graph = {}
    faults = []
    notes = []
    for path in source_files(top):
        with open(os.path.join(top, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        targets = [t for t in INCLUDE.findall(text) if os.path.isfile(os.path.join(top, t))]
        graph[path] = targets
        source = room_of(path)
        for target in targets:
            dest = room_of(target)
            if dest is None or dest == source:
                continue
            if RANKS[dest] >= RANKS[source]:
                kind = "sideways" if RANKS[dest] == RANKS[source] else "upward"
                faults.append(f"{kind}: {path} ({source}) includes {target} ({dest})")

    # The component graph: a.h and a.cpp are the node "a".
    files = graph
    graph = {}
    for path, targets in files.items():
        node = os.path.splitext(path)[0]
        edges = graph.setdefault(node, [])
        for target in targets:
            dest = os.path.splitext(target)[0]
            if dest != node and dest not in edges:
                edges.append(dest)

    cycles = strongly_connected(graph)
    found = [set(c) for c in cycles]
    for component in cycles:
        if set(component) in KNOWN_CYCLES:
            notes.append("known cycle: " + " <-> ".join(component))
        else:
            faults.append("cycle: " + " <-> ".join(component) + " (" + cycle_edges(graph, component) + ")")
    for known in KNOWN_CYCLES:
        if known not in found:
            notes.append("no longer a cycle (remove it from KNOWN_CYCLES): " + " <-> ".join(sorted(known)))

    if objects_tree:
        links = link_graph(objects_tree)
        link_cycles = strongly_connected(links)
        for component in link_cycles:
            if set(component) in KNOWN_LINK_CYCLES:
                notes.append("known link cycle: " + " <-> ".join(component))
            else:
                faults.append("link cycle: " + " <-> ".join(component) + " (" + cycle_edges(links, component) + ")")
        for known in KNOWN_LINK_CYCLES:
            if known not in [set(c) for c in link_cycles]:
                notes.append("no longer a link cycle (remove it from KNOWN_LINK_CYCLES): " + " <-> ".join(sorted(known)))

    for line in notes + faults:
        print(line)
    print(f"{len(files)} files, {len(graph)} components, {sum(len(t) for t in files.values())} includes, "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
