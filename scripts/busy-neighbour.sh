#!/usr/bin/env bash
# A bounded busy neighbour for trying the tests on a loaded machine: two busy loops and
# a steady stream of short process starts, at normal priority, in a process group of
# their own. Ends after SECONDS, on Ctrl-C and on SIGTERM, and leaves nothing running.
#
#   bash scripts/busy-neighbour.sh SECONDS
#   bash scripts/busy-neighbour.sh 1500 & build/default/tarsel_e2e; kill %1
set -euo pipefail

if [ $# -ne 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -eq 0 ]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
limit=$1

# With job control on, the background job below is a process group of its own: the
# whole neighbour can be ended at once, and never the caller's group with it.
set -m
(
  # Each worker also watches the limit itself, so none outlives it even when this
  # script is killed outright.
  end=$((SECONDS + limit))
  for _ in 1 2; do
    while ((SECONDS < end)); do :; done &
  done
  while ((SECONDS < end)); do /bin/true; done &
  wait
) &
workers=$!
set +m

sleeper=
stop() {
  trap - INT TERM EXIT
  kill -TERM -- "-$workers" ${sleeper:+"$sleeper"} 2>/dev/null || true
  wait 2>/dev/null || true
}
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM
trap stop EXIT

echo "busy neighbour: process group $workers, for $limit s"
# A waited-for sleep lets the traps run at once.
sleep "$limit" &
sleeper=$!
wait "$sleeper" || true
