#!/usr/bin/env bash
# tarsel-report over a large result collection against cat of the same files: both
# read every main log whole, so the ratio shows what the report's reading and figures
# cost beyond reading the bytes. Two layouts: a tree of machine folders, and many logs
# in one folder named one by one on the command line. Target: ratio below 3 in both.
#
#   bench/report_bench.sh BUILD_DIR     (BUILD_DIR holds tarsel-report)
#   BENCH_LOGS (10000), BENCH_RECORDS (1000000), BENCH_FLAT_LOGS (4000), BENCH_RUNS (5),
#   BENCH_ROOT (keep the logs there)
set -euo pipefail

report="$(cd "$1" && pwd)/tarsel-report"
logs=${BENCH_LOGS:-10000}
flat_logs=${BENCH_FLAT_LOGS:-4000}
records=${BENCH_RECORDS:-1000000}
runs=${BENCH_RUNS:-5}
root=${BENCH_ROOT:-}
if [ -z "$root" ]; then
  root=$(mktemp -d "${TMPDIR:-/tmp}/tarsel-report-bench.XXXXXX")
  trap 'rm -rf "$root"' EXIT
fi

# 100 logs to a folder, each log its own machine; labels and times vary.
if [ ! -f "$root/.complete" ]; then
  python3 - "$root" "$logs" "$records" "$flat_logs" <<'PY'
import os, random, sys
root, logs, records, flat_logs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
labels = ["Official DivX test result (validation passed)", "Official XviD test result (validation passed)",
          "Official Windows Media Video 9 test result (validation passed)",
          "Official MPEG1/Mainconcept test result (validation passed)",
          "UNOFFICIAL MPEG2/Mainconcept test result", "Official MPEG2/Canopus test result (validation passed)",
          "Official MPEG2/Cinema Craft test result (validation passed)"]
random.seed(1)
header = "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\nCreated: 01.03.2024 at 09:00:00\r\n\r\n"
for n in range(logs):
    folder = os.path.join(root, "group%03d" % (n // 100), "machine%05d" % n)
    os.makedirs(folder)
    count = records // logs + (1 if n < records % logs else 0)
    parts = [header]
    for r in range(count):
        parts.append("%s\r\nAdded %02d.03.2024 at 10:%02d:%02d\r\nEncoding time: %.3f\r\n\r\n"
                     % (labels[r % 7], 1 + r % 28, r % 60, n % 60, random.uniform(20, 200)))
    with open(os.path.join(folder, "zentravo-kelv-tarsel.log"), "w", newline="") as log:
        log.write("".join(parts))
# Many logs side by side in one folder, 25 records each (as collected from a forum).
os.makedirs(os.path.join(root, "flat"))
for n in range(flat_logs):
    parts = [header] + ["%s\r\nAdded 01.03.2024 at 10:00:%02d\r\nEncoding time: %.3f\r\n\r\n"
                        % (labels[r % 7], r, random.uniform(20, 200)) for r in range(25)]
    with open(os.path.join(root, "flat", "m%05d.log" % n), "w", newline="") as log:
        log.write("".join(parts))
PY
  touch "$root/.complete"
fi
echo "logs: $(find "$root" -name zentravo-kelv-tarsel.log | wc -l) in folders, $(find "$root/flat" -name '*.log' | wc -l) in one folder, $(du -sh --apparent-size "$root" | cut -f1)"

# One run of a side, in milliseconds of wall time.
timed() {
  local began ended
  began=$(date +%s%N)
  "$@" >/dev/null
  ended=$(date +%s%N)
  echo $(((ended - began) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

cd "$root"
# Compares the two commands (a report, then cat) given as strings: warm runs first, then
# BENCH_RUNS of each; prints the medians and the ratio, and fails above 3.
compare() {
  local name=$1 report_side=$2 cat_side=$3 report_ms=() cat_ms=()
  eval "$report_side" >/dev/null
  eval "$cat_side" >/dev/null
  for ((i = 0; i < runs; i++)); do
    report_ms+=("$(timed eval "$report_side")")
    cat_ms+=("$(timed eval "$cat_side")")
  done
  local r c ratio
  r=$(median "${report_ms[@]}")
  c=$(median "${cat_ms[@]}")
  echo "$name: tarsel-report ${report_ms[*]} ms, median $r ms; cat ${cat_ms[*]} ms, median $c ms"
  ratio=$(awk -v r="$r" -v c="$c" 'BEGIN {printf "%.2f", r / (c > 0 ? c : 1)}')
  echo "$name: ratio report / cat = $ratio (target < 3)"
  awk -v ratio="$ratio" 'BEGIN {exit !(ratio < 3)}' || failed=1
}
failed=0
compare "tree of machine folders" '"$report" --format csv group*' \
  'find group* -name zentravo-kelv-tarsel.log -exec cat {} +'
compare "$flat_logs logs in one folder" '"$report" --format csv flat/*.log' 'cat flat/*.log'
peak=$( { /usr/bin/time -f '%M' "$report" --format csv group* >/dev/null; } 2>&1 | tail -1)
echo "peak resident memory of the report: $peak KiB"
exit $failed
