#!/usr/bin/env python3
"""Runs samples for their whole horizon and prints a table of what they did.

Usage: sample-table.py PROGRAM SAMPLE... [--readme README]

Each sample runs in out/<sample>/ (a fresh copy of samples/<sample>/, as
`make run` does). The table gives, per sample, the trips completed (run
summary of runerr.out) and, per completed trip, the mean delay, stops and
fuel (summary.out, average statistics, all classes). With --readme the
table replaces the lines between "<!-- table -->" and "<!-- /table -->" in
that file.
"""
import pathlib
import re
import shutil
import subprocess
import sys

TOP = pathlib.Path(__file__).resolve().parent.parent


def run(program, sample):
    src = TOP / "samples" / sample
    work = TOP / "out" / sample
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(src, work)
    master = next(work.glob("*.master")).name
    status = subprocess.run([program, "--master", master], cwd=work,
                            stdout=subprocess.DEVNULL).returncode
    return work, status


def figures(work):
    log = (work / "runerr.out").read_text(errors="replace")
    done = re.findall(r"Total trips completed\s*:\s*(\d+)", log)
    summary = (work / "output" / "summary.out").read_text(errors="replace")
    avg = summary.split("Average Statistics", 1)[1]
    rows = {}
    for line in avg.splitlines():
        parts = line.split()
        if len(parts) >= 7 and parts[0].isdigit():
            rows[int(parts[0])] = float(parts[6])  # all classes
    return {
        "trips": int(done[-1]) if done else 0,
        "delay": rows.get(8, 0.0),
        "stops": rows.get(5, 0.0),
        "fuel": rows.get(12, 0.0),
    }


def main(argv):
    args = argv[1:]
    readme = None
    if "--readme" in args:
        i = args.index("--readme")
        readme = pathlib.Path(args[i + 1])
        del args[i:i + 2]
    if len(args) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    program = str(pathlib.Path(args[0]).resolve())
    lines = ["| Sample | Trips completed | Mean delay (s/trip) | Stops per trip | Fuel (l/trip) |",
             "|---|---:|---:|---:|---:|"]
    for sample in args[1:]:
        work, status = run(program, sample)
        f = figures(work)
        note = "" if status == 0 else f" (exit status {status})"
        lines.append(f"| `{sample}`{note} | {f['trips']} | {f['delay']:.1f} | "
                     f"{f['stops']:.2f} | {f['fuel']:.3f} |")
    table = "\n".join(lines)
    print(table)
    if readme is not None:
        text = readme.read_text()
        new = re.sub(r"(<!-- table -->\n).*?(<!-- /table -->)",
                     lambda m: m.group(1) + table + "\n" + m.group(2), text, flags=re.S)
        readme.write_text(new)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
