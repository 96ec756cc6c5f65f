# The window at the restart screen under Xvfb: a second copy brings the hidden window
# back and ends; closing the window at stage "9" leaves the Run value and the language
# file for the next start.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"

put_run_value
printf '3\r\n' >"$work/app/idioma.txt"
"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
expect_pixels "$id" stage9 "$form_corner FFFFC0" "$ok_only C00000" "$yes_only FFFFC0"
[ "$(dark "$work/stage9.png" "${message_top[@]}")" = 1 ] || fail "stage 9 has no message"

# Taken off the screen (as a minimised window is), then raised by a second copy.
xdotool windowunmap --sync "$id"
no_window_named Lumbrook || fail "the window is still mapped"
"$corvane" </dev/null >"$work/second.out" 2>&1 || fail "the second copy's exit status"
[ ! -s "$work/second.out" ] || fail "the second copy printed: $(cat "$work/second.out")"
[ "$(window_named Lumbrook)" = "$id" ] || fail "the first copy's window did not come back"
[ "$(xdotool search --name '^Lumbrook$' | wc -l)" -eq 1 ] || fail "the second copy opened a window"

close_window "$id"
wait_gone "$pid" || fail "exit status after closing the window"
grep -q 'X-Corvane-Run-Value' "$XDG_CONFIG_HOME/autostart/Corvane.desktop" ||
  fail "closing the window removed the Run value"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '3\r\n' ] || fail "the language file changed"
echo "window_restart: ok"
