#!/usr/bin/env bash
# Which road the file takes, by the machine's mail system: the wizard runs with
# /usr/sbin/sendmail replaced in a private mount namespace, the mail systems' tools as
# stand-ins on PATH answering as each does, and a stand-in xdg-email that keeps its
# arguments (the file to attach and the mailto: link) and whether the file could be read
# when it was called and 3 s later.
# Usage: mail_routes.sh path/to/corvane
source "$(dirname "$0")/lib.sh"

unshare --mount true 2>/dev/null || { echo "SKIP: unshare --mount needs root here"; exit 77; }
mkdir -p "$work/sbin" "$work/tools" "$work/log"
export PATH="$work/tools:/usr/bin:/bin"

tool() {  # tool NAME SCRIPT: a stand-in on PATH
  printf '#!/bin/sh\n%s\n' "$2" > "$work/tools/$1"
  chmod 755 "$work/tools/$1"
}
# Exim answers the address check by its configuration in $EXIM, and keeps what it is sent.
tool exim4 'log='"$work"'/log
case "$1" in
  -bv) if [ "$EXIM" = smarthost ]; then
         printf "%s\n  router = smarthost, transport = remote_smtp_smarthost\n" "$3"; exit 0
       fi
       echo "$3 is undeliverable: Mailing to remote domains not supported"; exit 2;;
  *) cat > "$log/sent"; exit 0;;
esac'
tool postconf 'echo "default_transport = error"; echo "relayhost ="'
tool postqueue 'echo "Mail queue is empty"'
tool xdg-email 'log='"$work"'/log
printf "%s\n" "$@" > "$log/xdg-email"
file=; previous=
for a in "$@"; do [ "$previous" = --attach ] && file=$a; previous=$a; done
if [ -n "$file" ]; then
  if [ -r "$file" ]; then echo yes; else echo no; fi > "$log/readable-at-call"
  (sleep 3; if [ -r "$file" ]; then echo yes; else echo no; fi > "$log/readable-3s-later") \
    </dev/null >/dev/null 2>&1 &
fi
exit "${XDG_ANSWER:-0}"'
# The machine's own sendmail in each set-up.
sendmail_is() {
  rm -f "$work/sbin/sendmail"
  case "$1" in
    exim) ln -s "$work/tools/exim4" "$work/sbin/sendmail";;
    msmtp) ln -s /usr/bin/msmtp "$work/sbin/sendmail";;
    *) printf '#!/bin/sh\ncat > %s/log/sent\n' "$work" > "$work/sbin/sendmail"
       chmod 755 "$work/sbin/sendmail";;
  esac
}

