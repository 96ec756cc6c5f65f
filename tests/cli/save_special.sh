# identify --save onto what is not a regular file (a FIFO, a device node, a folder, a link to
# one or to nothing, a link to a file a program has open as /dev/stdout is) is refused with
# the reason and status 1, and what stands there stays as it was; a link to a regular file is
# replaced, not followed.
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
ln -s nowhere "$work/dangling"
ln -s /dev/null "$work/null-link"
targets+=(dangling null-link)
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

# /dev/stdout with the output going to a file: the link leads to a regular file, but the
# one this run has open.
ln -s /dev/stdout "$work/stdout"
status=0
timeout 20 "$corvane" identify --load "$capture" --save "$work/stdout" >"$work/printed" \
  2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "--save onto a link to /dev/stdout: status $status"
[ "$(readlink "$work/stdout")" = /dev/stdout ] || fail "the link to /dev/stdout was replaced"
expect_contains "$(cat "$work/err")" "a link to a file a program has open (/proc/self/fd/1)" \
  "/dev/stdout"

echo keep >"$work/elsewhere"
ln -s "$work/elsewhere" "$work/link"
"$corvane" identify --load "$capture" --save "$work/link" >/dev/null || fail "--save onto a link"
[ -f "$work/link" ] && [ ! -L "$work/link" ] || fail "the link was not replaced"
[ "$(cat "$work/elsewhere")" = keep ] || fail "the link was followed"
echo "save_special: ok"
