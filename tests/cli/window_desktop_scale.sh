# On a 96-DPI server, the scale desktops ask for on X11 (the Xft.dpi resource, GDK_SCALE)
# makes the form its 192-DPI size, 945 x 505, drawn as at 192 DPI. At that scale, the manual
# sending screen of a 200-character report path keeps the whole message inside LBLMSG's box,
# the address line included, nothing under the buttons; Ctrl+C and the message's context
# menu copy that message, and the toolkit leaves no preference file in the home folder.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"
for tool in xrdb xclip; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
dpi=192  # the places below are twips at the scale the desktop asks for

size() { xdotool getwindowgeometry "$1" | sed -n 's/ *Geometry: //p'; }
clipboard() { xclip -o -selection clipboard 2>/dev/null; }

# 1. Xft.dpi, as GNOME, Xfce and KDE set it.
echo 'Xft.dpi: 192' | xrdb -merge
"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
[ "$(size "$id")" = "945x505" ] || fail "the form is $(size "$id") at Xft.dpi 192"
keys "$id" Tab Tab space Tab Return  # English, then OK
expect_pixels "$id" xft-stage1 "$yes_only 00FF00" "$no_only FF0000"
keys "$id" Tab Return                # No: the goodbye box, as large as the form's scale
box=$(window_named ':)') || fail "no goodbye box"
[ "$(size "$box")" = "392x204" ] || fail "the box is $(size "$box") at Xft.dpi 192"
keys "$box" Escape
wait_gone "$pid" || fail "exit status after the goodbye box"

# 2. GDK_SCALE, which wins over the resource.
echo 'Xft.dpi: 96' | xrdb -merge
GDK_SCALE=2 "$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window with GDK_SCALE=2: $(cat "$work/out")"
[ "$(size "$id")" = "945x505" ] || fail "the form is $(size "$id") with GDK_SCALE=2"
close_window "$id"
wait_gone "$pid" || fail "exit status after closing"

# 3. A report path of 200 characters on the manual sending screen.
record=$("$corvane" record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
if [ -z "$record" ]; then
  echo "window_desktop_scale: ok (drive 0 has no identity here: no stage 3 to show)"
  exit 0
fi
name="Lumbrook$(date +%Y%m%d)$(hostname | tr '[:lower:]' '[:upper:]').kik"
# Folders of 24 characters under $work/h, filled up to 200 characters with the file's name.
home=$(python3 -c 'import sys
base, name = sys.argv[1], sys.argv[2]
tail = ("/abcdefghijklmnopqrstuvw" * 10)[: 200 - len(base) - 1 - len(name)]
print(base + tail[:-1] + ("z" if tail.endswith("/") else tail[-1]))' "$work/h" "$name")
report="$home/$name"
[ ${#report} -eq 200 ] || fail "the test's path is ${#report} characters"
mkdir -p "$home"
HOME=$home GDK_SCALE=2 "$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window on the long path: $(cat "$work/out")"
keys "$id" Tab Tab space Tab Return  # English, then OK
expect_pixels "$id" long-stage1 "$yes_only 00FF00"
keys "$id" Return                    # Yes: the report is written, then the mail question
expect_pixels "$id" long-stage2 "$yes_only 00FF00" "$no_only FF0000"
keys "$id" Tab Return                # No: stage "3"
expect_pixels "$id" long-stage3 "$ok_only C00000"
[ -f "$report" ] || fail "no report at $report"
# Text (black) only inside LBLMSG's box (120, 120, 6850 x 2130): none beside it, none below
# it down to Frame2 and the buttons, and none beside OK, where a line running under the
# button would show (Cancel and Frame2, left of it, have dark edges of their own).
shot3=$work/long-stage3.png
[ "$(dark "$shot3" 0 0 120 2250)" = 0 ] || fail "text left of the message box"
[ "$(dark "$shot3" 6970 0 120 2250)" = 0 ] || fail "text right of the message box"
[ "$(dark "$shot3" 0 2250 7090 510)" = 0 ] || fail "text below the message box"
[ "$(dark "$shot3" 1000 2820 1640 970)" = 0 ] || fail "text left of OK"
[ "$(dark "$shot3" 4510 2820 2580 970)" = 0 ] || fail "text right of OK"
[ "$(dark "$shot3" 120 120 6850 2130)" = 1 ] || fail "no text in the message box"
message=$(printf 'Please Send File\n\n%s\n\nto: soporte@lumbrook.example' "$report")
keys "$id" ctrl+c
[ "$(clipboard)" = "$message" ] || fail "Ctrl+C copied '$(clipboard)'"
printf 'nothing' | xclip -selection clipboard
eval "$(xdotool getwindowgeometry --shell "$id")"
xdotool mousemove --window "$id" "$(twips 3500)" "$(twips 600)" click 3
sleep 0.5
xdotool key Down Return  # the menu's one command
sleep 0.3
[ "$(clipboard)" = "$message" ] || fail "the context menu copied '$(clipboard)'"
keys "$id" Return                    # OK ends the program
wait_gone "$pid" || fail "exit status after stage 3"
# FLTK's own preferences are neither in the home folders nor anywhere else of the user's.
fltk_files=$(find "$work" -path '*fltk*' 2>/dev/null)
[ -z "$fltk_files" ] || fail "the toolkit wrote $fltk_files"
echo "window_desktop_scale: ok"
