#!/usr/bin/env bash
# tarsel-report over a large result collection against cat of the same files: both
# read every main log whole, so the ratio shows what the report's reading and figures
# cost beyond reading the bytes. Target: ratio below 3.
#
#   bench/report_bench.sh BUILD_DIR     (BUILD_DIR holds tarsel-report)
#   BENCH_LOGS (10000), BENCH_RECORDS (1000000), BENCH_RUNS (5), BENCH_ROOT (keep the logs there)
set -euo pipefail

report="$(cd "$1" && pwd)/tarsel-report"
logs=${BENCH_LOGS:-10000}
records=${BENCH_RECORDS:-1000000}
runs=${BENCH_RUNS:-5}
root=${BENCH_ROOT:-}
if [ -z "$root" ]; then
  root=$(mktemp -d "${TMPDIR:-/tmp}/tarsel-report-bench.XXXXXX")
  trap 'rm -rf "$root"' EXIT
fi

# 100 logs to a folder, each log its own machine; labels and times vary.
if [ ! -f "$root/.complete" ]; then
  python3 - "$root" "$logs" "$records" <<'PY'
import os, random, sys
root, logs, records = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
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
PY
  touch "$root/.complete"
fi
echo "logs: $(find "$root" -name zentravo-kelv-tarsel.log | wc -l), $(du -sh --apparent-size "$root" | cut -f1)"

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
# Warm the page cache (and the folders' metadata) for both sides.
"$report" --format csv . >/dev/null
find . -name zentravo-kelv-tarsel.log -exec cat {} + >/dev/null
report_ms=() cat_ms=()
for ((i = 0; i < runs; i++)); do
  report_ms+=("$(timed "$report" --format csv .)")
  cat_ms+=("$(timed find . -name zentravo-kelv-tarsel.log -exec cat {} +)")
done
r=$(median "${report_ms[@]}")
c=$(median "${cat_ms[@]}")
echo "tarsel-report --format csv: ${report_ms[*]} ms, median $r ms"
echo "find + cat:                 ${cat_ms[*]} ms, median $c ms"
ratio=$(awk -v r="$r" -v c="$c" 'BEGIN {printf "%.2f", r / c}')
echo "ratio report / cat = $ratio (target < 3)"
peak=$( { /usr/bin/time -f '%M' "$report" --format csv . >/dev/null; } 2>&1 | tail -1)
echo "peak resident memory of the report: $peak KiB"
awk -v ratio="$ratio" 'BEGIN {exit !(ratio < 3)}'
