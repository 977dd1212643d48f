#!/usr/bin/env python3
"""Python's csv module on the grid's project file, for comparison with SaveCSV/LoadCSV.

Usage: gridfiles_csv.py PROJECT.csv OUT.csv REPEATS

Reads PROJECT.csv (written by SaveCSV) with csv.reader into a list of rows, then writes the
same rows to OUT.csv with csv.writer (CR LF line ends, like the grid), REPEATS times each.
Prints one line: "read_cpu read_wall write_cpu write_wall rows fields", each time in seconds
and the fastest of the repeats. A read runs from opening the file to the last row in
memory, a write from opening the file to closing it. Interpreter start-up is not counted.
"""
import csv
import sys
import time


def timed(action, repeats):
    best_cpu = best_wall = float("inf")
    for _ in range(repeats):
        cpu, wall = time.process_time(), time.perf_counter()
        action()
        best_cpu = min(best_cpu, time.process_time() - cpu)
        best_wall = min(best_wall, time.perf_counter() - wall)
    return best_cpu, best_wall


def main():
    source, target, repeats = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rows = []

    def read():
        nonlocal rows
        # latin-1 maps every byte to one character, as the grid keeps its bytes.
        with open(source, newline="", encoding="latin-1") as f:
            rows = list(csv.reader(f))

    def write():
        with open(target, "w", newline="", encoding="latin-1") as f:
            csv.writer(f, lineterminator="\r\n").writerows(rows)

    read_cpu, read_wall = timed(read, repeats)
    write_cpu, write_wall = timed(write, repeats)
    fields = sum(len(r) for r in rows)
    print(f"{read_cpu:.6f} {read_wall:.6f} {write_cpu:.6f} {write_wall:.6f} {len(rows)} {fields}")


if __name__ == "__main__":
    main()