run() {  # run NAME COMMANDS...: one wizard run in the terminal; output in $work/NAME.out/.err
  local name=$1
  shift
  rm -f "$work"/log/* "$HOME"/Lumbrook*.kik
  printf '%s\n' "$@" | unshare --mount sh -c \
    'mount --bind "$1" /usr/sbin && shift && exec "$@"' _ "$work/sbin" \
    "$corvane" --text >"$work/$name.out" 2>"$work/$name.err" ||
    fail "$name: corvane exited $?: $(cat "$work/$name.out" "$work/$name.err")"
  record=$(ls "$HOME"/Lumbrook*.kik 2>/dev/null || true)
}
expect_file() {  # NAME: the record file is still there, unread by any mail system
  [ -n "$record" ] && [ -s "$record" ] || fail "$1: the record file is gone"
  [ ! -e "$work/log/sent" ] || fail "$1: the mail system was handed the mail"
}
expect_composer() {  # NAME: the mail program got the link and the file, which stayed readable
  local name
  name=$(basename "$record")
  [ "$(head -n 2 "$work/log/xdg-email")" = "$(printf '%s\n' --attach "$record")" ] &&
    [ "$(wc -l <"$work/log/xdg-email")" = 3 ] &&
    sed -n 3p "$work/log/xdg-email" | grep -q "^mailto:soporte@lumbrook.example?subject=$name&body=" ||
    fail "$1: xdg-email got $(cat "$work/log/xdg-email")"
  [ "$(cat "$work/log/readable-at-call")" = yes ] || fail "$1: the file was not readable"
  sleep 3.5
  [ "$(cat "$work/log/readable-3s-later")" = yes ] || fail "$1: the file went away"
  expect_contains "$(cat "$work/$1.out")" "Your mail program shows a message to" "$1"
  ! grep -qF "attached" "$work/$1.out" || fail "$1: an attachment is claimed"
  expect_contains "$(cat "$work/$1.out")" "$record" "$1: the box names the file"
  ! grep -qF "Open Outlook Express" "$work/$1.out" || fail "$1: asked about the mail client"
  ! grep -qF "Please Send File" "$work/$1.out" || fail "$1: the manual-send screen came up"
}
expect_manual_send() {  # NAME
  expect_contains "$(cat "$work/$1.out")" $'Please Send File\n\n'"$record" "$1"
  ! grep -qF "Your mail program" "$work/$1.out" || fail "$1: a mail program was named"
}

export DISPLAY=:97  # a desktop session, as far as xdg-email's caller can tell

# Exim configured for local delivery only: not handed the mail; the desktop's mail program is.
sendmail_is exim
EXIM=local run exim_local en ok yes yes ok
expect_file exim_local
expect_composer exim_local
expect_contains "$(cat "$work/exim_local.err")" \
  "corvane: the mail system delivers locally only (exim: soporte@lumbrook.example is undeliverable: Mailing to remote domains not supported)" \
  "exim_local: the reason on standard error"

# Exim with a smarthost sends: the question follows, Yes opens the mail program with the
# address alone, and the file is deleted.
EXIM=smarthost run exim_smarthost en ok yes yes yes
[ -s "$work/log/sent" ] || fail "exim_smarthost: exim was not handed the mail"
grep -qF "Open Outlook Express to Send the E-Mail?" "$work/exim_smarthost.out" ||
  fail "exim_smarthost: no mail-client question"
[ "$(cat "$work/log/xdg-email")" = soporte@lumbrook.example ] ||
  fail "exim_smarthost: xdg-email got $(cat "$work/log/xdg-email")"
[ -z "$record" ] || fail "exim_smarthost: the file stayed after the mail went"

# Postfix "local only", and no desktop: the manual-send screen.
sendmail_is postfix
DISPLAY= run postfix_local en ok yes yes ok
expect_file postfix_local
expect_manual_send postfix_local
[ ! -e "$work/log/xdg-email" ] || fail "postfix_local: xdg-email was run without a desktop"
expect_contains "$(cat "$work/postfix_local.err")" "(postfix: default_transport = error)" \
  "postfix_local"

# Nullmailer (no tool of a known mail system), and a desktop without a mail program.
rm "$work/tools/postconf"
sendmail_is nullmailer
XDG_ANSWER=3 run nullmailer en ok yes yes ok
expect_file nullmailer
expect_manual_send nullmailer
[ -s "$work/log/xdg-email" ] || fail "nullmailer: the mail program was not asked"
expect_contains "$(cat "$work/nullmailer.err")" "xdg-email: exit status 3" "nullmailer"

# msmtp without an account: trusted, fails, and says why; the mail program takes the file.
if [ -x /usr/bin/msmtp ]; then
  sendmail_is msmtp
  run msmtp_no_account en ok yes yes ok
  [ -n "$record" ] || fail "msmtp_no_account: the record file is gone"
  expect_composer msmtp_no_account
  expect_contains "$(cat "$work/msmtp_no_account.err")" "account default not found" \
    "msmtp_no_account: msmtp's reason on standard error"
else
  echo "msmtp is not installed: its case is left out"
fi
echo "mail_routes: each mail system led to its road"
