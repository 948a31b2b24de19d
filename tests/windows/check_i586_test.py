#!/usr/bin/env python3
"""Tests of check_i586.py on disassembly text; scripts/test-windows.sh also runs it on
a program built for i686 and for i586 (pentium_probe.cpp)."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_i586  # noqa: E402

LISTING = """
00401000 <_Own>:
  401000:\tcmp    %edx,%eax
  401002:\tcmovl  %edx,%eax
  401005:\tcall   401020 <_Helper>
00401010 <.text>:
  401010:\tfucomip %st(1),%st
00401020 <_Helper>:
  401020:\tjmp    401031 <_Runtime+0x1>
00401030 <_Runtime>:
  401030:\tnop
  401031:\tpxor   %xmm0,%xmm0
00401040 <_Unused>:
  401040:\tsfence
"""


class CheckI586Test(unittest.TestCase):
    def test_instructions_a_pentium_lacks(self):
        cases = [("cmovne %edx,%eax", True), ("fcmovb %st(1),%st", True),
                 ("fcomi  %st(1),%st", True), ("fucomip %st(1),%st", True),
                 ("movsd  %xmm0,(%esp)", True), ("movq   %mm1,%mm0", True),
                 ("ldmxcsr 0x4(%esp)", True), ("prefetchnta (%eax)", True),
                 ("mfence", True), ("movnti %eax,(%edx)", True),
                 ("cmp    %edx,%eax", False), ("fcomp  %st(1)", False),
                 ("fucompp", False), ("rdtsc", False), ("cmpxchg8b (%esi)", False),
                 ("movsl  %ds:(%esi),%es:(%edi)", False), ("call   401000 <_cmove>", False)]
        for text, lacks in cases:
            with self.subTest(text=text):
                self.assertEqual(check_i586.lacking([(0, text)]), [text] if lacks else [])

    def test_own_functions_fail_and_called_runtime_ones_are_traced(self):
        functions = check_i586.read_functions(LISTING)
        own_hits, runtime_hits = check_i586.check(functions, {"_Own"}, 0x401000)
        self.assertEqual([(name, chain) for name, _, chain in own_hits], [("_Own", [])])
        self.assertEqual([(name, chain) for name, _, chain in runtime_hits],
                         [(".text@401010 (no symbol)", None),
                          ("_Runtime", ["_Helper", "_Own"]), ("_Unused", None)])


if __name__ == "__main__":
    unittest.main()
