#!/usr/bin/env bash
# The report reaches support from a mail program that takes no attachment: the machine's
# mail system refuses, and Debian's own xdg-email hands the mailto: link to a stand-in
# handler (a .desktop file made the default with xdg-mime), which keeps it. The body of
# that link, after what mail programs and webmail do to a text, decodes to the file's five
# values; a message carrying the report twice is one report, in decode and in the
# register; a damaged copy is an error. The program never claims an attachment.
# Usage: mail_link.sh path/to/corvane
source "$(dirname "$0")/lib.sh"
for tool in xdg-email xdg-mime jq python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/test-tools)"; exit 77; }
done
cp "$(dirname "$binary_under_test")/libcorvane-mailbox.so" "$work/app/"
tools="$(dirname "$0")/../tools"

# A desktop of the test's own: its settings and applications only, no desktop environment
# for xdg-utils to find, and a display name that nothing draws on.
mkdir -p "$work/bin" "$work/data/applications" "$work/data-dirs"
export XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/data-dirs" DISPLAY=:97
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID BROWSER \
  DBUS_SESSION_BUS_ADDRESS
cat > "$work/bin/mail-handler" <<HANDLER
#!/bin/sh
printf '%s\n' "\$#" > "$work/argc"
printf '%s\n' "\$1" > "$work/link"
HANDLER
cat > "$work/bin/sendmail" <<'SENDMAIL'
#!/bin/sh
echo "sendmail: cannot send mail from this machine" >&2
exit 1
SENDMAIL
chmod 755 "$work/bin/mail-handler" "$work/bin/sendmail"
printf '[Desktop Entry]\nType=Application\nName=Test mail\nExec=%s %%u\nMimeType=x-scheme-handler/mailto;\n' \
  "$work/bin/mail-handler" > "$work/data/applications/test-mail.desktop"
xdg-mime default test-mail.desktop x-scheme-handler/mailto
[ "$(xdg-mime query default x-scheme-handler/mailto)" = test-mail.desktop ] ||
  fail "the stand-in handler is not the default one"

# In Spanish, for the accents of the words above the report.
printf '%s\n' es ok yes yes ok | CORVANE_SENDMAIL="$work/bin/sendmail" "$corvane" --text \
  >"$work/run.out" 2>"$work/run.err" || fail "corvane exited $?: $(cat "$work/run.out" "$work/run.err")"
record=$(ls "$HOME"/Lumbrook*.kik 2>/dev/null) || fail "the record file is gone"
name=$(basename "$record")
[ -s "$work/link" ] || fail "the handler got no link: $(cat "$work/run.out" "$work/run.err")"
[ "$(cat "$work/argc")" = 1 ] || fail "the handler got $(cat "$work/argc") arguments"
link=$(cat "$work/link")
# xdg-email adds the file to attach, for the handlers that take one.
ours=${link%%&attach=*}
expect_contains "$ours" "mailto:soporte@lumbrook.example?subject=$name&body=" "the link"
[ "${#ours}" -le 2000 ] || fail "the link is ${#ours} characters long"
case "$ours" in *[\ +\\]*) fail "the link holds a space, a plus or a backslash: $ours";; esac
out=$(tr '\r' '\n' <"$work/run.out")
expect_contains "$out" "Su programa de correo muestra un mensaje para soporte@lumbrook.example con el informe en su texto." "the box"
expect_contains "$out" "$record" "the box names the file"
for claim in adjunto attached anexado "Please Send File" "Favor Enviar"; do
  ! grep -qiF "$claim" <<<"$out" || fail "the output says '$claim': $out"
done

# The link's body through every transformation: each message gives the file's values.
"$corvane" decode --json "$record" | jq -c '.files[0] | [.disk_identifier, .volume_serial,
  .computer_name, .product_id, .user_name]' >"$work/values" || fail "the file does not decode"
printf '%s\n' "$link" >"$work/ours"
kinds=(plain wrap wrap-break qp base64 html alternative reply forward rfc822 both)
python3 "$tools/mail_link_mbox.py" "$work/ours" "$record" "$work/all.mbox" "${kinds[@]}"
"$corvane" decode --json --mailbox "$work/all.mbox" >"$work/all.json" 2>"$work/all.err" ||
  fail "decode --mailbox: status $?: $(cat "$work/all.err")"
[ "$(jq '.files | length' "$work/all.json")" = "${#kinds[@]}" ] ||
  fail "not one report a message: $(jq -c '.files[] | [.message_number, .source, .error]' "$work/all.json")"
for i in "${!kinds[@]}"; do
  got=$(jq -c --argjson n $((i + 1)) '.files[] | select(.message_number == $n) |
    [.disk_identifier, .volume_serial, .computer_name, .product_id, .user_name]' "$work/all.json")
  [ "$got" = "$(cat "$work/values")" ] || fail "${kinds[$i]}: $got, not $(cat "$work/values")"
  source=$(jq -r --argjson n $((i + 1)) '.files[] | select(.message_number == $n) | .source' "$work/all.json")
  expected=text
  [ "${kinds[$i]}" = both ] && expected=attachment
  [ "$source" = "$expected" ] || fail "${kinds[$i]}: the source is $source, not $expected"
done
text=$("$corvane" decode --mailbox "$work/all.mbox")
expect_contains "$text" "  in its text:      $name" "decode's text output"

# A line of digits lost: an error naming the message, never a record.
python3 "$tools/mail_link_mbox.py" "$work/ours" "$record" "$work/damaged.mbox" damaged
set +e
"$corvane" decode --json --mailbox "$work/damaged.mbox" >"$work/damaged.json" 2>"$work/damaged.err"
status=$?
set -e
[ "$status" = 1 ] || fail "damaged: status $status"
[ "$(jq -c '[.files[] | [.message_id, .source, (.error | test("damaged"))]]' "$work/damaged.json")" = \
  '[["link-1@example.com","text",true]]' ] || fail "damaged: $(cat "$work/damaged.json")"

# The register: the message that carries the report both ways adds one report; a damaged
# copy in a message's text is a failure that says where it was.
python3 "$tools/mail_link_mbox.py" "$work/ours" "$record" "$work/both.mbox" both
reg() { "$corvane" register --db "$work/register.sqlite3" "$@"; }
[ "$(reg --json add --mailbox "$work/both.mbox" | jq -c '[.read, .new, .failed]')" = '[1,1,0]' ] ||
  fail "register add of the message carrying the report twice"
[ "$(reg --json machines | jq -c '[.machines[].reports]')" = '[1]' ] ||
  fail "the register holds $(reg --json machines | jq -c '[.machines[].reports]') reports"
set +e
failures=$(reg --json add --mailbox "$work/damaged.mbox" | jq -c '[.failures[] | [.message_id, .source]]')
set -e
[ "$failures" = '[["link-1@example.com","text"]]' ] || fail "register add of the damaged copy: $failures"
echo "mail_link: the report arrived in every form"
