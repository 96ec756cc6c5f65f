#!/usr/bin/env bash
# Starts corvane.exe under Wine in Xvfb, chooses English, OK, Yes, checks the screen that
# follows (Wine has no SMART and no smartvsd.vxd: the missing-driver screen, OK only), and
# ends it with OK. Then, by keyboard alone: English with Tab and Space, OK with Enter, No
# with Tab and Enter, the goodbye box closed with Enter.
# Usage: window_e2e.sh corvane.exe [stage-1 screenshot to write]
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
exe=$1
shot=${2:-}
for tool in Xvfb xdotool import convert wine; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
display=
for n in $(seq 91 120); do
  if [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "SKIPPED: no free X display"; exit 77; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.2; done

# The program file is copied alone into a folder of its own, so that nothing else is there.
cp "$exe" "$work/Corvane.exe"
named() {  # the first visible window titled exactly $1, waited for up to 30 s
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] &&
      { echo "$id"; return 0; }
    sleep 0.3
  done
  return 1
}
start() {
  (cd "$work" && exec wine ./Corvane.exe >/dev/null 2>&1 </dev/null) &
  program=$!
  window=$(named Lumbrook) || { echo "FAIL: no window titled Lumbrook appeared"; exit 1; }
  sleep 1
  # The client area is 7090 x 3790 twips, 472 x 252 pixels at 96 DPI; the frame is the rest.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  border=$(((WIDTH - 472) / 2))
  origin_x=$((X + border))
  origin_y=$((Y + HEIGHT - 252 - border))
}
ended() {  # waits for the program to end with status 0
  for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$program" 2>/dev/null; then echo "FAIL: $1 did not end the program"; exit 1; fi
  wait "$program" || { echo "FAIL: the program ended with status $?"; exit 1; }
  program=
}
keys() {  # keys WINDOW KEY...: typed into the window, as xdotool names them
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  local key
  for key in "${@:2}"; do xdotool key "$key"; sleep 0.5; done
}
click() {  # twips in the client area
  xdotool mousemove $((origin_x + $1 / 15)) $((origin_y + $2 / 15)) click 1
  sleep 1
}
pixel() {  # the colour at twips in the client area, as the screen shows it
  import -window root -crop 1x1+$((origin_x + $1 / 15))+$((origin_y + $2 / 15)) \
    -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}'
}
colours() {  # colours LEFT TOP WIDTH HEIGHT (twips): how many colours the area holds
  import -window root -crop "$(($3 / 15))x$(($4 / 15))+$((origin_x + $1 / 15))+$((origin_y + $2 / 15))" \
    png:- | convert png:- -format '%k' info:
}
# Along the top of the Yes caption, where its dotted focus mark runs; plain green without it.
yes_mark=(1800 2895 1500 60)
expect_pixel() {
  local got
  got=$(pixel "$1" "$2")
  [ "$got" = "$3" ] || { echo "FAIL: $4: the pixel at ($1, $2) twips is $got, not $3"; exit 1; }
}

start
expect_pixel 100 100 '#FFFFC0' "stage 0 has the pale yellow background"
click 3605 2200  # English
click 3575 3185  # OK
expect_pixel 1820 3185 '#00FF00' "stage 1 shows the green Yes button"
expect_pixel 3800 3185 '#FF0000' "stage 1 shows the red No button"
if [ -n "$shot" ]; then
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$shot"
fi
click 2555 3185  # Yes
expect_pixel 1820 3185 '#FFFFC0' "the missing-driver screen has no Yes button"
expect_pixel 2840 3185 '#C00000' "the missing-driver screen shows the OK button"
click 3575 3185  # OK ends the program
ended OK

# By keyboard alone. The focus starts on Español; the options go from top to bottom.
rm -f "$work/idioma.txt"
start
keys "$window" Escape Down Up Tab Tab space Tab Return
expect_pixel 1820 3185 '#00FF00' "Enter on OK puts up stage 1"
[ "$(od -An -c "$work/idioma.txt" | tr -d ' ')" = '3\r\n' ] ||
  { echo "FAIL: Tab and Space did not choose English: $(od -c "$work/idioma.txt")"; exit 1; }
[ "$(colours "${yes_mark[@]}")" -gt 1 ] || { echo "FAIL: Yes has no focus mark"; exit 1; }
keys "$window" Escape Tab Tab shift+Tab  # Esc does nothing at stage 1; Yes, No, Cancel, No
[ "$(colours "${yes_mark[@]}")" = 1 ] || { echo "FAIL: the focus mark stayed on Yes"; exit 1; }
keys "$window" Return
box=$(named ':)') || { echo "FAIL: no goodbye box after Tab and Enter"; exit 1; }
[ ! -e "$work/idioma.txt" ] || { echo "FAIL: No kept the language file"; exit 1; }
keys "$box" Return
ended "Enter on the goodbye box"
echo "window test passed"
