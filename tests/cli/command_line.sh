# --help, --version and the usage error of an unknown option or verb.
source "$(dirname "$0")/lib.sh"

expect_contains "$("$corvane" --help)" "Usage:" "--help"
expect_contains "$("$corvane" --version)" "corvane " "--version"
for bad in --bogus frobnicate; do
  status=0
  err=$("$corvane" "$bad" 2>&1 >/dev/null) || status=$?
  [ "$status" -eq 2 ] || fail "$bad exited $status"
  expect_contains "$err" "Usage:" "$bad usage on stderr"
done

# Output that cannot be written (a full disk) is a failure, said on stderr.
printf '001001001001001ABCDE\r\n' >"$work/a.kik"
for args in --version --help "decode $work/a.kik" "decode --json $work/a.kik" identify record; do
  status=0
  # shellcheck disable=SC2086
  "$corvane" $args >/dev/full 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "$args into a full disk exited $status"
  expect_contains "$(cat "$work/err")" "corvane: cannot write the output" "$args into a full disk"
done
echo "command_line: ok"
