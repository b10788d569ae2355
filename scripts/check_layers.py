#!/usr/bin/env python3
#===- scripts/check_layers.py - Include edges against link edges ----------===#
"""Checks that every target includes only headers of targets it links.

The build writes <build>/layers.txt (see cmake/VelkorLayers.cmake): per
target its folder, its sources, the targets it links and the targets its
users get with it. This script reads the #include "..." lines of every
source, finds the target that owns each included file, and fails when that
target is neither the includer itself nor among what it links (directly, or
through the PUBLIC links of what it links).

    scripts/check_layers.py BUILD_DIR/layers.txt
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LINK_ONLY = re.compile(r'^\$<LINK_ONLY:(.*)>$')


def read_targets(path):
    targets = {}
    current = None
    with open(path, encoding='utf-8') as table:
        for line in table:
            key, _, value = line.rstrip('\n').partition(' ')
            if key == 'target':
                current = targets.setdefault(value, {'sources': [], 'links': [], 'interface': [], 'roots': []})
            elif key in ('sources', 'links', 'interface', 'roots'):
                current[key] = [item for item in value.split(';') if item]
            elif key == 'dir':
                current['dir'] = value
    return targets


def interface_closure(name, targets, seen):
    """The targets a user of `name` may include: it and its PUBLIC links."""
    if name in seen or name not in targets:
        return
    seen.add(name)
    for link in targets[name]['interface']:
        if LINK_ONLY.match(link):
            continue  # a PRIVATE link of a static library: linked, not visible
        interface_closure(link, targets, seen)


def main():
    targets = read_targets(sys.argv[1])
    owner = {}
    for name, target in targets.items():
        for source in target['sources']:
            path = source if os.path.isabs(source) else os.path.join(target['dir'], source)
            owner.setdefault(os.path.realpath(path), name)
    failures = []
    edges = 0
    for name, target in sorted(targets.items()):
        allowed = {name}
        for link in target['links']:
            interface_closure(link, targets, allowed)
        for source in target['sources']:
            path = source if os.path.isabs(source) else os.path.join(target['dir'], source)
            path = os.path.realpath(path)
            if not path.endswith(('.cpp', '.h')) or not os.path.exists(path):
                continue
            with open(path, encoding='utf-8', errors='replace') as text:
                includes = INCLUDE.findall(text.read())
            for included in includes:
                candidates = [os.path.join(os.path.dirname(path), included)]
                candidates += [os.path.join(root, included) for root in target['roots']]
                found = next((os.path.realpath(c) for c in candidates if os.path.exists(c)), None)
                if found is None or found not in owner:
                    continue  # generated, or not part of any target
                edges += 1
                if owner[found] not in allowed:
                    failures.append(f'{os.path.relpath(path)}: includes "{included}" of '
                                    f'{owner[found]}, which {name} does not link')
    for failure in failures:
        print(failure)
    print(f'{len(targets)} targets, {edges} include edges checked, {len(failures)} outside the link graph')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
