# A mailbox of good messages around hostile ones (a million empty parts, 100,000 .kik
# attachments, nesting past the bound) under a memory limit: every good record is decoded,
# each hostile message is one error entry naming the bound, and memory stays small. A .kik
# just within the bounds is found, never dropped; each bound holds at its edge.
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

# Each bound at its edge: 1,000 parts read and 1,001 not, 64 levels read and 65 not (nested
# or forwarded), a boundary declared at the end of a Content-Type header of up to 32 KiB (on
# one line or folded) seen as one, and the entries of a digest that carry no Content-Type of
# their own counted as the messages they are.
python3 "$(dirname "$0")/../tools/hostile_mail.py" "$work/edges.mbox" total:1000 total:1001 \
  nest:65 fwd:64 wide:9053 wide:9053:1001 folded:30000:1001 wide:32768 wide:32769 digest:1000 \
  digest:1001
status=0
limited timeout 300 "$corvane" decode --json --mailbox "$work/edges.mbox" >"$work/edges.json" \
  2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "edges: status $status: $(tail -c 2000 "$work/err")"
long="cannot read it: a Content-Type header of 32769 bytes is longer than 32768 bytes"
expected='[[1,"PC-1",null],[2,null,"'$parts'"],[3,null,"'$deep'"],[4,null,"'$deep'"],
[5,"PC-5",null],[6,null,"'$parts'"],[7,null,"'$parts'"],[8,"PC-8",null],[9,null,"'$long'"],
[10,"PC-10",null],[11,null,"'$parts'"]]'
got=$(jq -c '[.files[] | [(.message_id | rtrimstr("@example.com") | tonumber), .computer_name,
  .error]]' "$work/edges.json") || fail "edges: not JSON: $(tail -c 2000 "$work/edges.json")"
[ "$got" = "$(jq -c . <<<"$expected")" ] || fail "edges: got $got"

# In text the entry names the message; the records around it are printed.
status=0
out=$(limited timeout 300 "$corvane" decode --mailbox "$mbox" 2>"$work/err") || status=$?
[ "$status" -eq 1 ] || fail "text: status $status"
expect_contains "$(cat "$work/err")" "$mbox: message 2 <2@example.com>: $parts" "stderr"
expect_contains "$out" "computer name:    PC-9" "the last record"
echo "hostile_mailbox: ok"
