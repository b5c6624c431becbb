#!/usr/bin/env python3
"""Fails when the folders of src/ include each other in a cycle.

A folder is src/<name>; a driver or platform folder below it (gfxdriver/opengldriver,
os/sdl, ...) counts as its own folder, since a driver includes the interface it
implements. Prints each cycle with the includes that close it."""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
DRIVERS = ('gfxdriver/', 'inputdriver/', 'sounddriver/', 'os/')


def folder(path):
    """The folder a file (relative to src/) belongs to."""
    parts = path.split('/')
    if len(parts) > 2 and (parts[0] + '/').startswith(DRIVERS) and parts[0] + '/' in DRIVERS:
        return parts[0] + '/' + parts[1]
    return parts[0]


edges = {}
for top, _, files in os.walk(ROOT):
    for name in files:
        if not name.endswith(('.h', '.cpp')):
            continue
        rel = os.path.relpath(os.path.join(top, name), ROOT)
        here = folder(rel)
        with open(os.path.join(top, name), errors='replace') as f:
            for line in f:
                m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                if not m or '/' not in m.group(1):
                    continue
                there = folder(m.group(1))
                if there != here and os.path.isdir(os.path.join(ROOT, m.group(1).split('/')[0])):
                    edges.setdefault(here, {}).setdefault(there, []).append(rel + ' -> ' + m.group(1))

# Tarjan's strongly connected components.
index, low, stack, on, cycles = {}, {}, [], set(), []


def visit(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on.add(v)
    for w in edges.get(v, {}):
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        comp = []
        while True:
            w = stack.pop()
            on.discard(w)
            comp.append(w)
            if w == v:
                break
        if len(comp) > 1:
            cycles.append(sorted(comp))


sys.setrecursionlimit(10000)
for v in sorted(edges):
    if v not in index:
        visit(v)
for comp in cycles:
    print('include cycle between src/ folders: ' + ', '.join(comp))
    for a in comp:
        for b in comp:
            for why in edges.get(a, {}).get(b, [])[:3]:
                print('    ' + why)
sys.exit(1 if cycles else 0)
