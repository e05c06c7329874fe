#!/usr/bin/env python3
"""Checks the source tree's layer order: a folder may include only folders before it.

  check_layers.py SRC_DIR LAYER [LAYER ...]

LAYERs are given lowest first; one layer may hold sibling folders joined by '+'
("evidence+stamp"), which may not include each other. Every `#include "folder/..."`
line of a file under SRC_DIR/<folder>/ is checked; a subfolder (stamp/boot) belongs to
its top folder. Prints each offending line and exits 1 when there is any.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/')


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip())
        return 2
    src, layers = argv[1], argv[2:]
    level = {}
    for rank, layer in enumerate(layers):
        for folder in layer.split("+"):
            level[folder] = rank
    problems = []
    checked = 0
    for top in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, top)):
            continue
        if top not in level:
            problems.append(f"{top}/: a folder missing from the layer order")
            continue
        for root, _, files in os.walk(os.path.join(src, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".hpp", ".c", ".cpp")):
                    continue
                path = os.path.join(root, name)
                checked += 1
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match or match.group(1) not in level or match.group(1) == top:
                            continue
                        target = match.group(1)
                        if level[target] >= level[top]:
                            kind = "a sibling" if level[target] == level[top] else "a folder above it"
                            rel = os.path.relpath(path, src)
                            problems.append(f"{rel}:{number}: {top}/ includes {kind}: {line.strip()}")
    for problem in problems:
        print(problem)
    print(f"layer check: {checked} files, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
