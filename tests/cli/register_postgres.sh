# corvane register on a PostgreSQL server that the test starts (initdb into a scratch folder,
# pg_ctl on a Unix socket there, stopped at the end): the fleet scenario with the same
# results as on SQLite; four adds at once; a server down, a refused login, a connection lost
# in the middle of an add, a newer schema and another program's tables; no password shown.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/register_scenario.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/initdb" ] && [ -x "$pgbin/pg_ctl" ] ||
  { echo "SKIP: the PostgreSQL server (Debian's postgresql) is not installed"; exit 77; }
cp "$(dirname "$binary_under_test")/libcorvane-mailbox.so" "$work/app/"
tools="$(dirname "$0")/../tools"

# initdb refuses to run as root: the server then runs as nobody, in a folder of its own.
pg=$(mktemp -d /tmp/corvane-pg.XXXXXX)
as_server=()
if [ "$(id -u)" = 0 ]; then
  command -v runuser >/dev/null || { echo "SKIP: running as root without runuser"; exit 77; }
  as_server=(runuser -u nobody --)
  chown nobody "$pg"
fi
password=Sesame-7f3q
printf '%s\n' "$password" > "$pg/pw"
[ ${#as_server[@]} -eq 0 ] || chown nobody "$pg/pw"
port=54329
stop_server() {
  "${as_server[@]}" "$pgbin/pg_ctl" -D "$pg/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$pg" "$work"
}
trap stop_server EXIT
"${as_server[@]}" "$pgbin/initdb" -D "$pg/data" -U corvane --pwfile="$pg/pw" \
  --auth=scram-sha-256 -E UTF8 >"$pg/initdb.log" 2>&1 || fail "initdb: $(cat "$pg/initdb.log")"
"${as_server[@]}" "$pgbin/pg_ctl" -D "$pg/data" -l "$pg/server.log" -w -o \
  "-k $pg -c listen_addresses='' -p $port -c fsync=off -c full_page_writes=off" start \
  >/dev/null || fail "pg_ctl start: $(cat "$pg/server.log")"
export PGPASSWORD="$password"
sql() { "$pgbin/psql" -h "$pg" -p "$port" -U corvane -d "$1" -qAtX -v ON_ERROR_STOP=1 -c "$2"; }
for d in fleet team solo newer other lost; do sql postgres "CREATE DATABASE $d"; done
unset PGPASSWORD
url() { echo "postgresql://corvane:$password@/$1?host=$pg&port=$port"; }

# The scenario, and the same machines, histories, verdicts and conflicts as on SQLite.
register_scenario "$(url fleet)"
register_scenario "$work/fleet.sqlite3"
for verb in "machines --csv" "conflicts" "history 1" "history 2" "history 3" \
  "check $work/check/user.kik $work/check/moved.kik $work/check/unknown.kik"; do
  on_server=$("$corvane" register --db "$(url fleet)" $verb 2>&1 | sed 's/, added .*//' || true)
  in_file=$("$corvane" register --db "$work/fleet.sqlite3" $verb 2>&1 | sed 's/, added .*//' || true)
  [ "$on_server" = "$in_file" ] || fail "register $verb differs: $on_server // $in_file"
done

# No password in anything printed, success or failure.
out=$("$corvane" register --db "$(url fleet)" --json add "$work/check/user.kik" 2>&1)
expect_json "add to the server" "$out" '.register' "\"postgresql://corvane@/fleet?host=$pg&port=$port\""
set +e; err=$("$corvane" register --db "postgresql://corvane:Wrong-$password@/fleet?host=$pg&port=$port" machines 2>&1); status=$?; set -e
[ "$status" = 1 ] || fail "a refused login: status $status, not 1"
expect_contains "$err" "password authentication failed" "a refused login"
case "$out$err" in *"$password"*) fail "a password was printed: $out $err";; esac
set +e; err=$("$corvane" register --db "postgres://corvane@/fleet?host=$pg/none&port=$port" machines 2>&1); status=$?; set -e
[ "$status" = 1 ] || fail "a server that is down: status $status, not 1"
expect_contains "$err" "cannot connect to the register's server" "a server that is down"

# Refused and left as they were: a newer schema, another program's tables.
"$corvane" register --db "$(url newer)" add "$work/check/user.kik" >/dev/null
PGPASSWORD=$password sql newer "UPDATE register_schema SET version = 3"
PGPASSWORD=$password sql other "CREATE TABLE reports (x integer)"
for d in newer other; do
  set +e; err=$("$corvane" register --db "$(url $d)" add "$work/check/same.kik" 2>&1); status=$?; set -e
  [ "$status" = 1 ] || fail "$d: status $status, not 1"
done
expect_contains "$err" "not a register: the database holds other data" "other tables"
[ "$(PGPASSWORD=$password sql newer 'SELECT COUNT(*) FROM reports')" = 1 ] || fail "newer: changed"
[ "$(PGPASSWORD=$password sql other "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = 'public'")" = 1 ] ||
  fail "other: tables were added"

# Four adds at once over overlapping mailboxes store exactly the reports of one run.
python3 "$tools/fleet_mailbox.py" bulk "$work/m1.mbox" 0 300
python3 "$tools/fleet_mailbox.py" bulk "$work/m2.mbox" 100 400
python3 "$tools/fleet_mailbox.py" bulk "$work/m3.mbox" 200 500
python3 "$tools/fleet_mailbox.py" bulk "$work/all.mbox" 0 500
pids=()
for m in m1 m2 m3 all; do
  "$corvane" register --db "$(url team)" add --mailbox "$work/$m.mbox" >"$work/$m.out" 2>&1 &
  pids+=($!)
done
for p in "${pids[@]}"; do wait "$p" || fail "one of four adds at once failed: $(cat "$work"/*.out)"; done
"$corvane" register --db "$(url solo)" add --mailbox "$work/all.mbox" >/dev/null
shape() { "$corvane" register --db "$(url "$1")" --json machines | jq -c '[.machines[] | del(.machine)] | sort'; }
[ "$(shape team)" = "$(shape solo)" ] || fail "four adds at once gave other machines than one add"
[ "$(PGPASSWORD=$password sql team 'SELECT COUNT(*) FROM reports')" = 1500 ] ||
  fail "four adds at once stored $(PGPASSWORD=$password sql team 'SELECT COUNT(*) FROM reports') reports, not 1500"

# A connection lost in the middle of an add leaves nothing of that input.
python3 "$tools/fleet_mailbox.py" bulk "$work/large.mbox" 0 20000
"$corvane" register --db "$(url lost)" add "$work/check/user.kik" >/dev/null
"$corvane" register --db "$(url lost)" add --mailbox "$work/large.mbox" >"$work/lost.out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ "$(PGPASSWORD=$password sql postgres "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = 'lost' AND xact_start IS NOT NULL")" != 0 ] && break
  sleep 0.1
done
sleep 1
PGPASSWORD=$password sql postgres "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = 'lost'" >/dev/null
set +e; wait "$pid"; status=$?; set -e
[ "$status" = 1 ] || fail "an add whose connection was lost: status $status, not 1"
expect_contains "$(cat "$work/lost.out")" "connection" "a lost connection"
[ "$(PGPASSWORD=$password sql lost 'SELECT COUNT(*) FROM reports')" = 1 ] || fail "a lost connection left part of a mailbox"
# A mailbox on a server, read into a register on a server: the fleet's machines as from its
# mbox, and the next run reads nothing.
source "$tools/dovecot.sh"
if dovecot_available; then
  start_dovecot support "$password"
  trap 'stop_dovecot; stop_server' EXIT
  deliver "$work/fleet.mbox"
  printf '#!/bin/sh\necho "%s"\n' "$password" > "$work/pass"
  chmod +x "$work/pass"
  PGPASSWORD=$password sql postgres "CREATE DATABASE mail"
  imap=(--imap "imaps://support@127.0.0.1:$imaps_port/INBOX" --cacert "$dovecot_cert"
    --password-command "$work/pass")
  set +e; out=$("$corvane" register --db "$(url mail)" --json add "${imap[@]}"); status=$?; set -e
  [ "$status" = 1 ] || fail "the fleet from the server: status $status, not 1"
  expect_json "the fleet from the server" "$out" '[.read, .new, .already_known, .failed]' '[13,11,1,1]'
  [ "$(shape mail)" = "$(shape fleet)" ] || fail "the machines from the server are not those from the mbox"
  out=$("$corvane" register --db "$(url mail)" --json add "${imap[@]}") || fail "a second run failed"
  expect_json "a second run" "$out" '[.read, .new]' '[0,0]'
else
  echo "Dovecot is not installed: a mailbox on a server is not tried"
fi
echo "register on PostgreSQL: all checks passed"
