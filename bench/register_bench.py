#!/usr/bin/env python3
"""Times `corvane register` (SQLite) and measures its database, on generated mailboxes.

1. add of a 100,000-message mailbox (bench/mbox_bench.py's: one machine per message) against
   `decode --csv --mailbox` of the same mailbox: median wall time of RUNS runs, peak memory.
2. A register of 1,000,000 reports grown by ten adds of 100,000 messages (100,000 machines,
   one report of each per add, the user and the name changing now and then): the peak memory
   of each add (flat as the register grows), the bytes per report, then `register history`
   of one machine, the whole process, median of 21 runs.
--quick does the same once, on 500 machines and 1,000 reports, to show that it still works.
Usage: bench/register_bench.py [--quick] [--runs N] [--corvane build/corvane] [--work DIR]
                               [--reports 1000000]
"""
import argparse
import base64
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import mbox_bench  # noqa: E402


def write_round(path, round_number, machines):
    """Report number `round_number` of every machine of the fleet."""
    with open(path, "w") as f:
        for i in range(machines):
            user = "ANA" if (i + round_number) % 7 else "BEA"
            name = f"PC-{i}" if round_number < 5 or i % 3 else f"LAB-{i}"
            values = [f"WD-{i:08d}", str(-1673912542 + i), name, f"PID-{i * 7919:x}", user]
            record = ("".join(f"{len(v) % 1000:03d}" for v in values) + "".join(values) + "\r\n")
            encoded = base64.encodebytes(record.encode()).decode()
            day = round_number + 1
            f.write(
                f"From shop{i % 500}@example.com Mon Dec  7 10:00:00 2026\n"
                f"From: Shop {i % 500} <shop{i % 500}@example.com>\n"
                "To: support@example.com\nSubject: machine information\n"
                f"Date: Tue, {day} Dec 2026 10:00:00 +0000\n"
                f"Message-ID: <{round_number}.{i}@example.com>\nMIME-Version: 1.0\n"
                "Content-Type: multipart/mixed; boundary=\"part\"\n\n"
                "--part\nContent-Type: application/octet-stream\n"
                f"Content-Disposition: attachment; filename=\"Lumbrook202612{day:02d}{name}.kik\"\n"
                "Content-Transfer-Encoding: base64\n\n"
                f"{encoded}--part--\n\n")


def timed(argv, work):
    peak_file = os.path.join(work, "peak.txt")
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak_file] + argv,
                   stdout=subprocess.DEVNULL, check=True)
    elapsed = time.perf_counter() - start
    with open(peak_file) as f:
        return elapsed, int(f.read().split()[-1])


def remove(db):
    for suffix in ("", "-wal", "-shm"):
        if os.path.exists(db + suffix):
            os.remove(db + suffix)


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-register")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--reports", type=int, default=1000000)
    args = parser.parse_args()
    common.require("/usr/bin/time")
    machines = 100000
    if args.quick:
        args.runs, args.reports, machines = 1, 1000, 500
    work = args.work
    os.makedirs(work, exist_ok=True)
    corvane = args.corvane

    mbox = os.path.join(work, f"inbox-{machines}.mbox")
    if not os.path.exists(mbox):
        mbox_bench.write_mbox(mbox, machines)
    db = os.path.join(work, "add.sqlite3")
    decode, add = [], []
    for _ in range(args.runs):
        decode.append(timed([corvane, "decode", "--csv", "--mailbox", mbox], work))
        remove(db)
        add.append(timed([corvane, "register", "--db", db, "add", "--mailbox", mbox], work))
    d, a = statistics.median(t for t, _ in decode), statistics.median(t for t, _ in add)
    print(f"| {machines:,} messages | decode --csv --mailbox | register add | add against decode |")
    print("|---|---:|---:|---:|")
    print(f"| wall time | {d:.2f} s | {a:.2f} s | {a / d:.2f}× |")
    print(f"| peak memory | {max(m for _, m in decode) / 1024:.1f} MB "
          f"| {max(m for _, m in add) / 1024:.1f} MB | |")
    print(f"\nOne machine per report: {os.path.getsize(db) / machines:.0f} bytes of database per report")

    rounds = args.reports // machines
    big = os.path.join(work, f"register-{args.reports}.sqlite3")
    remove(big)
    peaks = []
    for r in range(rounds):
        path = os.path.join(work, "round.mbox")
        write_round(path, r, machines)
        _, peak = timed([corvane, "register", "--db", big, "add", "--mailbox", path], work)
        peaks.append(peak)
        os.remove(path)
    size = os.path.getsize(big)
    print(f"\nA register of {args.reports:,} reports ({machines:,} machines): "
          f"{size / 1e6:.0f} MB, {size / args.reports:.0f} bytes per report")
    print(f"Peak memory of each add of {machines:,} messages, in order: " +
          ", ".join(f"{p / 1024:.1f}" for p in peaks) + " MB")
    history = []
    for i in range(21):
        start = time.perf_counter()
        subprocess.run([corvane, "register", "--db", big, "history", str(1 + i * machines // 25)],
                       stdout=subprocess.DEVNULL, check=True)
        history.append(time.perf_counter() - start)
    print(f"register history of one machine ({rounds} reports), whole process: "
          f"median {statistics.median(history) * 1000:.1f} ms, worst {max(history) * 1000:.1f} ms")
    start = time.perf_counter()
    # A machine renamed from the sixth round on (every third machine), else its first name.
    renamed = machines // 25 - 1 - (machines // 25 - 1) % 3
    name = f"LAB-{renamed}" if rounds > 5 else f"PC-{renamed}"
    subprocess.run([corvane, "register", "--db", big, "history", "--computer", name],
                   stdout=subprocess.DEVNULL, check=True)
    print(f"register history --computer (every report read): "
          f"{(time.perf_counter() - start) * 1000:.0f} ms")


if __name__ == "__main__":
    main()
