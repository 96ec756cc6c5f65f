#!/usr/bin/env bash
# Windows without the spreadsheet program: Yes at the mail question hands the file to the
# default mail program through Simple MAPI. The test's own mail program (Wine's drops
# attachments) is registered as the default one under HKLM\Software\Clients\Mail, and
# keeps what it is handed; the file stays. Without one, the program registered for mailto:
# links gets a link whose text carries the report: the test's own stand-in, which keeps its
# command line (Wine's own would hand the link to the host's browser). Without either:
# stage 7.
# Usage: mail_mapi.sh corvane.exe corvane_test_mapi.dll corvane_test_mail_link.exe
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
exe=$1
provider=$2
handler=$3
for tool in wine winepath python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
key='HKLM\Software\Clients\Mail'
# Wine reads URL associations from HKLM\Software\Classes only.
scheme='HKLM\Software\Classes\mailto'
saved=$(wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
wine reg export "$scheme" "$(winepath -w "$work/mailto.reg")" /y >/dev/null 2>&1 || true
cleanup() {
  wine reg delete "$key\\Corvane Test Mail" /f >/dev/null 2>&1 || true
  if [ -n "$saved" ]; then
    wine reg add "$key" /ve /d "$saved" /f >/dev/null 2>&1 || true
  else
    wine reg delete "$key" /ve /f >/dev/null 2>&1 || true
  fi
  wine reg delete "$scheme" /f >/dev/null 2>&1 || true
  if [ -s "$work/mailto.reg" ]; then
    wine reg import "$(winepath -w "$work/mailto.reg")" >/dev/null 2>&1 || true
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

# No default mail program and nothing for mailto: links: the manual-send screen, and the
# file stays.
wine reg delete "$key" /ve /f >/dev/null 2>&1 || true
wine reg delete "$scheme" /f >/dev/null 2>&1 || true
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

# No default mail program, and the stand-in registered for mailto: links: it gets a link to
# the support address whose text carries the file exactly; no attachment is claimed.
wine reg delete "$key" /ve /f >/dev/null
cp "$handler" "$work/handler.exe"
wine reg add "$scheme" /ve /d "URL:MailTo Protocol" /f >/dev/null
wine reg add "$scheme" /v "URL Protocol" /d "" /f >/dev/null
wine reg add "$scheme\\shell\\open\\command" /ve \
  /d "\"$(winepath -w "$work/handler.exe")\" \"%1\"" /f >/dev/null
links=$work/links.log
rm -f "$log"
export CORVANE_TEST_LINK_LOG
CORVANE_TEST_LINK_LOG=$(winepath -w "$links")
run link
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$links" ] && break; sleep 0.5; done
[ -s "$links" ] || fail "link: the mailto: program got nothing: $(cat "$work/link.txt")"
[ "$(wc -l <"$links")" = 1 ] || fail "link: the mailto: program was started $(wc -l <"$links") times"
grep -qF "Your mail program shows a message to soporte@lumbrook.example with the report in its text." \
  "$work/link.txt" || fail "link: no word of the mail program: $(cat "$work/link.txt")"
! grep -qF "attached" "$work/link.txt" || fail "link: an attachment is claimed"
! grep -qF "Please Send File" "$work/link.txt" || fail "link: the manual-send screen came up"
[ ! -e "$log" ] || fail "link: the MAPI mail program was asked although none is the default"
[ -s "$unix_report" ] || fail "link: the file was deleted"
python3 - "$links" "$unix_report" "$name" <<'CHECK' || fail "link: $(cat "$links")"
import sys, urllib.parse, zlib
line, report, name = open(sys.argv[1], encoding="utf-8").read(), sys.argv[2], sys.argv[3]
link = line[line.index("mailto:"):].rstrip().rstrip('"')
head = "mailto:soporte@lumbrook.example?subject=%s&body=" % name
assert link.startswith(head), link
assert len(link) <= 2000 and " " not in link and "+" not in link, link
body = urllib.parse.unquote(link[len(head):])
assert "Please press Send." in body, body
block = body[body.index("corvane-report-begin") + 20:body.index("corvane-report-end")]
payload = bytes.fromhex("".join(block.split()))
check = body[body.index("corvane-report-end") + 18:].split()[0]
assert int(check, 16) == zlib.crc32(payload), check
assert payload == name.encode() + b"\n" + open(report, "rb").read(), payload
CHECK
echo "mail_mapi: passed"
