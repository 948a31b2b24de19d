#!/bin/sh
# Lays out a simulated Windows machine in FOLDER and prints the shell commands that
# enter it (the environment the program needs, then "cd" into its start directory):
#
#   eval "$(scripts/make-machine.sh /tmp/machine --work-seconds 2)"
#   ./zentravo-kelv-tarsel.exe -all
#
# Every option of "tarsel-testbed layout" is passed on (run it without arguments for
# the list). The tools are taken from TARSEL_BUILD_DIR, or else from the first build
# folder of the repository that has them; the program is copied into the start
# directory unless an option names another one.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TARSEL_BUILD_DIR:-}
if [ -z "$build" ]; then
  for candidate in "$here"/build "$here"/build-*; do
    if [ -x "$candidate/tarsel-testbed" ]; then build=$candidate; break; fi
  done
fi
if [ -z "$build" ] || [ ! -x "$build/tarsel-testbed" ]; then
  echo "make-machine.sh: no built tarsel-testbed; build the project first or set TARSEL_BUILD_DIR" >&2
  exit 1
fi
if [ $# -lt 1 ]; then
  exec "$build/tarsel-testbed"
fi
folder=$1
shift
case " $* " in
  *" --program "*) exec "$build/tarsel-testbed" layout "$folder" "$@" ;;
esac
if [ -x "$build/zentravo-kelv-tarsel" ]; then
  exec "$build/tarsel-testbed" layout "$folder" --program "$build/zentravo-kelv-tarsel" "$@"
fi
exec "$build/tarsel-testbed" layout "$folder" "$@"
