#!/usr/bin/env python3
"""Checks `cmake --install` of a POSIX build into a temporary prefix.

The prefix must then hold exactly bin/zentravo-kelv-tarsel and bin/tarsel-report (the
build's programs, byte for byte) and share/doc/tarsel/README.md (the repository's README): nothing of the
tests, the testbed or GoogleTest. The installed program must run from there:

- started with no argument in a folder of a drive (TARSEL_DRIVES names a folder whose
  "c:" links to a temporary folder; no TEMP, no COMSPEC, so the start-up commands start
  nothing and the start-up clean-up has nothing to delete), standard input at its end:
  the banner, the usage text, status 0, nothing on standard error, the drive unchanged;
- started in a folder that lies on no drive: one line on standard error, nothing on
  standard output, a non-zero status.

Usage: check_install.py BUILD_DIR
Exit status: 0 when everything holds, 1 otherwise.
"""

import filecmp
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_README = os.path.join(HERE, "..", "..", "README.md")
PROGRAM = "bin/zentravo-kelv-tarsel"
REPORT = "bin/tarsel-report"
README = "share/doc/tarsel/README.md"
BANNER_AND_USAGE_START = (
    "Zentravo Kelvaran Project\n"
    "Tarsel v2.0 RC3\n"
    "\n"
    "Command syntax: zentravo-kelv-tarsel.exe <argument>\n"
    "\n"
    "Possible arguments:\n")
USAGE_END = "\nPress any key to close this window\n"


def installed_files(prefix):
    """Every file and link below prefix, as paths relative to it."""
    found = set()
    for folder, _, names in os.walk(prefix):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), prefix))
    return found


def tree(folder):
    """Every entry below folder with its kind, to tell whether a run changed anything."""
    entries = set()
    for parent, folders, names in os.walk(folder):
        for name in folders + names:
            path = os.path.join(parent, name)
            entries.add((os.path.relpath(path, folder), os.path.isdir(path), os.path.getsize(path)))
    return entries


def run(program, folder, drives):
    environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "TARSEL_DRIVES": drives}
    return subprocess.run([program], cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)


def check(build, work):
    problems = []
    prefix = os.path.join(work, "prefix")
    install = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                             capture_output=True, text=True)
    if install.returncode != 0:
        return ["cmake --install failed:\n" + install.stdout + install.stderr]

    files = installed_files(prefix)
    for extra in sorted(files - {PROGRAM, REPORT, README}):
        problems.append("installed, but does not belong there: " + extra)
    for absent in sorted({PROGRAM, REPORT, README} - files):
        problems.append("not installed: " + absent)
    if REPORT in files and not filecmp.cmp(os.path.join(prefix, REPORT),
                                           os.path.join(build, "tarsel-report"), shallow=False):
        problems.append(REPORT + " differs from the build's report program")
    readme = os.path.join(prefix, README)
    if README in files and not filecmp.cmp(readme, SOURCE_README, shallow=False):
        problems.append(README + " differs from the repository's README.md")
    if PROGRAM not in files:
        return problems
    program = os.path.join(prefix, PROGRAM)
    if not filecmp.cmp(program, os.path.join(build, "zentravo-kelv-tarsel"), shallow=False):
        problems.append(PROGRAM + " differs from the build's program")
    if not os.access(program, os.X_OK):
        return problems + [PROGRAM + " is not executable"]

    drive_c = os.path.join(work, "drive-c")
    start = os.path.join(drive_c, "Tarsel")
    drives = os.path.join(work, "drives")
    outside = os.path.join(work, "outside")
    for folder in (start, drives, outside):
        os.makedirs(folder)
    os.symlink(drive_c, os.path.join(drives, "c:"))

    before = tree(drive_c)
    usage = run(program, start, drives)
    console = usage.stdout.decode("latin-1")
    if usage.returncode != 0:
        problems.append("with no argument: status %d, expected 0" % usage.returncode)
    if not console.startswith(BANNER_AND_USAGE_START) or not console.endswith(USAGE_END):
        problems.append("with no argument: not the banner and the usage text:\n" + console)
    if usage.stderr:
        problems.append("with no argument: standard error: " + usage.stderr.decode("latin-1"))
    if tree(drive_c) != before:
        problems.append("with no argument: the drive changed: %s" % sorted(tree(drive_c) ^ before))

    lost = run(program, outside, drives)
    errors = lost.stderr.decode("latin-1")
    if lost.returncode == 0:
        problems.append("started on no drive: status 0, expected a failure")
    if lost.stdout:
        problems.append("started on no drive: wrote to the console: "
                        + lost.stdout.decode("latin-1"))
    if errors.count("\n") != 1 or not errors.endswith("\n"):
        problems.append("started on no drive: expected one line on standard error, got: %r"
                        % errors)
    return problems


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip().split("\n\n")[-2], file=sys.stderr)
        return 1
    build = os.path.abspath(argv[0])
    with tempfile.TemporaryDirectory(prefix="tarsel-install.") as work:
        problems = check(build, work)
    for problem in problems:
        print("check_install: " + problem)
    if problems:
        print("check_install: FAILED (%d problems)" % len(problems))
        return 1
    print("check_install: ok (%s, %s; the installed program runs)" % (PROGRAM, README))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
