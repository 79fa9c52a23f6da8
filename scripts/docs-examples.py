#!/usr/bin/env python3
"""Lists or extracts the example input files of docs/inputs/.

Every fenced block whose info string is `velm-input NAME` is an example of
input file NAME. `docs-examples.py list` prints "page NAME lines" per block;
`docs-examples.py write DIR NAME...` writes the first example of each NAME
into DIR (the master file into DIR, every other file into DIR/input).
"""
import pathlib
import re
import sys

DOCS = pathlib.Path(__file__).resolve().parent.parent / "docs" / "inputs"
FENCE = re.compile(r"^```velm-input\s+(\S+)\s*$")


def blocks():
    for page in sorted(DOCS.glob("*.md")):
        lines = page.read_text().splitlines()
        i = 0
        while i < len(lines):
            m = FENCE.match(lines[i])
            if not m:
                i += 1
                continue
            body = []
            i += 1
            while i < len(lines) and lines[i].strip() != "```":
                body.append(lines[i])
                i += 1
            yield page.name, m.group(1), "\n".join(body) + "\n"
            i += 1


def main(argv):
    if len(argv) >= 2 and argv[1] == "list":
        for page, name, text in blocks():
            print(page, name, text.count("\n"))
        return 0
    if len(argv) >= 4 and argv[1] == "write":
        out = pathlib.Path(argv[2])
        found = {}
        for _, name, text in blocks():
            found.setdefault(name, text)
        for name in argv[3:]:
            if name not in found:
                print(f"no example of {name} in docs/inputs", file=sys.stderr)
                return 1
            target = out / name if name.endswith(".master") else out / "input" / name
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_text(found[name])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
