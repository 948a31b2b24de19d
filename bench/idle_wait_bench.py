#!/usr/bin/env python3
"""The program's own cost while the measured encoder works, on a simulated machine.

While the timing tool runs the encoder, the program must only wait: a run whose
encoder works five seconds may cost the program itself no more than 5 ms of processor
time beyond a run whose encoder works a tenth of a second. And its peak resident
memory stays under 4 MiB.

Usage: bench/idle_wait_bench.py BUILD_DIR [RUNS]
       bench/idle_wait_bench.py BUILD_DIR --ledger [RUNS] [COMPARED_RUNS] [--processes N]

BUILD_DIR holds zentravo-kelv-tarsel and tarsel-testbed (a build without the
sanitizers). Each run lays out a machine with the testbed's layout tool, runs
"zentravo-kelv-tarsel -divx" there and measures the program process alone, not the
programs it starts:

- processor time: the scheduler's count of nanoseconds the process ran
  (/proc/PID/schedstat), read once the process has ended but before it is reaped, so
  that nothing of it is missed; the clock ticks of /proc/PID/stat are too coarse;
- peak resident memory: VmHWM of /proc/PID/status, read every few milliseconds while
  the process lives (the last reading is the peak of the whole run).

The encoder's working time is what the timing tool measured, from the main log.
Exits non-zero when a target is missed or a run does not record an official result.

With --ledger, the cost of the activity ledger (TARSEL_ACTIVITY_LOG), which lists the
processes twice a second while the encoder works. On a machine topped up to at least N
processes (--processes, default 100; idle "sleep" processes are started for the rest),
with the ledger on:

- the program's processor time grows by less than 2 ms per second of measurement (5 ms
  from 2,000 processes on): the median of RUNS (default 3) runs whose encoder works 25 s
  (the timing tool must measure at least 20 s) against that of runs whose encoder works
  0.1 s, divided by the difference of their encoding times;
- its peak resident memory stays under 4 MiB;
- the median encoding time of COMPARED_RUNS (default 20) runs with the ledger and as
  many without (2 s of encoder work, alternating) differ by no more than the spread
  between runs (the larger interquartile range of the two); COMPARED_RUNS 0 skips this.
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TARGET_EXTRA_CPU_MS = 5.0
TARGET_PEAK_KIB = 4096
WORK_SECONDS = (0.1, 5.0)
# The encoder's work in CPU seconds; the long one must measure at least 20 s.
LEDGER_WORK_SECONDS = (0.1, 25.0)
LEDGER_LEAST_MEASURED_SECONDS = 20.0
TARGET_LEDGER_CPU_MS_PER_S = 2.0
# From this many processes on, the target is the crowded machine's.
CROWDED_PROCESSES = 2000
TARGET_CROWDED_LEDGER_CPU_MS_PER_S = 5.0
LEDGER_PROCESSES = 100
COMPARED_WORK_SECONDS = 2.0


def lay_out(build, folder, work_seconds):
    """Lays out a machine; returns its environment and start directory."""
    output = subprocess.run(
        [os.path.join(build, "tarsel-testbed"), "layout", folder,
         "--work-seconds", str(work_seconds),
         # A busy machine must not turn the result invalid: the share is not measured here.
         "--timer-share", "99",
         "--program", os.path.join(build, "zentravo-kelv-tarsel")],
        check=True, capture_output=True, text=True).stdout
    environment = {"PATH": "/usr/bin:/bin"}
    start = None
    for line in output.splitlines():
        match = re.match(r"export (\w+)='(.*)'$", line)
        if match:
            environment[match.group(1)] = match.group(2)
        match = re.match(r"cd '(.*)'$", line)
        if match:
            start = match.group(1)
    return environment, start


def stat_state(pid):
    text = open(f"/proc/{pid}/stat").read()
    return text[text.rindex(")") + 2]


def run_once(build, work_seconds, ledger=False):
    """One run: (program cpu ms, peak KiB, encoding time text)."""
    folder = tempfile.mkdtemp(prefix="tarsel-bench-")
    try:
        environment, start = lay_out(build, os.path.join(folder, "machine"), work_seconds)
        if ledger:
            environment["TARSEL_ACTIVITY_LOG"] = "activity.txt"
        process = subprocess.Popen(["./zentravo-kelv-tarsel.exe", "-divx"], cwd=start,
                                   env=environment, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL)
        peak = 0
        cpu_ns = None
        # The process is not reaped until it is a zombie, so its /proc entry stays.
        while cpu_ns is None:
            if stat_state(process.pid) == "Z":
                cpu_ns = int(open(f"/proc/{process.pid}/schedstat").read().split()[0])
                break
            try:
                for line in open(f"/proc/{process.pid}/status"):
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
            except (FileNotFoundError, ProcessLookupError):
                pass
            time.sleep(0.003)
        status = process.wait()
        log = open(os.path.join(start, "zentravo-kelv-tarsel.log"), newline="").read()
        if status != 0 or "Official DivX test result (validation passed)" not in log:
            sys.exit(f"run with {work_seconds} s of work: exit {status}, main log:\n{log}")
        encoding = re.search(r"Encoding time: (\S+)", log).group(1)
        if ledger:
            ledger_text = open(os.path.join(start, "activity.txt"), newline="").read()
            if "block=test\r\n" not in ledger_text or "busy_percent=" not in ledger_text:
                sys.exit(f"run with {work_seconds} s of work: no measured test in the ledger:\n"
                         f"{ledger_text}")
        return cpu_ns / 1e6, peak, encoding
    finally:
        # A holder or editor of the machine may still be ending.
        time.sleep(0.2)
        shutil.rmtree(folder, ignore_errors=True)


def process_count():
    return sum(1 for name in os.listdir("/proc") if name.isdigit())


def spread(values):
    """The interquartile range."""
    quartiles = statistics.quantiles(values, n=4)
    return quartiles[2] - quartiles[0]


def ledger_main(build, runs, compared_runs, processes):
    # Idle processes, so that every snapshot lists at least that many.
    sleepers = [subprocess.Popen(["sleep", "3600"])
                for _ in range(max(0, processes - process_count()))]
    target = (TARGET_CROWDED_LEDGER_CPU_MS_PER_S if processes >= CROWDED_PROCESSES
              else TARGET_LEDGER_CPU_MS_PER_S)
    try:
        print(f"processes on the machine: {process_count()}")
        results = {}
        for work in LEDGER_WORK_SECONDS:
            results[work] = [run_once(build, work, ledger=True) for _ in range(runs)]
            cpu = [r[0] for r in results[work]]
            print(f"ledger on, encoder work {work:4.1f} s: encoding times "
                  f"{[r[2] for r in results[work]]} s; program cpu ms "
                  f"{[round(c, 2) for c in cpu]}, median {statistics.median(cpu):.2f}; "
                  f"peak KiB {[r[1] for r in results[work]]}")
        short, long_ = (statistics.median(r[0] for r in results[w]) for w in LEDGER_WORK_SECONDS)
        seconds = (statistics.median(float(r[2]) for r in results[LEDGER_WORK_SECONDS[1]]) -
                   statistics.median(float(r[2]) for r in results[LEDGER_WORK_SECONDS[0]]))
        per_second = (long_ - short) / seconds
        peak = max(r[1] for rs in results.values() for r in rs)
        print(f"extra program cpu with the ledger: {long_ - short:+.2f} ms over {seconds:.1f} s "
              f"of measurement = {per_second:+.3f} ms/s (target < {target})")
        print(f"peak resident memory of the program: {peak} KiB (target < {TARGET_PEAK_KIB} KiB)")

        longest = statistics.median(float(r[2]) for r in results[LEDGER_WORK_SECONDS[1]])
        if longest < LEDGER_LEAST_MEASURED_SECONDS:
            sys.exit(f"the long runs measured {longest:.1f} s, less than "
                     f"{LEDGER_LEAST_MEASURED_SECONDS} s")
        if per_second >= target or peak >= TARGET_PEAK_KIB:
            sys.exit("target missed")
        if compared_runs == 0:
            return
        times = {False: [], True: []}
        for _ in range(compared_runs):
            for ledger in (False, True):
                times[ledger].append(float(run_once(build, COMPARED_WORK_SECONDS, ledger)[2]))
        medians = {ledger: statistics.median(times[ledger]) for ledger in times}
        widest = max(spread(times[False]), spread(times[True]))
        for ledger in (False, True):
            print(f"encoding times, ledger {'on ' if ledger else 'off'}: {times[ledger]}; "
                  f"median {medians[ledger]:.3f} s, interquartile range "
                  f"{spread(times[ledger]):.3f} s")
        difference = medians[True] - medians[False]
        print(f"median with the ledger minus without: {difference:+.3f} s "
              f"(target: within the spread, {widest:.3f} s)")
        if abs(difference) > widest:
            sys.exit("target missed")
    finally:
        for sleeper in sleepers:
            sleeper.kill()
            sleeper.wait()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    if len(sys.argv) > 2 and sys.argv[2] == "--ledger":
        arguments = sys.argv[3:]
        processes = LEDGER_PROCESSES
        if "--processes" in arguments:
            at = arguments.index("--processes")
            processes = int(arguments[at + 1])
            del arguments[at:at + 2]
        ledger_main(build, int(arguments[0]) if len(arguments) > 0 else 3,
                    int(arguments[1]) if len(arguments) > 1 else 20, processes)
        return
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    results = {}
    for work in WORK_SECONDS:
        results[work] = [run_once(build, work) for _ in range(runs)]
        cpu = [r[0] for r in results[work]]
        print(f"encoder work {work:4.1f} s: encoding times {[r[2] for r in results[work]]} s; "
              f"program cpu ms {[round(c, 2) for c in cpu]}, median {statistics.median(cpu):.2f}; "
              f"peak KiB {[r[1] for r in results[work]]}")
    short, long_ = (statistics.median(r[0] for r in results[w]) for w in WORK_SECONDS)
    extra = long_ - short
    peak = max(r[1] for rs in results.values() for r in rs)
    print(f"extra program cpu for the longer encoder: {extra:+.2f} ms "
          f"(target < {TARGET_EXTRA_CPU_MS} ms)")
    print(f"peak resident memory of the program: {peak} KiB (target < {TARGET_PEAK_KIB} KiB)")
    if extra >= TARGET_EXTRA_CPU_MS or peak >= TARGET_PEAK_KIB:
        sys.exit("target missed")


if __name__ == "__main__":
    main()
