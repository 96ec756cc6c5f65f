# A mailbox of good messages around hostile ones (a million empty parts, 100,000 .kik
# attachments, nesting past the bound) under a memory limit: every good record is decoded,
# each hostile message is one error entry naming the bound, and memory stays small. A .kik
# just within the bounds is found, never dropped.
source "$(dirname "$0")/lib.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
module="$(dirname "$binary_under_test")/libcorvane-mailbox.so"
[ -f "$module" ] || fail "no mailbox module beside the binary"
cp "$module" "$work/app/"

mbox=$work/hostile.mbox
python3 "$(dirname "$0")/../tools/hostile_mail.py" "$mbox" good parts:1000000 good kiks:100000 \
  nest:64 nest:1100 fwd:63 fwd:600 good
# Today's parse of the whole tree takes more than a gigabyte for the million parts.
if grep -qa __asan_init "$corvane"; then
  limited() { ASAN_OPTIONS="hard_rss_limit_mb=400:quarantine_size_mb=16" "$@"; }
else
  limited() { (ulimit -v 500000 && exec "$@"); }
fi

status=0
limited timeout 300 "$corvane" decode --json --mailbox "$mbox" >"$work/out.json" \
  2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "status $status: $(tail -c 2000 "$work/err")"
parts="cannot read it: it has more than 1000 MIME parts, the most a message may have"
deep="cannot read it: its parts are nested more than 64 levels deep, the most a message may have"
expected='[["1@example.com","PC-1",null],["2@example.com",null,"'$parts'"],
["3@example.com","PC-3",null],["4@example.com",null,"'$parts'"],["5@example.com","PC-5",null],
["6@example.com",null,"'$deep'"],["7@example.com","PC-7",null],["8@example.com",null,"'$deep'"],
["9@example.com","PC-9",null]]'
got=$(jq -c '[.files[] | [.message_id, .computer_name, .error]]' "$work/out.json") ||
  fail "not JSON: $(tail -c 2000 "$work/out.json")"
[ "$got" = "$(jq -c . <<<"$expected")" ] || fail "got $got"
[ "$(jq -r '.files[1].from' "$work/out.json")" = "Shop 2 <shop2@example.com>" ] ||
  fail "the hostile message's entry: $(jq -c '.files[1]' "$work/out.json")"

# In text the entry names the message; the records around it are printed.
status=0
out=$(limited timeout 300 "$corvane" decode --mailbox "$mbox" 2>"$work/err") || status=$?
[ "$status" -eq 1 ] || fail "text: status $status"
expect_contains "$(cat "$work/err")" "$mbox: message 2 <2@example.com>: $parts" "stderr"
expect_contains "$out" "computer name:    PC-9" "the last record"
echo "hostile_mailbox: ok"
