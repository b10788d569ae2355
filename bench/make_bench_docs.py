#!/usr/bin/python3
#===- bench/make_bench_docs.py - Documents for the compaction benchmarks ---===#
"""Makes the documents the compaction benchmarks run over.

    make_bench_docs.py big FILE MEGABYTES
        one compound document of about MEGABYTES MB: a 40 MB WordDocument-like
        stream, a table stream and a small one, with free sectors (stale bytes)
        between them worth about a third of the file, as a document collects
        them when it is edited and saved many times.

    make_bench_docs.py tight FILE MEGABYTES
        one compound document of about MEGABYTES MB that cannot shrink: the
        same three streams, written with no free space inside.

    make_bench_docs.py tree DIR COUNT FIXTURES_DIR
        COUNT real documents in 40 folders: copies of the LibreOffice-made
        .doc and .xls of the test fixtures (office/) and of their rewritten
        forms with free space inside (slack/), in turn, with one large one in
        every hundred.
"""

import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'fixtures'))
import cfb_writer as w  # noqa: E402


def big(path, megabytes):
    data = 40 * 1000 * 1000 * megabytes // 60
    table = data // 40
    # The writer puts the free sectors in three runs: at the start and after
    # each of the two streams in regular sectors.
    free_bytes = max(0, megabytes * 1000 * 1000 - data - table) // 3
    root = w.Storage('Root Entry', [
        w.Stream('WordDocument', (data, 1)),
        w.Stream('1Table', (table, 2)),
        w.Stream('\x05SummaryInformation', (400, 3)),
    ])
    w.write(path, root, free_sectors=free_bytes // 512)


def tight(path, megabytes):
    data = 1000 * 1000 * megabytes * 39 // 40
    root = w.Storage('Root Entry', [
        w.Stream('WordDocument', (data, 1)),
        w.Stream('1Table', (1000 * 1000 * megabytes - data, 2)),
        w.Stream('\x05SummaryInformation', (400, 3)),
    ])
    w.write(path, root)


def tree(out, count, fixtures):
    small = []
    large = []
    for kind in ('office', 'slack'):
        folder = os.path.join(fixtures, kind)
        for name in sorted(os.listdir(folder)):
            (large if name.startswith('large') else small).append(os.path.join(folder, name))
    if not small:
        sys.exit('no fixtures in %s (run the test suite once, or tests/fixtures/make_fixtures.py)'
                 % fixtures)
    for i in range(count):
        if large and i % 100 == 99:
            source = large[(i // 100) % len(large)]
        else:
            source = small[i % len(small)]
        folder = os.path.join(out, 'dept%02d' % (i % 40))
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(source, os.path.join(folder, 'file%04d%s' % (i, os.path.splitext(source)[1])))


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == 'big':
        big(sys.argv[2], int(sys.argv[3]))
    elif len(sys.argv) == 4 and sys.argv[1] == 'tight':
        tight(sys.argv[2], int(sys.argv[3]))
    elif len(sys.argv) == 5 and sys.argv[1] == 'tree':
        tree(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    else:
        sys.exit(__doc__)
