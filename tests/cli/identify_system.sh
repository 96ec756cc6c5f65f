#!/usr/bin/env bash
# `corvane identify` on this machine's own drives, as root and as an ordinary user: the
# identity the kernel shows reaches the program either way, and nothing crashes.
set -uo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
corvane=$1
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$corvane" "$work/corvane"

for n in 0 1 2 3; do
  "$work/corvane" identify --json --drive $n >"$work/drive$n.json" 2>"$work/err"
  status=$?
  [ $status = 0 ] || [ $status = 1 ] || fail "drive $n: status $status: $(cat "$work/err")"
  type=$(jq '.device_type.value' "$work/drive$n.json") || fail "drive $n: not JSON"
  [ $status = $((type == 0)) ] || fail "drive $n: status $status for DriveType $type"
done

# A virtio root disk shows its serial in sysfs: drive 0 carries it.
root_disk=$(lsblk -no PKNAME "$(findmnt -no SOURCE /)" 2>/dev/null)
[ -n "$root_disk" ] || root_disk=$(basename "$(findmnt -no SOURCE /)")
if [ -r "/sys/block/$root_disk/serial" ] && [ -s "/sys/block/$root_disk/serial" ]; then
  expected=$(tr -d '\n' <"/sys/block/$root_disk/serial")
  got=$(jq -r '.serial_number_padded | sub(" +$"; "")' "$work/drive0.json")
  [ "$got" = "$expected" ] || fail "drive 0 serial: got '$got', expected '$expected' of $root_disk"
  [ "$(jq '.device_type.value' "$work/drive0.json")" = 1 ] || fail "drive 0 is not reported"
fi

if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  HOME=$work "${as_user[@]}" "$work/corvane" identify --json >"$work/user.json" 2>"$work/err"
  status=$?
  [ $status -le 1 ] || fail "as an ordinary user: status $status: $(cat "$work/err")"
  # Without pass-through no attributes, but the same identity when root had none either.
  if [ "$(jq '.attributes | length' "$work/drive0.json")" = 0 ]; then
    [ "$(jq -c 'del(.argv)' "$work/drive0.json")" = "$(jq -c 'del(.argv)' "$work/user.json")" ] ||
      fail "the ordinary user sees another drive 0"
  fi
fi
echo "PASS"
