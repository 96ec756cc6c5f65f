#!/usr/bin/env bash
# The report goes by mail, end to end through the terminal face: a loopback SMTP server
# behind msmtp receives one message to the support address, with the record file as its
# attachment, and the file is gone; without sendmail the manual-send screen keeps it.
# Usage: mail_e2e.sh path/to/corvane
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"

corvane=$1
tools=$(cd "$(dirname "$0")/../tools" && pwd)
python=/usr/bin/python3  # Debian's, where python3-aiosmtpd lives
msmtp=/usr/bin/msmtp

if [ ! -x "$msmtp" ]; then echo "SKIP: msmtp is not installed (scripts/test installs it)"; exit 77; fi
if ! "$python" -c 'import aiosmtpd' 2>/dev/null; then
  echo "SKIP: python3-aiosmtpd is not installed (scripts/test installs it)"; exit 77
fi

work=$(mktemp -d)
sink_pid=
cleanup() {
  if [ -n "$sink_pid" ]; then
    exec {SINK[1]}>&- 2>/dev/null || true
    wait "$sink_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# A home of its own ("drive C:"), settings and runtime folder; the binary is copied so
# that its language file lands here too.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
# No desktop session: where the mail does not go, no mail program is opened instead.
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/bin" "$work/box"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$corvane" "$work/bin/corvane"

coproc SINK { exec "$python" "$tools/smtp_sink.py" "$work/box"; }
sink_pid=$SINK_PID
read -r port <&"${SINK[0]}" || fail "the SMTP server did not start"

cat > "$work/msmtprc" <<CONF
defaults
auth off
tls off
syslog off
account sink
host 127.0.0.1
port $port
from corvane-test@localhost
account default : sink
CONF
chmod 600 "$work/msmtprc"
printf '#!/bin/sh\nexec %s -C "%s" "$@"\n' "$msmtp" "$work/msmtprc" > "$work/sendmail"
chmod 700 "$work/sendmail"

run() {  # run NAME SENDMAIL COMMANDS...: the wizard's output goes to $work/NAME.out
  local name=$1 sendmail=$2
  shift 2
  printf '%s\n' "$@" | CORVANE_SENDMAIL=$sendmail "$work/bin/corvane" --text > "$work/$name.out" \
    || fail "$name: corvane exited $? ($(cat "$work/$name.out"))"
}

# 1. No at the mail question: the manual-send screen names the file and the address.
run manual "$work/sendmail" en ok yes no ok
shopt -s nullglob
records=("$HOME"/Lumbrook*.kik)
[ ${#records[@]} -eq 1 ] || fail "expected one record file in the home folder, found ${#records[@]}"
record=${records[0]}
name=$(basename "$record")
grep -qxF "$record" "$work/manual.out" || fail "the manual-send screen does not show $record"
address=$(sed -n 's/^to: //p' "$work/manual.out" | head -n 1)
[ -n "$address" ] || fail "the manual-send screen shows no address"
cp "$record" "$work/expected"

# 2. Yes, Yes, then No to the mail client: the mail goes out and the file is gone.
run mailed "$work/sendmail" en ok yes yes no
grep -qF "Open Outlook Express to Send the E-Mail?" "$work/mailed.out" \
  || fail "no mail-client question"
[ ! -e "$record" ] || fail "the record file is still there after the hand-over"
[ -e "$work/box/1.eml" ] || fail "the server received no message"
[ ! -e "$work/box/2.eml" ] || fail "the server received more than one message"
[ "$(cat "$work/box/1.rcpt")" = "$address" ] || fail "recipient $(cat "$work/box/1.rcpt")"
[ "$(cat "$work/box/1.subject")" = "$name" ] || fail "subject $(cat "$work/box/1.subject")"
[ "$(cat "$work/box/1.1.name")" = "$name" ] || fail "attachment name $(cat "$work/box/1.1.name")"
cmp -s "$work/box/1.1.data" "$work/expected" || fail "the attachment differs from the record file"
[ ! -e "$work/box/1.2.name" ] || fail "more than one attachment"

# 3. No sendmail: the manual-send screen (stage "7") comes up instead and the file stays.
run unsent "$work/no-such-sendmail" en ok yes yes ok
grep -qF "Please Send File" "$work/unsent.out" || fail "no manual-send screen"
grep -qxF "$record" "$work/unsent.out" || fail "the manual-send screen does not show $record"
grep -qxF "to: $address" "$work/unsent.out" || fail "the manual-send screen does not show the address"
! grep -qF "Open Outlook Express" "$work/unsent.out" || fail "asked about the mail client"
[ -e "$record" ] || fail "the record file was deleted although the mail did not go"
[ ! -e "$work/box/2.eml" ] || fail "a message went out without sendmail"

echo "mail_e2e: the mailed and the unsent runs behaved"
