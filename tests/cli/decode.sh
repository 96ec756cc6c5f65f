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
[ "$out" = $'file,disk_identifier,volume_serial,computer_name,product_id,user_name\r\n'"$work/good.kik,\"WD-123 \",'-1673912542,PC-7,PID-42,ANA"$'\r' ] ||
  fail "csv: $out"
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
echo "decode: ok"
