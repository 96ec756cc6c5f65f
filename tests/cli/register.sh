# corvane register on a SQLite file: the fleet scenario; a damaged, foreign or newer file
# refused unchanged; each input all or nothing under a full disk and a kill; two first adds of
# a new register at once.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/register_scenario.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 is not installed"; exit 77; }
cp "$(dirname "$binary_under_test")/libcorvane-mailbox.so" "$work/app/"
tools="$(dirname "$0")/../tools"

register_scenario "$work/fleet.sqlite3"
[ "$(sqlite3 "$work/fleet.sqlite3" 'PRAGMA user_version; PRAGMA journal_mode')" = $'2\nwal' ] ||
  fail "the register is not of schema version 2 in WAL mode"

# The default register, made with its folder.
export XDG_DATA_HOME="$work/data"
write_report "$work/one.kik" WD-1 1 PC-1 P-1 ANA
"$corvane" register add "$work/one.kik" >/dev/null
[ -f "$work/data/corvane/register.sqlite3" ] || fail "no register in XDG_DATA_HOME"

# Refused and left as it was: not a database, another program's database, a newer schema.
head -c 8192 /dev/urandom > "$work/noise.db"
sqlite3 "$work/other.db" 'CREATE TABLE notes (x); INSERT INTO notes VALUES (1)'
cp "$work/fleet.sqlite3" "$work/newer.db"
sqlite3 "$work/newer.db" 'PRAGMA user_version = 3'
for f in noise other newer; do
  cp "$work/$f.db" "$work/$f.before"
  for verb in "add $work/one.kik" machines; do
    set +e; err=$("$corvane" register --db "$work/$f.db" $verb 2>&1 >/dev/null); status=$?; set -e
    [ "$status" = 1 ] || fail "$f.db $verb: status $status, not 1"
    cmp -s "$work/$f.db" "$work/$f.before" || fail "$f.db was changed by $verb"
  done
  case $f in
    noise) expect_contains "$err" "not a register: the file is not a SQLite database" "$f";;
    other) expect_contains "$err" "not a register: the database holds other data" "$f";;
    newer) expect_contains "$err" "schema version 3, newer than this program's (2)" "$f";;
  esac
done
# A register of schema 1 is upgraded by the next add, its reports kept.
cp "$work/fleet.sqlite3" "$work/v1.db"
sqlite3 "$work/v1.db" 'DROP TABLE imap_mailboxes; ALTER TABLE reports DROP COLUMN mail_uid;
  PRAGMA user_version = 1'
reports=$(sqlite3 "$work/v1.db" 'SELECT COUNT(*) FROM reports')
"$corvane" register --db "$work/v1.db" add "$work/one.kik" >/dev/null
[ "$(sqlite3 "$work/v1.db" 'PRAGMA user_version; SELECT COUNT(*) FROM reports;
  SELECT COUNT(*) FROM imap_mailboxes; SELECT COUNT(mail_uid) FROM reports')" = \
  $'2\n'"$((reports + 1))"$'\n0\n0' ] ||
  fail "a register of schema 1 was not upgraded with its reports"
set +e; err=$("$corvane" register --db "$work/none.db" machines 2>&1); status=$?; set -e
[ "$status" = 1 ] && [ ! -e "$work/none.db" ] || fail "a missing register was not refused: $err"

# Each input is all or nothing: a disk that fills up (the file size limit) and a kill in the
# middle of a mailbox leave the register as it was before it.
python3 "$tools/fleet_mailbox.py" bulk "$work/bulk.mbox" 0 2000
count() { sqlite3 "$1" 'SELECT COUNT(*) FROM reports'; }
before=$(count "$work/fleet.sqlite3")
set +e
{ (ulimit -f 1024; exec "$corvane" register --db "$work/fleet.sqlite3" add --mailbox "$work/bulk.mbox"); } \
  >/dev/null 2>&1
status=$?
set -e
[ "$status" != 0 ] || fail "an add beyond the file size limit reported success"
[ "$(count "$work/fleet.sqlite3")" = "$before" ] || fail "a failed add left part of its mailbox"
[ "$(sqlite3 "$work/fleet.sqlite3" 'PRAGMA integrity_check')" = ok ] || fail "damaged by a full disk"
# A kill (as Ctrl+C ends it) a second into a mailbox that takes several to add; a
# background job of a script ignores SIGINT itself.
python3 "$tools/fleet_mailbox.py" bulk "$work/large.mbox" 0 20000
"$corvane" register --db "$work/fleet.sqlite3" add --mailbox "$work/large.mbox" >/dev/null &
pid=$!
sleep 1
kill -TERM "$pid" || fail "the add of 60,000 messages ended within a second"
wait "$pid" 2>/dev/null && fail "an interrupted add reported success"
[ "$(count "$work/fleet.sqlite3")" = "$before" ] || fail "a kill left part of a mailbox"
[ "$(sqlite3 "$work/fleet.sqlite3" 'PRAGMA integrity_check')" = ok ] || fail "damaged by a kill"
"$corvane" register --db "$work/fleet.sqlite3" add --mailbox "$work/bulk.mbox" >/dev/null
[ "$(count "$work/fleet.sqlite3")" = $((before + 6000)) ] || fail "the mailbox did not land after all"

# Two adds at once, of overlapping mailboxes, both land: the first two adds of a new register,
# which both make it, eight times over.
python3 "$tools/fleet_mailbox.py" bulk "$work/a.mbox" 0 200
python3 "$tools/fleet_mailbox.py" bulk "$work/b.mbox" 100 300
for round in 1 2 3 4 5 6 7 8; do
  two="$work/two$round.db"
  "$corvane" register --db "$two" add --mailbox "$work/a.mbox" >"$work/a.out" 2>&1 & a=$!
  "$corvane" register --db "$two" add --mailbox "$work/b.mbox" >"$work/b.out" 2>&1 & b=$!
  wait "$a" || fail "round $round: the first of two adds failed: $(cat "$work/a.out")"
  wait "$b" || fail "round $round: the second of two adds failed: $(cat "$work/b.out")"
  [ "$(count "$two")" = 900 ] || fail "round $round: two adds at once stored $(count "$two") reports"
  [ "$(sqlite3 "$two" 'SELECT COUNT(*) FROM machines')" = 300 ] ||
    fail "round $round: machines split or lost"
done
echo "register on SQLite: all checks passed"
