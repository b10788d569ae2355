#!/usr/bin/python3
#===- bench/make_mix.py - A mixed archive of real documents ----------------===#
"""Makes a mixed archive like a file server's: mostly small documents, many
of them already compact.

    make_mix.py DIR COUNT SOURCES_DIR [VELKOR_CLI]

SOURCES_DIR holds the documents the archive is copied from, made once and kept
(a stamp of this script's hash makes later calls reuse them):
  office/   .doc and .xls written by LibreOffice headless from generated text
            and CSV of 16 sizes (one soffice run per output type);
  slack/    the same trees rewritten by tests/fixtures/cfb_writer.py with free
            sectors, free mini sectors and unused directory entries;
  made/     small documents of a few streams and a storage, written by
            cfb_writer.py, half of them with free space inside.
DIR gets COUNT of them in 50 folders, in a fixed order (random.Random(22)):
about 45% LibreOffice documents, 25% their forms with free space, 30% the
written ones, one in fifty a large one (1 to 5 MB). With VELKOR_CLI, the
folders with an even number are compacted once by it (--jobs 1), as a first
night's run would have left them: a run over DIR then finds about half the
archive already as small as it can be.
"""

import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'fixtures'))
import cfb_writer as w  # noqa: E402

WORDS = ('alpha beta gamma delta compound document storage stream sector '
         'ünïcödé 文字 Größe naïve table ledger quarterly invoice minutes').split()
# Lines of text (for .doc) and rows of CSV (for .xls): mostly small, two large.
TEXT_LINES = (5, 12, 20, 35, 50, 80, 120, 180, 250, 400, 600, 900, 1400, 2200, 9000, 16000)
CSV_ROWS = (10, 25, 40, 80, 150, 250, 400, 700, 1000, 1600, 2500, 4000, 6000, 9000, 40000, 70000)


def soffice(profile, args, cwd):
    cmd = ['soffice', '--headless', '--norestore', '-env:UserInstallation=file://' + profile] + args
    res = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    if res.returncode != 0:
        raise RuntimeError('soffice failed: %s\n%s' % (cmd, res.stdout.decode(errors='replace')))


def make_sources(out):
    rnd = random.Random(21)
    work = tempfile.mkdtemp(prefix='velkor-mix-')
    try:
        src = os.path.join(work, 'src')
        os.makedirs(src)
        texts, csvs = [], []
        for n in TEXT_LINES:
            name = 'letter%05d.txt' % n
            with open(os.path.join(src, name), 'w', encoding='utf-8') as f:
                f.write('Minutes of meeting %d\n\n' % n)
                for i in range(n):
                    f.write(' '.join(rnd.choice(WORDS) for _ in range(rnd.randrange(4, 16))) + '\n')
            texts.append(name)
        for n in CSV_ROWS:
            name = 'sheet%05d.csv' % n
            with open(os.path.join(src, name), 'w', encoding='utf-8') as f:
                for i in range(n):
                    f.write('%d,%s,%.3f,%d\n' % (i, rnd.choice(WORDS), rnd.random() * 1e4, rnd.randrange(100)))
            csvs.append(name)
        office = os.path.join(out, 'office')
        os.makedirs(office)
        profile = os.path.join(work, 'profile')
        soffice(profile, ['--convert-to', 'doc:MS Word 97', '--outdir', office] + texts, src)
        soffice(profile, ['--convert-to', 'xls:MS Excel 97', '--outdir', office] + csvs, src)
        if len(os.listdir(office)) != len(texts) + len(csvs):
            raise RuntimeError('LibreOffice did not write every document')
    finally:
        shutil.rmtree(work, ignore_errors=True)


def make_written(out):
    rnd = random.Random(23)
    office = os.path.join(out, 'office')
    slack = os.path.join(out, 'slack')
    os.makedirs(slack)
    for name in sorted(os.listdir(office)):
        tree = w.from_olefile(os.path.join(office, name))
        w.write(os.path.join(slack, name), tree, free_sectors=rnd.randrange(1, 40),
                free_mini=rnd.randrange(0, 6), free_dir_entries=rnd.randrange(0, 8))
    made = os.path.join(out, 'made')
    os.makedirs(made)
    S, T = w.Storage, w.Stream
    for i in range(40):
        kids = [T('Stream%d' % k, (rnd.randrange(10, 60_000), 1000 * i + k)) for k in range(rnd.randrange(1, 8))]
        kids.append(S('Store', [T('Inner', (rnd.randrange(0, 3000), 99 * i))]))
        # Even ones carry free space; odd ones are written tight.
        extra = (dict(free_sectors=rnd.randrange(1, 30), free_mini=rnd.randrange(0, 4),
                      free_dir_entries=rnd.randrange(0, 6)) if i % 2 == 0 else {})
        w.write(os.path.join(made, 'made%02d.%s' % (i, 'doc' if i % 3 else 'xls')), S('Root Entry', kids), **extra)


def sources(path):
    h = hashlib.sha256()
    for name in (os.path.abspath(__file__), os.path.join(HERE, '..', 'tests', 'fixtures', 'cfb_writer.py')):
        with open(name, 'rb') as f:
            h.update(f.read())
    stamp = os.path.join(path, '.stamp')
    if not (os.path.exists(stamp) and open(stamp).read() == h.hexdigest()):
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        make_sources(path)
        make_written(path)
        with open(stamp, 'w') as f:
            f.write(h.hexdigest())
    pools = {}
    for kind in ('office', 'slack', 'made'):
        files = sorted(os.listdir(os.path.join(path, kind)))
        pools[kind] = [os.path.join(path, kind, n) for n in files]
    return pools


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    out, count, pools = sys.argv[1], int(sys.argv[2]), sources(sys.argv[3])
    large = [p for p in pools['office'] + pools['slack'] if os.path.getsize(p) > 1_000_000]
    small = {k: [p for p in v if os.path.getsize(p) <= 1_000_000] for k, v in pools.items()}
    rnd = random.Random(22)
    for i in range(count):
        if i % 50 == 49:
            source = rnd.choice(large)
        else:
            r = rnd.random()
            kind = 'office' if r < 0.45 else 'slack' if r < 0.70 else 'made'
            source = rnd.choice(small[kind])
        folder = os.path.join(out, 'share%02d' % (i % 50))
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(source, os.path.join(folder, 'doc%05d%s' % (i, os.path.splitext(source)[1])))
    if len(sys.argv) == 5:
        folders = [os.path.join(out, 'share%02d' % k) for k in range(0, 50, 2)]
        subprocess.run([sys.argv[4], '--jobs', '1'] + folders, check=True, stdout=subprocess.DEVNULL)


if __name__ == '__main__':
    main()
