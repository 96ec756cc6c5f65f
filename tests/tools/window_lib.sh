# Shared by the window scripts, sourced after tests/cli/lib.sh (or a Windows script's own
# set-up): an Xvfb display at 96 DPI (15 twips to a pixel; a script may set `dpi` before
# sourcing, for a larger screen at that DPI), the window module beside the copied Linux
# binary, clicks at the controls' places and colours read from screenshots.
# CORVANE_SCREENSHOTS, when set, names a folder that keeps the screenshots.
for tool in Xvfb xdotool convert import python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
case "$binary_under_test" in
  *.exe) ;;  # the Windows program draws its own window
  *)
    module="$(dirname "$binary_under_test")/libcorvane-window.so"
    [ -f "$module" ] || fail "no window module beside $binary_under_test"
    cp "$module" "$work/app/"
    ;;
esac
tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# FLTK and fontconfig keep their caches until exit; those are not this program's leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

dpi=${dpi:-96}
# -noreset: what a test puts on the root window (X resources) stays when its client ends.
Xvfb -displayfd 5 -screen 0 "$((1024 * dpi / 96))x$((768 * dpi / 96))x24" -dpi "$dpi" -nolisten tcp \
  -noreset \
  5>"$work/display" \
  2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -1 "$work/display")"

twips() { echo $(( ($1 * dpi / 96 + 7) / 15 )); }
# Waits up to 10 s for a visible window whose title is exactly $1; prints its id.
window_named() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
no_window_named() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# click WINDOW LEFT TOP (twips from the client area's corner)
click() {
  xdotool mousemove --window "$1" "$(twips "$2")" "$(twips "$3")" click 1
  sleep 0.2
}
# Clicks the middle of a control given as LEFT TOP WIDTH HEIGHT.
click_control() { click "$1" $(( $2 + $4 / 2 )) $(( $3 + $5 / 2 )); }
# keys WINDOW KEY...: types the keys into the window, as xdotool names them.
keys() {
  xdotool windowfocus --sync "$1"
  local key
  for key in "${@:2}"; do xdotool key "$key"; sleep 0.2; done
}
shot() { import -window "$1" "$2"; }
# pixel FILE LEFT TOP: RRGGBB at that place.
pixel() { convert "$1" -format "%[hex:p{$(twips "$2"),$(twips "$3")}]" info:; }
# dark FILE LEFT TOP WIDTH HEIGHT: "1" when the area holds black (text), else "0".
dark() {
  convert "$1" -crop "$(twips "$4")x$(twips "$5")+$(twips "$2")+$(twips "$3")" +repage \
    -colorspace gray -format '%[fx:minima.intensity < 0.1 ? 1 : 0]' info:
}
# expect_pixels WINDOW NAME "LEFT TOP RRGGBB"...: waits up to 10 s for every colour, then
# keeps the screenshot as $work/NAME.png (and in CORVANE_SCREENSHOTS).
expect_pixels() {
  local id=$1 name=$2 file="$work/$2.png" point x y want got="no screenshot" ok=0
  shift 2
  for _ in $(seq 50); do
    if shot "$id" "$file" 2>/dev/null; then
      ok=1
      for point in "$@"; do
        read -r x y want <<<"$point"
        got=$(pixel "$file" "$x" "$y")
        [ "$got" = "$want" ] || { ok=0; break; }
      done
      [ "$ok" = 1 ] && break
    fi
    sleep 0.2
  done
  [ "$ok" = 1 ] || fail "$name: at twips ($x, $y) the colour is $got, not $want"
  if [ -n "${CORVANE_SCREENSHOTS:-}" ]; then cp "$file" "$CORVANE_SCREENSHOTS/$name.png"; fi
}
wait_gone() {  # PID: waits up to 10 s for the process to end; returns its status
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && fail "the program did not end"
  wait "$1"
}
close_window() { python3 "$tools/close_window.py" "$1"; }

# Places of the form's design, in twips: spots that only one screen colours.
form_corner="60 60"
ok_only="3545 3490"        # between Yes and No, below the OK caption
yes_only="1800 3185"       # the left end of Yes, outside OK
no_only="5300 3185"        # the right end of No, outside OK
message_top=(120 120 6850 300)
yes_mark=(1800 2895 1500 60)  # along the top of LBLYES, where its focus mark runs
