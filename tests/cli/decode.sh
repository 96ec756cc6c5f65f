# corvane decode on the files the wizard writes and on malformed ones: every file is
# decoded, each bad one named on stderr, and the exit status tells that one failed.
source "$(dirname "$0")/lib.sh"

printf '007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n' > "$work/good.kik"
printf '007011004006003WD-123 -1673912542PC-7PID-42ANA\r\nXX' > "$work/trailing.kik"
printf '0070110040060' > "$work/short.kik"

status=0
out=$("$corvane" decode "$work/trailing.kik" "$work/good.kik" "$work/short.kik" \
  2>"$work/err") || status=$?
[ "$status" -eq 1 ] || fail "exit status $status with two bad files"
expect_contains "$out" $'good.kik\n  disk identifier:  WD-123 \n  volume serial:    -1673912542' "text"
expect_contains "$(cat "$work/err")" "trailing.kik: trailing data after the record" "trailing"
expect_contains "$(cat "$work/err")" "short.kik: the file is too short" "short"

out=$("$corvane" decode --csv "$work/good.kik")
[ "$out" = $'file,report_date,encoding,disk_identifier,disk_identifier_kind,volume_serial,computer_name,product_id,user_name,error\r\n'"$work/good.kik,,utf-8,\"WD-123 \",serial,-1673912542,PC-7,PID-42,ANA,"$'\r' ] ||
  fail "csv: $out"
status=0
"$corvane" decode --bom "$work/good.kik" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "--bom without --csv gave status $status"
status=0
"$corvane" decode --codepage 99999 "$work/good.kik" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "--codepage 99999 gave status $status"

# A Windows file (code page 1252) and a record with a Unix line ending, side by side.
printf '000001004000004\x30PC-7JO\xc3O\r\n' >"$work/windows.kik"
printf '000001004000004\x30PC-7JO\xc3\x83O\n' >"$work/linux.kik"
out=$("$corvane" decode --json "$work/windows.kik" "$work/linux.kik" |
  jq -r '.files[] | [.encoding, .user_name] | @tsv')
[ "$out" = $'windows-1252\tJOÃO\nutf-8\tJOÃO' ] || fail "both systems: $out"
# --codepage 1250: the same byte is another letter.
out=$(printf '000001000000001\x30\xa3\r\n' | "$corvane" decode --json --codepage 1250 - |
  jq -r '.files[0] | [.encoding, .user_name] | @tsv')
[ "$out" = $'windows-1250\tŁ' ] || fail "code page 1250: $out"

# Raw control bytes in a file name and in a malformed record reach no terminal.
bad_name=$'\x9b\x1b[31mLumbrook\x07.kik'
printf '007000000000000\x9b\x1b]0;x\x07AB' >"$work/$bad_name"
status=0
"$corvane" decode "$work/$bad_name" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "control bytes: status $status"
if LC_ALL=C grep -q -P '[\x00-\x09\x0b-\x1f\x7f-\x9f]' "$work/out" "$work/err"; then
  fail "a raw control byte reached the output: $(od -c "$work/err" | head)"
fi
expect_contains "$(cat "$work/err")" '\x9B\x1B[31mLumbrook\x07.kik: trailing data' "escaped name"
status=0
"$corvane" decode --csv --json "$work/good.kik" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "--csv with --json gave status $status"

# The file the wizard writes on this machine, when drive 0 has an identity here.
record=$("$corvane" record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
if [ -n "$record" ]; then
  printf 'en\nok\nyes\nno\nok\n' | "$corvane" >/dev/null
  report=$(find "$HOME" -maxdepth 1 -name 'Lumbrook*.kik')
  [ -n "$report" ] || fail "the wizard wrote no report"
  if command -v jq >/dev/null; then
    decoded=$("$corvane" decode --json "$report" | jq -r '.files[0] | [.computer_name, .user_name] | @tsv')
    expected=$("$corvane" record --json | jq -r '[.computer_name, .user_name] | @tsv')
    [ "$decoded" = "$expected" ] || fail "decoded '$decoded', gathered '$expected'"
  fi
else
  echo "drive 0 has no identity here: the wizard's own file is not decoded"
fi
# What `record` prints goes through jq and back in: jq -r ends the line in LF.
if [ -n "$record" ] && command -v jq >/dev/null; then
  decoded=$("$corvane" record --json | jq -r .record | "$corvane" decode --json - |
    jq -r '.files[0] | [.encoding, .computer_name, .user_name, .volume_serial] | @tsv')
  expected=$("$corvane" record --json | jq -r '["utf-8", .computer_name, .user_name, .volume_serial] | @tsv')
  [ "$decoded" = "$expected" ] || fail "record | jq | decode: '$decoded', gathered '$expected'"
fi
echo "decode: ok"
