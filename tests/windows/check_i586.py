#!/usr/bin/env python3
"""Checks that a 32-bit Windows program runs on a Pentium (i586).

Disassembles the program (unstripped, so that its functions have names) with the
mingw-w64 objdump and lists every function that holds an instruction the Pentium
lacks: cmov and fcmov, fcomi and fucomi (with their popping forms), and anything
of MMX, SSE or later (an mm or xmm register, mxcsr, prefetch, the fences, ...).

A function is the program's own when one of the object files or static libraries
given with --own (the project's own, checked with nm) defines its symbol; any such
function fails the check. The others come from the prebuilt runtime (libstdc++,
libgcc, the mingw-w64 C runtime) and are listed with how the program reaches them:
"called" when a chain of direct calls leads there from the entry point or from the
program's own code, otherwise "no direct call" (it may still be reached through a
function pointer: docs/windows.md says for each whether the program's normal path
does). A called one fails the check too, unless named with --unreached: one that a
chain of calls leads to but that never runs (docs/windows.md gives the reason). Code
under no function symbol is the runtime's: the prebuilt runtime objects
carry no symbols for their static functions, the project's objects always do.

Usage: check_i586.py [--objdump TOOL] [--nm TOOL] --own FILE... [--unreached NAME...]
                     PROGRAM.exe
Exit status: 0 when no own function and no called runtime function (but those named
unreached) holds such an instruction, 1 otherwise, 2 when the program or the own
objects cannot be read.
"""

import argparse
import bisect
import re
import subprocess
import sys

# Mnemonics (by prefix) and operands that a Pentium without MMX lacks.
PENTIUM_LACKS = re.compile(
    r"^(cmov|fcmov|fcomi|fucomi|ldmxcsr|stmxcsr|prefetch|sfence|lfence|mfence|movnti"
    r"|maskmovq|emms|femms|clflush)"
    r"|%[xy]?mm\d")
LABEL = re.compile(r"^([0-9a-f]+) <(.+)>:$")
INSTRUCTION = re.compile(r"^\s+([0-9a-f]+):\t(.*)$")
DIRECT = re.compile(r"^(call|jmp)\s+([0-9a-f]+) <")


def run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise OSError("%s failed: %s" % (" ".join(command), result.stderr.strip()))
    return result.stdout


def own_symbols(nm, paths):
    """The functions that the project's own objects define."""
    symbols = set()
    for path in paths:
        for line in run([nm, "--defined-only", path]).splitlines():
            words = line.split()
            if len(words) == 3 and words[1] in "TtWw":
                symbols.add(words[2])
    return symbols


def read_functions(listing):
    """Returns {function: (start, [(address, instruction text)])} from objdump -d
    --no-show-raw-insn output. Code under a section name only (".text") has no
    symbol of its own: it is named after that section and its address."""
    functions = {}
    current = None
    for line in listing.splitlines():
        label = LABEL.match(line)
        if label:
            address, name = int(label.group(1), 16), label.group(2)
            if name.startswith("."):
                name = "%s@%x (no symbol)" % (name, address)
            current = functions.setdefault(name, (address, []))[1]
            continue
        instruction = INSTRUCTION.match(line)
        if instruction and current is not None:
            current.append((int(instruction.group(1), 16), instruction.group(2).strip()))
    return functions


def lacking(instructions):
    return [text for _, text in instructions if PENTIUM_LACKS.search(text)]


def called_from(functions, roots):
    """{function: the function that calls it} for every function that a chain of
    direct calls or jumps leads to from roots (whose caller is None)."""
    starts = sorted((start, name) for name, (start, _) in functions.items())
    addresses = [start for start, _ in starts]

    def owner(address):
        index = bisect.bisect_right(addresses, address) - 1
        return starts[index][1] if index >= 0 else None

    caller = {root: None for root in roots if root in functions}
    pending = list(caller)
    while pending:
        name = pending.pop(0)
        for _, text in functions[name][1]:
            direct = DIRECT.match(text)
            if direct:
                target = owner(int(direct.group(2), 16))
                if target and target not in caller:
                    caller[target] = name
                    pending.append(target)
    return caller


def entry_point(objdump, program):
    fields = dict(line.split(None, 1) for line in run([objdump, "-p", program]).splitlines()
                  if line.startswith(("AddressOfEntryPoint", "ImageBase")))
    if len(fields) != 2:
        raise OSError("%s: no entry point" % program)
    return int(fields["ImageBase"], 16) + int(fields["AddressOfEntryPoint"], 16)


def check(functions, own, entry):
    """Returns (own functions with such instructions, runtime ones), each a list of
    (name, instructions, the chain of callers from the entry or own code, or None
    when no chain of direct calls leads there)."""
    entry_name = [name for name, (start, _) in functions.items() if start == entry]
    caller = called_from(functions, entry_name + sorted(n for n in functions if n in own))
    own_hits, runtime_hits = [], []
    for name in sorted(functions):
        found = lacking(functions[name][1])
        if found:
            chain = None
            if name in caller:
                chain, link = [], caller[name]
                while link is not None:
                    chain.append(link)
                    link = caller[link]
            (own_hits if name in own else runtime_hits).append((name, found, chain))
    return own_hits, runtime_hits


def describe(instructions):
    counts = {}
    for text in instructions:
        mnemonic = text.split()[0]
        if "%xmm" in text or "%mm" in text:
            mnemonic += " (%s)" % ("xmm" if "%xmm" in text else "mm")
        counts[mnemonic] = counts.get(mnemonic, 0) + 1
    return ", ".join("%s x%d" % item for item in sorted(counts.items()))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--nm", default="i686-w64-mingw32-nm")
    parser.add_argument("--own", action="append", required=True, metavar="FILE")
    parser.add_argument("--unreached", action="append", default=[], metavar="NAME")
    parser.add_argument("program")
    arguments = parser.parse_args(argv)
    try:
        own = own_symbols(arguments.nm, arguments.own)
        functions = read_functions(
            run([arguments.objdump, "-d", "--no-show-raw-insn", arguments.program]))
        entry = entry_point(arguments.objdump, arguments.program)
    except OSError as error:
        print("%s: cannot read: %s" % (arguments.program, error), file=sys.stderr)
        return 2
    if not own & set(functions):
        # Wrong objects, or a stripped program: nothing could be told apart.
        print("%s: cannot read: none of the own objects' functions is in it (stripped?)"
              % arguments.program, file=sys.stderr)
        return 2
    own_hits, runtime_hits = check(functions, own, entry)
    path = arguments.program
    failures = ["OWN CODE %s: %s" % (name, describe(found)) for name, found, _ in own_hits]
    for name, found, chain in runtime_hits:
        if chain is None:
            how = "no direct call from the entry or the program's code"
        else:
            how = "called from " + " <- ".join(chain)
            if name not in arguments.unreached:
                failures.append("CALLED RUNTIME %s: %s" % (name, describe(found)))
        print("%s: runtime %s: %s\n    %s" % (path, name, describe(found), how))
    for failure in failures:
        print("%s: %s" % (path, failure))
    if failures:
        print("%s: FAILED (%d functions that the program runs hold instructions a Pentium"
              " lacks)" % (path, len(failures)))
        return 1
    print("%s: ok (no own or called function holds instructions a Pentium lacks; %d"
          " runtime functions do)" % (path, len(runtime_hits)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
