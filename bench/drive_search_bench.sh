#!/usr/bin/env bash
# Times the environment analysis, whose four drive searches all walk a large tree
# because none of the sought programs is there, against `find -iname` walking the
# same tree four times. Prints the medians and their ratio (the program should take
# no longer than find: ratio <= 1.0).
#
# A second case puts the start directory on a small tmpfs mounted as drive D:, while
# drive C: has plenty of room, so the free-space line for the DVD clip reads
# "partial". It is skipped, with a message, where mounting is not allowed.
#
# Usage: bench/drive_search_bench.sh [PROGRAM]
#   PROGRAM      the built zentravo-kelv-tarsel (default: build/zentravo-kelv-tarsel)
#   BENCH_RUNS   timed runs of each side after one warm-up (default 7, at least 5)
#   BENCH_DIRS   leaf folders (default 20000); ten files in each
#   BENCH_ROOT   where the simulated machine is laid out (default: a new temporary
#                folder, removed at the end)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$repo/build/zentravo-kelv-tarsel}
runs=${BENCH_RUNS:-7}
leaf_dirs=${BENCH_DIRS:-20000}
[[ -x $program ]] || { echo "no program at $program (build it first)" >&2; exit 2; }
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
((runs >= 5)) || { echo "BENCH_RUNS must be at least 5" >&2; exit 2; }

if [[ -n ${BENCH_ROOT:-} ]]; then
  root=$BENCH_ROOT
  mkdir -p "$root"
  keep_root=1
else
  root=$(mktemp -d "${TMPDIR:-/tmp}/tarsel-bench.XXXXXX")
  keep_root=0
fi
mounted=""
cleanup() {
  if [[ -n $mounted ]]; then umount "$mounted" 2>/dev/null || true; fi
  if ((keep_root == 0)); then rm -rf "$root"; fi
}
trap cleanup EXIT

drives=$root/drives
drive_c=$drives/c:
sought=(mcmpgenc.exe procoder.exe cctspt.exe nncron.exe)

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- The tree: 20 x 50 x (leaf_dirs / 1000) folders, ten files in each leaf. ---
build_tree() {
  local top=20 mid=50 low=$((leaf_dirs / 1000))
  ((low >= 1)) || low=1
  if [[ -f $drive_c/.tree-$leaf_dirs ]]; then return; fi
  echo "laying out $((top * mid * low)) leaf folders with ten files each in $drive_c ..."
  mkdir -p "$drive_c"
  (
    cd "$drive_c"
    awk -v t=$top -v m=$mid -v l=$low 'BEGIN {
      for (a = 0; a < t; a++) for (b = 0; b < m; b++) for (c = 0; c < l; c++)
        printf "Dir%02d/sub%02d/Leaf%03d\n", a, b, c }' | xargs mkdir -p
    # File names of mixed case and length, a few of them close to the sought names.
    awk -v t=$top -v m=$mid -v l=$low 'BEGIN {
      split("readme.txt setup.EXE data.bin Program.dll mcmpgenc.ini procoder.hlp nncron.tab Cctspt.cfg image.bmp notes.doc", n, " ")
      for (a = 0; a < t; a++) for (b = 0; b < m; b++) for (c = 0; c < l; c++)
        for (f = 1; f <= 10; f++) printf "Dir%02d/sub%02d/Leaf%03d/%d_%s\n", a, b, c, f, n[f] }' |
      xargs touch
    touch ".tree-$leaf_dirs"
  )
}

# --- One simulated machine: start directory with the DVD clip, nothing else. ---
# Args: the start directory (host path) and its Windows path.
prepare_start_dir() {
  mkdir -p "$1"
  truncate -s 34822144 "$1/test.mpg"
}

run_program() {  # Args: host start dir, drives folder
  (cd "$1" && env -i PATH="$PATH" TARSEL_DRIVES="$2" OS=Windows_NT APPDATA='C:\appdata' \
    WINDIR='C:\windows' TEMP='C:\temp' "$program" -divx -silentdebug </dev/null)
}

run_find() {  # Args: the tree
  local name
  for name in "${sought[@]}"; do find "$1" -xdev -iname "$name"; done
}

# Runs the command once to warm up, then `runs` times; writes the median wall time and
# the median processor time (user + system, the command's processes together) in
# milliseconds to median-<label>-wall and median-<label>-cpu.
time_runs() {  # Args: label, command...
  local label=$1 i timing
  shift
  "$@" >/dev/null 2>&1  # warm-up: the tree's metadata is then in the cache for both
  : >"$root/times-$label"
  for ((i = 0; i < runs; i++)); do
    timing=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1)
    echo "$timing" >>"$root/times-$label"
  done
  awk '{ printf "%d\n", $1 * 1000 }' "$root/times-$label" | median >"$root/median-$label-wall"
  awk '{ printf "%d\n", ($2 + $3) * 1000 }' "$root/times-$label" | median >"$root/median-$label-cpu"
}

# ------------------------------- Case 1 ------------------------------------------
build_tree
start_c=$drive_c/tarsel
prepare_start_dir "$start_c"
files=$(find "$drive_c" -type f | wc -l)
dirs=$(find "$drive_c" -type d | wc -l)
echo "tree: $files files in $dirs folders"

transcript=$(run_program "$start_c" "$drives")
missing=$(grep -c 'NOT FOUND$' <<<"$transcript" || true)
if ! grep -q '^nnCron Automation Manager *NOT FOUND$' <<<"$transcript" || ((missing < 4)); then
  echo "the analysis did not run as expected:" >&2
  echo "$transcript" >&2
  exit 1
fi
if [[ -n $(run_find "$drive_c") ]]; then
  echo "find found a sought program in the tree; the case is not a full walk" >&2
  exit 1
fi

time_runs program run_program "$start_c" "$drives"
time_runs find run_find "$drive_c"
for kind in wall cpu; do
  p=$(cat "$root/median-program-$kind")
  f=$(cat "$root/median-find-$kind")
  echo "case 1, $kind time, median of $runs runs: program (whole analysis, 4 searches) $p ms, find -iname (4 walks) $f ms"
  awk -v p="$p" -v f="$f" -v k="$kind" 'BEGIN { printf "case 1, %s time: ratio program / find = %.3f (target <= 1.0)\n", k, p / f }'
done

# ------------------------------- Case 2 ------------------------------------------
drive_d=$drives/d:
mkdir -p "$drive_d"
if mount -t tmpfs -o size=16m tarsel-bench "$drive_d" 2>/dev/null; then
  mounted=$drive_d
  prepare_start_dir "$drive_d/tarsel"
  line=$(run_program "$drive_d/tarsel" "$drives" | grep '^Free space for DVD rip tests' || true)
  echo "case 2: C: on $(df --output=fstype "$drive_c" | tail -1), D: on a 16 MiB tmpfs holding the start directory"
  echo "case 2: $line"
  time_runs program2 run_program "$drive_d/tarsel" "$drives"
  echo "case 2: whole analysis over both drives, median of $runs runs: $(cat "$root/median-program2-wall") ms"
  umount "$drive_d"
  mounted=""
  [[ $line == *partial ]] || { echo "case 2: expected \"partial\"" >&2; exit 1; }
else
  echo "case 2: skipped (mounting a tmpfs is not allowed here)"
fi
rmdir "$drive_d" 2>/dev/null || true
