#!/usr/bin/python3
#===- tests/robust/kill_harness.py - SIGKILL at random moments loses nothing -===#
"""Kills compressing velkor-cli runs at random moments and checks every document.

    kill_harness.py [--kills N] [--cli PATH | --wine PATH] [--fixtures DIR] [--seed N]
                    [--jobs SPEC] [--[no-]writer] [--work DIR] [--keep] [--json FILE]

Builds a tree of real compound documents (the LibreOffice fixtures of
tests/fixtures when DIR holds them, and documents written here with free space
inside, from a few KB to several MB), plain files named like documents and a
folder of thousands of other files that makes the scan take time. Then, until N
kills are done, it starts a compressing run over the tree and kills it with
SIGKILL. Half of the kills come after a random delay within the time a whole
run takes; the other half stop the process every millisecond or two (SIGSTOP),
look at what it has open, and kill it when it is in a chosen phase: scanning,
copying a document, stamping the copy's times, or replacing the document.
After every kill the same tree is run again, so later kills reach later
documents; a run that ends by itself completes a cycle, and the tree is put
back to its originals for the next one. Each run works on the number of
documents at once that --jobs gives: a number, "auto" (velkor-cli's own
choice), or "mixed" (the default): 1, 2, 4 or the automatic choice, drawn for
every run, so that kills also find several documents in hand.

While every run goes on and is killed, a writer (--writer, the default; off
with --no-writer) does what many programs and file servers do: it opens a
random document read-write without any lock, reads the whole file through that
descriptor, finds a stream stored in regular sectors in what it read, writes a
marker of its own into one of that stream's sectors through the same
descriptor, and closes. Velkor's read lease makes the open wait until the run
gives the document up (stops its copy, or trades the names back after an
exchange). The writer is stopped before every check. Each write must then be
in the document: the document's path still leads to the file written into, or
holds a compacted copy of what was written. From then on the document's
records expect the written version (its bytes, streams, size and times). A
write found in a vkr*.tmp leftover of the document's folder, holding exactly
the old document plus the marker, after a run killed between an exchange of
names and its last look at the lease, is counted apart: a program that opened
the document's path just before the exchange wrote into the old file, and the
kill left no one to trade the names back. Any other lost write is damage.

After every kill (and every completed run) every document is checked: it must
be the original byte for byte with its mode, owner and times, or a compacted
copy that is strictly smaller, opens with olefile, holds the same storages and
the same streams with the same bytes, and has the original's mode, owner and
modification time (its access time may be the original's or a later read's).
No document may be missing or truncated, no other file may change, and
leftover vkr*.tmp files may lie only in a document's own folder; they are
listed. Exit status 0 when nothing was damaged, 1 otherwise.

With --wine PATH the runs are of the Windows build, PATH to velkor-cli.exe,
under Wine (WINEPREFIX and WINEDEBUG come from the environment; the tree is
named in Windows form on drive Z:, Wine's view of the Linux root). A kill is
SIGKILL of the Wine process, found in the same phases through the files it
has open in /proc, or, for some kills after a random delay, Wine's own
`taskkill /F /IM velkor-cli.exe`. --wine implies --no-writer: the writer is
a Linux program, and Wine's sharing modes, which keep other programs out of
a document while a run holds it, bind only programs running under Wine, so
the writer's opens would not wait and its writes would race the copy as no
Windows program can. The read lease and the kills at system calls (strace)
are the Linux build's and are not used. What is checked is what Windows
keeps: a compacted document has the original's modification time to the
100 ns of SetFileTime, is read-only when the original was, and otherwise
has the mode Wine gives a new file (its owner is the user running Wine);
the leftovers are vkr*.tmp in either case of their hex digits, a
`vkrNNNN.tmp:velkor.copy` file (Wine keeps a named stream as a file of its
own) beside its copy, and the rf*.tmp into which Wine's ReplaceFileW moves
the document it replaces. The replacement names a vkrNNNN.tmp of its own as
ReplaceFileW's backup, so that the old file is never deleted before the copy
has the document's name: a kill between ReplaceFileW's two moves leaves the
name empty for the next run to report, with the original whole under that
leftover. That is counted apart as a name gap, listed, and the original put
back under its name; a missing document whose bytes are nowhere whole is
damage (the report names a leftover holding its streams). A kill between velkor
taking a read-only document's attribute off for the replacement and giving
it back leaves the original whole and in place but writable: that is
counted apart, listed, and made read-only again.
"""

import argparse
import collections
import copy
import hashlib
import json
import os
import random
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'fixtures'))
import cfb_writer as w  # noqa: E402

PHASES = ('scan', 'open', 'copy', 'stamping', 'replacement', 'cleanup', 'between', 'taskkill')
# Kills at the entry of a system call (strace's fault injection), by phase:
# reading a directory, writing the copy, flushing it, stamping its times,
# giving it the document's mode, renaming it over the document or exchanging
# it with the document (and back), removing a copy that was not smaller or
# the old file after an exchange.
SYSCALL_PHASES = {'getdents64': 'scan', 'write': 'copy', 'fsync': 'copy', 'utimensat': 'stamping',
                  'fchmodat': 'replacement', 'rename': 'replacement', 'renameat2': 'replacement',
                  'unlink': 'cleanup'}
DAY_NS = 86400 * 10**9
BASE_TIME_NS = 1546300800 * 10**9 + 123456789  # 2019-01-01, with nanoseconds


def read_bytes(path):
    """Reads a file without moving its access time."""
    fd = os.open(path, os.O_RDONLY | getattr(os, 'O_NOATIME', 0))
    try:
        chunks = []
        while True:
            piece = os.read(fd, 1 << 20)
            if not piece:
                return b''.join(chunks)
            chunks.append(piece)
    finally:
        os.close(fd)


