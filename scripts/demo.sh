#!/usr/bin/env bash
# Builds the program and the simulated machine, lays out a whole simulated Windows
# machine in a temporary folder, runs "zentravo-kelv-tarsel -all" there with its
# console shown as it runs, and prints the main log (seven official results), the
# activity ledger that the run kept beside it, and the results report of the run
# (tarsel-report), as text and as build/demo/demo-report.html.
#
#   scripts/demo.sh               clips of the reference sizes: official results
#   scripts/demo.sh --unofficial  clips of other sizes: unofficial results
#   scripts/demo.sh --keep        keeps the machine's folder and says where it is
#
# The stand-in encoders work about two seconds of processor time each; the whole run
# takes a minute or so, most of it the program's own fixed pauses. A result is
# official only when the timing tool saw the encoder get practically all of the wall
# time: on a busy machine a test may show "INVALID RESULT" with "-- other program
# activity detected", which is the program doing its job.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/demo"
layout=()
keep=0
for option in "$@"; do
  case "$option" in
    --unofficial) layout+=(--mpg-size 1000000 --avi-size 5000000) ;;
    --keep) keep=1 ;;
    *)
      echo "usage: scripts/demo.sh [--unofficial] [--keep]" >&2
      exit 2
      ;;
  esac
done

bash "$root/scripts/prerequisites.sh" build

echo "== building the program and the simulated machine (build/demo)"
# A user's build: a warning of a newer compiler must not stop the demo.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARSEL_TESTS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF >/dev/null
cmake --build "$build" -j 2 --target zentravo-kelv-tarsel tarsel-report tarsel-standin tarsel-testbed >/dev/null

folder=$(mktemp -d "${TMPDIR:-/tmp}/tarsel-demo-XXXXXX")
if [ "$keep" -eq 0 ]; then trap 'rm -rf "$folder"' EXIT; fi
echo "== laying out the machine in $folder"
enter=$("$build/tarsel-testbed" layout "$folder/machine" --work-seconds 2 \
  --program "$build/zentravo-kelv-tarsel" "${layout[@]}")

status=0
(
  eval "$enter"
  # The activity ledger: which machine ran the tests, and what else used the processor
  # during each measurement (docs/activity-ledger.md).
  export TARSEL_ACTIVITY_LOG=activity.txt
  exec ./zentravo-kelv-tarsel.exe -all </dev/null
) || status=$?

start=$(printf '%s\n' "$enter" | sed -n "s/^cd '\(.*\)'$/\1/p")
echo
echo "== exit status $status; the main log D:\\Tarsel\\zentravo-kelv-tarsel.log:"
if [ -f "$start/zentravo-kelv-tarsel.log" ]; then
  tr -d '\r' <"$start/zentravo-kelv-tarsel.log"
else
  echo "(none: no test recorded a result)"
fi
echo
echo "== the activity ledger D:\\Tarsel\\activity.txt:"
if [ -f "$start/activity.txt" ]; then
  tr -d '\r' <"$start/activity.txt"
else
  echo "(none: it could not be written)"
fi
if [ -f "$start/zentravo-kelv-tarsel.log" ]; then
  # The results report of this run: as text here, and as a page that stays.
  report="$build/demo-report.html"
  echo "== the results report (tarsel-report):"
  "$build/tarsel-report" --name demo "$start"
  "$build/tarsel-report" --format html --output "$report" --name demo "$start"
  echo "== the same as a page: $report"
fi
if [ "$keep" -eq 1 ]; then
  echo "== the machine stays in $folder; these commands enter it:"
  printf '%s\n' "$enter"
fi
exit "$status"
