# The wizard in the FLTK window under Xvfb, driven by clicks at the controls' places:
# English, OK, Yes, No, OK, checked through the files it leaves and the screens' colours.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"

# The verbs stay small: the binary itself needs neither FLTK nor X11.
needed=$(readelf -d "$corvane" | grep NEEDED || true)
case "$needed" in *fltk* | *X11*) fail "corvane links $needed";; esac

"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
read -r _ size < <(xdotool getwindowgeometry "$id" | sed -n 's/ *Geometry: /x /p')
[ "$size" = "473x253" ] || fail "the client area is $size, not 7090 x 3790 twips"
expect_pixels "$id" linux-stage0 "$form_corner FFFFC0" "$ok_only C00000" "$yes_only FFFFC0"
[ "$(dark "$work/linux-stage0.png" "${message_top[@]}")" = 0 ] || fail "stage 0 shows a message"

click_control "$id" 2100 1920 3010 560   # English
click_control "$id" 2640 2880 1870 610   # OK
expect_pixels "$id" linux-stage1 "$form_corner FFFFC0" "$yes_only 00FF00" "$no_only FF0000" \
  "$ok_only FFFFC0"
[ "$(dark "$work/linux-stage1.png" "${message_top[@]}")" = 1 ] || fail "stage 1 has no message"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '3\r\n' ] || fail "language file"

record=$("$corvane" record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
[ -n "$record" ] || { kill "$pid"; echo "SKIP: drive 0 has no identity on this machine"; exit 77; }
report="$HOME/Lumbrook$(date +%Y%m%d)$(hostname | tr '[:lower:]' '[:upper:]').kik"

click_control "$id" 1620 2880 1870 610   # Yes: the report is written, then the mail question
for _ in $(seq 50); do [ -f "$report" ] && break; sleep 0.1; done
[ "$(cat "$report")" = "$record"$'\r' ] || fail "the report holds $(od -c "$report" | head -3)"
[ ! -e "$work/app/idioma.txt" ] || fail "the gathering left the language file"
expect_pixels "$id" linux-stage2 "$yes_only 00FF00" "$no_only FF0000" "$ok_only FFFFC0"

click_control "$id" 3600 2880 1870 610   # No: how to send the file by hand
expect_pixels "$id" linux-stage3 "$form_corner FFFFC0" "$ok_only C00000" "$yes_only FFFFC0" \
  "$no_only FFFFC0"
[ "$(dark "$work/linux-stage3.png" "${message_top[@]}")" = 1 ] || fail "stage 3 has no message"

click_control "$id" 2640 2880 1870 610   # OK ends the program
status=0
wait_gone "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/out")"
[ -f "$report" ] || fail "the report was removed"
[ ! -e "$XDG_CONFIG_HOME/autostart/Corvane.desktop" ] || fail "a Run value was written"
[ ! -s "$work/out" ] || fail "the window run printed: $(cat "$work/out")"
echo "window_wizard: ok"
