#!/usr/bin/env python3
"""Reads the documents velkor-cli.exe compacted under Wine with python3-olefile
and checks each against the fixture it was made from: the same storages,
streams and bytes, in a file that is smaller (or, for a folder of documents a
stopped run left, the same file where it was not reached).

    olefile_reads_compacted.py COMPACTED=ORIGINAL ...

COMPACTED is a document, which must be smaller than ORIGINAL, or a folder
whose every file must hold ORIGINAL's tree and be no larger.
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


def check(path, original, expected, must_shrink):
    size, before = os.path.getsize(path), os.path.getsize(original)
    if listing(path) != expected:
        return f'{path}: differs from {original}'
    if size > before or (must_shrink and size == before):
        return f'{path}: {size} bytes, not smaller than {original} ({before})'
    return None


def main():
    failures = checked = 0
    for pair in sys.argv[1:]:
        compacted, original = pair.split('=', 1)
        expected = listing(original)
        if os.path.isdir(compacted):
            paths = [os.path.join(compacted, name) for name in sorted(os.listdir(compacted))]
        else:
            paths = [compacted]
        for path in paths:
            checked += 1
            failure = check(path, original, expected, not os.path.isdir(compacted))
            if failure:
                print(failure)
                failures += 1
    print(f'{checked} documents read, {failures} failed')
    return 1 if failures or not checked else 0


if __name__ == '__main__':
    sys.exit(main())
