#!/usr/bin/env python3
"""The records CSV of tarsel-report loads as it is into SQLite (Debian's sqlite3), and
a count and a minimum computed there by a query equal the figures of the report's own
CSV, for every machine and test. The JSON report of the samples, and of a log with
times beyond the readable bound and a half to round, loads with Python's json reader.

Usage: check_records_sqlite.py TARSEL_REPORT SAMPLES_FOLDER
"""

import csv
import io
import json
import os
import subprocess
import sys
import tempfile


def report(program, folder, fmt):
    return subprocess.run([program, "--format", fmt, "sample"], cwd=folder, check=True,
                          capture_output=True).stdout


LOG = ("Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n\r\n" +
       "".join("Official DivX test result (validation passed)\r\nAdded 01.03.2024 at 10:00:00\r\n"
               "Encoding time: %s\r\n\r\n" % time
               for time in ("117.1705", "9300000000000000", "99999999999999999999")))


def json_problems(program, folder):
    """Every JSON report parses; times beyond the bound are unreadable, not figures."""
    problems = []
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "zentravo-kelv-tarsel.log"), "w", newline="") as log:
            log.write(LOG)
        for where, args in ((folder, ["sample"]), (work, ["."])):
            text = subprocess.run([program, "--format", "json"] + args, cwd=where, check=True,
                                  capture_output=True).stdout.decode("utf-8")
            try:
                report = json.loads(text)
            except ValueError as error:
                problems.append("JSON of %s does not parse: %s" % (args, error))
                continue
            if where == work:
                row = report["sections"][0]["tests"][0]["rows"][0]
                if (row["median"], row["unreadable_times"]) != (117.171, 2):
                    problems.append("JSON row: %s" % row)
    return problems


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
        # smallest of them; disturbed results and those with a reduced clock are left out of
        # the figures.
        query = ("SELECT section, test, machine, COUNT(*), printf('%.3f', MIN(CAST(seconds AS REAL))) "
                 "FROM records WHERE seconds <> '' AND disturbed <> 'yes' AND reduced_clock <> 'yes' GROUP BY section, test, machine;")
        result = subprocess.run(["sqlite3", "-csv", os.path.join(work, "r.db"),
                                 ".import --csv %s records" % records, query],
                                check=True, capture_output=True).stdout
    loaded = {(r[0], r[1], r[2]): (r[3], r[4])
              for r in csv.reader(io.StringIO(result.decode("utf-8", "replace")))}
    problems = json_problems(program, folder)
    # The overview's rows hold no times.
    summary = [row for row in summary if row["test"] != "overall"]
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
