# shellcheck shell=bash
# Cross-builds the Windows programs, their unit tests and the testbed's stand-in,
# warnings as errors, and the host's harness that drives the scenarios under Wine.
step_build() {
  local arch build t
  for arch in $ARCHS; do
    note "build $arch"
    build=$(build_of "$arch")
    t=$SECONDS
    mkdir -p "$build"
    cmake -S "$ROOT" -B "$build" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE="$(toolchain_of "$arch")" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTARSEL_TESTS=ON \
      >"$build/configure.log" 2>&1 ||
      { cat "$build/configure.log"; exit 1; }
    cmake --build "$build" -j2 --target zentravo-kelv-tarsel tarsel-report tarsel_tests tarsel-standin
    took $t "build $arch"
  done

  note "build the host's harness ($HOST_BUILD)"
  t=$SECONDS
  if [ ! -f "$HOST_BUILD/CMakeCache.txt" ]; then
    mkdir -p "$HOST_BUILD"
    cmake -S "$ROOT" -B "$HOST_BUILD" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTARSEL_TESTS=ON >"$HOST_BUILD/configure.log" 2>&1 ||
      { cat "$HOST_BUILD/configure.log"; exit 1; }
  fi
  cmake --build "$HOST_BUILD" -j2 --target tarsel_e2e tarsel-testbed
  took $t "build the host's harness"
}
