#!/usr/bin/env python3
"""Times the window's first paint: from starting `corvane` under Xvfb until its window
shows the form's pale yellow. Median of RUNS runs (default 11; --quick: one).
Usage: first_paint.py [--quick] [--runs N] [--corvane build/corvane] [--work DIR]"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PALE_YELLOW = "FFFFC0"


def pixel(display, window, x, y):
    shot = subprocess.run(["import", "-display", display, "-window", window, "-depth", "8", "-crop",
                           f"1x1+{x}+{y}", "txt:-"], capture_output=True, text=True)
    for line in shot.stdout.splitlines():
        if "#" in line and not line.startswith("#"):
            return line.split("#")[1][:6].upper()
    return ""


sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def one_run(binary, display, scratch):
    with tempfile.TemporaryDirectory(dir=scratch) as work:
        app = os.path.join(work, "app")
        os.makedirs(app)
        for name in ("corvane", "libcorvane-window.so"):
            shutil.copy2(os.path.join(os.path.dirname(binary), name), app)
        env = dict(os.environ, DISPLAY=display, HOME=work, XDG_CONFIG_HOME=work + "/cfg",
                   XDG_RUNTIME_DIR=work)
        start = time.monotonic()
        program = subprocess.Popen([os.path.join(app, "corvane")], env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            while time.monotonic() - start < 10:
                found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                        "^Lumbrook$"], env=env, capture_output=True, text=True)
                window = found.stdout.split()
                if window and pixel(display, window[0], 5, 5) == PALE_YELLOW:
                    return (time.monotonic() - start) * 1000
            raise SystemExit("the window never painted")
        finally:
            program.kill()
            program.wait()


def main():
    parser = argparse.ArgumentParser()
    common.add_common_arguments(parser, "bench-first-paint")
    parser.add_argument("--runs", type=int, default=11)
    args = parser.parse_args()
    if args.quick:
        args.runs = 1
    common.require("Xvfb", "xdotool", "import")
    os.makedirs(args.work, exist_ok=True)
    # Xvfb picks a free display and writes its number to the pipe once it listens.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1024x768x24", "-dpi", "96", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            sys.exit("Xvfb did not start")
        display = ":" + number
        times = [one_run(args.corvane, display, args.work) for _ in range(args.runs)]
    finally:
        xvfb.kill()
        xvfb.wait()
    print(f"first paint: median {statistics.median(times):.0f} ms "
          f"(min {min(times):.0f}, max {max(times):.0f}, {args.runs} runs)")


if __name__ == "__main__":
    main()
