"""What the benchmark scripts share: their common options and the tools they need."""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# The exit status of a script that cannot run here; the test build counts it as skipped.
SKIP = 77


def add_common_arguments(parser, work):
    """--quick (once, at a small size: CORVANE_BENCH_QUICK=1 sets it too), --corvane BINARY
    and --work DIR, the folder for generated inputs (default build/WORK)."""
    parser.add_argument("--quick", action="store_true",
                        default=os.environ.get("CORVANE_BENCH_QUICK") == "1")
    parser.add_argument("--corvane", default=os.path.join(ROOT, "build", "corvane"))
    parser.add_argument("--work", default=os.path.join(ROOT, "build", work))


def require(*tools):
    """Skips the script, saying why, when a tool it needs is missing."""
    missing = [t for t in tools if not (os.access(t, os.X_OK) if "/" in t else shutil.which(t))]
    if missing:
        print("not measured: missing " + ", ".join(missing) + " (scripts/test-tools installs it)")
        sys.exit(SKIP)
