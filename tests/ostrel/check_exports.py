#!/usr/bin/env python3
"""The library exports exactly the names of its .def file, whose ordinals 1..37 follow the
byte-wise order of the names."""
import re
import subprocess
import sys


def main(library, def_file):
    entries = []
    for line in open(def_file, encoding="ascii"):
        m = re.match(r"\s*([A-Za-z_][A-Za-z0-9_]*)\s+@(\d+)\s*$", line)
        if m:
            entries.append((m.group(1), int(m.group(2))))
    names = [n for n, _ in entries]
    ok = True
    if len(entries) != 37:
        print(f"{def_file}: {len(entries)} exports, expected 37")
        ok = False
    if [o for _, o in entries] != list(range(1, len(entries) + 1)):
        print(f"{def_file}: ordinals are not 1..{len(entries)} in order")
        ok = False
    if names != sorted(names, key=lambda n: n.encode("ascii")):
        print(f"{def_file}: names are not in byte-wise order")
        ok = False

    out = subprocess.run(["nm", "-D", "--defined-only", library], check=True,
                         capture_output=True, text=True).stdout
    exported = sorted(line.split()[-1] for line in out.splitlines() if line.strip())
    if exported != sorted(names):
        print("missing:", sorted(set(names) - set(exported)))
        print("unexpected:", sorted(set(exported) - set(names)))
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
