#!/usr/bin/env bash
# corvane.exe with names outside ASCII under Wine: a record in C:\Área named after JOSÉ-PC,
# a folder holding a name the ANSI code page lacks (ŁÓDŹ), identify --load/--save, and the
# wizard run from C:\łukasz with the restart marker beside it.
# Usage: unicode_paths.sh corvane.exe
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
exe=$1
command -v wine >/dev/null || { echo "SKIP: wine is not installed"; exit 77; }
# Wine reads the Unix command line and file names in the locale's character set.
export LC_ALL=C.UTF-8
drive_c="${WINEPREFIX:-$HOME/.wine}/drive_c"
[ -d "$drive_c" ] || { echo "SKIP: no Wine prefix at $drive_c"; exit 77; }
area="$drive_c/Área"
lukasz="$drive_c/łukasz"
work=$(mktemp -d)
report=
cleanup() {
  rm -rf "$area" "$lukasz" "$work"
  if [ -n "$report" ]; then rm -f "$report"; fi
}
trap cleanup EXIT
rm -rf "$area" "$lukasz"
mkdir -p "$area" "$lukasz"
fail() { echo "FAIL: $*" >&2; exit 1; }
expect_contains() {  # haystack needle what
  case "$1" in *"$2"*) ;; *) printf '%s\n' "$1" >&2; fail "$3: missing '$2'";; esac
}
run() { wine "$@" </dev/null 2>&1 | tr -d '\r'; }

# The record as the Windows program writes it: JOSÉ in code page 1252.
printf '008011007006004ATAPI-CD-1673912542JOS\xc9-PCPID-42JOS\xc9\r\n' \
  >"$area/Lumbrook20261209JOSÉ-PC.kik"
printf '008001007006003ATAPI-CD0LODZ-PCPID-42ANA\r\n' >"$area/Lumbrook20261209ŁÓDŹ-PC.kik"
out=$(run "$exe" decode 'C:\Área\Lumbrook20261209JOSÉ-PC.kik') || fail "decode: $out"
expect_contains "$out" 'C:\Área\Lumbrook20261209JOSÉ-PC.kik' "the path as given"
expect_contains "$out" "computer name:    JOSÉ-PC" "the computer name"
expect_contains "$out" "user name:        JOSÉ" "the user name"
# On a terminal Wine gives the program a console: the text reaches it as Unicode, not as
# bytes the console would read in its OEM code page.
if command -v script >/dev/null; then
  out=$(script -qec "wine '$exe' decode 'C:\\Área\\Lumbrook20261209JOSÉ-PC.kik'" /dev/null </dev/null |
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r')
  expect_contains "$out" "computer name:    JOSÉ-PC" "the console's text"
else
  echo "note: script is missing; the console is not tried"
fi
out=$(run "$exe" decode 'C:\Área') || fail "decode of the folder: $out"
expect_contains "$out" 'C:\Área\Lumbrook20261209ŁÓDŹ-PC.kik' "the folder entry outside the code page"
expect_contains "$out" "computer name:    LODZ-PC" "the entry's record"
expect_contains "$out" "computer name:    JOSÉ-PC" "the other entry's record"

captures="$(cd "$(dirname "$0")/../../.." && pwd)/shared/ata-captures"
if [ -f "$captures/FUJITSU_MHY2120BH--0084000D" ]; then
  cp "$captures/FUJITSU_MHY2120BH--0084000D" "$area/łódź.capture"
  out=$(run "$exe" identify --load 'C:\Área\łódź.capture' --save 'C:\łukasz\kopia-ż.capture') ||
    fail "identify --load/--save: $out"
  expect_contains "$out" "K434T81257SL" "the capture's serial"
  [ -s "$lukasz/kopia-ż.capture" ] || fail "no capture saved at C:\\łukasz\\kopia-ż.capture"
else
  echo "note: no drive captures in $captures; identify --load is not run"
fi

# From C:\łukasz: the marker left before the restart is found beside the program, so the
# record goes out without a disk instead of asking for the driver again.
cp "$exe" "$lukasz/Corvane.exe"
printf 'en\nok\n' | wine "$lukasz/Corvane.exe" --text >/dev/null 2>&1 || fail "stage 1 from C:\\łukasz"
[ -f "$lukasz/idioma.txt" ] || fail "the language file is not beside the program"
printf '0\r\n' >"$lukasz/hd.txt"
out=$(printf 'en\nok\nyes\nno\nok\n' | wine "$lukasz/Corvane.exe" --text 2>&1 | tr -d '\r') ||
  fail "the wizard from C:\\łukasz: $out"
expect_contains "$out" "Please Send File" "stage 3"
[ ! -e "$lukasz/hd.txt" ] || fail "the marker beside the program was not found: $out"
[ ! -e "$lukasz/idioma.txt" ] || fail "the gathering left the language file"
path=$(printf '%s\n' "$out" | grep -o 'C:\\Lumbrook[^ ]*\.kik' | head -1)
[ -n "$path" ] || fail "no report path: $out"
report="$drive_c/${path#C:\\}"
[ -f "$report" ] || fail "no report at $report"
decoded=$(run "$exe" decode "$path") || fail "the report does not decode: $decoded"
expect_contains "$decoded" "disk identifier:  NOTAVAIL" "the record after the restart"
echo "unicode_paths: ok"
