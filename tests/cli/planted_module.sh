# A module that another user could have put in place is never loaded: not one in a parent
# folder of a copy run from elsewhere, not one in a folder another user owns or may write.
# Root's modules load for any user.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: a second user needs root"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
built=$(dirname "$binary_under_test")
[ -f "$built/libcorvane-mailbox.so" ] || fail "no mailbox module beside the binary"
chmod 755 "$work"
printf 'From a@example.com Mon Dec  7 10:00:00 2026\nMessage-ID: <m@example.com>\nContent-Type: application/octet-stream; name="a.kik"\n\n007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n' >"$work/box"
chmod 644 "$work/box"
other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
install_copy() {  # install_copy ROOT PROGRAM-FOLDER MODULE-FOLDER
  mkdir -p "$1/$2" "$1/$3"
  cp "$binary_under_test" "$1/$2/corvane"
  cp "$built/libcorvane-mailbox.so" "$built/libcorvane-window.so" "$1/$3/"
}
# refused PROGRAM REASON [RUNNER...]: decode --mailbox and the wizard refuse their modules,
# saying REASON (MODULE stands for the module's name).
refused() {
  local program=$1 reason=$2 status=0
  shift 2
  "$@" "$program" decode --mailbox "$work/box" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "$program: status $status: $(cat "$work/out")"
  expect_contains "$(cat "$work/err")" "mailboxes cannot be read: " "$program"
  expect_contains "$(cat "$work/err")" "${reason//MODULE/libcorvane-mailbox.so}" "$program"
  # A display with nothing behind it: the window module is refused before it is tried.
  status=0
  out=$(printf 'ok\n' | DISPLAY=:97 "$@" "$program" 2>"$work/err") || status=$?
  expect_contains "$out" '[OK] [Cancel]' "$program: the wizard in the terminal"
  expect_contains "$(cat "$work/err")" "no window (" "$program: the window"
  expect_contains "$(cat "$work/err")" "${reason//MODULE/libcorvane-window.so}" "$program: the window"
}

# A copy in tools/; another user's modules in ../lib/corvane, where an installed copy's are.
install_copy "$work/a" tools lib/corvane
chown -R 65534:65534 "$work/a/lib"
refused "$work/a/tools/corvane" "MODULE is not installed beside the program"

# The installed layout, its library folder another user's.
install_copy "$work/b" bin lib/corvane
chown 65534:65534 "$work/b/lib"
refused "$work/b/bin/corvane" "$work/b/lib belongs to another user (65534)"

# A portable copy whose folder its group may write.
install_copy "$work/c" tools tools
chmod 775 "$work/c/tools"
refused "$work/c/tools/corvane" "$work/c/tools may be written by other users"

# Root's installed copy, run by another user: its modules load.
chown 0:0 "$work/b/lib"
"${other[@]}" "$work/b/bin/corvane" decode --mailbox "$work/box" >"$work/out" 2>"$work/err" ||
  fail "root's module for another user: $(cat "$work/err")"
expect_contains "$(cat "$work/out")" "computer name:    PC-7" "root's module"
# That user's own copy, run by root: refused.
chown -R 65534:65534 "$work/c"
chmod 755 "$work/c/tools"
refused "$work/c/tools/corvane" "$work/c/tools/MODULE belongs to another user (65534)"
echo "planted_module: ok"
