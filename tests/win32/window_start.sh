#!/usr/bin/env bash
# corvane.exe is a windowed program: its header names the Windows GUI subsystem, the
# command line still prints through a pipe and into a file, and started with "wine start"
# in Xvfb it shows the form and no console window. Usage: window_start.sh corvane.exe
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
binary_under_test=$1
for tool in wine x86_64-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app"
fail() { echo "FAIL: $*" >&2; exit 1; }
exe="$work/app/Corvane.exe"
cp "$binary_under_test" "$exe"

subsystem=$(x86_64-w64-mingw32-objdump -p "$exe" | grep '^Subsystem')
[[ "$subsystem" =~ ^Subsystem[[:space:]]+0+2[[:space:]]+\(Windows\ GUI\)$ ]] ||
  fail "not a Windows GUI program: $subsystem"

version=$(wine "$exe" --version 2>"$work/err" </dev/null | tr -d '\r')
[[ "$version" =~ ^corvane\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
  fail "--version through a pipe printed '$version' $(cat "$work/err")"
wine "$exe" --help >"$work/help.txt" 2>/dev/null </dev/null
grep -q 'identify' "$work/help.txt" || fail "--help into a file: $(cat "$work/help.txt")"
printf 'not a record' >"$work/app/bad.kik"
status=0
(cd "$work/app" && wine "$exe" decode bad.kik) >"$work/decode.txt" 2>&1 </dev/null || status=$?
[ "$status" != 0 ] && [ -s "$work/decode.txt" ] || fail "decode of a bad file printed nothing"

source "$(dirname "$0")/../tools/window_lib.sh"
(cd "$work/app" && exec wine start /wait Corvane.exe </dev/null >"$work/start.out" 2>&1) &
starter=$!
form=$(window_named Lumbrook) || fail "no form: $(cat "$work/start.out")"
sleep 1
root=$(xdotool search --maxdepth 0 --name '' | head -1)
# A console program started this way gets a console window of its own, titled its path.
others=$(xdotool search --onlyvisible --name '' 2>/dev/null | grep -vx -e "$form" -e "$root" || true)
if [ -n "$others" ]; then
  names=$(for id in $others; do xdotool getwindowname "$id"; done)
  fail "windows besides the form: $names"
fi
close_window "$form"
wait_gone "$starter" || fail "the program ended with status $?"
echo "window start test passed"
