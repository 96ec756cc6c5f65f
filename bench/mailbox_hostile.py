#!/usr/bin/env python3
"""Peak memory of `corvane decode --mailbox` on hostile mailboxes: each holds a good message,
a hostile one and another good one. The bound on a message's MIME parts and nesting keeps the
peak flat, whatever the hostile message holds. Peak resident memory from GNU time. The good
messages must be decoded whatever comes between them. --quick uses small hostile messages.
Usage: bench/mailbox_hostile.py [--quick] [--corvane build/corvane] [--work DIR]
"""
import argparse
import csv
import io
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

GENERATOR = os.path.join(common.ROOT, "tests", "tools", "hostile_mail.py")

INPUTS = [
    ("a million empty parts", "parts:1000000"),
    ("100,000 .kik attachments", "kiks:100000"),
    ("1,100 nested multiparts", "nest:1100"),
    ("600 forwarded messages, one in the other", "fwd:600"),
    ("none: three good messages", "good"),
]
QUICK_INPUTS = [
    ("1,500 empty parts", "parts:1500"),
    ("500 .kik attachments", "kiks:500"),
    ("80 nested multiparts", "nest:80"),
    ("80 forwarded messages, one in the other", "fwd:80"),
    ("none: three good messages", "good"),
]


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-mailbox")
    args = parser.parse_args()
    common.require("/usr/bin/time")
    os.makedirs(args.work, exist_ok=True)
    peak_file = os.path.join(args.work, "peak.txt")
    print("| hostile message | mbox size | time | peak memory | entries (errors) |")
    print("|---|---:|---:|---:|---:|")
    for name, kind in QUICK_INPUTS if args.quick else INPUTS:
        path = os.path.join(args.work, "hostile-%s.mbox" % kind.replace(":", "-"))
        if not os.path.exists(path):
            subprocess.run(["python3", GENERATOR, path, "good", kind, "good"], check=True)
        start = time.perf_counter()
        run = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak_file, args.corvane,
                              "decode", "--csv", "--mailbox", path],
                             capture_output=True, text=True)
        elapsed = time.perf_counter() - start
        with open(peak_file) as f:
            peak_kb = int(f.read().split()[-1])
        computers = {row["computer_name"] for row in csv.DictReader(io.StringIO(run.stdout))}
        if run.returncode not in (0, 1) or not {"PC-1", "PC-3"} <= computers:
            sys.exit("%s: the good messages around it were not decoded (exit status %d)\n%s"
                     % (name, run.returncode, run.stderr[-2000:]))
        rows = max(run.stdout.count("\n") - 1, 0)  # the header row aside
        errors = run.stderr.count("cannot read it")
        print("| %s | %.1f MB | %.0f ms | %.1f MB | %d (%d) |" % (
            name, os.path.getsize(path) / 1e6, elapsed * 1000, peak_kb / 1024, rows + errors,
            errors), flush=True)


if __name__ == "__main__":
    main()
