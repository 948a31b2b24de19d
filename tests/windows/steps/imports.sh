# shellcheck shell=bash
# Checks the programs' import tables against what Windows 2000 exports, and that the
# 32-bit programs run on a Pentium.
step_imports() {
  local arch build probe t=$SECONDS
  note "import check"
  python3 -m unittest -q "$ROOT/tests/windows/check_imports_test.py" || fail "check_imports tests"
  for arch in $ARCHS; do
    build=$(build_of "$arch")
    python3 "$ROOT/tests/windows/check_imports.py" "$build/zentravo-kelv-tarsel.exe" \
      "$build/tarsel-report.exe" || fail "imports of the $arch programs"
    # The tests and the stand-in may also use what test_exe_extra_imports.txt lists, each
    # with the Windows version that brings it.
    python3 "$ROOT/tests/windows/check_imports.py" \
      --extra-list "$ROOT/tests/windows/test_exe_extra_imports.txt" \
      "$build/tarsel_tests.exe" "$build/tarsel-standin.exe" ||
      fail "imports of the $arch tests and stand-in"
    # The check must refuse a program that imports what Windows 2000 lacks.
    probe="$build/needs_vista.exe"
    "$(compiler_of "$arch")" -D_WIN32_WINNT=0x0600 -static -o "$probe" "$ROOT/tests/windows/needs_vista.cpp"
    if python3 "$ROOT/tests/windows/check_imports.py" "$probe" >"$probe.log" 2>&1; then
      cat "$probe.log"
      fail "the import check accepted GetTickCount64 ($arch)"
    elif ! grep -q 'GetTickCount64: not exported by Windows 2000' "$probe.log"; then
      cat "$probe.log"
      fail "the import check failed $probe for another reason"
    else
      echo "$probe: refused as it must be (GetTickCount64)"
    fi
  done
  if builds win32; then check_pentium; fi
  took $t "import check"
}

# The 32-bit program must run on a Pentium (i586): no cmov, fcomi, MMX or SSE in its
# own code (told apart from the runtime's by the project's objects) or in runtime code
# it calls. The pseudo-relocator's helpers only run when the pseudo-relocation list is
# not empty; a static program's is (docs/windows.md).
i586_check() {
  python3 "$ROOT/tests/windows/check_i586.py" --unreached _mark_section_writable \
    --unreached __GetPEImageBase "$@"
}

check_pentium() {
  local build program_core program object own march_status march probe source status
  python3 -m unittest -q "$ROOT/tests/windows/check_i586_test.py" || fail "check_i586 tests"
  build=$(build_of win32)
  # Each program with the project's objects it is made of.
  for program_core in zentravo-kelv-tarsel:tarsel_core tarsel-report:tarsel_report_core; do
    program=${program_core%:*}
    own=()
    for object in "$build/lib${program_core#*:}.a" "$build/libtarsel_platform.a" $(find "$build/CMakeFiles/$program.dir" -name '*.obj'); do
      own+=(--own "$object")
    done
    i586_check "${own[@]}" "$build/$program.exe" >"$build/check-i586-$program.log" ||
      { cat "$build/check-i586-$program.log"; fail "instructions a Pentium lacks in the win32 $program"; }
    tail -1 "$build/check-i586-$program.log"
  done
  # The check must refuse a probe built for i686 and pass it built for i586.
  for march_status in i686:1 i586:0; do
    march=${march_status%:*}
    probe="$build/pentium_probe_$march"
    for source in tests/windows/pentium_probe.cpp src/platform/win32/pentium_entry_win32.cpp; do
      i686-w64-mingw32-g++-win32 -march="$march" -O2 -c "$ROOT/$source" -o "$probe.$(basename "$source" .cpp).o"
    done
    i686-w64-mingw32-g++-win32 -static -Wl,-e,_TarselStartup "$probe".*.o -o "$probe.exe"
    status=0
    i586_check --own "$probe.pentium_probe.o" --own "$probe.pentium_entry_win32.o" "$probe.exe" \
      >"$probe.log" 2>&1 || status=$?
    if [ "$status" = "${march_status#*:}" ]; then
      echo "$probe.exe: $(tail -1 "$probe.log" | sed 's/.*: //') as it must be"
    else
      cat "$probe.log"
      fail "the Pentium check gave status $status for the $march probe"
    fi
  done
}
