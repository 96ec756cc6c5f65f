# A host name of 64 characters, the most Linux allows, is kept whole: in the record and in
# the machine-information file's name.
source "$(dirname "$0")/lib.sh"

name=corvane-test-host-0123456789-abcdefghijklmnopqrstuvwxyz-01234567
[ ${#name} -eq 64 ] || fail "the test's name has ${#name} characters"
unshare --uts true 2>/dev/null || { echo "SKIP: unshare --uts needs root here"; exit 77; }
as_host() { unshare --uts sh -c 'hostname "$1" && shift && exec "$@"' _ "$name" "$@"; }
upper=$(tr '[:lower:]' '[:upper:]' <<<"$name")

out=$(as_host "$corvane" record --json) || true
expect_contains "$out" "\"computer_name\": \"$upper\"" "record"
record=$(sed -n 's/^  "record": "\(.*\)",$/\1/p' <<<"$out")
[ -n "$record" ] || { echo "SKIP: drive 0 has no identity on this machine"; exit 77; }
expect_contains "$record" "$upper" "the record"

out=$(printf 'en\nok\nyes\nno\nok\n' | as_host "$corvane")
report="$HOME/Lumbrook$(date +%Y%m%d)$upper.kik"
expect_contains "$out" $'Please Send File\n\n'"$report" "the manual-send screen"
[ "$(cat "$report")" = "$record"$'\r' ] || fail "the file holds $(od -c "$report" | head -3)"
echo "long_host_name: ok"
