# decode and the register read a report's name one way and write CSV one way: no date for a
# day that does not exist, --bom and the same neutralised formula cell in both, and a report
# dated after the day it was added is kept but never taken as its machine's latest.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/register_scenario.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
db="$work/register.sqlite3"
mkdir "$work/in"

bad="$work/in/Lumbrook20230231PC-Q.kik"
write_report "$bad" NOTAVAIL 1 =1+2 P-Q ANA
expect_json "decode of 31 February" "$("$corvane" decode --json "$bad")" '[.files[].report_date]' '[null]'
reg add "$bad" >/dev/null
expect_json "machines of 31 February" "$(reg --json machines)" \
  '[.machines[] | [.first_report, .last_report]]' '[["",""]]'
expect_json "history of 31 February" "$(reg --json history 1)" '[.machines[].reports[].report_date]' '[""]'

# One CSV rule and --bom for every --csv.
"$corvane" decode --csv --bom "$bad" >"$work/decode.csv"
reg --csv --bom machines >"$work/machines.csv"
for f in decode machines; do
  [ "$(head -c 3 "$work/$f.csv" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || fail "$f: no byte-order mark"
done
[ "$(sed -n 2p "$work/decode.csv" | cut -d, -f7)" = "'=1+2" ] || fail "decode: $(cat "$work/decode.csv")"
[ "$(sed -n 2p "$work/machines.csv" | cut -d, -f4)" = "'=1+2" ] || fail "machines: $(cat "$work/machines.csv")"
set +e; reg --bom machines >/dev/null 2>&1; status=$?; set -e
[ "$status" = 2 ] || fail "--bom without --csv: status $status, not 2"

# A clock set wrong: the reports are kept, the latest is the latest one that can be.
future=$(date -u -d '+2 days' +%Y%m%d)
write_report "$work/in/Lumbrook${future}PC-7.kik" WD-7 7 PC-7 P-7 ZOE
write_report "$work/in/Lumbrook99999999PC-7.kik" WD-7 7 PC-7 P-7 MAX
write_report "$work/in/Lumbrook20261201PC-7.kik" WD-7 7 PC-7 P-7 ANA
reg add "$work/in/Lumbrook${future}PC-7.kik" "$work/in/Lumbrook99999999PC-7.kik" \
  "$work/in/Lumbrook20261201PC-7.kik" >/dev/null
write_report "$work/in/Lumbrook20261202PC-7.kik" WD-7 7 PC-7 P-7 DAN
reg add "$work/in/Lumbrook20261202PC-7.kik" >/dev/null
mkdir "$work/in/later"
write_report "$work/in/later/Lumbrook${future}PC-7.kik" WD-7 7 PC-7 P-7 EVE
reg add "$work/in/later/Lumbrook${future}PC-7.kik" >/dev/null
latest='[.machines[] | select(.machine == 2) | [.user_name, .first_report, .last_report, .reports]]'
expect_json "latest after a future date" "$(reg --json machines)" "$latest" '[["DAN","2026-12-01","2026-12-02",5]]'
expect_json "history keeps the dates" "$(reg --json history 2)" '[.machines[].reports[].report_date] | sort' \
  "[\"\",\"2026-12-01\",\"2026-12-02\",\"${future:0:4}-${future:4:2}-${future:6:2}\",\"${future:0:4}-${future:4:2}-${future:6:2}\"]"

# A register that took 9999-99-99 as a machine's latest before lets it go at the next report.
if command -v sqlite3 >/dev/null; then
  sqlite3 "$db" "UPDATE machines SET latest_date = '99999999' WHERE id = 2"
  write_report "$work/in/Lumbrook20261203PC-7.kik" WD-7 7 PC-7 P-7 UMA
  reg add "$work/in/Lumbrook20261203PC-7.kik" >/dev/null
  expect_json "a stuck latest let go" "$(reg --json machines)" "$latest" '[["UMA","2026-12-01","2026-12-03",6]]'
fi
echo "register output: all checks passed"
