#!/usr/bin/env python3
"""Times `corvane decode --mailbox` against bench/mailbox_decode.py (Python's `mailbox` and
`email` packages) on generated mboxes of one attachment per message.

Each mbox holds N messages (default 1,000, 10,000 and 100,000 for corvane; Python runs on the
first two only, being slow), each a text part and a base64 record of its own. Both tools must
find the same records. The table gives the median wall time and CPU time of RUNS runs and
the peak resident memory (GNU time). --quick runs once on 200 messages, to show that it still works.
Usage: bench/mbox_bench.py [--quick] [--runs N] [--corvane build/corvane] [--work DIR]
"""
import argparse
import base64
import csv
import io
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

HERE = common.HERE


def record(i):
    values = [f"WD-{i:08d}", str(-1673912542 + i), f"PC-{i}", f"PID-{i * 7919:x}", "ANA"]
    return ("".join(f"{len(v) % 1000:03d}" for v in values) + "".join(values) + "\r\n").encode()


def write_mbox(path, count):
    with open(path, "w") as f:
        for i in range(count):
            encoded = base64.encodebytes(record(i)).decode()
            f.write(
                f"From shop{i}@example.com Mon Dec  7 10:00:00 2026\n"
                f"From: Shop {i} <shop{i}@example.com>\n"
                "To: support@example.com\n"
                f"Subject: machine information {i}\n"
                "Date: Mon, 7 Dec 2026 10:00:00 +0000\n"
                f"Message-ID: <{i}@example.com>\n"
                "MIME-Version: 1.0\n"
                "Content-Type: multipart/mixed; boundary=\"part\"\n\n"
                "--part\nContent-Type: text/plain; charset=utf-8\n\n"
                "Please find the machine information attached.\n"
                "--part\nContent-Type: application/octet-stream\n"
                f"Content-Disposition: attachment; filename=\"Lumbrook2026120{i % 10}PC-{i}.kik\"\n"
                "Content-Transfer-Encoding: base64\n\n"
                f"{encoded}--part--\n\n")


FIVE = ("disk_identifier", "volume_serial", "computer_name", "product_id", "user_name")


def corvane_values(csv_text):
    """The message id, attachment and five values of each of decode's rows, taken by the
    header's column names; corvane's quote before a formula's first sign undone."""
    rows = []
    for row in csv.DictReader(io.StringIO(csv_text)):
        if row["error"]:
            sys.exit(f"corvane could not decode message {row['message_number']}: {row['error']}")
        cells = [row["message_id"], row["attachment"]] + [row[k] for k in FIVE]
        rows.append(tuple(c[1:] if c[:1] == "'" and c[1:2] in "=+-@" else c for c in cells))
    return sorted(rows)


def python_values(csv_text):
    """The same of bench/mailbox_decode.py's rows (Message-ID, attachment, five values)."""
    return sorted((r[0].strip().strip("<>"),) + tuple(r[1:])
                  for r in csv.reader(io.StringIO(csv_text)))


def measure(argv, runs, work):
    """Median wall seconds, peak KiB and CPU seconds (user and system) of RUNS runs. On a
    machine shared with other work the CPU time is the steadier measure."""
    times, peaks, cpus = [], [], []
    peak_file = os.path.join(work, "peak.txt")
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - start)
        subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", peak_file] + argv,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        with open(peak_file) as f:
            peak, user, system = f.read().split()[-3:]
        peaks.append(int(peak))
        cpus.append(float(user) + float(system))
    return statistics.median(times), statistics.median(peaks), statistics.median(cpus)


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-mailbox")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1000,10000,100000")
    parser.add_argument("--python-sizes", default="1000,10000")
    args = parser.parse_args()
    common.require("/usr/bin/time")
    if args.quick:
        args.runs, args.sizes, args.python_sizes = 1, "200", "200"
    os.makedirs(args.work, exist_ok=True)
    python_sizes = {int(n) for n in args.python_sizes.split(",") if n}
    reference = [sys.executable, os.path.join(HERE, "mailbox_decode.py")]
    print("| messages | mbox size | corvane time | corvane CPU | corvane peak memory "
          "| Python time | Python CPU | Python peak memory | time against Python "
          "| CPU against Python |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for count in (int(n) for n in args.sizes.split(",")):
        path = os.path.join(args.work, f"inbox-{count}.mbox")
        if not os.path.exists(path):
            write_mbox(path, count)
        corvane = [args.corvane, "decode", "--csv", "--mailbox", path]
        ours = subprocess.run(corvane, capture_output=True, text=True, check=True).stdout
        found = corvane_values(ours)
        if len(found) != count:
            sys.exit(f"corvane found {len(found)} records in {count} messages")
        t, m, c = measure(corvane, args.runs, args.work)
        row = (f"| {count:,} | {os.path.getsize(path) / 1e6:.1f} MB | {t * 1000:.0f} ms "
               f"| {c * 1000:.0f} ms | {m / 1024:.1f} MB")
        if count in python_sizes:
            theirs = subprocess.run(reference + [path], capture_output=True, text=True,
                                    check=True).stdout
            if python_values(theirs) != found:
                sys.exit(f"Python and corvane decode the {count} messages differently")
            pt, pm, pc = measure(reference + [path], max(1, args.runs // 2), args.work)
            row += (f" | {pt * 1000:.0f} ms | {pc * 1000:.0f} ms | {pm / 1024:.1f} MB "
                    f"| {t / pt:.3f}× | {c / pc:.3f}× |" if pc else " | | | | | |")
        else:
            row += " | | | | | |"
        print(row, flush=True)


if __name__ == "__main__":
    main()
