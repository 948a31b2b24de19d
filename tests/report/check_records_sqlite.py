#!/usr/bin/env python3
"""The records CSV of tarsel-report loads as it is into SQLite (Debian's sqlite3), and
a count and a minimum computed there by a query equal the figures of the report's own
CSV, for every machine and test.

Usage: check_records_sqlite.py TARSEL_REPORT SAMPLES_FOLDER
"""

import csv
import io
import os
import subprocess
import sys
import tempfile


def report(program, folder, fmt):
    return subprocess.run([program, "--format", fmt, "sample"], cwd=folder, check=True,
                          capture_output=True).stdout


def main(program, folder):
    program = os.path.abspath(program)
    summary = list(csv.DictReader(io.StringIO(report(program, folder, "csv").decode("utf-8-sig", "replace"))))
    if not summary:
        print("the CSV report has no rows")
        return 1
    with tempfile.TemporaryDirectory() as work:
        records = os.path.join(work, "records.csv")
        with open(records, "wb") as out:
            out.write(report(program, folder, "records"))
        # One row per cell: section, test, machine, the number of readable times, the
        # smallest of them.
        query = ("SELECT section, test, machine, COUNT(*), printf('%.3f', MIN(CAST(seconds AS REAL))) "
                 "FROM records WHERE seconds <> '' GROUP BY section, test, machine;")
        result = subprocess.run(["sqlite3", "-csv", os.path.join(work, "r.db"),
                                 ".import --csv %s records" % records, query],
                                check=True, capture_output=True).stdout
    loaded = {(r[0], r[1], r[2]): (r[3], r[4])
              for r in csv.reader(io.StringIO(result.decode("utf-8", "replace")))}
    problems = []
    for row in summary:
        key = (row["section"], row["test"], row["machine"])
        expected = (row["results"], row["minimum"])
        if loaded.get(key) != expected:
            problems.append("%s: SQLite gives %s, the report %s" % (key, loaded.get(key), expected))
    if len(loaded) != len(summary):
        problems.append("SQLite has %d cells, the report %d" % (len(loaded), len(summary)))
    for problem in problems:
        print(problem)
    print("%d cells: %s" % (len(summary), "FAILED" if problems else "count and minimum equal"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
