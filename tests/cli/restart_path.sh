# Start-up with the Run value present: the restart screen in the saved language.
source "$(dirname "$0")/lib.sh"

put_run_value
out=$("$corvane" --text </dev/null)
expect_contains "$out" $'Corvane Reinicio Automaticamente!\nContinuemos.....\n[OK] [Cancel]' "Spanish restart"

printf '3\r\n' > "$work/app/idioma.txt"
out=$("$corvane" --text </dev/null)
expect_contains "$out" $'Corvane Started Succesfully!\nLet\'s Continue.....' "English restart"
[ -e "$XDG_CONFIG_HOME/autostart/Corvane.desktop" ] || fail "closing at stage 9 removed the Run value"
[ -e "$work/app/idioma.txt" ] || fail "closing at stage 9 removed the language file"

for code in 0 7; do
  printf '%s\r\n' "$code" > "$work/app/idioma.txt"
  out=$("$corvane" --text </dev/null) || fail "exit status for code $code"
  [ -z "$out" ] || fail "code $code showed: $out"
done
echo "restart_path: ok"