# Names of leftovers: velkor's copies, and under Wine also the rf*.tmp into
# which Wine's ReplaceFileW moves the document it replaces.
TEMP_PREFIXES = ('vkr',)


def is_temp(name):
    """A temporary copy, or (under Wine) the file of the mark stream beside one."""
    name = name.lower()
    if name.endswith(':velkor.copy'):
        name = name[:-len(':velkor.copy')]
    return name.startswith(TEMP_PREFIXES) and name.endswith('.tmp')



def windows_path(path):
    """The Windows name under Wine of a Linux path: drive Z: is the root."""
    return 'Z:' + path.replace('/', '\\')


class Cli:
    """How a run is started: velkor-cli itself, or velkor-cli.exe under Wine."""

    def __init__(self, path, wine):
        self.path, self.wine = path, wine

    def command(self, options, tree):
        if self.wine:
            return ['wine', self.path] + options + [windows_path(tree)]
        return [self.path] + options + [tree]


def stream_map(data):
    """Storages and streams of a compound file: path -> None or sha256 of the bytes."""
    ole = olefile.OleFileIO(data)
    try:
        result = {}
        for path in ole.listdir(streams=True, storages=True):
            key = '/'.join(path)
            if ole.get_type(path) == olefile.STGTY_STREAM:
                result[key] = hashlib.sha256(ole.openstream(path).read()).hexdigest()
            else:
                result[key] = None
        return result
    finally:
        ole.close()


# ---------------------------------------------------------------------------
# The tree

def generated_documents(rnd):
    """(relative path, Storage, write options) of documents written here."""
    S, T = w.Storage, w.Stream
    docs = []
    for i, (size, slack) in enumerate([(3_000_000, 8), (6_000_000, 4), (1_200_000, 20)]):
        root = S('Root Entry', [
            T('WordDocument', (size, 100 + i)), T('1Table', (40_000 + i, 200 + i)),
            T('\x05SummaryInformation', bytes(rnd.randrange(256) for _ in range(400))),
            S('ObjectPool', [S('_%d' % (1000 + i), [T('\x01Ole', b'\x01\x00\x00\x02' * 5),
                                                   T('Contents', (9000, 300 + i))])]),
        ])
        docs.append(('big/large%d.%s' % (i, 'doc' if i != 1 else 'xls'), root,
                     dict(free_sectors=slack, free_mini=2, free_dir_entries=4)))
    for i in range(14):
        kids = [T('Stream%d' % k, (rnd.randrange(10, 30_000), 1000 * i + k)) for k in range(rnd.randrange(1, 8))]
        kids.append(S('Store', [T('Inner', bytes(rnd.randrange(256) for _ in range(rnd.randrange(0, 3000))))]))
        folder = ('a', 'a/deep', 'b', 'c', 'names with spaces/ünï')[i % 5]
        docs.append(('%s/doc%02d.%s' % (folder, i, 'doc' if i % 3 else 'xls'), S('Root Entry', kids),
                     dict(free_sectors=rnd.randrange(0, 6), free_mini=rnd.randrange(0, 4),
                          free_dir_entries=rnd.randrange(0, 6), version=4 if i == 7 else 3)))
    # Compact already: the copy is not smaller, the document stays.
    docs.append(('c/compact.doc', S('Root Entry', [T('WordDocument', (20_000, 9))]), {}))
    return docs


def build_tree(tree, fixtures, rnd):
    """Writes the tree and returns the records of every file in it."""
    os.makedirs(tree)
    for rel, root, options in generated_documents(rnd):
        path = os.path.join(tree, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        w.write(path, root, **options)
    if fixtures and os.path.isdir(fixtures):
        picks = [('slack', n, 'lo/slack_' + n) for n in ('text.doc', 'table.doc', 'large.doc', 'numbers.xls',
                                                        'sheets.xls', 'large.xls')]
        picks += [('office', n, 'lo/office_' + n) for n in ('text.doc', 'large.xls')]
        picks += [('synth', 'nested_slack.cfb', 'lo/synth/nested.doc'), ('synth', 'difat.cfb', 'lo/synth/difat.doc'),
                  ('synth', 'many_siblings.cfb', 'lo/synth/many.xls'), ('synth', 'nested_v4.cfb', 'lo/synth/v4.xls')]
        for sub, name, rel in picks:
            src = os.path.join(fixtures, sub, name)
            if os.path.exists(src):
                os.makedirs(os.path.dirname(os.path.join(tree, rel)), exist_ok=True)
                shutil.copyfile(src, os.path.join(tree, rel))
    # Files named like documents that are not documents.
    with open(os.path.join(tree, 'a', 'notes.doc'), 'w') as f:
        f.write('plain text, not a compound document\n' * 50)
    open(os.path.join(tree, 'b', 'empty.xls'), 'w').close()
    # Thousands of other files: the scan takes a while.
    many = os.path.join(tree, 'many')
    os.makedirs(many)
    for i in range(4000):
        open(os.path.join(many, 'note%04d.txt' % i), 'w').close()

    records = {}
    modes = (0o644, 0o600, 0o444, 0o640, 0o664)
    index = 0
    for folder, dirs, files in os.walk(tree):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, tree)
            if rel.startswith('many' + os.sep):
                continue
            index += 1
            mode = modes[index % len(modes)]
            os.chmod(path, mode)
            if index % 4 == 0:
                os.chown(path, 65534, 65534)
            mtime = BASE_TIME_NS + index * DAY_NS + index * 1001
            atime = mtime + 3600 * 10**9
            os.utime(path, ns=(atime, mtime))
            data = read_bytes(path)
            is_doc = data[:8] == b'\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1'
            st = os.lstat(path)
            records[rel] = dict(sha=hashlib.sha256(data).hexdigest(), size=len(data), mode=st.st_mode,
                                uid=st.st_uid, gid=st.st_gid, mtime=st.st_mtime_ns, atime=st.st_atime_ns,
                                doc=is_doc, streams=stream_map(data) if is_doc else None)
    return records


