# An autostart entry written by hand, without the program's data line, still counts as the
# Run value: the next start opens the restart screen, and OK there removes the entry.
source "$(dirname "$0")/lib.sh"

entry="$XDG_CONFIG_HOME/autostart/Corvane.desktop"
mkdir -p "$(dirname "$entry")"
printf '[Desktop Entry]\nType=Application\nName=Corvane by hand\nExec=%s --text\n' \
  "$corvane" > "$entry"
printf '3\r\n' > "$work/app/idioma.txt"

out=$(printf 'ok\n' | "$corvane" --text) || fail "exit status"
expect_contains "$out" $'Corvane Started Succesfully!\nLet\'s Continue.....\n[OK] [Cancel]' \
  "the restart screen"
[ ! -e "$entry" ] || fail "OK at the restart screen left the autostart entry"
[ ! -e "$work/app/idioma.txt" ] || fail "OK at the restart screen left the language file"
out=$("$corvane" --text </dev/null)
expect_contains "$out" "( ) English" "the language choice on the next start"
echo "autostart_by_hand: ok"
