#!/usr/bin/env python3
"""Reads the documents the Windows build wrote under Wine with python3-olefile
and checks each against the document it was made from: the same storages,
streams and bytes, in a file that is smaller (or, for a folder of documents a
stopped run left, the same file where it was not reached).

    olefile_reads_copies.py [--any-size] COPY=ORIGINAL ...

COPY is a document, which must be smaller than ORIGINAL, or a folder whose
every file must hold ORIGINAL's tree and be no larger. With --any-size the
sizes are not compared (copies the compound-file layer wrote whatever their
size).
"""
import hashlib
import os
import sys

import olefile


def listing(path):
    with olefile.OleFileIO(path) as ole:
        lines = []
        for entry in ole.listdir(streams=True, storages=True):
            name = '/'.join(entry)
            if ole.get_type(entry) == olefile.STGTY_STREAM:
                data = ole.openstream(entry).read()
                lines.append(f'{name} {len(data)} {hashlib.sha256(data).hexdigest()}')
            else:
                lines.append(f'{name} {ole.getclsid(entry)}')
        lines.append(f'root {ole.root.clsid}')
        return sorted(lines)


def check(path, original, expected, must_shrink, any_size):
    size, before = os.path.getsize(path), os.path.getsize(original)
    if listing(path) != expected:
        return f'{path}: differs from {original}'
    if any_size:
        return None
    if size > before or (must_shrink and size == before):
        return f'{path}: {size} bytes, not smaller than {original} ({before})'
    return None


def main():
    failures = checked = 0
    arguments = sys.argv[1:]
    any_size = '--any-size' in arguments
    for pair in (argument for argument in arguments if argument != '--any-size'):
        compacted, original = pair.split('=', 1)
        expected = listing(original)
        if os.path.isdir(compacted):
            paths = [os.path.join(compacted, name) for name in sorted(os.listdir(compacted))]
        else:
            paths = [compacted]
        for path in paths:
            checked += 1
            failure = check(path, original, expected, not os.path.isdir(compacted), any_size)
            if failure:
                print(failure)
                failures += 1
    print(f'{checked} documents read, {failures} failed')
    return 1 if failures or not checked else 0


if __name__ == '__main__':
    sys.exit(main())
