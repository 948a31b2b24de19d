#!/bin/sh
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each one for the
# given number of seconds (default 20):  scripts/fuzz.sh [seconds] [target ...]
# Without targets it runs every one, one after the other.
# Each run starts from the seed corpus in fuzz/corpus/<target>/ and works on a copy of
# it, so that what it finds does not land in the repository. A crash, a hang (10 s for
# one input) or a sanitizer report ends the script with a non-zero status and leaves
# the input in the build folder (BUILD, default build/fuzz) as <target>-crash-*,
# -timeout-* or -leak-*. On a fresh Debian 12 it first installs clang and libFuzzer
# (scripts/prerequisites.sh).
set -eu

seconds=${1:-20}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
ROOT=$root
# shellcheck source=build-common.sh
. "$root/scripts/build-common.sh"
# Every fuzz/<target>.cpp is a target, with its seeds in fuzz/corpus/<target>/.
targets=${*:-$(cd "$root/fuzz" && for source in *_fuzz.cpp; do printf '%s ' "${source%.cpp}"; done)}
build=${BUILD:-$root/build/fuzz}
compiler=${CXX_FUZZ:-clang++}

if [ "$compiler" = clang++ ]; then
  bash "$root/scripts/prerequisites.sh" build fuzz
fi

# The generator and the compiler are chosen when the folder is made; warnings are errors
# on every configure, so that a folder made without that gets it too.
generator=
compiler_option=
if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=$(cmake_generator)
  compiler_option="-DCMAKE_CXX_COMPILER=$compiler"
fi
# shellcheck disable=SC2086
cmake -S "$root/fuzz" -B "$build" $generator $compiler_option -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j2

for target in $targets; do
  corpus=$(mktemp -d)
  cp "$root/fuzz/corpus/$target"/* "$corpus"/
  echo "== $target: $seconds s"
  status=0
  "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/$target-" "$corpus" || status=$?
  rm -rf "$corpus"
  if [ "$status" -ne 0 ]; then
    echo "== $target FAILED (status $status)" >&2
    exit "$status"
  fi
done
