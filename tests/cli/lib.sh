# Shared by the scripted runs: a private copy of the binary, home and runtime folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/say_failures.sh"
binary_under_test="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/home" "$work/run"
chmod 700 "$work/run"
cp "$binary_under_test" "$work/app/corvane"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
unset DISPLAY WAYLAND_DISPLAY
corvane="$work/app/corvane"

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_contains() {  # haystack needle what
  case "$1" in *"$2"*) ;; *) printf '%s\n' "$1" >&2; fail "$3: missing '$2'";; esac
}
# The Run value "Corvane" as the Linux registry keeps it.
put_run_value() {
  mkdir -p "$XDG_CONFIG_HOME/autostart"
  printf '[Desktop Entry]\nType=Application\nName=Corvane\nExec="%s"\nX-Corvane-Run-Value=%s\n' \
    "$corvane" "$corvane" > "$XDG_CONFIG_HOME/autostart/Corvane.desktop"
}
