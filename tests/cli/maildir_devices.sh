# A FIFO, a device node and a link among a Maildir's messages or a folder's .kik files are
# skipped with a note and never opened; the messages and files around them are decoded.
source "$(dirname "$0")/lib.sh"
module="$(dirname "$binary_under_test")/libcorvane-mailbox.so"
[ -f "$module" ] || fail "no mailbox module beside the binary"
cp "$module" "$work/app/"
record='007011004006003WD-123 -1673912542PC-7PID-42ANA'
mkdir -p "$work/Maildir/cur" "$work/Maildir/new" "$work/Maildir/tmp" "$work/folder"
printf 'Message-ID: <m@example.com>\nContent-Type: application/octet-stream; name="a.kik"\n\n%s\r\n' \
  "$record" >"$work/Maildir/cur/1.M1P1.host:2,S"
printf '%s\r\n' "$record" >"$work/folder/good.kik"
specials=(fifo link)
for dir in "$work/Maildir/new" "$work/folder"; do
  mkfifo "$dir/2.fifo.kik"
  ln -s "$work/Maildir/cur/1.M1P1.host:2,S" "$dir/4.link.kik"
  if [ "$(id -u)" -eq 0 ]; then mknod "$dir/3.null.kik" c 1 3; fi
done
[ "$(id -u)" -eq 0 ] && specials+=(null) || echo "note: not root, no device node made"
tracer=()
# LeakSanitizer cannot run under ptrace.
command -v strace >/dev/null &&
  tracer=(env ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=open,openat -o "$work/trace")

for target in "--mailbox $work/Maildir" "$work/folder"; do
  # shellcheck disable=SC2086
  out=$(timeout 60 "${tracer[@]}" "$corvane" decode $target 2>"$work/err") ||
    fail "$target: status $?: $(cat "$work/err")"
  expect_contains "$out" "computer name:    PC-7" "$target: the record"
  where=${target#--mailbox }
  [ "$where" = "$work/folder" ] || where=$work/Maildir/new
  expect_contains "$(cat "$work/err")" "$where/2.fifo.kik: skipped: " "$target: the FIFO"
  expect_contains "$(cat "$work/err")" "$where/4.link.kik: skipped: a link, which is not followed" \
    "$target: the link"
  if [ "$(id -u)" -eq 0 ]; then
    expect_contains "$(cat "$work/err")" "$where/3.null.kik: skipped: " "$target: the device"
  fi
  if [ ${#tracer[@]} -gt 0 ]; then
    for special in "${specials[@]}"; do
      ! grep -F "$special.kik" "$work/trace" | grep -q 'open' || fail "$target: $special opened"
    done
  fi
done
echo "maildir_devices: ok"
