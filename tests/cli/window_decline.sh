# The window's other paths under Xvfb: clicks on hidden controls and on a shape's
# uncovered edge do nothing; Cancel clears the choice; No at stage "1" shows the goodbye
# box, modal, after the language file is gone; without a usable display or module the
# terminal face comes up.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"

"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
expect_pixels "$id" stage0 "$ok_only C00000"
click "$id" ${yes_only}         # the hidden Yes: OK at stage "0" would end the program
click "$id" 3575 2835           # SHOK's top edge, above its label
click_control "$id" 2100 720 3010 560   # Español
click_control "$id" 660 2820 130 190    # Cancel
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "a click outside a visible label ended the program"
click_control "$id" 2640 2880 1870 610  # OK with nothing chosen ends the program
wait_gone "$pid" || fail "exit status after OK with no language"
[ ! -e "$work/app/idioma.txt" ] || fail "language file written after Cancel"

"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window on the second run"
click_control "$id" 2100 1320 3010 560  # Português
click_control "$id" 2640 2880 1870 610  # OK
expect_pixels "$id" pt-stage1 "$yes_only 00FF00" "$no_only FF0000"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '2\r\n' ] || fail "language file"
click_control "$id" 3600 2880 1870 610  # Não
box=$(window_named ':)') || fail "no goodbye box"
[ ! -e "$work/app/idioma.txt" ] || fail "the language file is still there under the box"
click_control "$id" 1620 2880 1870 610  # the form takes no clicks while the box is up
kill -0 "$pid" 2>/dev/null || fail "the program ended before the box was answered"
shot "$box" "$work/box.png"
[ "$(dark "$work/box.png" 0 0 3000 1500)" = 1 ] || fail "the goodbye box shows no text"
xdotool windowfocus --sync "$box" key Return
wait_gone "$pid" || fail "exit status after the goodbye box"
no_window_named Lumbrook || fail "the form is still up"

# A display that cannot be opened, and a module that is missing: the terminal face.
out=$(printf 'en\nok\n' | DISPLAY=:9999 "$corvane" 2>"$work/err")
expect_contains "$out" $'[Yes] [No] [Cancel]' "terminal face without a display"
expect_contains "$(cat "$work/err")" "the display cannot be opened" "the reason"
rm "$work/app/libcorvane-window.so"
out=$(printf 'ok\n' | "$corvane" 2>"$work/err")
expect_contains "$out" $'( ) English\n[OK] [Cancel]' "terminal face without the module"
expect_contains "$(cat "$work/err")" "libcorvane-window.so is not installed" "the reason"
echo "window_decline: ok"
