#!/usr/bin/env python3
"""Fails when a source file includes a header from an area above its own.

The areas stand in layers, and each may use only its own and lower ones:
base -> diagnostics, xml -> http, product -> bootstrap -> clrhost -> install -> app.
The tools stand on http and product and below, never on the pipeline object
or the program's window.
"""
import pathlib
import re
import sys

RANK = {"base": 0, "diagnostics": 0.5, "xml": 1, "http": 2, "product": 2, "bootstrap": 3, "clrhost": 4, "install": 5, "app": 6}
TOOLS_RANK = 3  # below bootstrap
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)


def problems(root):
    for path in sorted(list(root.glob("src/*/*.[ch]*")) + list(root.glob("tools/*/*.[ch]*"))):
        area = path.parent.name
        top = path.parts[-3]
        rank = RANK.get(area) if top == "src" else TOOLS_RANK
        if rank is None:
            continue
        for included in INCLUDE.findall(path.read_text(errors="replace")):
            if included not in RANK or included == area:
                continue
            if RANK[included] >= rank:
                yield f"{path.relative_to(root)}: includes {included}/, which stands above or beside {area}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(problems(root))
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
