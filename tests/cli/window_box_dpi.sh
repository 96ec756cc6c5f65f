# At 192 DPI the message boxes scale as the form does: the goodbye box over the form,
# reached by keys in a Portuguese run, is twice its 96 DPI size of 196 x 102 pixels. In a
# Spanish run that mails the report, the mail client question is a Yes/No box of the same
# scale, and Escape answers No: the mail client is not started.
dpi=192
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/window_lib.sh"

size() { xdotool getwindowgeometry "$1" | sed -n 's/ *Geometry: //p'; }
"$corvane" </dev/null >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window: $(cat "$work/out")"
[ "$(size "$id")" = "945x505" ] || fail "the form is $(size "$id") at 192 DPI"
keys "$id" Tab space Tab Tab Return  # Português, then OK
expect_pixels "$id" pt-stage1-192dpi "$yes_only 00FF00" "$no_only FF0000"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '2\r\n' ] || fail "language file"
keys "$id" Tab Return                 # Não
box=$(window_named ':)') || fail "no goodbye box"
[ "$(size "$box")" = "392x204" ] || fail "the box is $(size "$box") at 192 DPI"
for _ in $(seq 20); do
  shot "$box" "$work/box.png" && [ "$(dark "$work/box.png" 0 0 3000 1500)" = 1 ] && break
  sleep 0.2
done
[ "$(dark "$work/box.png" 0 0 3000 1500)" = 1 ] || fail "the box shows no text"
if [ -n "${CORVANE_SCREENSHOTS:-}" ]; then
  # The form with the box over it, as the screen shows them.
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" \
    "$CORVANE_SCREENSHOTS/linux-box-192dpi.png"
fi
keys "$box" Escape                    # Escape answers OK in an OK box
wait_gone "$pid" || fail "exit status after the goodbye box"

record=$("$corvane" record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
if [ -z "$record" ]; then
  echo "window_box_dpi: ok (drive 0 has no identity here: no report to mail)"
  exit 0
fi
report="$HOME/Lumbrook$(date +%Y%m%d)$(hostname | tr '[:lower:]' '[:upper:]').kik"
mkdir -p "$work/bin"
printf '#!/bin/sh\ncat > "%s"\n' "$work/mail.txt" > "$work/bin/sendmail"
printf '#!/bin/sh\ntouch "%s"\n' "$work/mail-client-started" > "$work/bin/xdg-email"
chmod +x "$work/bin/sendmail" "$work/bin/xdg-email"
PATH="$work/bin:$PATH" CORVANE_SENDMAIL="$work/bin/sendmail" "$corvane" </dev/null \
  >"$work/out" 2>&1 &
pid=$!
id=$(window_named Lumbrook) || fail "no window on the mail run: $(cat "$work/out")"
keys "$id" space Tab Tab Tab Return  # Español, then OK
expect_pixels "$id" es-stage1-192dpi "$yes_only 00FF00"
keys "$id" Return                     # Sí: the report is written, then the mail question
expect_pixels "$id" es-stage2-192dpi "$yes_only 00FF00" "$no_only FF0000"
keys "$id" Return                     # Sí: the report is mailed, then the Yes/No box
box=$(window_named Corvane) || fail "no mail client question"
read -r width height < <(size "$box" | tr x ' ')
[ "$width" -ge 392 ] && [ "$height" -eq 204 ] || fail "the Yes/No box is ${width}x$height"
if [ -n "${CORVANE_SCREENSHOTS:-}" ]; then
  sleep 0.5
  shot "$box" "$CORVANE_SCREENSHOTS/linux-yes-no-192dpi.png"
fi
keys "$box" Escape                    # Escape answers No
wait_gone "$pid" || fail "exit status after the mail client question: $(cat "$work/out")"
[ -s "$work/mail.txt" ] || fail "no mail was handed over"
[ ! -e "$work/mail-client-started" ] || fail "Escape started the mail client"
[ ! -e "$report" ] || fail "the mailed report is still there"
echo "window_box_dpi: ok"
