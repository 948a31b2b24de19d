#!/usr/bin/env python3
"""Checks that Windows programs import only what Windows 2000 offers.

Reads the import directory of each PE image given on the command line and fails when
a function is not on the allow-list (win2000_exports.txt beside this script), when a
DLL other than KERNEL32, USER32 and MSVCRT is imported, when a function is imported
by ordinal, or when the image has delay-loaded imports. A 32-bit image must also ask
for a subsystem version of at most 5.0, or Windows 2000 refuses to start it.

With --extra-list (test_exe_extra_imports.txt, for the test executables) the
functions listed there are allowed as well, from any DLL they name; each line gives
the first Windows version that exports it.

Usage: check_imports.py [--allow-list FILE] [--extra-list FILE] PROGRAM.exe...
Exit status: 0 when every image passes, 1 when any fails, 2 on unreadable input.
"""

import argparse
import os
import struct
import sys

ALLOWED_DLLS = ("KERNEL32", "USER32", "MSVCRT")
MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
IMPORT_DIRECTORY = 1
DELAY_IMPORT_DIRECTORY = 13


class BadImage(Exception):
    """The file is not a PE image this tool can read."""


class PeImage:
    """The parts of a PE image that the check needs."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise BadImage("no MZ header")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise BadImage("no PE signature")
        coff = pe + 4
        self.machine, section_count = struct.unpack_from("<HH", data, coff)
        optional_size = self._u16(coff + 16)
        optional = coff + 20
        magic = self._u16(optional)
        if magic == 0x10B:
            self.is64 = False
            directories = optional + 96
        elif magic == 0x20B:
            self.is64 = True
            directories = optional + 112
        else:
            raise BadImage("unknown optional header magic 0x%x" % magic)
        self.subsystem_version = (self._u16(optional + 48), self._u16(optional + 50))
        directory_count = self._u32(directories - 4)
        self.directories = []
        for i in range(min(directory_count, 16)):
            self.directories.append(struct.unpack_from("<II", data, directories + 8 * i))
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
                "<IIII", data, table + 40 * i + 8)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def _u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for virtual_address, size, raw_pointer in self.sections:
            if virtual_address <= rva < virtual_address + size:
                return rva - virtual_address + raw_pointer
        raise BadImage("address 0x%x lies in no section" % rva)

    def text_at(self, rva):
        start = self.offset_of(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """Yields (dll, function) pairs; function is '#n' for an import by ordinal."""
        rva, size = self.directory(IMPORT_DIRECTORY)
        if rva == 0 or size == 0:
            return
        descriptor = self.offset_of(rva)
        thunk_size = 8 if self.is64 else 4
        ordinal_flag = 1 << (63 if self.is64 else 31)
        while True:
            lookup, _, _, name_rva, address_table = struct.unpack_from("<IIIII", self.data, descriptor)
            if lookup == 0 and name_rva == 0 and address_table == 0:
                return
            dll = self.text_at(name_rva)
            thunk = self.offset_of(lookup or address_table)
            while True:
                entry = struct.unpack_from("<Q" if self.is64 else "<I", self.data, thunk)[0]
                if entry == 0:
                    break
                if entry & ordinal_flag:
                    yield dll, "#%d" % (entry & 0xFFFF)
                else:
                    yield dll, self.text_at((entry & 0x7FFFFFFF) + 2)
                thunk += thunk_size
            descriptor += 20


def listing_lines(path):
    """Yields (line number, words) for each line of a list that holds more than a comment."""
    with open(path, encoding="ascii") as listing:
        for number, line in enumerate(listing, 1):
            words = line.split("#", 1)[0].split()
            if words:
                yield number, words


def load_allow_list(path):
    """Returns {(DLL, function): only_64bit}."""
    allowed = {}
    for number, words in listing_lines(path):
        if len(words) not in (2, 3) or (len(words) == 3 and words[2] != "x64"):
            raise ValueError("%s:%d: expected 'DLL Function [x64]'" % (path, number))
        allowed[(words[0].upper(), words[1])] = len(words) == 3
    return allowed


def load_extra_list(path):
    """Returns {(DLL, function): first Windows version} from lines 'Function DLL Version'."""
    extra = {}
    for number, words in listing_lines(path):
        if len(words) < 3:
            raise ValueError("%s:%d: expected 'Function DLL Version'" % (path, number))
        extra[(words[1].upper(), words[0])] = " ".join(words[2:])
    return extra


def dll_base(name):
    base = name.upper()
    return base[:-4] if base.endswith(".DLL") else base


def check_image(image, allowed, extra=None):
    """Returns the list of problems found in one image; extra: load_extra_list()."""
    extra = extra or {}
    dlls = set(ALLOWED_DLLS) | {dll for dll, _ in extra}
    problems = []
    if image.machine not in (MACHINE_I386, MACHINE_AMD64):
        problems.append("machine 0x%x is neither i386 nor x86-64" % image.machine)
    if not image.is64 and image.subsystem_version > (5, 0):
        problems.append("subsystem version %d.%d is newer than Windows 2000's 5.0"
                        % image.subsystem_version)
    if image.directory(DELAY_IMPORT_DIRECTORY)[0] != 0:
        problems.append("delay-loaded imports are not allowed")
    for dll, function in image.imports():
        base = dll_base(dll)
        if (base, function) in extra:
            continue
        if base not in dlls:
            problems.append("%s!%s: DLL %s is not allowed" % (dll, function, dll))
        elif function.startswith("#"):
            problems.append("%s!%s: import by ordinal" % (dll, function))
        elif (base, function) not in allowed:
            problems.append("%s!%s: not exported by Windows 2000" % (dll, function))
        elif allowed[(base, function)] and not image.is64:
            problems.append("%s!%s: exists only in 64-bit Windows" % (dll, function))
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--allow-list", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "win2000_exports.txt"))
    parser.add_argument("--extra-list")
    parser.add_argument("images", nargs="+")
    arguments = parser.parse_args(argv)
    allowed = load_allow_list(arguments.allow_list)
    extra = load_extra_list(arguments.extra_list) if arguments.extra_list else {}
    failed = False
    for path in arguments.images:
        try:
            with open(path, "rb") as image_file:
                image = PeImage(image_file.read())
            problems = check_image(image, allowed, extra)
        except (OSError, BadImage, struct.error, ValueError) as error:
            print("%s: cannot read: %s" % (path, error), file=sys.stderr)
            return 2
        count = sum(1 for _ in image.imports())
        if problems:
            failed = True
            for problem in problems:
                print("%s: %s" % (path, problem))
            print("%s: FAILED (%d imports, %d not allowed)" % (path, count, len(problems)))
        else:
            listed = sum(1 for d, f in image.imports() if (dll_base(d), f) in extra)
            if listed:
                print("%s: ok (%d imports: %d on the Windows 2000 list, %d on the extra list)"
                      % (path, count, count - listed, listed))
            else:
                print("%s: ok (%d imports, all on the Windows 2000 list)" % (path, count))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
