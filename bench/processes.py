#!/usr/bin/env python3
"""Times whole processes against the tools a user would otherwise run for the same work.

Each command runs RUNS times (default 21); the table gives the median wall time, the
median peak resident memory (the process and whatever it started), and the ratio to the
alternative. --quick runs each command once. Usage:
bench/processes.py [--quick] [--runs N] [--corvane build/corvane] [--work DIR] [--markdown]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

ROOT = common.ROOT
CAPTURES = os.path.join(ROOT, "..", "shared", "ata-captures")

# The five values by hand: first disk's serial, volume serial, host name, product id, user.
BY_HAND = (
    "lsblk -dno SERIAL | head -n1; stat -f -c %i \"$HOME\"; hostname; "
    "cat /etc/machine-id; id -un"
)


def measure(argv, peak_file):
    """Wall seconds, peak RSS in KiB and exit status of argv, output discarded.

    The time is taken on a run of its own; the peak on a second run under GNU time, which
    forks from a small process (a fork of this interpreter would count its memory).
    """
    start = time.perf_counter()
    code = subprocess.call(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    subprocess.call(["/usr/bin/time", "-f", "%M", "-o", peak_file] + argv,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(peak_file) as f:
        peak = int(f.read().split()[-1])
    return elapsed, peak, code


def series(commands, runs, work):
    """Runs the list of argv in turn, RUNS rounds; medians per run of one command."""
    times, peaks, codes = [], [], set()
    peak_file = os.path.join(work, "bench-peak.txt")
    for _ in range(runs):
        for argv in commands:
            t, m, c = measure(argv, peak_file)
            times.append(t)
            peaks.append(m)
            codes.add(c)
    return statistics.median(times), statistics.median(peaks), max(peaks), codes


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-processes")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--markdown", action="store_true")
    args = parser.parse_args()
    if args.quick:
        args.runs = 1
    os.makedirs(args.work, exist_ok=True)
    corvane = args.corvane
    if not os.access(corvane, os.X_OK):
        sys.exit(f"no {corvane}: build it first (scripts/run --version)")
    common.require("/usr/bin/time")

    captures = sorted(
        os.path.join(CAPTURES, f) for f in os.listdir(CAPTURES)
        if os.path.isfile(os.path.join(CAPTURES, f)) and not f.endswith(".md")
    ) if os.path.isdir(CAPTURES) else []
    sample = os.path.join(args.work, "bench-sample.kik")
    with open(sample, "wb") as f:
        f.write(b"007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n")

    rows = []  # (what, command, median ms, median peak KiB, max peak KiB, alternative index)
    def add(what, commands, against=None, must_succeed=False):
        med, peak, top, codes = series(commands, args.runs, args.work)
        # A verb that fails would be timed on its way out, not on its work.
        if must_succeed and codes != {0}:
            sys.exit(f"{what} failed (exit status {sorted(codes)}): nothing to time")
        rows.append((what, med * 1000, peak, top, against, codes))
        return len(rows) - 1

    add("/bin/true", [["/bin/true"]])
    if captures and shutil.which("skdump"):
        sk = add("skdump --load (19 captures)", [["skdump", "--load=" + c] for c in captures])
        add("corvane identify --load", [[corvane, "identify", "--load", c] for c in captures], sk)
    hand = add("the five values by hand (sh)", [["sh", "-c", BY_HAND]])
    add("corvane record", [[corvane, "record"]], hand)
    add("corvane decode (one file)", [[corvane, "decode", sample]], must_succeed=True)
    add("corvane identify (drive 0)", [[corvane, "identify"]])
    add("corvane --version", [[corvane, "--version"]], must_succeed=True)

    head = "| command | median time | median peak memory | max peak | vs. alternative |"
    print(head)
    print("|---|---:|---:|---:|---|")
    for what, ms, peak, top, against, codes in rows:
        ratio = ""
        if against is not None:
            _, alt_ms, alt_peak, _, _, _ = rows[against]
            ratio = f"{ms / alt_ms:.2f}× time, {peak / alt_peak:.2f}× memory"
        print(f"| {what} | {ms:.1f} ms | {peak / 1024:.1f} MB | {top / 1024:.1f} MB | {ratio} |")


if __name__ == "__main__":
    main()
