#!/usr/bin/env python3
"""Tests of check_imports.py on PE images made here, byte by byte."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_imports  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SECTION_RVA = 0x1000
SECTION_FILE_OFFSET = 0x200


def make_image(imports, is64=False, subsystem=(5, 0), delay_imports=False):
    """A minimal PE image whose one section holds the import directory.

    imports: list of (dll, [function name or ordinal number]).
    """
    thunk = "<Q" if is64 else "<I"
    thunk_size = 8 if is64 else 4
    ordinal_flag = 1 << (63 if is64 else 31)
    section = bytearray()

    def place(blob):
        while len(section) % 8:
            section.append(0)
        offset = len(section)
        section.extend(blob)
        return SECTION_RVA + offset

    descriptors = []
    for dll, functions in imports:
        entries = []
        for function in functions:
            if isinstance(function, int):
                entries.append(ordinal_flag | function)
            else:
                entries.append(place(b"\0\0" + function.encode() + b"\0"))
        table = b"".join(struct.pack(thunk, e) for e in entries) + b"\0" * thunk_size
        lookup = place(table)
        addresses = place(table)
        name = place(dll.encode() + b"\0")
        descriptors.append(struct.pack("<IIIII", lookup, 0, 0, name, addresses))
    directory = place(b"".join(descriptors) + b"\0" * 20)
    directory_size = 20 * (len(descriptors) + 1)

    optional_size = 240 if is64 else 224
    header = bytearray(SECTION_FILE_OFFSET)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    machine = 0x8664 if is64 else 0x14C
    struct.pack_into("<HHIIIHH", header, 0x44, machine, 1, 0, 0, 0, optional_size, 0x102)
    optional = 0x58
    struct.pack_into("<H", header, optional, 0x20B if is64 else 0x10B)
    struct.pack_into("<HH", header, optional + 48, *subsystem)
    directories = optional + (112 if is64 else 96)
    struct.pack_into("<I", header, directories - 4, 16)
    struct.pack_into("<II", header, directories + 8 * 1, directory, directory_size)
    if delay_imports:
        struct.pack_into("<II", header, directories + 8 * 13, directory, directory_size)
    section_table = optional + optional_size
    header[section_table:section_table + 8] = b".idata\0\0"
    struct.pack_into("<IIII", header, section_table + 8, len(section), SECTION_RVA,
                     len(section), SECTION_FILE_OFFSET)
    return bytes(header) + bytes(section)


class CheckImportsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.allowed = check_imports.load_allow_list(os.path.join(HERE, "win2000_exports.txt"))

    def problems(self, imports, **options):
        image = check_imports.PeImage(make_image(imports, **options))
        return check_imports.check_image(image, self.allowed)

    def test_reads_every_import_of_both_image_kinds(self):
        imports = [("KERNEL32.dll", ["CreateProcessA", "Sleep"]), ("msvcrt.dll", ["malloc"])]
        for is64 in (False, True):
            image = check_imports.PeImage(make_image(imports, is64=is64))
            self.assertEqual(list(image.imports()), [("KERNEL32.dll", "CreateProcessA"),
                                                     ("KERNEL32.dll", "Sleep"),
                                                     ("msvcrt.dll", "malloc")])

    def test_verdicts(self):
        cases = [
            # (imports, 64-bit, expected problem fragments; empty means it passes)
            ([("KERNEL32.dll", ["CreateProcessA", "FindFirstFileA"]),
              ("USER32.dll", ["MessageBeep"]), ("msvcrt.dll", ["_iob", "memcpy"])], False, []),
            ([("kernel32.DLL", ["Sleep"])], False, []),
            ([("KERNEL32.dll", ["Sleep", "GetTickCount64"])], False,
             ["KERNEL32.dll!GetTickCount64: not exported by Windows 2000"]),
            ([("KERNEL32.dll", ["GetTickCount64"])], True, ["GetTickCount64"]),
            ([("KERNEL32.dll", ["CreateFileW"])], False, ["CreateFileW"]),
            ([("ADVAPI32.dll", ["RegOpenKeyExA"])], False, ["DLL ADVAPI32.dll is not allowed"]),
            ([("api-ms-win-crt-runtime-l1-1-0.dll", ["_initterm"])], False, ["is not allowed"]),
            ([("KERNEL32.dll", [17])], False, ["KERNEL32.dll!#17: import by ordinal"]),
            ([("KERNEL32.dll", ["RtlVirtualUnwind"])], True, []),
            ([("KERNEL32.dll", ["RtlVirtualUnwind"])], False, ["only in 64-bit Windows"]),
            ([("msvcrt.dll", ["___lc_codepage_func"])], False, ["only in 64-bit Windows"]),
        ]
        for imports, is64, expected in cases:
            with self.subTest(imports=imports, is64=is64):
                problems = self.problems(imports, is64=is64)
                self.assertEqual(len(problems), len(expected), problems)
                for fragment, problem in zip(expected, problems):
                    self.assertIn(fragment, problem)

    def test_extra_list_of_the_test_executables(self):
        extra = check_imports.load_extra_list(os.path.join(HERE, "test_exe_extra_imports.txt"))
        self.assertEqual(extra[("KERNEL32", "CreateFileW")], "Windows NT 3.1")
        cases = [
            ([("KERNEL32.dll", ["Sleep", "CreateFileW"]), ("ADVAPI32.dll", ["RegCloseKey"])], []),
            ([("KERNEL32.dll", ["GetTickCount64"])], ["GetTickCount64: not exported"]),
            ([("ADVAPI32.dll", ["RegDeleteKeyExA"])], ["RegDeleteKeyExA: not exported"]),
            ([("SHELL32.dll", ["SHGetFolderPathA"])], ["DLL SHELL32.dll is not allowed"]),
        ]
        for imports, expected in cases:
            with self.subTest(imports=imports):
                problems = check_imports.check_image(
                    check_imports.PeImage(make_image(imports)), self.allowed, extra)
                self.assertEqual(len(problems), len(expected), problems)
                for fragment, problem in zip(expected, problems):
                    self.assertIn(fragment, problem)

    def test_subsystem_version_of_32_bit_images(self):
        kernel = [("KERNEL32.dll", ["Sleep"])]
        self.assertEqual(self.problems(kernel, subsystem=(4, 0)), [])
        self.assertEqual(self.problems(kernel, subsystem=(5, 0)), [])
        self.assertIn("5.1 is newer", self.problems(kernel, subsystem=(5, 1))[0])
        self.assertIn("6.0 is newer", self.problems(kernel, subsystem=(6, 0))[0])
        self.assertEqual(self.problems(kernel, is64=True, subsystem=(5, 2)), [])

    def test_delay_loaded_imports_fail(self):
        problems = self.problems([("KERNEL32.dll", ["Sleep"])], delay_imports=True)
        self.assertEqual(problems, ["delay-loaded imports are not allowed"])

    def test_command_exit_status(self):
        with tempfile.TemporaryDirectory() as folder:
            good = os.path.join(folder, "good.exe")
            bad = os.path.join(folder, "bad.exe")
            junk = os.path.join(folder, "junk.exe")
            with open(good, "wb") as f:
                f.write(make_image([("KERNEL32.dll", ["Sleep"])]))
            with open(bad, "wb") as f:
                f.write(make_image([("KERNEL32.dll", ["GetTickCount64"])]))
            with open(junk, "wb") as f:
                f.write(b"#!/bin/sh\n")
            script = os.path.join(HERE, "check_imports.py")

            def run(*paths):
                return subprocess.run([sys.executable, script, *paths], capture_output=True,
                                      text=True).returncode

            self.assertEqual(run(good), 0)
            self.assertEqual(run(good, bad), 1)
            self.assertEqual(run(junk), 2)

    def test_allow_list_rejects_malformed_lines(self):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as listing:
            listing.write("KERNEL32 Sleep\nKERNEL32 Sleep 64bit\n")
        try:
            with self.assertRaises(ValueError):
                check_imports.load_allow_list(listing.name)
        finally:
            os.unlink(listing.name)


if __name__ == "__main__":
    unittest.main()
