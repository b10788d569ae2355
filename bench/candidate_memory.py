#!/usr/bin/python3
#===- bench/candidate_memory.py - Peak memory per candidate of a run ------===#
"""Measures what one candidate costs in memory during a run.

    bench/candidate_memory.py [--cli build/bin/velkor-cli] [--work DIR]
                              [--count 300000] [--base 1000]

Makes two trees of empty files named *.doc, 100 to a folder (COUNT files and
BASE files; kept in the work folder for the next run), runs `velkor-cli
--estimate` over each under /usr/bin/time and prints the peak resident memory
of both and the difference per candidate:

    (peak of COUNT - peak of BASE) / (COUNT - BASE)

A run holds the candidates of a base entry in memory from the scan to the
end of the entry, so this is the figure that decides how large a share one
run can take. The files are empty, so every candidate is opened and passed
over at once: what remains is the candidate list and the walk.
"""

import argparse
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PER_FOLDER = 100


def make_tree(path, count):
    marker = os.path.join(path, '.complete')
    if os.path.exists(marker):
        return
    for i in range(count):
        folder = os.path.join(path, 'dept%03d' % (i // (PER_FOLDER * 100)), 'box%05d' % (i // PER_FOLDER))
        if i % PER_FOLDER == 0:
            os.makedirs(folder, exist_ok=True)
        open(os.path.join(folder, 'file%07d.doc' % i), 'wb').close()
    open(marker, 'wb').close()


def peak_kib(cli, tree):
    """Peak resident memory of an estimate run over `tree`, the least of two."""
    peaks = []
    for _ in range(2):
        res = subprocess.run(['/usr/bin/time', '-f', '%M', cli, '--estimate', tree],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True)
        peaks.append(int(res.stderr.decode().strip().splitlines()[-1]))
    return min(peaks)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--cli', default=os.path.join(ROOT, 'build', 'bin', 'velkor-cli'))
    ap.add_argument('--work', default='/tmp/velkor-bench')
    ap.add_argument('--count', type=int, default=300000)
    ap.add_argument('--base', type=int, default=1000)
    args = ap.parse_args()
    if not os.access(args.cli, os.X_OK):
        sys.exit('velkor-cli not found at %s (build first: scripts/setup.sh build)' % args.cli)
    big = os.path.join(args.work, 'empty%d' % args.count)
    small = os.path.join(args.work, 'empty%d' % args.base)
    make_tree(big, args.count)
    make_tree(small, args.base)
    base = peak_kib(args.cli, small)
    full = peak_kib(args.cli, big)
    per = (full - base) * 1024.0 / (args.count - args.base)
    print('peak memory of an estimate run: %d KiB over %d files, %d KiB over %d files'
          % (base, args.base, full, args.count))
    print('memory per candidate: %.0f bytes (goal <= 100)' % per)
    return 0 if per <= 100 else 1


if __name__ == '__main__':
    sys.exit(main())
