#!/usr/bin/env python3
"""Times `corvane register serve` over loopback on a register of many machines.

A register of MACHINES machines (two reports each, bench/register_bench.py's fleet) is served
on 127.0.0.1; each page and API answer is asked for REQUESTS times in a row (varied pages,
searches and machines), then by 50 clients at once. Prints the 95th percentile of each, that
every request of the 50 clients was answered, and the server's peak memory at each size of
the register (flat as it grows). The first answer after a start (or an add) also reads the
machines' flags from every report: timed apart.
--quick does the same once, on 500 machines and a few requests, to show that it still works.
Usage: bench/serve_bench.py [--quick] [--corvane build/corvane] [--work DIR]
                            [--machines 10000,100000] [--requests 200]
"""
import argparse
import http.client
import os
import random
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import register_bench  # noqa: E402

CLIENTS = 50


def record(machine):
    values = [f"WD-{machine:08d}", str(-1673912542 + machine), f"PC-{machine}",
              f"PID-{machine * 7919:x}", "ANA"]
    return ("".join(f"{len(v) % 1000:03d}" for v in values) + "".join(values) + "\r\n").encode()


class Server:
    def __init__(self, corvane, db, work):
        self.process = subprocess.Popen(
            [corvane, "register", "--db", db, "serve", "--listen", "127.0.0.1:0"],
            stdout=subprocess.PIPE, stderr=open(os.path.join(work, "serve.err"), "w"))
        url = urllib.parse.urlsplit(self.process.stdout.readline().decode().strip())
        self.port = url.port
        c = http.client.HTTPConnection("127.0.0.1", self.port)
        c.request("GET", "/?" + url.query)
        r = c.getresponse()
        r.read()
        self.cookie = r.getheader("Set-Cookie").split(";")[0]

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)

    def ask(self, conn, method, path, body=None):
        start = time.perf_counter()
        conn.request(method, path, body=body, headers={"Cookie": self.cookie})
        r = conn.getresponse()
        r.read()
        return r.status, time.perf_counter() - start

    def peak_kb(self):
        with open(f"/proc/{self.process.pid}/status") as f:
            return int(next(line for line in f if line.startswith("VmHWM")).split()[1])

    def stop(self):
        self.process.terminate()
        if self.process.wait(timeout=30) != 0:
            sys.exit(f"serve did not end cleanly at SIGTERM: status {self.process.returncode}")


def requests_of(machines):
    """Each kind of answer as a function of a random source: method, path, body."""
    pages = max(1, machines // 50)
    some = lambda rnd: rnd.randrange(1, machines + 1)  # noqa: E731
    return {
        "/ (first page)": lambda rnd: ("GET", "/", None),
        "/?page=N": lambda rnd: ("GET", f"/?page={rnd.randrange(pages)}", None),
        "/?q= (one machine)": lambda rnd: ("GET", f"/?q=pc-{some(rnd)}", None),
        "/machines/N": lambda rnd: ("GET", f"/machines/{some(rnd)}", None),
        "/conflicts": lambda rnd: ("GET", "/conflicts", None),
        "/api/machines?page=N": lambda rnd: ("GET", f"/api/machines?page={rnd.randrange(pages)}",
                                             None),
        "/api/machines?q=": lambda rnd: ("GET", f"/api/machines?q=WD-{some(rnd):08d}", None),
        "/api/machines/N": lambda rnd: ("GET", f"/api/machines/{some(rnd)}", None),
        "/api/conflicts": lambda rnd: ("GET", "/api/conflicts", None),
        "POST /api/check": lambda rnd: ("POST", "/api/check", record(some(rnd))),
    }


def p95(times):
    times = sorted(times)
    return times[max(0, int(len(times) * 0.95 + 0.5) - 1)] * 1000


def measure(server, machines, requests, failures):
    rnd = random.Random(machines)
    conn = server.connection()
    start = time.perf_counter()
    status, _ = server.ask(conn, "GET", "/")
    first = (time.perf_counter() - start) * 1000
    results = {}
    for name, make in requests_of(machines).items():
        times = []
        for _ in range(requests):
            status, took = server.ask(conn, *make(rnd))
            if status != 200:
                failures.append(f"{name}: {status}")
            times.append(took)
        results[name] = p95(times)
    # 50 clients at once, each with its own connection, every kind of answer in turn.
    kinds = list(requests_of(machines).values())
    together, answered = [], []
    lock = threading.Lock()

    def client(n):
        own = random.Random(n)
        c = server.connection()
        mine, ok = [], 0
        for i in range(max(4, requests // 5)):
            status, took = server.ask(c, *kinds[(n + i) % len(kinds)](own))
            mine.append(took)
            ok += status == 200
        with lock:
            together.extend(mine)
            answered.append((ok, len(mine)))

    threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    ok = sum(a for a, _ in answered)
    asked = sum(b for _, b in answered)
    if ok != asked or len(answered) != CLIENTS:
        failures.append(f"{CLIENTS} clients: {ok} of {asked} answered")
    return first, results, p95(together), ok, asked


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-serve")
    parser.add_argument("--machines", default="10000,100000")
    parser.add_argument("--requests", type=int, default=200)
    args = parser.parse_args()
    common.require(args.corvane)
    sizes = [500] if args.quick else [int(n) for n in args.machines.split(",")]
    requests = 5 if args.quick else args.requests
    os.makedirs(args.work, exist_ok=True)
    failures = []
    rows = []
    for machines in sizes:
        db = os.path.join(args.work, f"serve-{machines}.sqlite3")
        register_bench.remove(db)
        mbox = os.path.join(args.work, "round.mbox")
        for round_number in range(2):
            register_bench.write_round(mbox, round_number, machines)
            subprocess.run([args.corvane, "register", "--db", db, "add", "--mailbox", mbox],
                           stdout=subprocess.DEVNULL, check=True)
        os.remove(mbox)
        server = Server(args.corvane, db, args.work)
        try:
            first, results, together, ok, asked = measure(server, machines, requests, failures)
            peak = server.peak_kb()
        finally:
            server.stop()
        rows.append((machines, first, results, together, ok, asked, peak))
    for machines, first, results, together, ok, asked, peak in rows:
        print(f"register of {machines:,} machines ({2 * machines:,} reports); "
              f"95th percentile of {requests} requests each, over loopback:")
        print(f"  first page after the start (the flags read from every report): {first:.1f} ms")
        for name, ms in results.items():
            print(f"  {name:28} {ms:7.1f} ms")
        print(f"  {CLIENTS} clients at once: {ok} of {asked} answered, 95th percentile "
              f"{together:.1f} ms")
        print(f"  server's peak memory: {peak / 1024:.1f} MB")
    if failures:
        print("FAILED: " + "; ".join(failures[:10]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
