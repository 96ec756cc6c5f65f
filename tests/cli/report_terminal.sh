# The report end to end through the terminal face: the record file in the home folder
# holds this machine's identity; a home folder that cannot be written ends with a message.
source "$(dirname "$0")/lib.sh"

record=$("$corvane" record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
[ -n "$record" ] || { echo "SKIP: drive 0 has no identity on this machine"; exit 77; }
host=$(hostname | tr '[:lower:]' '[:upper:]')
report="$HOME/Lumbrook$(date +%Y%m%d)$host.kik"

out=$(printf 'en\nok\nyes\nno\nok\n' | "$corvane")
expect_contains "$out" $'Is This Machine Used to Send E-Mails?\n[Yes] [No] [Cancel]' "stage 2"
expect_contains "$out" $'Please Send File\n\n'"$report"$'\n\nto: ' "stage 3"
[ -f "$report" ] || fail "no report file at $report"
[ "$(cat "$report")" = "$record"$'\r' ] || fail "the file holds $(od -c "$report" | head -3)"
[ ! -e "$work/app/idioma.txt" ] || fail "the gathering left the language file"

# A home folder the user cannot write: a clear message, and nothing written.
rm -f "$report"
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
  chmod 755 "$work" "$HOME"
  chown 65534:65534 "$work/app"  # the user's own copy, which keeps its files beside it
  chown 65534:65534 "$XDG_RUNTIME_DIR"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod 555 "$HOME"
  as_user=()
fi
status=0
out=$(printf 'en\nok\nyes\n\n' | "${as_user[@]}" "$corvane") || status=$?
chmod 755 "$HOME"
[ "$status" -eq 1 ] || fail "exit status $status after the failed write"
expect_contains "$out" "$report: Permission denied" "the failure box"
case "$out" in *"E-Mails?"*) fail "the mail question came up without a file";; esac
[ -z "$(find "$HOME" -name 'Lumbrook*' -o -name '.corvane-*')" ] || fail "something was written"
echo "report_terminal: ok"
