#!/usr/bin/env bash
# Builds the program, lays out a minimal simulated Windows machine in a temporary
# folder and runs "zentravo-kelv-tarsel -divx" on it, with its console shown.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/demo"

if ! command -v cmake >/dev/null 2>&1 || ! command -v g++ >/dev/null 2>&1 ||
  ! command -v ninja >/dev/null 2>&1; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q </dev/null
  "${sudo[@]}" apt-get install -y -q --no-install-recommends cmake g++ ninja-build </dev/null
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARSEL_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target zentravo-kelv-tarsel >/dev/null

# The machine: drive C: with the start directory (holding a small "test.mpg"), TEMP
# and WINDIR, and a command interpreter stand-in that records what it is asked to run.
machine=$(mktemp -d "${TMPDIR:-/tmp}/tarsel-demo-XXXXXX")
trap 'rm -rf "$machine"' EXIT
drive_c="$machine/drives/c:"
mkdir -p "$drive_c/Tarsel" "$drive_c/Temp" "$drive_c/WINDOWS/system32"
printf 'not a real clip' >"$drive_c/Tarsel/test.mpg"
cp "$root/tests/e2e/recording_comspec.sh" "$drive_c/WINDOWS/system32/cmd.exe"
chmod +x "$drive_c/WINDOWS/system32/cmd.exe"

status=0
(
  cd "$drive_c/Tarsel"
  exec env -i PATH=/usr/bin:/bin TERM="${TERM:-dumb}" \
    TARSEL_DRIVES="$machine/drives" TARSEL_COMMAND_LOG="$machine/commands.log" \
    TEMP='C:\Temp' COMSPEC='C:\WINDOWS\system32\cmd.exe' WINDIR='C:\WINDOWS' \
    OS=Windows_NT APPDATA='C:\Documents and Settings\Tester\Application Data' \
    "$build/zentravo-kelv-tarsel" -divx </dev/null
) || status=$?

echo
echo "Exit status: $status. Commands given to the command interpreter (directory, command):"
c_root=$(cd "$drive_c" && pwd -P)
awk -F '\t' -v c_root="$c_root" '{
  dir = $1
  if (index(dir, c_root) == 1) { dir = "C:" substr(dir, length(c_root) + 1); gsub("/", "\\", dir) }
  printf "  %s  %s\n", dir, $2
}' "$machine/commands.log" 2>/dev/null || true
echo "No codec or encoder is installed on this machine yet, so the analysis lets no test run: the DivX test is skipped with \"NOT PASSED, skip test\" and the run ends normally."
