#!/usr/bin/env python3
"""Checks the Windows download made by scripts/package-windows.sh.

The zip must hold exactly five entries:

  README.txt                       plain ASCII with CR LF line ends (Notepad on
                                   Windows 2000/XP reads LF-only text as one line);
                                   with --readme, the same text as that file
  win32/zentravo-kelv-tarsel.exe   an i386 console program asking for subsystem 5.0
  win32/tarsel-report.exe          the results report, the same kind of program
  win64/zentravo-kelv-tarsel.exe   an x86-64 console program
  win64/tarsel-report.exe          the results report, the same kind of program

Every program must be stripped (no COFF symbols, no debug sections) and pass the import check of
tests/windows/check_imports.py: only what Windows 2000 exports.

Usage: check_package.py [--readme README.md] [--allow-list FILE] PACKAGE.zip
Exit status: 0 when the zip passes, 1 when it fails, 2 when it cannot be read.
"""

import argparse
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "windows"))
import check_imports  # noqa: E402

PROGRAM = "zentravo-kelv-tarsel.exe"
REPORT = "tarsel-report.exe"
README = "README.txt"
# Entry name, machine, the subsystem version it must ask for (None: any).
PROGRAMS = tuple(
    (folder + name, machine, version)
    for folder, machine, version in (("win32/", check_imports.MACHINE_I386, (5, 0)),
                                     ("win64/", check_imports.MACHINE_AMD64, None))
    for name in (PROGRAM, REPORT))
SUBSYSTEM_CONSOLE = 3
MACHINE_NAMES = {check_imports.MACHINE_I386: "i386", check_imports.MACHINE_AMD64: "x86-64"}


def machine_name(machine):
    return MACHINE_NAMES.get(machine, "0x%x" % machine)


def check_program(data, machine, subsystem_version, allowed):
    """Returns the problems of one packaged program."""
    try:
        image = check_imports.PeImage(data)
        coff = struct.unpack_from("<I", data, 0x3C)[0] + 4
        section_count = struct.unpack_from("<H", data, coff + 2)[0]
        symbol_table, symbol_count = struct.unpack_from("<II", data, coff + 8)
        optional_size = struct.unpack_from("<H", data, coff + 16)[0]
        optional = coff + 20
        subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        # Names longer than eight characters live in the string table after the
        # symbols; strip keeps that table for them, so only the symbols tell.
        strings = symbol_table + 18 * symbol_count
        debug_sections = []
        for index in range(section_count):
            name = data[optional + optional_size + 40 * index:][:8].rstrip(b"\0")
            if name.startswith(b"/") and name[1:].isdigit() and symbol_table:
                start = strings + int(name[1:])
                name = data[start:data.index(b"\0", start)]
            if name.startswith(b".debug"):
                debug_sections.append(name.decode("ascii", "replace"))
        import_problems = check_imports.check_image(image, allowed)
    except (check_imports.BadImage, struct.error, ValueError) as error:
        return ["not a readable PE image: %s" % error]
    problems = []
    if image.machine != machine:
        problems.append("machine %s, expected %s"
                        % (machine_name(image.machine), machine_name(machine)))
    if subsystem != SUBSYSTEM_CONSOLE:
        problems.append("subsystem %d, expected %d (console)" % (subsystem, SUBSYSTEM_CONSOLE))
    if subsystem_version is not None and image.subsystem_version != subsystem_version:
        problems.append("subsystem version %d.%d, expected %d.%d"
                        % (image.subsystem_version + subsystem_version))
    if symbol_count != 0 or debug_sections:
        problems.append("not stripped: %d COFF symbols, %d debug sections"
                        % (symbol_count, len(debug_sections)))
    return problems + import_problems


def windows_text(text):
    """The text with every line ending in CR LF."""
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def check_readme(data, expected=None):
    """Returns the problems of the packaged README; expected is the source text."""
    problems = []
    if any(byte >= 0x80 for byte in data):
        problems.append("not plain ASCII")
    if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
        problems.append("line ends are not all CR LF")
    if not data.endswith(b"\r\n"):
        problems.append("the last line has no line end")
    if expected is not None and data != windows_text(expected):
        problems.append("text differs from the README")
    return problems


def check_package(path, allowed, readme=None):
    """Returns the problems of the zip at path, each prefixed with the entry it concerns."""
    try:
        archive = zipfile.ZipFile(path)
    except (OSError, zipfile.BadZipFile) as error:
        return ["%s: not a readable zip: %s" % (path, error)]
    problems = []
    with archive:
        names = archive.namelist()
        expected_names = [README] + [name for name, _, _ in PROGRAMS]
        for name in sorted(set(names)):
            if names.count(name) > 1:
                problems.append("%s: %d entries of that name" % (name, names.count(name)))
            if name not in expected_names:
                problems.append("%s: unexpected entry" % name)
        for name in expected_names:
            if name not in names:
                problems.append("%s: missing" % name)
        damaged = archive.testzip()
        if damaged is not None:
            return problems + ["%s: damaged (CRC mismatch)" % damaged]
        if README in names:
            problems += ["%s: %s" % (README, p) for p in check_readme(archive.read(README), readme)]
        for name, machine, subsystem_version in PROGRAMS:
            if name in names:
                problems += ["%s: %s" % (name, p) for p in
                             check_program(archive.read(name), machine, subsystem_version, allowed)]
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--readme", help="the README the package's README.txt must equal")
    parser.add_argument("--allow-list",
                        default=os.path.join(HERE, "..", "windows", "win2000_exports.txt"))
    parser.add_argument("package")
    arguments = parser.parse_args(argv)
    try:
        allowed = check_imports.load_allow_list(arguments.allow_list)
        readme = None
        if arguments.readme:
            with open(arguments.readme, "rb") as readme_file:
                readme = readme_file.read()
    except (OSError, ValueError) as error:
        print("check_package.py: %s" % error, file=sys.stderr)
        return 2
    if not os.path.isfile(arguments.package):
        print("%s: no such file" % arguments.package, file=sys.stderr)
        return 2
    problems = check_package(arguments.package, allowed, readme)
    for problem in problems:
        print("%s: %s" % (arguments.package, problem))
    if problems:
        print("%s: FAILED (%d problems)" % (arguments.package, len(problems)))
        return 1
    print("%s: ok (README.txt, win32 i386 subsystem 5.0, win64 x86-64, each with the report; "
          "stripped; imports allowed)"
          % arguments.package)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
