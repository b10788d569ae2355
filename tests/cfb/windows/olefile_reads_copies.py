#!/usr/bin/env python3
"""Reads the copies the Windows build wrote with python3-olefile and checks
each against its original: the same storages and streams, the same bytes.

    olefile_reads_copies.py COPY=ORIGINAL ...
"""
import hashlib
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


def main():
    failures = 0
    for pair in sys.argv[1:]:
        copy, original = pair.split('=', 1)
        if listing(copy) != listing(original):
            print(f'{copy}: differs from {original}')
            failures += 1
        else:
            print(f'{copy}: same tree and streams as {original}')
    return 1 if failures or not sys.argv[1:] else 0


if __name__ == '__main__':
    sys.exit(main())
