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
echo "command_line: ok"
