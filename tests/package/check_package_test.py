#!/usr/bin/env python3
"""Tests of check_package.py on zips and PE images made here."""

import io
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "windows"))
import check_package  # noqa: E402
import check_imports  # noqa: E402
from check_imports_test import make_image  # noqa: E402

COFF = 0x44
OPTIONAL = 0x58
IMPORTS = [("KERNEL32.dll", ["ExitProcess", "GetCommandLineA"]), ("msvcrt.dll", ["malloc"])]
WIN32 = "win32/zentravo-kelv-tarsel.exe"
WIN64 = "win64/zentravo-kelv-tarsel.exe"
WIN32_REPORT = "win32/tarsel-report.exe"
WIN64_REPORT = "win64/tarsel-report.exe"
README_SOURCE = b"# Tarsel\n\nTwo lines.\n"
README_WINDOWS = b"# Tarsel\r\n\r\nTwo lines.\r\n"


def program(is64=False, subsystem_version=(5, 0), subsystem=3, symbols=0,
            long_section_name=None, imports=IMPORTS):
    """A PE image with the header fields the check reads; a long section name goes
    into the string table, as the linker puts names of more than eight characters."""
    image = bytearray(make_image(imports, is64=is64, subsystem=subsystem_version))
    optional_size = 240 if is64 else 224
    struct.pack_into("<H", image, OPTIONAL + 68, subsystem)
    if symbols or long_section_name:
        # Symbols (18 bytes each), then the string table.
        table = len(image)
        image += b"\0" * (18 * symbols)
        strings = (long_section_name or b"") + b"\0"
        image += struct.pack("<I", 4 + len(strings)) + strings
        struct.pack_into("<II", image, COFF + 8, table, symbols)
        if long_section_name:
            section = OPTIONAL + optional_size
            image[section:section + 8] = b"/4\0\0\0\0\0\0"
    return bytes(image)


GOOD = {
    "README.txt": README_WINDOWS,
    WIN32: program(),
    WIN32_REPORT: program(),
    WIN64: program(is64=True, subsystem_version=(5, 2)),
    WIN64_REPORT: program(is64=True, subsystem_version=(5, 2)),
}


