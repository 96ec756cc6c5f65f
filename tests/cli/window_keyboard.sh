# The wizard in the FLTK window by keyboard alone: English with Tab and Space, confirmed
# with Enter on OK; No at the confirmation screen with Tab and Enter; the goodbye box closed
# with Enter. Each step is checked through the files and the screens' colours, and the
# focus mark through the dark dots it leaves on the green Yes.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"

"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
expect_pixels "$id" keys-stage0 "$form_corner FFFFC0" "$ok_only C00000"
keys "$id" Escape                   # Cancel at stage "0": the program goes on
# Español has the focus: Down and Up go to Português and back; Tab, Tab to English; OK.
keys "$id" Down Up Tab Tab space Tab Return
expect_pixels "$id" keys-stage1 "$yes_only 00FF00" "$no_only FF0000" "$ok_only FFFFC0"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '3\r\n' ] || fail "language file"
[ "$(dark "$work/keys-stage1.png" "${yes_mark[@]}")" = 1 ] || fail "Yes has no focus mark"

keys "$id" Escape Tab Tab shift+Tab  # Esc does nothing here; Yes, No, Cancel, back to No
shot "$id" "$work/keys-no.png"
[ "$(dark "$work/keys-no.png" "${yes_mark[@]}")" = 0 ] || fail "the focus mark stayed on Yes"
kill -0 "$pid" 2>/dev/null || fail "Esc ended the program at stage 1"
[ -e "$work/app/idioma.txt" ] || fail "the language file went before No"
keys "$id" Return
box=$(window_named ':)') || fail "no goodbye box"
[ ! -e "$work/app/idioma.txt" ] || fail "No kept the language file"
keys "$box" Return
wait_gone "$pid" || fail "exit status after the goodbye box"
no_window_named Lumbrook || fail "the form is still up"
echo "window_keyboard: ok"
