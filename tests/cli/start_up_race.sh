# Eight copies started at the same moment: one runs the wizard, the seven others end
# quietly, having shown and written nothing.
source "$(dirname "$0")/lib.sh"

mkfifo "$work/input"
pids=()
for i in 1 2 3 4 5 6 7 8; do
  # Each waits in the open of the pipe until it has a writer, so all start together.
  "$corvane" --text <"$work/input" >"$work/out.$i" 2>&1 &
  pids+=($!)
done
exec 3>"$work/input"

running() {
  local n=0 pid
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done
  echo $n
}
for _ in $(seq 100); do [ "$(running)" -le 1 ] && break; sleep 0.1; done
[ "$(running)" -eq 1 ] || fail "$(running) copies are running"

shown=0
for i in 1 2 3 4 5 6 7 8; do
  if [ -s "$work/out.$i" ]; then
    shown=$((shown + 1))
    expect_contains "$(cat "$work/out.$i")" '[OK] [Cancel]' "the running copy's screen"
  fi
done
[ "$shown" -eq 1 ] || fail "$shown copies showed something"

echo close >&3
exec 3>&-
for pid in "${pids[@]}"; do wait "$pid" || fail "a copy ended with status $?"; done
[ ! -e "$work/app/idioma.txt" ] || fail "a language file was written"
echo "start_up_race: ok"
