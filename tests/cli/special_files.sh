# Pipes, devices and huge files where the program expects a small file: each is refused
# at once with its reason, and the program goes on as it does for a file it cannot read.
source "$(dirname "$0")/lib.sh"
t() { timeout 20 "$@"; }

mkfifo "$work/pipe.kik"
printf '007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n' > "$work/good.kik"
truncate -s 500M "$work/huge.kik"
status=0
out=$(t "$corvane" decode "$work/pipe.kik" "$work/huge.kik" "$work/good.kik" 2>"$work/err") ||
  status=$?
[ "$status" -eq 1 ] || fail "decode: status $status"
expect_contains "$(cat "$work/err")" "pipe.kik: cannot read it: not a regular file" "decode of a pipe"
expect_contains "$(cat "$work/err")" "huge.kik: cannot read it: too large" "decode of a huge file"
expect_contains "$out" "good.kik" "decode goes on to the good file"

for capture in /dev/zero "$work/pipe.kik" "$work/huge.kik"; do
  status=0
  t "$corvane" identify --load "$capture" >/dev/null 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "identify --load $capture: status $status"
  expect_contains "$(cat "$work/err")" "corvane identify: cannot read $capture: " "$capture"
done

# On the restart path a language file that cannot be read means Spanish.
put_run_value
for language in pipe huge; do
  rm -f "$work/app/idioma.txt"
  if [ $language = pipe ]; then mkfifo "$work/app/idioma.txt"; else truncate -s 500M "$work/app/idioma.txt"; fi
  out=$(t "$corvane" --text </dev/null) || fail "restart with a $language as language file"
  expect_contains "$out" $'Corvane Reinicio Automaticamente!\nContinuemos.....' "$language: Spanish"
done
rm -f "$work/app/idioma.txt" "$XDG_CONFIG_HOME/autostart/Corvane.desktop"

# The single-instance folder: `record` never makes it; the wizard says when it cannot use one.
fallback="/tmp/corvane-$(id -u)"
if [ ! -e "$fallback" ]; then
  env -u XDG_RUNTIME_DIR "$corvane" record >/dev/null 2>&1 || true
  [ ! -e "$fallback" ] || fail "record made $fallback"
fi
chmod 755 "$XDG_RUNTIME_DIR"
out=$(printf 'ok\n' | "$corvane" 2>"$work/err") || fail "the wizard without its single-instance folder"
expect_contains "$out" '[OK] [Cancel]' "the wizard runs"
expect_contains "$(cat "$work/err")" "single-instance folder $XDG_RUNTIME_DIR cannot be used" "stderr"
echo "special_files: ok"