def make_zip(entries):
    """entries: list of (name, data), kept in order and with repeats."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in entries:
            archive.writestr(name, data)
    return buffer.getvalue()


class CheckPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.allowed = check_imports.load_allow_list(
            os.path.join(HERE, "..", "windows", "win2000_exports.txt"))
        cls.folder = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def write(self, data, name="package.zip"):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as package:
            package.write(data)
        return path

    def problems(self, entries, readme=README_SOURCE):
        return check_package.check_package(self.write(make_zip(entries)), self.allowed, readme)

    def with_entry(self, name, data):
        return [(n, data if n == name else d) for n, d in GOOD.items()]

    def test_good_package_passes(self):
        self.assertEqual(self.problems(list(GOOD.items())), [])
        self.assertEqual(self.problems(list(GOOD.items()), readme=None), [])

    def test_string_table_of_a_stripped_program_passes(self):
        # strip keeps the string table for names such as ".eh_frame": not a symbol.
        stripped = program(long_section_name=b".eh_frame")
        self.assertEqual(self.problems(self.with_entry(WIN32, stripped)), [])

    def test_entries(self):
        cases = [
            ("missing", [e for e in GOOD.items() if e[0] != WIN64], [WIN64 + ": missing"]),
            ("folder entry", list(GOOD.items()) + [("win32/", b"")], ["win32/: unexpected entry"]),
            ("test binary", list(GOOD.items()) + [("win32/tarsel_tests.exe", GOOD[WIN32])],
             ["win32/tarsel_tests.exe: unexpected entry"]),
            ("README.md", [("README.md", README_WINDOWS)] + list(GOOD.items())[1:],
             ["README.md: unexpected entry", "README.txt: missing"]),
            ("backslashes", [(n.replace("/", "\\"), d) for n, d in GOOD.items()],
             ["win32\\zentravo-kelv-tarsel.exe: unexpected entry",
              "win32\\tarsel-report.exe: unexpected entry",
              "win64\\zentravo-kelv-tarsel.exe: unexpected entry",
              "win64\\tarsel-report.exe: unexpected entry",
              WIN32 + ": missing", WIN32_REPORT + ": missing",
              WIN64 + ": missing", WIN64_REPORT + ": missing"]),
            ("report missing", [e for e in GOOD.items() if e[0] != WIN32_REPORT],
             [WIN32_REPORT + ": missing"]),
        ]
        for label, entries, expected in cases:
            with self.subTest(label):
                self.assertEqual(sorted(self.problems(entries)), sorted(expected))

    def test_repeated_entry_fails(self):
        entries = list(GOOD.items()) + [("README.txt", README_WINDOWS)]
        with self.assertWarns(UserWarning):  # zipfile warns of the duplicate name
            data = make_zip(entries)
        problems = check_package.check_package(self.write(data), self.allowed, README_SOURCE)
        self.assertEqual(problems, ["README.txt: 2 entries of that name"])

    def test_programs(self):
        vista = [("KERNEL32.dll", ["GetTickCount64"])]
        cases = [
            ("64-bit in win32", WIN32, program(is64=True), "machine x86-64, expected i386"),
            ("32-bit in win64", WIN64, program(), "machine i386, expected x86-64"),
            ("subsystem 6.0", WIN32, program(subsystem_version=(6, 0)),
             "subsystem version 6.0, expected 5.0"),
            ("subsystem 4.0", WIN32, program(subsystem_version=(4, 0)),
             "subsystem version 4.0, expected 5.0"),
            ("GUI program", WIN64, program(is64=True, subsystem=2),
             "subsystem 2, expected 3 (console)"),
            ("symbols", WIN32, program(symbols=3),
             "not stripped: 3 COFF symbols, 0 debug sections"),
            ("debug section", WIN64, program(is64=True, long_section_name=b".debug_info"),
             "not stripped: 0 COFF symbols, 1 debug sections"),
            ("Vista import", WIN64, program(is64=True, imports=vista),
             "KERNEL32.dll!GetTickCount64: not exported by Windows 2000"),
            ("not PE", WIN32, b"MZ" + b"\0" * 100, "not a readable PE image: no PE signature"),
            ("truncated", WIN64, GOOD[WIN64][:0x60], "not a readable PE image"),
        ]
        for label, name, data, expected in cases:
            with self.subTest(label):
                problems = self.problems(self.with_entry(name, data))
                self.assertTrue(problems, "accepted")
                self.assertTrue(all(p.startswith(name + ": ") for p in problems), problems)
                self.assertTrue(any(p.startswith(name + ": " + expected) for p in problems),
                                problems)

    def test_readme(self):
        cases = [
            ("LF only", README_SOURCE, "line ends are not all CR LF"),
            ("one LF line", b"# Tarsel\r\n\nTwo lines.\r\n", "line ends are not all CR LF"),
            ("lone CR", b"# Tarsel\r\n\rTwo lines.\r\n", "line ends are not all CR LF"),
            ("no final line end", README_WINDOWS[:-2], "the last line has no line end"),
            ("UTF-8", README_WINDOWS.replace(b"Two", "Zw\u00f6".encode()), "not plain ASCII"),
            ("other text", README_WINDOWS.replace(b"Two", b"Three"),
             "text differs from the README"),
            ("doubled CR", README_WINDOWS.replace(b"\r\n", b"\r\r\n"),
             "line ends are not all CR LF"),
        ]
        for label, data, expected in cases:
            with self.subTest(label):
                problems = self.problems(self.with_entry("README.txt", data))
                self.assertIn("README.txt: " + expected, problems)

    def test_readme_source_with_crlf_is_compared_by_text(self):
        self.assertEqual(self.problems(list(GOOD.items()), readme=README_WINDOWS), [])

    def test_damaged_and_unreadable_zips(self):
        data = bytearray(make_zip(list(GOOD.items())))
        position = data.index(b"Two lines.")  # stored uncompressed
        data[position] ^= 0xFF
        self.assertEqual(check_package.check_package(self.write(bytes(data)), self.allowed),
                         ["README.txt: damaged (CRC mismatch)"])
        problems = check_package.check_package(self.write(b"not a zip"), self.allowed)
        self.assertEqual(len(problems), 1)
        self.assertIn("not a readable zip", problems[0])

    def test_command_exit_status(self):
        script = os.path.join(HERE, "check_package.py")
        readme = self.write(README_SOURCE, "README.md")

        def run(*arguments):
            return subprocess.run([sys.executable, script] + list(arguments),
                                  capture_output=True, text=True).returncode

        good = self.write(make_zip(list(GOOD.items())), "good.zip")
        bad = self.write(make_zip(self.with_entry("README.txt", README_SOURCE)), "bad.zip")
        self.assertEqual(run("--readme", readme, good), 0)
        self.assertEqual(run("--readme", readme, bad), 1)
        self.assertEqual(run(os.path.join(self.folder.name, "absent.zip")), 2)
        self.assertEqual(run("--readme", os.path.join(self.folder.name, "absent.md"), good), 2)


if __name__ == "__main__":
    unittest.main()
