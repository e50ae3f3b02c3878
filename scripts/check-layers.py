#!/usr/bin/env python3
"""Fails when a folder of src/ includes a folder on a higher floor.

Each folder stands on the ones below it: it may include its own floor and
every lower one, never a higher one. A low folder that must tell a high one
something calls an owner interface or emits a signal instead. Quoted includes
("folder/File.h") and the custom-widget headers of Designer files count;
tools/, tests/, bench/ and fuzz/ sit on top and are not checked.

Usage: check-layers.py [SRC-DIR]   (default: the src/ beside this script)
"""
import os
import re
import sys

# Lowest floor first. A new folder goes into this table, nowhere else.
FLOORS = [
    ("platform", "model"),
    ("params",),
    ("records",),
    ("display", "dialogs"),
    ("instrument", "analysis", "surfacewave", "upload", "browser"),
    ("app",),
]

FLOOR_OF = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')
UI_HEADER = re.compile(r"<header>\s*([^<>/]+)/")
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc", ".ui")


def problems_in(src):
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    problems = [
        f"src/{d}: folder missing from the floor table in {os.path.basename(__file__)}"
        for d in folders
        if d not in FLOOR_OF
    ]
    for folder in folders:
        if folder not in FLOOR_OF:
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(root, name)
                pattern = UI_HEADER if name.endswith(".ui") else INCLUDE
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = pattern.search(line)
                        if not match:
                            continue
                        target = match.group(1).strip()
                        # Only folders of src/ are floors; anything else is
                        # a library's own header path.
                        if target not in folders or target not in FLOOR_OF:
                            continue
                        if FLOOR_OF[target] > FLOOR_OF[folder]:
                            where = os.path.relpath(path, os.path.dirname(src))
                            problems.append(
                                f"{where}:{number}: {folder} includes {target}, a higher floor: "
                                f"{line.strip()}"
                            )
    return problems


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    src = os.path.normpath(src)
    if not os.path.isdir(src):
        print(f"no such folder: {src}", file=sys.stderr)
        return 2
    problems = problems_in(src)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        order = " -> ".join("/".join(f) for f in FLOORS)
        print(f"{len(problems)} problem(s); floors from the bottom: {order}", file=sys.stderr)
        return 1
    print("no upward includes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
