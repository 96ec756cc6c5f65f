# The register's scenario over a small fleet, for any register: `register_scenario DB` with DB
# a file or a connection string. Needs lib.sh's $corvane, $work and fail, and jq.
reg() { "$corvane" register --db "$db" "$@"; }
expect_json() {  # what json-text jq-filter expected
  local got
  got=$(jq -c "$3" <<<"$2") || fail "$1: not JSON: $2"
  [ "$got" = "$4" ] || { printf '%s\n' "$2" >&2; fail "$1: $3 is $got, not $4"; }
}
write_report() {  # file values...
  { printf '%03d' "${#2}" "${#3}" "${#4}" "${#5}" "${#6}"; printf '%s' "$2" "$3" "$4" "$5" "$6"
    printf '\r\n'; } > "$1"
}

register_scenario() {
  db="$1"
  python3 "$(dirname "${BASH_SOURCE[0]}")/fleet_mailbox.py" scenario "$work/fleet.mbox"

  local out status
  set +e; out=$(reg --json add --mailbox "$work/fleet.mbox"); status=$?; set -e
  [ "$status" = 1 ] || fail "add with a damaged record: status $status, not 1"
  expect_json "first add" "$out" '[.read, .new, .already_known, .failed, .new_machines, .conflicts]' \
    '[13,11,1,1,6,1]'
  expect_json "first add" "$out" '[.failures[] | [.message_id, .error]]' \
    '[["bad@example.com","the file is too short: 5 bytes, where the five length fields alone take 15"]]'

  local machines conflicts histories
  machines=$(reg --json machines)
  expect_json machines "$machines" \
    '[.machines[] | [.machine, .disk_identifier, .computer_name, .user_name, .reports, .first_report, .last_report, .flags]]' \
    '[[1,"ST-BBB2","PC-1","ANA",2,"2026-12-01","2026-12-05",["shared disk"]],[2,"WD-CCC3","PC-2","BEA",2,"2026-12-01","2026-12-06",["conflict"]],[3,"WD-DDD4","LAB-3","DANI",3,"2026-12-02","2026-12-10",[]],[4,"SN-44","PC-4","AULA",1,"2026-12-03","2026-12-03",["conflict","shared product id"]],[5,"SN-55","PC-5","AULA",1,"2026-12-03","2026-12-03",["shared product id"]],[6,"WD-AAA1","PC-9","FER",1,"2026-12-08","2026-12-08",["shared disk"]]]'
  histories=""
  for m in 1 2 3; do histories+=$(reg --json history "$m" | jq -c '[.machines[].reports[].changes]'); done
  [ "$histories" = '[[],["disk replaced"]][[],["volume serial changed (reformatted or reinstalled)","product id changed (reinstalled)"]][[],["renamed"],["another user"]]' ] ||
    fail "histories: $histories"
  expect_json "history of a disk" "$(reg --json history --disk WD-AAA1)" '[.machines[].machine]' '[1,6]'
  expect_json "history of a name" "$(reg --json history --computer PC-3)" \
    '[.machines[] | [.machine, [.reports[].source.message_id]]]' \
    '[[3,["pc3-a@example.com","pc3-b@example.com","pc3-c@example.com"]]]'
  expect_contains "$(reg history 3)" "2026-12-07  renamed" "history in words"
  conflicts=$(reg --json conflicts)
  expect_json conflicts "$conflicts" '[.disks, .product_ids, [.held_reports[] | [.disk_identifier, .computer_name, .machines]]]' \
    '[[{"disk_identifier":"WD-AAA1","machines":[1,6]}],[{"product_id":"PID-VL","machines":[4,5]}],[["SN-44","PC-2",[2,4]]]]'
  [ "$(reg --csv machines | wc -l)" = 7 ] || fail "machines --csv is not a header and six rows"

  # Adding the same mailbox again changes nothing.
  set +e; out=$(reg --json add --mailbox "$work/fleet.mbox"); status=$?; set -e
  expect_json "second add" "$out" '[.read, .new, .already_known, .failed]' '[13,0,12,1]'
  [ "$(reg --json machines | jq -c .machines)" = "$(jq -c .machines <<<"$machines")" ] ||
    fail "the second add changed the machines"
  [ "$(reg --json conflicts | jq -c 'del(.argv)')" = "$(jq -c 'del(.argv)' <<<"$conflicts")" ] ||
    fail "the second add changed the conflicts"

  # check: a verdict and an exit status for each report, under each rule.
  mkdir -p "$work/check"
  write_report "$work/check/same.kik" ST-BBB2 1111 PC-1 PID-1 ANA
  write_report "$work/check/user.kik" ST-BBB2 1111 PC-1 PID-1 ZOE
  write_report "$work/check/nodisk.kik" NOTAVAIL 1111 PC-1 PID-1 ANA
  write_report "$work/check/unknown.kik" WD-NEW0 7777 PC-77 PID-77 GIL
  write_report "$work/check/moved.kik" SN-44 3333 PC-2 PID-2R BEA
  local row file mode want verdict
  while read -r file mode want verdict; do
    set +e; out=$(reg --json --match "$mode" check "$work/check/$file"); status=$?; set -e
    [ "$status" = "$want" ] || fail "check $file --match $mode: status $status, not $want"
    expect_json "check $file --match $mode" "$out" '[.reports[] | .verdict + ":" + (.changes | join(","))]' "[\"$verdict\"]"
  done <<'TABLE'
same.kik most 0 unchanged:
same.kik all 0 unchanged:
user.kik most 3 changed:another user
user.kik disk 3 changed:another user
user.kik all 4 new:
nodisk.kik most 3 changed:disk replaced
nodisk.kik disk 4 new:
unknown.kik most 4 new:
moved.kik most 5 conflict:
moved.kik disk 3 changed:volume serial changed (reformatted or reinstalled),renamed,product id changed (reinstalled),another user
TABLE
  set +e; out=$(reg check "$work/check/same.kik" "$work/check/unknown.kik" "$work/check/user.kik"); status=$?; set -e
  [ "$status" = 4 ] || fail "check of three reports: status $status, not 4 (the most serious verdict)"
  expect_contains "$out" "known with changes: machine 1: another user" "check in words"
  set +e; reg check "$work/check/same.kik" "$work/nothing.kik" >/dev/null 2>&1; status=$?; set -e
  [ "$status" = 1 ] || fail "check of a missing file: status $status, not 1"
  return 0
}

# Values a database may not keep as they are (hard_values.py): what the register says of
# them, argv and times left out, for comparing two registers.
register_values_transcript() {
  db="$1"
  local values="$work/hard-values" status m
  [ -d "$values" ] || python3 "$(dirname "${BASH_SOURCE[0]}")/hard_values.py" "$values"
  set +e; reg --json add "$values/in" | jq -c 'del(.argv, .register)'; status=$?; set -e
  echo "add: $status"
  reg --json machines | jq -c 'del(.argv)'
  reg --json conflicts | jq -c 'del(.argv)'
  for m in 1 2 3 4 5; do
    reg --json history "$m" | jq -c 'del(.argv) | .machines[].reports[] |= del(.added_at)'
  done
  set +e; reg --json check "$values/check"/*.kik | jq -c 'del(.argv)'; status=$?; set -e
  echo "check: $status"
}
