#!/usr/bin/env bash
# `corvane identify --load/--save/--json` on a real drive capture; malformed captures fail cleanly.
set -uo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
corvane=$1
captures="$(cd "$(dirname "$0")/../../.." && pwd)/shared/ata-captures"
capture="$captures/FUJITSU_MHY2120BH--0084000D"
[ -f "$capture" ] || { echo "SKIP: no captures in $captures"; exit 77; }
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$corvane" identify --load "$capture" --json --save "$work/saved" >"$work/out.json" ||
  fail "identify --load exited $?"
[ "$(jq -r '.model_padded' "$work/out.json")" = "FUJITSU MHY2120BH$(printf '%23s')" ] ||
  fail "model: $(jq '.model_padded' "$work/out.json")"
[ "$(jq -r '.model' "$work/out.json")" = "FUJITSU MHY2120BH" ] || fail "trimmed model"
[ "$(jq -r '.serial_number' "$work/out.json")" = "K434T81257SL" ] || fail "serial"
[ "$(jq -r '.firmware' "$work/out.json")" = "0084000D" ] || fail "firmware"
[ "$(jq -c '[.json_format_version, .device_type.value, .device_type.string, .geometry.cylinders,
    .geometry.heads, .geometry.sectors_per_track, (.attributes | length), .messages]' \
    "$work/out.json")" = '[1,1,"ata",16383,16,63,21,[]]' ] || fail "numbers: $(cat "$work/out.json")"
[ "$(jq -c '.attributes[0] | [.id, .name, .value, .worst, .threshold, .flags]' "$work/out.json")" \
  = '[1,"READ_ERROR_RATE",100,100,46,15]' ] || fail "first attribute"

# The saved capture holds the same three sectors (the source's SMST record aside).
sector() { # file tag
  local offset
  offset=$(grep -obaF "$2" "$1" | head -1 | cut -d: -f1)
  tail -c +$((offset + 9)) "$1" | head -c 512
}
for tag in IDFY SMDT SMTH; do
  cmp -s <(sector "$capture" $tag) <(sector "$work/saved" $tag) || fail "saved $tag differs"
done
[ "$(stat -c %s "$work/saved")" = 1560 ] || fail "saved capture size"
"$corvane" identify --load "$work/saved" >"$work/again.txt" || fail "reloading the saved capture"
"$corvane" identify --load "$capture" | cmp -s - "$work/again.txt" || fail "reloaded view differs"
if command -v skdump >/dev/null; then
  skdump --load="$work/saved" | grep -q '^Serial: \[K434T81257SL\]$' || fail "skdump cannot read it"
fi

# Malformed and missing captures: a message and status 1, never a crash.
head -c 700 "$capture" >"$work/truncated"
printf 'IDFY\377\377\377\377' >"$work/huge-length"
: >"$work/empty"
for bad in truncated huge-length empty missing; do
  "$corvane" identify --load "$work/$bad" >/dev/null 2>"$work/err"
  status=$?
  [ $status = 1 ] || fail "$bad: status $status"
  grep -q "corvane identify: .*$bad" "$work/err" || fail "$bad: message $(cat "$work/err")"
  # With --json the failure is in the object, with the same status.
  "$corvane" identify --json --load "$work/$bad" >"$work/err.json" 2>"$work/json-err"
  status=$?
  [ $status = 1 ] && [ ! -s "$work/json-err" ] || fail "$bad --json: status $status, stderr"
  [ "$(jq -r '.messages[0] | .severity + " " + .text' "$work/err.json")" = \
    "error $(head -n 1 "$work/err" | sed 's/^corvane identify: //')" ] || fail "$bad: JSON message"
done

# Usage errors exit 2 with the usage on stderr.
"$corvane" identify --drive 4 >/dev/null 2>"$work/err"; [ $? = 2 ] || fail "--drive 4"
"$corvane" frobnicate >/dev/null 2>"$work/err"; [ $? = 2 ] || fail "unknown verb"
grep -q "Usage:" "$work/err" || fail "no usage for an unknown verb"
echo "PASS"
