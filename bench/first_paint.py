#!/usr/bin/env python3
"""Times the window's first paint: from starting `corvane` under Xvfb until its window
shows the form's pale yellow. Median of several runs. Usage: first_paint.py BINARY [RUNS]"""
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


def one_run(binary, display):
    with tempfile.TemporaryDirectory() as work:
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
    binary = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    display = ":97"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-dpi", "96",
                             "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        times = [one_run(binary, display) for _ in range(runs)]
    finally:
        xvfb.kill()
    print(f"first paint: median {statistics.median(times):.0f} ms "
          f"(min {min(times):.0f}, max {max(times):.0f}, {runs} runs)")


if __name__ == "__main__":
    main()
