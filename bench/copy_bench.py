#!/usr/bin/python3
#===- bench/copy_bench.py - velkor-cli copy against cp --------------------===#
"""Times `velkor-cli copy` and `velkor-cli --estimate` against `cp` and
against the libgsf peer (bench/gsf_copy.cpp) on the same files, warm cache.

    bench/copy_bench.py [--cli build/bin/velkor-cli] [--gsf build/bin/velkor-gsf-copy]
                        [--work DIR] [--runs N]

Cases (made with tests/fixtures/cfb_writer.py, independent of our writer):
  large   a ~60 MB document: a few big streams, small ones in the mini
          stream, nested storages, and free sectors left between streams
  many    5,001 small streams (100 B to 8 KB) in nested storages
Printed: median wall time of each tool, the ratios, the peak resident memory
of velkor-cli and of the peer (from /usr/bin/time), and the per-megabyte time
of the many-streams case relative to the large case. cp does not fsync while
velkor-cli copy does; the `cp+sync` column adds an fsync of the copy for a
like-for-like figure. An estimate writes its copy beside the document and
removes it without a flush, like the peer, which does not flush either.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'fixtures'))
import cfb_writer as w  # noqa: E402

GOALS = {'ratio': 2.0, 'rss_mib': 48.0, 'per_mb': 1.5,
         'durable_large': 1.05, 'durable_many': 1.3, 'estimate_gsf_large': 0.25}


def make_large(path):
    S, T = w.Storage, w.Stream
    kids = [T('WordDocument', (26 * 1024 * 1024, 1)), T('Data', (18 * 1024 * 1024, 2)),
            T('1Table', (9 * 1024 * 1024, 3)),
            T('\x05SummaryInformation', b'\x01' * 400), T('\x01CompObj', b'\x02' * 106)]
    pool = [S('_%d' % i, [T('\x01Ole', b'o' * 20), T('CONTENTS', (300 * 1024 + i * 77, 10 + i)),
                          T('\x03ObjInfo', b'i' * 6)]) for i in range(12)]
    kids.append(S('ObjectPool', pool))
    kids += [T('Small%03d' % i, b'%d' % i * (10 + i * 13)) for i in range(200)]
    w.write(path, S('Root Entry', kids), free_sectors=40, free_mini=2, free_dir_entries=20)


def make_many(path):
    S, T = w.Storage, w.Stream
    # The main stream of a text document, beside 5,000 small ones.
    top = [T('WordDocument', (6000, 99999))]
    n = 0
    for a in range(50):
        subs = []
        for b in range(10):
            streams = []
            for c in range(10):
                size = 100 + (n * 7919) % 8000
                streams.append(T('Stream%d' % c, (size, n)))
                n += 1
            subs.append(S('Sub%d' % b, streams))
        top.append(S('Group%02d' % a, subs))
    assert n == 5000
    w.write(path, S('Root Entry', top), free_sectors=1, free_mini=1)


def run_timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def peak_rss_kib(cmd):
    res = subprocess.run(['/usr/bin/time', '-f', '%M'] + cmd, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return int(res.stderr.decode().strip().splitlines()[-1])


def fsync_file(path):
    fd = os.open(path, os.O_RDONLY)
    os.fsync(fd)
    os.close(fd)


def bench_case(cli, gsf, src, work, runs):
    dst_cp = os.path.join(work, 'cp.out')
    dst_vk = os.path.join(work, 'velkor.out')
    dst_gsf = os.path.join(work, 'gsf.out')
    # The estimate's document lies alone in a folder of its own, as the run
    # takes every file of its name below the folder too.
    alone = os.path.join(work, 'alone-' + os.path.basename(src))
    os.makedirs(alone, exist_ok=True)
    doc = os.path.join(alone, os.path.basename(src))
    shutil.copyfile(src, doc)
    for path in (src, doc):             # warm the cache
        with open(path, 'rb') as f:
            while f.read(1 << 20):
                pass
    cp_times, cps_times, vk_times, est_times, gsf_times = [], [], [], [], []
    for _ in range(runs):
        for p in (dst_cp, dst_vk, dst_gsf):
            if os.path.exists(p):
                os.unlink(p)
        cp_times.append(run_timed(['cp', src, dst_cp]))
        os.unlink(dst_cp)
        start = time.perf_counter()
        subprocess.run(['cp', src, dst_cp], check=True)
        fsync_file(dst_cp)
        cps_times.append(time.perf_counter() - start)
        vk_times.append(run_timed([cli, 'copy', '-q', src, dst_vk]))
        est_times.append(run_timed([cli, '--estimate', doc]))
        if gsf:
            gsf_times.append(run_timed([gsf, src, dst_gsf]))
    os.unlink(dst_vk)
    rss = peak_rss_kib([cli, 'copy', '-q', src, dst_vk])
    copy_size = os.path.getsize(dst_vk)
    gsf_rss = peak_rss_kib([gsf, src, dst_gsf]) if gsf else 0
    for p in (dst_vk, dst_cp, dst_gsf, doc):
        if os.path.exists(p):
            os.unlink(p)
    return {'size': os.path.getsize(src), 'copy_size': copy_size,
            'cp': statistics.median(cp_times), 'cp_sync': statistics.median(cps_times),
            'velkor': statistics.median(vk_times), 'estimate': statistics.median(est_times),
            'gsf': statistics.median(gsf_times) if gsf else 0.0, 'rss_kib': rss, 'gsf_rss_kib': gsf_rss}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--cli', default=os.path.join(ROOT, 'build', 'bin', 'velkor-cli'))
    ap.add_argument('--gsf', default=os.path.join(ROOT, 'build', 'bin', 'velkor-gsf-copy'),
                    help='the libgsf peer (left out when it is not built)')
    ap.add_argument('--work', default=None, help='folder for the files (default: a temporary one in build/)')
    ap.add_argument('--runs', type=int, default=5)
    args = ap.parse_args()
    if not os.access(args.cli, os.X_OK):
        sys.exit('velkor-cli not found at %s (build first: scripts/setup.sh build)' % args.cli)
    gsf = args.gsf if os.access(args.gsf, os.X_OK) else None
    if not gsf:
        print('the libgsf peer is not built (install libgsf-1-dev and build): its columns stay empty')
    base = args.work or os.path.join(ROOT, 'build')
    os.makedirs(base, exist_ok=True)
    work = tempfile.mkdtemp(prefix='velkor-bench-', dir=base)
    try:
        large = os.path.join(work, 'large.doc')
        many = os.path.join(work, 'many.doc')
        make_large(large)
        make_many(many)
        print('machine: %d cores, %s' % (os.cpu_count(), cpu_model()))
        print('%-6s %8s %8s %8s %9s %9s %9s %9s %10s %10s' % (
            'case', 'size MB', 'copy MB', 'cp s', 'cp+sync s', 'copy s', 'estim. s', 'gsf s',
            'RSS velkor', 'RSS gsf'))
        results = {}
        for name, path in (('large', large), ('many', many)):
            r = bench_case(args.cli, gsf, path, work, args.runs)
            results[name] = r
            print('%-6s %8.1f %8.1f %8.3f %9.3f %9.3f %9.3f %9.3f %6.1f MiB %6.1f MiB' % (
                name, r['size'] / 1e6, r['copy_size'] / 1e6, r['cp'], r['cp_sync'], r['velkor'],
                r['estimate'], r['gsf'], r['rss_kib'] / 1024, r['gsf_rss_kib'] / 1024))
        large_r, many_r = results['large'], results['many']
        per_mb = (many_r['velkor'] / (many_r['size'] / 1e6)) / (large_r['velkor'] / (large_r['size'] / 1e6))
        ratio = large_r['velkor'] / large_r['cp']
        rss = large_r['rss_kib'] / 1024
        print()
        ok = True

        def goal(text, value, limit, unit='x'):
            nonlocal ok
            met = value <= limit
            ok = ok and met
            print('%-52s %6.2f%s (goal <= %.2f%s)%s' % (text, value, unit, limit, unit, '' if met else '  MISSED'))

        goal('durable copy, large, / (cp + fsync):', large_r['velkor'] / large_r['cp_sync'], GOALS['durable_large'])
        goal('durable copy, 5,001 streams, / (cp + fsync):', many_r['velkor'] / many_r['cp_sync'],
             GOALS['durable_many'])
        for name, r in (('large', large_r), ('5,001 streams', many_r)):
            print('%-52s %6.2fx' % ('estimate, %s, / cp:' % name, r['estimate'] / r['cp']))
            if gsf:
                text = 'estimate, %s, / libgsf peer:' % name
                if name == 'large':
                    goal(text, r['estimate'] / r['gsf'], GOALS['estimate_gsf_large'])
                else:
                    print('%-52s %6.2fx' % (text, r['estimate'] / r['gsf']))
                print('%-52s %6.2fx' % ('durable copy, %s, / libgsf peer (no flush):' % name,
                                        r['velkor'] / r['gsf']))
        goal('durable copy, large, / cp:', ratio, GOALS['ratio'])
        goal('durable copy, large, peak RSS:', rss, GOALS['rss_mib'], ' MiB')
        goal('5,001 streams per MB / large per MB:', per_mb, GOALS['per_mb'])
        print('goals met' if ok else 'GOALS NOT MET')
        return 0 if ok else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


def cpu_model():
    try:
        for line in open('/proc/cpuinfo'):
            if line.startswith('model name'):
                return line.split(':', 1)[1].strip()
    except OSError:
        pass
    return 'unknown CPU'


if __name__ == '__main__':
    sys.exit(main())
