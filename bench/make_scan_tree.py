#!/usr/bin/env python3
"""Builds the scan benchmark's tree: 200,000 entries in 2,000 folders, 2% of
the names *.doc or *.xls in mixed case, the rest other names. Deterministic,
so every run measures the same tree. Usage: make_scan_tree.py DIRECTORY"""
import os
import random
import sys

FOLDERS = 2000
ENTRIES = 200000


def main():
    root = sys.argv[1]
    rng = random.Random(20261208)
    os.makedirs(root, exist_ok=True)
    # A tree ten wide: folder i lies in folder (i - 1) // 10.
    paths = [root]
    for i in range(1, FOLDERS):
        path = os.path.join(paths[(i - 1) // 10], "folder%04d" % i)
        os.mkdir(path)
        paths.append(path)
    files = ENTRIES - (FOLDERS - 1)
    others = [".txt", ".pdf", ".docx", ".xlsx", ".jpg", ".c", ".h", ".log", ""]
    for n in range(files):
        folder = paths[n % FOLDERS]
        if n % 50 == 0:
            ext = rng.choice([".doc", ".DOC", ".Doc", ".xls", ".XLS", ".xLs"])
            size = 4096
        else:
            ext = rng.choice(others)
            size = rng.choice([0, 100, 1000])
        with open(os.path.join(folder, "file%06d%s" % (n, ext)), "wb") as f:
            if size:
                f.write(b"x" * size)


if __name__ == "__main__":
    main()
