#!/usr/bin/env python3
"""Peak memory of `corvane decode --mailbox` on hostile mailboxes: each holds a good message,
a hostile one and another good one. The bound on a message's MIME parts and nesting keeps the
peak flat, whatever the hostile message holds. Peak resident memory from GNU time.
Usage: bench/mailbox_hostile.py [--corvane build/corvane]
"""
import argparse
import os
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
WORK = os.path.join(ROOT, "build", "bench-mailbox")
GENERATOR = os.path.join(ROOT, "tests", "tools", "hostile_mail.py")

INPUTS = [
    ("a million empty parts", "parts:1000000"),
    ("100,000 .kik attachments", "kiks:100000"),
    ("1,100 nested multiparts", "nest:1100"),
    ("600 forwarded messages, one in the other", "fwd:600"),
    ("none: three good messages", "good"),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--corvane", default=os.path.join(ROOT, "build", "corvane"))
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    peak_file = os.path.join(WORK, "peak.txt")
    print("| hostile message | mbox size | time | peak memory | entries (errors) |")
    print("|---|---:|---:|---:|---:|")
    for name, kind in INPUTS:
        path = os.path.join(WORK, "hostile-%s.mbox" % kind.replace(":", "-"))
        if not os.path.exists(path):
            subprocess.run(["python3", GENERATOR, path, "good", kind, "good"], check=True)
        start = time.perf_counter()
        run = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak_file, args.corvane,
                              "decode", "--csv", "--mailbox", path],
                             capture_output=True, text=True)
        elapsed = time.perf_counter() - start
        with open(peak_file) as f:
            peak_kb = int(f.read().split()[-1])
        rows = max(run.stdout.count("\n") - 1, 0)  # the header row aside
        errors = run.stderr.count("cannot read it")
        print("| %s | %.1f MB | %.0f ms | %.1f MB | %d (%d) |" % (
            name, os.path.getsize(path) / 1e6, elapsed * 1000, peak_kb / 1024, rows + errors,
            errors), flush=True)


if __name__ == "__main__":
    main()
