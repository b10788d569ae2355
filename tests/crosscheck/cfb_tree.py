#!/usr/bin/python3
#===- tests/crosscheck/cfb_tree.py - Compound-file trees by other readers ===#
"""Lists a compound file's tree as two independent readers see it.

    cfb_tree.py olefile FILE      canonical listing by Python's olefile
    cfb_tree.py gsf FILE          canonical listing by libgsf's gsf tool
    cfb_tree.py same A B          exit 0 when A and B list identically under both
                                  readers, else 1 with the differing lines
    cfb_tree.py agree FILE        exit 0 when olefile and gsf agree on FILE's
                                  storages, streams, sizes and bytes
    cfb_tree.py order FILE        prints each storage's children as its sibling
                                  tree lists them (in order: left, node, right);
                                  exit 0 when every list is in the format's
                                  order, else 1 with the pairs out of order

Every listing line is one entry, sorted by path:
    kind<TAB>path<TAB>clsid<TAB>state<TAB>ctime<TAB>mtime<TAB>size<TAB>sha256
(olefile), or kind, path, mtime as gsf prints it, size and sha256 (gsf). Paths
join names with '/', control characters written as \\xNN. The root is '/'.
"""

import hashlib
import re
import subprocess
import sys


def show(name):
    return ''.join('\\x%02x' % ord(c) if ord(c) < 0x20 or c == '\\' else c for c in name)


def olefile_listing(path):
    import olefile
    ole = olefile.OleFileIO(path)
    lines = []
    todo = [(ole.root, [])]
    while todo:
        entry, parts = todo.pop()
        kind = {olefile.STGTY_ROOT: 'root', olefile.STGTY_STORAGE: 'storage',
                olefile.STGTY_STREAM: 'stream'}[entry.entry_type]
        size, digest = '-', '-'
        if kind == 'stream':
            data = ole.openstream(parts).read()
            if len(data) != entry.size:
                raise RuntimeError('short stream %s' % '/'.join(parts))
            size, digest = str(len(data)), hashlib.sha256(data).hexdigest()
        lines.append('\t'.join([kind, '/' + '/'.join(show(p) for p in parts),
                                (entry.clsid or '0' * 32).upper(), '%08x' % entry.dwUserFlags,
                                str(entry.createTime), str(entry.modifyTime), size, digest]))
        for kid in entry.kids:
            todo.append((kid, parts + [kid.name]))
    ole.close()
    return sorted(lines)


GSF_LINE = re.compile(r'^([df])  (?:(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)|\s{19}) +(\d+) (.*)$')


def gsf_entries(path):
    """(kind, path, mtime, size) for every entry gsf lists."""
    out = subprocess.run(['gsf', 'list', path], stdout=subprocess.PIPE, check=True).stdout
    entries = []
    for raw in out.decode('utf-8', 'surrogateescape').split('\n')[1:]:
        if not raw:
            continue
        m = GSF_LINE.match(raw)
        if not m:
            raise RuntimeError('unexpected gsf line: %r' % raw)
        kind, mtime, size, name = m.group(1), m.group(2) or '-', int(m.group(3)), m.group(4)
        if name == '*root*':
            # A root without children is listed like an empty stream.
            kind, name = 'd', ''
        entries.append((kind, name, mtime, size))
    return entries


def gsf_listing(path):
    entries = gsf_entries(path)
    files = [e for e in entries if e[0] == 'f']
    # One gsf run prints every stream back to back; the listed sizes split it.
    blob = b''
    if files:
        blob = subprocess.run(['gsf', 'cat', path] + [e[1] for e in files],
                              stdout=subprocess.PIPE, check=True).stdout
    if len(blob) != sum(e[3] for e in files):
        raise RuntimeError('gsf cat gave %d bytes, the listing %d' % (len(blob), sum(e[3] for e in files)))
    lines, pos = [], 0
    for kind, name, mtime, size in entries:
        digest = '-'
        if kind == 'f':
            digest = hashlib.sha256(blob[pos:pos + size]).hexdigest()
            pos += size
        lines.append('\t'.join([kind, '/' + show(name), mtime, str(size), digest]))
    return sorted(lines)


