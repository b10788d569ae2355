#!/usr/bin/python3
#===- tests/crosscheck/lo_same_text.py - Office reads the same content ----===#
"""Checks that LibreOffice reads the same content from originals and copies.

    lo_same_text.py ORIG_DIR COPY_DIR

Every .doc and .xls in ORIG_DIR must have a namesake in COPY_DIR. LibreOffice
headless converts each .doc to plain text and each .xls to CSV (every sheet);
the outputs of original and copy must be identical byte for byte, and not
empty. All documents of one kind go through one soffice run, since starting
LibreOffice costs seconds. Exit 0 when all match, 1 with the differences.
"""

import os
import shutil
import subprocess
import sys
import tempfile

CSV_ALL_SHEETS = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'


def convert(profile, work, names, target):
    if not names:
        return
    res = subprocess.run(['soffice', '--headless', '--norestore',
                          '-env:UserInstallation=file://' + profile,
                          '--convert-to', target, '--outdir', os.path.join(work, 'out')] + names,
                         cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    if res.returncode != 0:
        raise RuntimeError(res.stdout.decode(errors='replace'))


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    orig_dir, copy_dir = argv[1], argv[2]
    docs = sorted(n for n in os.listdir(orig_dir) if n.endswith(('.doc', '.xls')))
    if not docs:
        print('no documents in ' + orig_dir)
        return 1
    problems = []
    with tempfile.TemporaryDirectory(prefix='velkor-lo-') as work:
        for name in docs:
            if not os.path.exists(os.path.join(copy_dir, name)):
                problems.append('missing copy: ' + name)
                continue
            shutil.copyfile(os.path.join(orig_dir, name), os.path.join(work, 'orig_' + name))
            shutil.copyfile(os.path.join(copy_dir, name), os.path.join(work, 'copy_' + name))
        files = sorted(n for n in os.listdir(work) if n.startswith(('orig_', 'copy_')))
        profile = os.path.join(work, 'profile')
        convert(profile, work, [n for n in files if n.endswith('.doc')], 'txt:Text (encoded):UTF8')
        convert(profile, work, [n for n in files if n.endswith('.xls')], CSV_ALL_SHEETS)
        out = sorted(os.listdir(os.path.join(work, 'out')))
        for name in docs:
            stem = os.path.splitext(name)[0]
            origs = [n for n in out if n.startswith('orig_' + stem + '.') or n.startswith('orig_' + stem + '-')]
            if not origs:
                problems.append('LibreOffice read nothing from ' + name)
            for o in origs:
                c = 'copy_' + o[len('orig_'):]
                a = open(os.path.join(work, 'out', o), 'rb').read()
                b = open(os.path.join(work, 'out', c), 'rb').read() if c in out else None
                if b is None:
                    problems.append('LibreOffice read nothing from the copy of %s (%s)' % (name, c))
                elif a != b:
                    problems.append('content differs: %s (%d vs %d bytes)' % (o[5:], len(a), len(b)))
                elif not a.strip():
                    problems.append('empty content: ' + o[5:])
    if problems:
        print('\n'.join(problems))
        return 1
    print('same content: %d documents' % len(docs))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
