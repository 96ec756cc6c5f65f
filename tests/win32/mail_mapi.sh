#!/usr/bin/env bash
# Windows without the spreadsheet program: Yes at the mail question hands the file to the
# default mail program through Simple MAPI. The test's own mail program (Wine's drops
# attachments) is registered as the default one under HKLM\Software\Clients\Mail, and
# keeps what it is handed; the file stays. Without a default mail program: stage 7.
# Usage: mail_mapi.sh corvane.exe corvane_test_mapi.dll
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
exe=$1
provider=$2
for tool in wine winepath; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
key='HKLM\Software\Clients\Mail'
saved=$(wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
cleanup() {
  wine reg delete "$key\\Corvane Test Mail" /f >/dev/null 2>&1 || true
  if [ -n "$saved" ]; then
    wine reg add "$key" /ve /d "$saved" /f >/dev/null 2>&1 || true
  else
    wine reg delete "$key" /ve /f >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/app"
cp "$exe" "$work/app/Corvane.exe"
cp "$provider" "$work/mapi.dll"
log=$work/mapi.log
export CORVANE_TEST_MAPI_LOG
CORVANE_TEST_MAPI_LOG=$(winepath -w "$log")

run() {  # run NAME: one wizard in the terminal, English, Yes to both questions, then OK
  # The marker of an earlier driver attempt: without a disk identity the record is written
  # at once, with the disk identifier NOTAVAIL, and the mail question follows.
  printf '0\r\n' > "$work/app/hd.txt"
  (cd "$work/app" && printf 'en\nok\nyes\nyes\nok\nok\n' | wine ./Corvane.exe --text) \
    >"$work/$1.out" 2>/dev/null || fail "$1: corvane.exe exited $?: $(cat "$work/$1.out")"
  tr -d '\r' <"$work/$1.out" >"$work/$1.txt"
}

# No default mail program: the manual-send screen, and the file stays.
wine reg delete "$key" /ve /f >/dev/null 2>&1 || true
run none
grep -qF "Please Send File" "$work/none.txt" || fail "none: no manual-send screen: $(cat "$work/none.txt")"
[ ! -e "$log" ] || fail "none: a mail program was handed the file"
report=$(grep -m1 -o 'C:\\Lumbrook[^ ]*\.kik' "$work/none.txt") || fail "none: no file named"
unix_report=$(winepath -u "$report")
[ -s "$unix_report" ] || fail "none: $report is gone"
rm -f "$unix_report"

# The test's mail program is the default one: it gets the message with the file attached.
wine reg add "$key" /ve /d "Corvane Test Mail" /f >/dev/null
wine reg add "$key\\Corvane Test Mail" /v DLLPath /d "$(winepath -w "$work/mapi.dll")" /f >/dev/null
run mapi
[ -s "$log" ] || fail "mapi: the mail program was handed nothing: $(cat "$work/mapi.txt")"
name=${report##*\\}
tr -d '\r' <"$log" >"$work/mapi.log.txt"
expected="entry=W
flags=9
subject=$name
recipient=1|soporte@lumbrook.example|SMTP:soporte@lumbrook.example
file=$report|$name|readable"
[ "$(cat "$work/mapi.log.txt")" = "$expected" ] || fail "mapi: the mail program got $(cat "$work/mapi.log.txt")"
grep -qF "Your mail program shows the message to soporte@lumbrook.example" "$work/mapi.txt" ||
  fail "mapi: no word of the mail program: $(cat "$work/mapi.txt")"
! grep -qF "Please Send File" "$work/mapi.txt" || fail "mapi: the manual-send screen came up"
! grep -qF "Open Outlook Express" "$work/mapi.txt" || fail "mapi: asked about the mail client"
[ -s "$unix_report" ] || fail "mapi: the file was deleted"
rm -f "$unix_report"
echo "mail_mapi: passed"