def diff(a, b):
    sa, sb = set(a), set(b)
    return ['- ' + x for x in a if x not in sb] + ['+ ' + x for x in b if x not in sa]


def agree(path):
    """Compares what olefile and gsf read. gsf lists an empty storage like an
    empty stream and gives the root no size, so those two are normalised."""
    ole, gsf = [], []
    for line in olefile_listing(path):
        kind, name, _, _, _, _, size, digest = line.split('\t')
        if kind == 'root':
            continue
        if kind == 'storage':
            ole.append((name, 'storage', '-'))
        else:
            ole.append((name, size, digest))
    for kind, name, mtime, size, digest in (l.split('\t') for l in gsf_listing(path)):
        if name == '/':
            continue
        if kind == 'd':
            gsf.append((name, 'storage', '-'))
        elif size == '0' and any(o == (name, 'storage', '-') for o in ole):
            gsf.append((name, 'storage', '-'))
        else:
            gsf.append((name, size, digest))
    return diff(sorted(map('\t'.join, ole)), sorted(map('\t'.join, gsf)))


def name_key(name):
    """The format's order of sibling names, computed here from Python's own
    case mappings: shorter names first, then the UTF-16 code units compared
    one by one after each is uppercased on its own (a unit whose uppercase is
    not one unit of the basic plane, and a surrogate, stays as it is)."""
    data = name.encode('utf-16-le', 'surrogatepass')
    units = [data[i] | data[i + 1] << 8 for i in range(0, len(data), 2)]
    upper = []
    for unit in units:
        folded = '' if 0xD800 <= unit <= 0xDFFF else chr(unit).upper()
        upper.append(ord(folded) if len(folded) == 1 and ord(folded) <= 0xFFFF else unit)
    return (len(units), upper)


def sibling_order(path):
    """(listing lines, problems): each storage's children read from its
    sibling tree in order, and the neighbours that are not strictly ascending."""
    import olefile
    ole = olefile.OleFileIO(path)
    lines, problems = [], []
    for entry in ole.direntries:
        if entry is None or entry.entry_type not in (olefile.STGTY_ROOT, olefile.STGTY_STORAGE):
            continue
        names, stack, sid = [], [], entry.sid_child
        while stack or sid != olefile.NOSTREAM:
            if sid != olefile.NOSTREAM:
                stack.append(sid)
                sid = ole.direntries[sid].sid_left
            else:
                sid = stack.pop()
                names.append(ole.direntries[sid].name)
                sid = ole.direntries[sid].sid_right
        lines.append(show(entry.name) + ': ' + ' '.join(show(n) for n in names))
        for a, b in zip(names, names[1:]):
            if not name_key(a) < name_key(b):
                problems.append('%s: %s before %s' % (show(entry.name), show(a), show(b)))
    ole.close()
    return lines, problems


def main(argv):
    if len(argv) == 3 and argv[1] == 'olefile':
        print('\n'.join(olefile_listing(argv[2])))
    elif len(argv) == 3 and argv[1] == 'gsf':
        print('\n'.join(gsf_listing(argv[2])))
    elif len(argv) == 4 and argv[1] == 'same':
        problems = []
        for reader, listing in (('olefile', olefile_listing), ('gsf', gsf_listing)):
            problems += ['%s: %s' % (reader, d) for d in diff(listing(argv[2]), listing(argv[3]))]
        if problems:
            print('\n'.join(problems))
            return 1
    elif len(argv) == 3 and argv[1] == 'order':
        lines, problems = sibling_order(argv[2])
        print('\n'.join(lines + problems))
        if problems:
            return 1
    elif len(argv) == 3 and argv[1] == 'agree':
        problems = agree(argv[2])
        if problems:
            print('\n'.join(problems))
            return 1
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
