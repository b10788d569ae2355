#!/usr/bin/python3
#===- bench/stream_scale.py - Cost per stream from 100 to 50,000 streams --===#
"""Times the copy of documents with more and more streams, to show that the
cost per stream stays flat (the copy is linear in the number of streams).

    bench/stream_scale.py [--cli build/bin/velkor-cli] [--gsf build/bin/velkor-gsf-copy]
                          [--work DIR] [--runs N] [--counts 100,1000,5000,20000,50000]

Each document (made with tests/fixtures/cfb_writer.py, kept in the work
folder) holds COUNT streams of 100 B to 2 KB, ten to a storage and ten
storages to a group, as documents with many embedded objects do. Per count:
the median wall time of `velkor-cli --estimate` (the copy without a flush),
of `velkor-cli copy` (durable) and of the libgsf peer, and the median
processor time (user + system) of the estimate; each also per stream after
the fixed cost is taken off: (time(N) - time(smallest)) / (N - smallest).
Linear means that these stay about the same from row to row. On a machine
shared with other work the wall times swing with the load, the processor
time much less: the script exits non-zero when the estimate's processor time
per stream at the largest count is more than 1.5 times the one at the
second count.
"""

import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'fixtures'))
import cfb_writer as w  # noqa: E402


def make_document(path, count):
    if os.path.exists(path):
        return
    S, T = w.Storage, w.Stream
    groups, subs, streams = [], [], []
    for n in range(count):
        streams.append(T('Stream%d' % (n % 10), (100 + (n * 7919) % 1948, n)))
        if len(streams) == 10 or n == count - 1:
            subs.append(S('Sub%d' % len(subs), streams))
            streams = []
        if len(subs) == 10 or n == count - 1:
            groups.append(S('Group%05d' % len(groups), subs))
            subs = []
    w.write(path + '.part', S('Root Entry', groups), free_sectors=1, free_mini=1)
    os.rename(path + '.part', path)


def timed(cmd):
    return timed_cpu(cmd)[0]


def timed_cpu(cmd):
    """Wall time and processor time (user + system) of one run of `cmd`."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--cli', default=os.path.join(ROOT, 'build', 'bin', 'velkor-cli'))
    ap.add_argument('--gsf', default=os.path.join(ROOT, 'build', 'bin', 'velkor-gsf-copy'))
    ap.add_argument('--work', default='/tmp/velkor-bench')
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--counts', default='100,1000,5000,20000,50000')
    args = ap.parse_args()
    if not os.access(args.cli, os.X_OK):
        sys.exit('velkor-cli not found at %s (build first: scripts/setup.sh build)' % args.cli)
    gsf = args.gsf if os.access(args.gsf, os.X_OK) else None
    counts = [int(c) for c in args.counts.split(',')]
    folder = os.path.join(args.work, 'streams')
    os.makedirs(folder, exist_ok=True)
    rows = []
    print('%8s %6s %10s %10s %10s %10s %12s %12s %12s %12s' % (
        'streams', 'MB', 'estim. s', 'est. CPU s', 'copy s', 'gsf s',
        'estim. us/st', 'est.CPU us/st', 'copy us/st', 'gsf us/st'))
    for count in counts:
        source = os.path.join(folder, 'streams%d.doc' % count)
        make_document(source, count)
        # The estimate's document lies alone in a folder of its own.
        alone = os.path.join(folder, 'alone%d' % count)
        os.makedirs(alone, exist_ok=True)
        doc = os.path.join(alone, 'doc.doc')
        shutil.copyfile(source, doc)
        out = os.path.join(folder, 'out.doc')
        est, est_cpu, cpy, peer = [], [], [], []
        for _ in range(args.runs):
            wall, cpu = timed_cpu([args.cli, '--estimate', doc])
            est.append(wall)
            est_cpu.append(cpu)
            cpy.append(timed([args.cli, 'copy', '-q', source, out]))
            os.unlink(out)
            if gsf:
                peer.append(timed([gsf, source, out]))
                os.unlink(out)
        rows.append((count, os.path.getsize(source), statistics.median(est), statistics.median(est_cpu),
                     statistics.median(cpy), statistics.median(peer) if peer else 0.0))
        shutil.rmtree(alone)
        base = rows[0]
        count_, size, e, ec, c, g = rows[-1]
        per = ['%12s' % '-'] * 4
        if count > base[0]:
            per = ['%12.1f' % ((now - then) * 1e6 / (count - base[0]))
                   for now, then in ((e, base[2]), (ec, base[3]), (c, base[4]), (g, base[5]))]
        print('%8d %6.1f %10.3f %10.3f %10.3f %10.3f %s' % (count, size / 1e6, e, ec, c, g, ' '.join(per)),
              flush=True)
    if len(rows) < 3:
        return 0
    slope = lambda row: (row[3] - rows[0][3]) / (row[0] - rows[0][0])
    growth = slope(rows[-1]) / slope(rows[1])
    print('estimate processor time per stream at %d streams / at %d: %.2f (linear: about 1; goal <= 1.5)'
          % (rows[-1][0], rows[1][0], growth))
    return 0 if growth <= 1.5 else 1


if __name__ == '__main__':
    sys.exit(main())
