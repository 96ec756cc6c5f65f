# identify --save onto what is not a regular file (a FIFO, a device node, a folder) is refused
# with the reason and status 1, and what stands there stays as it was; a link is replaced,
# not followed.
source "$(dirname "$0")/lib.sh"
capture="$(cd "$(dirname "$0")/../../.." && pwd)/shared/ata-captures/FUJITSU_MHY2120BH--0084000D"
[ -f "$capture" ] || { echo "SKIP: no captures beside the project"; exit 77; }

mkfifo "$work/fifo"
mkdir "$work/folder"
targets=(fifo folder)
if [ "$(id -u)" -eq 0 ]; then
  mknod "$work/null" c 1 3  # as /dev/null
  targets+=(null)
else
  echo "note: not root, no device node made"
fi
for target in "${targets[@]}"; do
  before=$(stat -c '%F %t:%T' "$work/$target")
  status=0
  timeout 20 "$corvane" identify --load "$capture" --save "$work/$target" >/dev/null \
    2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "--save onto a $target: status $status"
  expect_contains "$(cat "$work/err")" "corvane identify: cannot write $work/$target: " "$target"
  [ "$(stat -c '%F %t:%T' "$work/$target")" = "$before" ] || fail "the $target was replaced"
done
expect_contains "$(cat "$work/err")" "not a regular file; it is not replaced" "the reason"

echo keep >"$work/elsewhere"
ln -s "$work/elsewhere" "$work/link"
"$corvane" identify --load "$capture" --save "$work/link" >/dev/null || fail "--save onto a link"
[ -f "$work/link" ] && [ ! -L "$work/link" ] || fail "the link was not replaced"
[ "$(cat "$work/elsewhere")" = keep ] || fail "the link was followed"
echo "save_special: ok"
