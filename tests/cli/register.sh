# corvane register on a SQLite file: the fleet scenario; the default register private; a
# --db others could change named; a register that may only be read, read; a damaged,
# foreign or newer file refused unchanged; each input all or nothing under a full disk and a
# kill; two first adds of a new register at once.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/register_scenario.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 is not installed"; exit 77; }
cp "$(dirname "$binary_under_test")/libcorvane-mailbox.so" "$work/app/"
tools="$(dirname "$0")/../tools"

register_scenario "$work/fleet.sqlite3"
[ "$(sqlite3 "$work/fleet.sqlite3" 'PRAGMA user_version; PRAGMA journal_mode')" = $'2\nwal' ] ||
  fail "the register is not of schema version 2 in WAL mode"

# The default register, made with its folder, both its owner's alone (as an earlier
# version's are made at the next run).
export XDG_DATA_HOME="$work/data"
write_report "$work/one.kik" WD-1 1 PC-1 P-1 ANA
"$corvane" register add "$work/one.kik" >/dev/null
[ -f "$work/data/corvane/register.sqlite3" ] || fail "no register in XDG_DATA_HOME"
modes() { stat -c %a "$work/data/corvane" "$work/data/corvane/register.sqlite3" | tr '\n' ' '; }
[ "$(modes)" = "700 600 " ] || fail "the default register is not private: $(modes)"
chmod 755 "$work/data/corvane"; chmod 644 "$work/data/corvane/register.sqlite3"
"$corvane" register machines >/dev/null
[ "$(modes)" = "700 600 " ] || fail "an earlier default register was left open: $(modes)"

# A --db through a link, owned by another user or in a folder others may write: named.
mkdir -m 777 "$work/open"
cp "$work/fleet.sqlite3" "$work/open/reg.sqlite3"
ln -s "$work/fleet.sqlite3" "$work/link.sqlite3"
while read -r db warning; do
  err=$("$corvane" register --db "$db" machines 2>&1 >/dev/null) || fail "$db: $err"
  expect_contains "$err" "$warning" "$db"
done <<TABLE
$work/link.sqlite3 the register is reached through a symbolic link
$work/open/reg.sqlite3 may be written by other users
TABLE
if [ "$(id -u)" = 0 ]; then
  cp "$work/fleet.sqlite3" "$work/theirs.sqlite3"
  chown 65534 "$work/theirs.sqlite3"
  err=$("$corvane" register --db "$work/theirs.sqlite3" machines 2>&1 >/dev/null)
  expect_contains "$err" "the register belongs to another user" "another user's register"
fi
[ -z "$("$corvane" register --db "$work/fleet.sqlite3" machines 2>&1 >/dev/null)" ] ||
  fail "a register of one's own was warned of"

# A register the user may only read, in a folder the user may not write, is read; nothing
# says "cannot write".
mkdir "$work/ro"
cp "$work/fleet.sqlite3" "$work/ro/reg.sqlite3"
as_reader=()
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
  chmod 755 "$work" "$work/app"
  as_reader=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent)
fi
chmod 444 "$work/ro/reg.sqlite3"; chmod 555 "$work/ro"
out=$("${as_reader[@]}" "$corvane" register --db "$work/ro/reg.sqlite3" --csv machines 2>&1) ||
  fail "a register that may only be read: $out"
[ "$(printf '%s\n' "$out" | wc -l)" = 7 ] || fail "a register that may only be read: $out"
chmod 755 "$work/ro"

# A damaged register says so and ends with 1, never aborts.
cp "$work/fleet.sqlite3" "$work/damaged.sqlite3"
sqlite3 "$work/damaged.sqlite3" "UPDATE reports SET conflict = '1  2' WHERE conflict IS NOT NULL"
for verb in machines conflicts; do
  set +e; err=$("$corvane" register --db "$work/damaged.sqlite3" $verb 2>&1); status=$?; set -e
  [ "$status" = 1 ] || fail "a damaged register, $verb: status $status, not 1"
  expect_contains "$err" "the register is damaged: " "a damaged register, $verb"
done

# add warns of ambiguous lengths as decode does.
printf '006001006200003WD-AMB1PC-AMB%sANA\r\n' "$(head -c 1200 /dev/zero | tr '\0' P)" \
  >"$work/Lumbrook20261211PC-AMB.kik"
err=$("$corvane" register --db "$work/fleet.sqlite3" add "$work/Lumbrook20261211PC-AMB.kik" 2>&1 >/dev/null)
expect_contains "$err" "the lengths are ambiguous" "add of a record with ambiguous lengths"

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
  ALTER TABLE reports DROP COLUMN in_text;
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