def restore_tree(pristine, tree, records):
    """Puts every recorded file back as it was and removes leftover copies.
    The folder of many files is never changed by a run and stays."""
    for folder, dirs, files in os.walk(tree):
        if os.path.relpath(folder, tree) == 'many':
            dirs[:] = []
            continue
        for n in files:
            if is_temp(n) or os.path.relpath(os.path.join(folder, n), tree) in records:
                os.unlink(os.path.join(folder, n))
    for rel, r in records.items():
        path = os.path.join(tree, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(os.path.join(pristine, rel), path)
        os.chown(path, r['uid'], r['gid'])
        os.chmod(path, stat.S_IMODE(r['mode']))
        os.utime(path, ns=(r['atime'], r['mtime']))


# ---------------------------------------------------------------------------
# Checking

class Checker:
    def __init__(self, tree, records, wine=False):
        self.tree = tree
        self.wine = wine
        self.records = records
        # (rel, sha of the version expected) -> sha of copies already compared
        self.verified = collections.defaultdict(set)
        self.doc_folders = {os.path.dirname(rel) for rel, r in records.items() if r['doc']}
        self.checks = 0
        self.compacted_seen = set()
        self.windows = []  # read-only attributes a kill left taken off, put right
        self.name_gaps = []  # originals a kill left whole under a leftover's name, put back

    def temps(self):
        found = []
        for folder, _, files in os.walk(self.tree):
            found += [os.path.relpath(os.path.join(folder, n), self.tree) for n in files if is_temp(n)]
        return sorted(found)

    def put_back_read_only(self, rel, r):
        """velkor takes the read-only attribute off a document for its
        replacement and gives it back afterwards; a kill in between leaves
        the original, whole and in place, without it. Counted apart and made
        read-only again, so that later runs see the document as it was."""
        path = os.path.join(self.tree, rel)
        try:
            st = os.lstat(path)
        except OSError:
            return
        mode, was = stat.S_IMODE(st.st_mode), stat.S_IMODE(r['mode'])
        if not was & stat.S_IWUSR and mode == was | stat.S_IWUSR:
            if hashlib.sha256(read_bytes(path)).hexdigest() == r['sha']:
                self.windows.append('%s: the original, with its read-only attribute taken off for the '
                                    'replacement and not given back; made read-only again' % rel)
                os.chmod(path, was)

    def put_back_original(self, rel, r):
        """Under Wine: a missing document whose original lies whole under a
        leftover's name (the backup of an interrupted ReplaceFileW) is put
        back under its name and counted as a name gap."""
        folder = os.path.join(self.tree, os.path.dirname(rel))
        for n in sorted(os.listdir(folder)):
            leftover = os.path.join(folder, n)
            if is_temp(n) and hashlib.sha256(read_bytes(leftover)).hexdigest() == r['sha']:
                os.rename(leftover, os.path.join(self.tree, rel))
                os.chmod(os.path.join(self.tree, rel), stat.S_IMODE(r['mode']))
                self.name_gaps.append('%s: the original whole under %s; put back' % (rel, n))
                return True
        return False

    def where_it_went(self, rel, r):
        """The leftovers of a missing document's folder that hold its bytes or its streams."""
        folder = os.path.join(self.tree, os.path.dirname(rel))
        found = []
        for n in sorted(os.listdir(folder)):
            if not is_temp(n):
                continue
            data = read_bytes(os.path.join(folder, n))
            if hashlib.sha256(data).hexdigest() == r['sha']:
                found.append('%s holds its bytes' % n)
            elif r['doc'] and data[:8] == b'\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1':
                try:
                    if stream_map(data) == r['streams']:
                        found.append('%s holds its streams (%d bytes)' % (n, len(data)))
                except Exception:
                    pass
        return ('; ' + ', '.join(found)) if found else ''

    def check(self):
        """Returns (problems, counts, leftover temps)."""
        problems = []
        counts = collections.Counter()
        for rel, r in sorted(self.records.items()):
            self.checks += 1
            path = os.path.join(self.tree, rel)
            if self.wine:
                self.put_back_read_only(rel, r)
            try:
                st = os.lstat(path)
            except FileNotFoundError:
                if self.wine and self.put_back_original(rel, r):
                    continue
                problems.append('%s: missing%s' % (rel, self.where_it_went(rel, r)))
                continue
            if not stat.S_ISREG(st.st_mode):
                problems.append('%s: no longer a regular file' % rel)
                continue
            data = read_bytes(path)
            sha = hashlib.sha256(data).hexdigest()
            meta = []
            if stat.S_IMODE(st.st_mode) != stat.S_IMODE(r['mode']):
                meta.append('mode %o, was %o' % (stat.S_IMODE(st.st_mode), stat.S_IMODE(r['mode'])))
            if (st.st_uid, st.st_gid) != (r['uid'], r['gid']):
                meta.append('owner %d:%d, was %d:%d' % (st.st_uid, st.st_gid, r['uid'], r['gid']))
            if st.st_mtime_ns != r['mtime']:
                meta.append('mtime %d, was %d' % (st.st_mtime_ns, r['mtime']))
            if st.st_atime_ns < r['atime']:
                meta.append('atime %d earlier than the original %d' % (st.st_atime_ns, r['atime']))
            if self.wine and sha != r['sha']:
                meta = wine_copy_meta(st, r)
            if sha == r['sha']:
                counts['original'] += 1
                if meta:
                    problems.append('%s: original bytes, but %s' % (rel, '; '.join(meta)))
                continue
            counts['compacted'] += 1
            self.compacted_seen.add(rel)
            if not r['doc']:
                problems.append('%s: not a document, yet its bytes changed' % rel)
                continue
            if len(data) >= r['size']:
                problems.append('%s: changed but not smaller (%d >= %d bytes)' % (rel, len(data), r['size']))
            if len(data) < 512 or len(data) % 512 != 0:
                problems.append('%s: truncated or not whole sectors (%d bytes)' % (rel, len(data)))
            if meta:
                problems.append('%s: compacted, but %s' % (rel, '; '.join(meta)))
            if sha in self.verified[rel, r['sha']]:
                continue
            try:
                streams = stream_map(data)
            except Exception as e:  # olefile refuses it: damaged
                problems.append('%s: compacted copy does not open with olefile: %s' % (rel, e))
                continue
            if streams != r['streams']:
                missing = sorted(set(r['streams']) - set(streams))
                extra = sorted(set(streams) - set(r['streams']))
                differ = sorted(k for k in set(streams) & set(r['streams']) if streams[k] != r['streams'][k])
                problems.append('%s: tree differs: missing %s, extra %s, different %s' % (rel, missing, extra, differ))
                continue
            self.verified[rel, r['sha']].add(sha)
        temps = self.temps()
        for t in temps:
            if os.path.dirname(t) not in self.doc_folders:
                problems.append('%s: temporary file outside any document folder' % t)
        # Nothing else may appear or disappear.
        present = set()
        for folder, _, files in os.walk(self.tree):
            for n in files:
                rel = os.path.relpath(os.path.join(folder, n), self.tree)
                if not rel.startswith('many' + os.sep) and not is_temp(n):
                    present.add(rel)
        for rel in sorted(present - set(self.records)):
            problems.append('%s: a file that was not there before' % rel)
        many = os.path.join(self.tree, 'many')
        if len(os.listdir(many)) != 4000:
            problems.append('many/: %d files, expected 4000' % len(os.listdir(many)))
        for n in os.listdir(os.path.dirname(self.tree)):
            if is_temp(n):
                problems.append('%s: temporary file outside the tree' % n)
        return problems, counts, temps


def wine_copy_meta(st, r):
    """What is wrong with the metadata of a copy made under Wine: times are
    kept to the 100 ns of a FILETIME; a new file's mode and owner are Wine's,
    all it keeps of the mode is whether the file is read-only."""
    meta = []
    if stat.S_IMODE(st.st_mode) & stat.S_IWUSR != stat.S_IMODE(r['mode']) & stat.S_IWUSR:
        meta.append('mode %o, was %o: read-only differs' % (stat.S_IMODE(st.st_mode), stat.S_IMODE(r['mode'])))
    if st.st_mtime_ns != filetime_ns(r['mtime']):
        meta.append('mtime %d, was %d (%d in 100 ns)' % (st.st_mtime_ns, r['mtime'], filetime_ns(r['mtime'])))
    if st.st_atime_ns < filetime_ns(r['atime']):
        meta.append('atime %d earlier than the original %d' % (st.st_atime_ns, r['atime']))
    return meta


def filetime_ns(ns):
    """A time as Windows keeps it: in whole 100 ns."""
    return ns - ns % 100


# ---------------------------------------------------------------------------
# A program writing into documents in place

MARKER_LEN = 40


def writable_sector(data, rnd):
    """(stream path, file offset) of a random place inside a stream stored in
    regular sectors (4096 bytes or more), where a marker fits within one
    sector and within the stream's data; None when the file has no such
    stream. Raises when olefile refuses the bytes."""
    ole = olefile.OleFileIO(data)
    try:
        streams = [e for e in ole.direntries if e is not None and e.entry_type == olefile.STGTY_STREAM
                   and e.size >= ole.minisectorcutoff]
        if not streams:
            return None
        entry = rnd.choice(streams)
        ss = ole.sectorsize
        k = rnd.randrange((entry.size + ss - 1) // ss)
        sect = entry.isectStart
        for _ in range(k):
            sect = ole.fat[sect]
        room = min(ss, entry.size - k * ss)
        if room < MARKER_LEN:  # a short last sector: take the stream's first one
            k, sect, room = 0, entry.isectStart, min(ss, entry.size)
        offset = (sect + 1) * ss + rnd.randrange(room - MARKER_LEN + 1)
        if offset + MARKER_LEN > len(data):
            raise ValueError('stream %r runs past the end of the file' % entry.name)
        return entry.name, offset
    finally:
        ole.close()


def under_lease(tree, docs):
    """The documents whose files some process holds a lease on (/proc/locks)."""
    try:
        with open('/proc/locks') as f:
            leased = {line.split()[5] for line in f if line.split()[1:2] == ['LEASE']}
    except OSError:
        return []
    found = []
    for rel in docs:
        try:
            st = os.stat(os.path.join(tree, rel))
        except OSError:
            continue
        if '%02x:%02x:%d' % (os.major(st.st_dev), os.minor(st.st_dev), st.st_ino) in leased:
            found.append(rel)
    return found


class Writer(threading.Thread):
    """Opens random documents read-write without a lock, reads each through
    its descriptor and writes a marker into a stream's data, until stopped.
    What every write made is kept in a scratch file outside the tree."""

    def __init__(self, tree, docs, rnd, pace, scratch, first_number):
        super().__init__(daemon=True)
        self.tree, self.docs, self.rnd, self.pace, self.scratch = tree, docs, rnd, pace, scratch
        self.number = first_number
        self.halt = threading.Event()
        self.writes = []
        self.problems = []
        self.waits = []  # seconds each open took: the wait for a run's lease
        self.leased = 0  # opens of a document a run held a lease on just before
        self.mtimes = set()  # modification times written, for telling a stamped copy

    def run(self):
        try:
            while not self.halt.is_set():
                self.write_one()
                self.halt.wait(self.rnd.uniform(0, self.pace))
        except Exception as e:  # counts against the run rather than ending the writer unseen
            self.problems.append('writer: %s: %s' % (type(e).__name__, e))

    def stop(self):
        self.halt.set()
        self.join(600)
        if self.is_alive():
            self.problems.append('the writer did not come back within 600 s')

    def write_one(self):
        # Mostly a document a run holds at the moment, when there is one:
        # a run holds each only for the moments of its copy and replacement.
        leased = under_lease(self.tree, self.docs)
        rel = self.rnd.choice(leased if leased and self.rnd.random() < 0.7 else self.docs)
        if rel in leased:
            self.leased += 1
        started = time.monotonic()
        try:
            fd = os.open(os.path.join(self.tree, rel), os.O_RDWR | os.O_NOFOLLOW | os.O_CLOEXEC)
        except OSError as e:
            self.problems.append('%s: the writer could not open it: %s' % (rel, e))
            return
        self.waits.append(time.monotonic() - started)
        try:
            chunks = []
            while True:
                piece = os.read(fd, 1 << 20)
                if not piece:
                    break
                chunks.append(piece)
            data = b''.join(chunks)
            try:
                place = writable_sector(data, self.rnd)
            except Exception as e:  # what it opened is not a sound compound file
                self.problems.append('%s: the writer read %d bytes olefile refuses: %s' % (rel, len(data), e))
                return
            if place is None:
                self.problems.append('%s: the writer found no stream in regular sectors' % rel)
                return
            self.number += 1
            marker = ('<kill harness write %06d %08x>' % (self.number, self.rnd.getrandbits(32))).encode()
            marker = marker.ljust(MARKER_LEN, b'.')
            stream, offset = place
            if os.pwrite(fd, marker, offset) != len(marker):
                self.problems.append('%s: a short write' % rel)
                return
            st = os.fstat(fd)
            written = data[:offset] + marker + data[offset + len(marker):]
            scratch = os.path.join(self.scratch, '%06d.bin' % self.number)
            with open(scratch, 'wb') as f:
                f.write(written)
            self.mtimes.add(st.st_mtime_ns)
            self.writes.append(dict(rel=rel, number=self.number, stream=stream, offset=offset,
                                    old=data[offset:offset + len(marker)], scratch=scratch,
                                    dev=st.st_dev, ino=st.st_ino, size=st.st_size,
                                    mtime=st.st_mtime_ns, atime=st.st_atime_ns))
        finally:
            os.close(fd)


def settle_writes(writes, tree, records, killed):
    """Finds where every write of a run went, with the run over and the
    writer stopped, and makes the records expect what landed.

    A write landed when the document's path still leads to the file written
    into, or when what came after it (the next write's read, or the document
    now) is a copy holding the written streams. Returns (counts, problems,
    writes lost only through the window after an exchange of names)."""
    counts = collections.Counter()
    problems = []
    known = []
    by_doc = collections.defaultdict(list)
    for wr in writes:
        with open(wr['scratch'], 'rb') as f:
            written = f.read()
        os.unlink(wr['scratch'])
        wr['sha'] = hashlib.sha256(written).hexdigest()
        wr['streams'] = stream_map(written)
        read = written[:wr['offset']] + wr['old'] + written[wr['offset'] + len(wr['old']):]
        wr['read_streams'] = stream_map(read)
        by_doc[wr['rel']].append(wr)
    for rel, ws in sorted(by_doc.items()):
        path = os.path.join(tree, rel)
        for i, wr in enumerate(ws):
            r = records[rel]
            counts['writes'] += 1
            if wr['read_streams'] != r['streams']:
                problems.append('%s: write %d read a document whose streams are not those expected'
                                % (rel, wr['number']))
            later = ws[i + 1] if i + 1 < len(ws) else None
            if later is not None:
                same_file = (later['dev'], later['ino']) == (wr['dev'], wr['ino'])
                holds_it = later['read_streams'] == wr['streams']
            else:
                try:
                    st = os.stat(path)
                except OSError:
                    st = None
                same_file = st is not None and (st.st_dev, st.st_ino) == (wr['dev'], wr['ino'])
                holds_it = False
                if st is not None and not same_file and st.st_mtime_ns == wr['mtime']:
                    try:
                        holds_it = stream_map(read_bytes(path)) == wr['streams']
                    except Exception:
                        holds_it = False
            if same_file or holds_it:
                counts['landed'] += 1
                counts['landed in place' if same_file else 'landed, then compacted'] += 1
                r.update(sha=wr['sha'], size=wr['size'], streams=wr['streams'], mtime=wr['mtime'], atime=wr['atime'])
                continue
            # Lost. Is it the file left under a temporary name after an
            # exchange of names, holding the old document and the marker?
            folder = os.path.dirname(path)
            leftover = None
            for n in sorted(os.listdir(folder)):
                if is_temp(n):
                    try:
                        lst = os.lstat(os.path.join(folder, n))
                    except OSError:
                        continue
                    if (lst.st_dev, lst.st_ino) == (wr['dev'], wr['ino']):
                        leftover = os.path.join(os.path.dirname(rel), n)
            if (killed and leftover is not None and wr['read_streams'] == r['streams']
                    and hashlib.sha256(read_bytes(os.path.join(tree, leftover))).hexdigest() == wr['sha']):
                counts['lost after exchange'] += 1
                known.append('%s: write %d into stream %s is in %s, the old document, not in the document: '
                             'write into the old file in the window after the exchange, killed before the '
                             'swap back' % (rel, wr['number'], wr['stream'], leftover))
                continue
            counts['lost'] += 1
            where = ('in %s' % leftover) if leftover else 'in a file no longer in the folder'
            problems.append('%s: write %d into stream %s did not end up in the document (%s)'
                            % (rel, wr['number'], wr['stream'], where))
    return counts, problems, known


# ---------------------------------------------------------------------------
# Running and killing

def classify(pid, tree, temps_before, records, written_mtimes=(), wine=False):
    """What the stopped process is doing, from the files it has open."""
    open_docs, open_temps, open_dirs = [], [], []
    fd_dir = '/proc/%d/fd' % pid
    try:
        fds = os.listdir(fd_dir)
    except OSError:
        return 'gone'
    for fd in fds:
        try:
            target = os.readlink(os.path.join(fd_dir, fd))
        except OSError:
            continue
        if not target.startswith(tree):
            continue
        name = os.path.basename(target.replace(' (deleted)', ''))
        if is_temp(name):
            open_temps.append(target)
        elif os.path.isdir(target):
            open_dirs.append(target)
        else:
            open_docs.append(target)
    new_temps = []
    for folder, _, files in os.walk(tree):
        for n in files:
            if is_temp(n):
                rel = os.path.relpath(os.path.join(folder, n), tree)
                if rel not in temps_before:
                    new_temps.append(os.path.join(folder, n))
    if open_temps and open_docs:
        return 'copy'
    if open_temps:
        return 'stamping'
    if new_temps:
        # A stamped copy (it carries the document's modification time) is
        # waiting for, or in, its replacement; an unstamped one was just closed.
        for t in new_temps:
            rel = os.path.relpath(t, tree)
            doc_mtimes = {r['mtime'] for k, r in records.items() if os.path.dirname(k) == os.path.dirname(rel)}
            doc_mtimes |= written_mtimes
            if wine:
                doc_mtimes = {filetime_ns(m) for m in doc_mtimes}
            try:
                if os.lstat(t).st_mtime_ns in doc_mtimes:
                    return 'replacement'
            except OSError:
                pass
        return 'copy'
    if open_docs:
        return 'open'
    if open_dirs:
        return 'scan'
    return 'between'


def stop(pid):
    """Stops the process (SIGSTOP) and waits until it is stopped; False when
    it ended first."""
    os.kill(pid, signal.SIGSTOP)
    deadline = time.monotonic() + 30  # a loaded machine may take its time
    while time.monotonic() < deadline:
        try:
            with open('/proc/%d/stat' % pid) as f:
                state = f.read().rsplit(')', 1)[1].split()[0]
        except OSError:
            return False
        if state in ('T', 't', 'Z', 'X'):
            return state in ('T', 't')
        time.sleep(0.0002)
    return False


def syscall_counts(cli, tree, log):
    """How often a whole run makes each system call of SYSCALL_PHASES."""
    out = tree + '.strace'
    subprocess.call(['strace', '-f', '-qq', '-c', '-o', out, cli, tree], stdout=log, stderr=log)
    counts = {}
    with open(out) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 5 and parts[-1] in SYSCALL_PHASES and parts[3].isdigit():
                counts[parts[-1]] = int(parts[3])
    os.unlink(out)
    return counts


def run_command(cli, tree, jobs, rnd):
    """The velkor-cli command of one run, with the workers --jobs asks for
    and a line for every document (what was done, or why not)."""
    if jobs == 'mixed':
        jobs = rnd.choice(('1', '2', '4', 'auto'))
    return cli.command(['--list'] if jobs == 'auto' else ['--list', '--jobs', jobs], tree)


def taskkill(proc, log):
    """Ends the run with Wine's `taskkill /F`; True when it did."""
    done = subprocess.call(['wine', 'taskkill', '/F', '/IM', 'velkor-cli.exe'], stdout=log, stderr=log) == 0
    try:
        proc.wait(timeout=60)
    except subprocess.TimeoutExpired:
        proc.kill()  # taskkill said it ended it, yet it runs on
        proc.wait()
        return False
    return done


def run_once(command, tree, rnd, full_time, log, temps_before, records, call_counts, written_mtimes=frozenset(),
             wine=False):
    """Starts a run and kills it. Returns (phase or None if it completed, exit code)."""
    strategy = rnd.random()
    if strategy >= 0.6 and call_counts:
        # Killed on entering the n-th call of one system call.
        call = rnd.choice(sorted(call_counts))
        n = rnd.randint(1, call_counts[call])
        proc = subprocess.Popen(['strace', '-f', '-qq', '-o', '/dev/null', '-e', 'trace=' + call,
                                 '-e', 'inject=%s:signal=SIGKILL:when=%d' % (call, n)] + command,
                                stdout=log, stderr=log)
        code = proc.wait()
        # strace exits with the tracee's status; a tracee killed by a signal
        # makes strace kill itself with the same signal.
        if code in (-signal.SIGKILL, 128 + signal.SIGKILL):
            return SYSCALL_PHASES[call], -signal.SIGKILL
        return None, code
    proc = subprocess.Popen(command, stdout=log, stderr=log)
    phase = None
    if wine and strategy < 0.15:
        time.sleep(rnd.uniform(0, full_time * 1.1))
        if proc.poll() is None and taskkill(proc, log):
            return 'taskkill', proc.returncode
        return None, proc.wait()
    if strategy < 0.3:
        time.sleep(rnd.uniform(0, full_time * 1.1))
        if proc.poll() is None and stop(proc.pid):
            phase = classify(proc.pid, tree, temps_before, records, written_mtimes, wine)
            proc.send_signal(signal.SIGKILL)
    else:
        target = rnd.choice(('scan', 'copy', 'copy', 'stamping', 'replacement', 'replacement'))
        deadline = time.monotonic() + full_time * 3 + 5
        while proc.poll() is None and time.monotonic() < deadline:
            time.sleep(rnd.uniform(0, 0.002))
            if not stop(proc.pid):
                break
            seen = classify(proc.pid, tree, temps_before, records, written_mtimes, wine)
            if seen == target or time.monotonic() >= deadline:
                phase = seen
                proc.send_signal(signal.SIGKILL)
                break
            os.kill(proc.pid, signal.SIGCONT)
    if phase is None and proc.poll() is None:
        # Not killed: let it run to its end (it may be stopped still).
        os.kill(proc.pid, signal.SIGCONT)
    try:
        code = proc.wait(timeout=600)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None, 'hung'
    if code == -signal.SIGKILL:
        return phase or 'between', code
    return None, code


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--kills', type=int, default=250)
    parser.add_argument('--cli', default=os.path.join(ROOT, 'build', 'bin', 'velkor-cli'))
    parser.add_argument('--wine', default=None, metavar='PATH',
                        help='runs of velkor-cli.exe at PATH under Wine, killed there (implies --no-writer)')
    parser.add_argument('--fixtures', default=os.path.join(ROOT, 'build', 'fixtures'))
    parser.add_argument('--seed', type=int, default=8)
    parser.add_argument('--jobs', default='mixed',
                        help='documents at once: a number, "auto" or "mixed" (default: drawn for every run)')
    parser.add_argument('--writer', action=argparse.BooleanOptionalAction, default=True,
                        help='a program writes into documents in place while runs go on (default: on)')
    parser.add_argument('--work', default=None, help='folder for the tree (default: a new temporary folder)')
    parser.add_argument('--keep', action='store_true', help='keep the work folder')
    parser.add_argument('--json', default=None, help='also write the figures to this file')
    args = parser.parse_args()
    if args.wine:
        args.writer = False  # the writer is a Linux program: Wine's sharing modes do not bind it
        if not os.path.isfile(args.wine) or not shutil.which('wine'):
            sys.exit('kill_harness: no velkor-cli.exe at %s, or no wine' % args.wine)
    elif not os.access(args.cli, os.X_OK):
        sys.exit('kill_harness: no velkor-cli at %s' % args.cli)
    cli = Cli(os.path.abspath(args.wine), True) if args.wine else Cli(args.cli, False)
    global TEMP_PREFIXES
    if cli.wine:
        TEMP_PREFIXES = ('vkr', 'rf')
    if args.jobs not in ('mixed', 'auto') and not args.jobs.isdigit():
        sys.exit('kill_harness: --jobs takes a number, "auto" or "mixed"')

    rnd = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix='velkor-kill-', dir=args.work)
    tree = os.path.join(work, 'tree')
    pristine = os.path.join(work, 'pristine')
    started = time.monotonic()
    try:
        records = build_tree(pristine, args.fixtures, rnd)
        pristine_records = copy.deepcopy(records)
        shutil.copytree(pristine, tree, copy_function=shutil.copy2)
        restore_tree(pristine, tree, records)
        checker = Checker(tree, records, cli.wine)
        docs = sum(1 for r in records.values() if r['doc'])
        total_bytes = sum(r['size'] for r in records.values())
        print('kill_harness: %d files (%d compound documents, %.1f MB) in %s' %
              (len(records), docs, total_bytes / 1e6, tree), flush=True)

        log = open(os.path.join(work, 'runs.log'), 'ab')
        # How long a whole compressing run takes: the range of the random delays.
        t0 = time.monotonic()
        code = subprocess.call(cli.command([], tree), stdout=log, stderr=log)
        full_time = time.monotonic() - t0
        problems, counts, _ = checker.check()
        if code != 0 or problems or counts['compacted'] == 0:
            print('kill_harness: the unkilled run failed (exit %d, %d compacted): %s' %
                  (code, counts['compacted'], problems[:5]))
            return 1
        restore_tree(pristine, tree, records)
        print('kill_harness: a whole run takes %.2f s and compacts %d documents' % (full_time, counts['compacted']),
              flush=True)
        call_counts = syscall_counts(args.cli, tree, log) if shutil.which('strace') and not cli.wine else {}
        restore_tree(pristine, tree, records)
        print('kill_harness: system calls of a whole run: %s' % call_counts, flush=True)
        # The writer: the documents it can write into, and a write every
        # eighth of a whole run on average.
        writable = [rel for rel, r in sorted(records.items())
                    if r['doc'] and writable_sector(read_bytes(os.path.join(pristine, rel)), random.Random(0))]
        scratch = os.path.join(work, 'writes')
        os.makedirs(scratch)
        pace = max(0.02, full_time / 4)
        write_number = runs = 0
        write_counts = collections.Counter()
        known_losses = []
        waits = []
        leased_opens = 0
        if args.writer:
            print('kill_harness: a writer writes into %d documents in place while runs go on' % len(writable),
                  flush=True)

        loop_log_start = log.tell()
        kills = 0
        by_phase = collections.Counter()
        completed = cycles = 0
        damaged = set()
        all_problems = []
        max_temps = 0
        leftover_examples = set()
        temps_before = set()
        by_jobs = collections.Counter()
        while kills < args.kills:
            command = run_command(cli, tree, args.jobs, rnd)
            runs += 1
            writer = None
            if args.writer:
                writer = Writer(tree, writable, random.Random(args.seed * 100003 + runs), pace, scratch,
                                write_number)
                writer.start()
            phase, code = run_once(command, tree, rnd, full_time, log, temps_before, records, call_counts,
                                   writer.mtimes if writer else frozenset(), cli.wine)
            if phase is None:
                completed += 1
                if code != 0:
                    all_problems.append('a run ended with exit status %s' % code)
            else:
                kills += 1
                by_phase[phase] += 1
                by_jobs[command[command.index('--jobs') + 1] if '--jobs' in command else 'auto'] += 1
            if writer is not None:
                # Stopped before anything is looked at; then the records
                # expect what it wrote.
                writer.stop()
                write_number = writer.number
                waits += writer.waits
                leased_opens += writer.leased
                counts, problems, known = settle_writes(writer.writes, tree, records, phase is not None)
                write_counts.update(counts)
                for p in writer.problems + problems:
                    all_problems.append('after kill %d (%s): %s' % (kills, phase, p))
                    damaged.add(p.split(':')[0])
                known_losses += ['after kill %d (%s): %s' % (kills, phase, p) for p in known]
            problems, counts, temps = checker.check()
            for p in problems:
                all_problems.append('after kill %d (%s): %s' % (kills, phase, p))
                damaged.add(p.split(':')[0])
            max_temps = max(max_temps, len(temps))
            leftover_examples.update(temps)
            temps_before = set(temps)
            if phase is None:
                # The run finished: everything that shrinks is compacted. Start
                # a fresh cycle from the originals.
                cycles += 1
                restore_tree(pristine, tree, pristine_records)
                records.clear()
                records.update(copy.deepcopy(pristine_records))
                temps_before = set()
            if kills and kills % 25 == 0 and phase is not None:
                print('kill_harness: %d kills, %d completed runs, damaged %d' % (kills, completed, len(damaged)),
                      flush=True)

        figures = dict(kills=kills, kills_by_phase=dict(by_phase), kills_by_jobs=dict(by_jobs),
                       completed_runs=completed, cycles=cycles,
                       documents=docs, files=len(records), document_checks=checker.checks,
                       compacted_documents_seen=len(checker.compacted_seen),
                       leftover_temp_files=sorted(leftover_examples), max_leftovers_at_once=max_temps,
                       files_damaged=len(damaged), seconds=round(time.monotonic() - started, 1))
        # Documents the runs passed over because a program opened them: the
        # writer, waiting for a run's lease.
        log.flush()
        with open(log.name, 'rb') as f:
            f.seek(loop_log_start)
            passed_over_open = f.read().count(b'open in another program')
        if args.writer:
            figures.update(documents_passed_over_open_elsewhere=passed_over_open,
                           writes=write_counts['writes'], writes_landed=write_counts['landed'],
                           writes_landed_in_place=write_counts['landed in place'],
                           writes_landed_then_compacted=write_counts['landed, then compacted'],
                           writes_lost_after_exchange_killed_before_swap_back=write_counts['lost after exchange'],
                           writes_lost=write_counts['lost'],
                           writer_opens_of_leased_documents=leased_opens,
                           writer_open_wait_max_s=round(max(waits, default=0), 3),
                           writer_opens_waiting_over_1s=sum(1 for t in waits if t > 1))
        print('kill_harness: kills %d (%s); completed runs %d; documents %d; checks %d; files damaged: %d' %
              (kills, ', '.join('%s %d' % (p, by_phase[p]) for p in PHASES if by_phase[p]), completed, docs,
               checker.checks, len(damaged)))
        print('kill_harness: kills by --jobs: %s' % ', '.join('%s %d' % item for item in sorted(by_jobs.items())))
        print('kill_harness: leftover vkr*.tmp files (each in its document\'s folder): %d distinct, at most %d at once'
              % (len(leftover_examples), max_temps))
        for t in sorted(leftover_examples)[:20]:
            print('  ' + t)
        if args.writer:
            print('kill_harness: writes in place %d, landed %d (%d in the file written into, %d then compacted), '
                  'lost %d' % (write_counts['writes'], write_counts['landed'], write_counts['landed in place'],
                                write_counts['landed, then compacted'], write_counts['lost']))
            print('kill_harness: %d opens of a document a run held a lease on; longest wait to open %.3f s, '
                  '%d opens waited over 1 s; runs passed a document over as open in another program %d times' %
                  (leased_opens, max(waits, default=0), sum(1 for t in waits if t > 1), passed_over_open))
            print('kill_harness: writes into the old file in the window after the exchange, killed before the '
                  'swap back: %d' % write_counts['lost after exchange'])
            for p in known_losses:
                print('WINDOW AFTER EXCHANGE: ' + p)
        if args.json:
            with open(args.json, 'w') as f:
                json.dump(figures, f, indent=2)
        if cli.wine:
            figures.update(read_only_taken_off=len(checker.windows))
            print('kill_harness: kills that left a document without its read-only attribute (put right): %d'
                  % len(checker.windows))
            for p in checker.windows:
                print('READ-ONLY TAKEN OFF: ' + p)
            figures.update(name_gaps=len(checker.name_gaps))
            print('kill_harness: kills in the middle of ReplaceFileW that left the original whole under '
                  'its backup name (put back): %d' % len(checker.name_gaps))
            for p in checker.name_gaps:
                print('NAME GAP: ' + p)
        for p in all_problems[:50]:
            print('DAMAGE: ' + p)
        return 0 if not all_problems else 1
    finally:
        if args.keep:
            print('kill_harness: kept %s' % work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
