#!/usr/bin/env python3
"""Checks the built-in fuel coefficients against known consumption.

Runs velm_fuel_table (level-cruise l/100 km of every vehicle type at 40..120
km/h) and fails unless the cars and light trucks (types 1..21) burn 5 to 10
l/100 km at 60 km/h and the heavy trucks and the bus (types 22..25) 30 to 40
l/100 km at 80 km/h.

Usage: check-fuel-plausibility.py PATH/TO/velm_fuel_table
"""
import subprocess
import sys

LIGHT = (range(1, 22), 60, 5.0, 10.0)
HEAVY = (range(22, 26), 80, 30.0, 40.0)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = subprocess.run([sys.argv[1]], check=True, capture_output=True, text=True).stdout
    lines = out.splitlines()
    speeds = [int(v) for v in lines[0].split()[1:] if v.isdigit()]
    table = {}
    for line in lines[1:]:
        fields = line.split()
        table[int(fields[0])] = [float(x) for x in fields[1:1 + len(speeds)]]
    failures = []
    for types, speed, low, high in (LIGHT, HEAVY):
        col = speeds.index(speed)
        for t in types:
            if t not in table:
                failures.append(f"type {t}: missing from the table")
                continue
            value = table[t][col]
            if not low <= value <= high:
                failures.append(f"type {t}: {value:.2f} l/100 km at {speed} km/h, "
                                f"outside {low:g}..{high:g}")
    print(out, end="")
    for f in failures:
        print("IMPLAUSIBLE:", f)
    if failures:
        return 1
    print("All types within their ranges.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
