# The wizard through the terminal face, as a script drives it.
source "$(dirname "$0")/lib.sh"

out=$(printf 'en\nok\n' | "$corvane")
expect_contains "$out" $'Lumbrook\n( ) Español\n( ) Português\n( ) English\n[OK] [Cancel]\n> ' "stage 0"
expect_contains "$out" $'Are You Working on That Machine Now?\n[Yes] [No] [Cancel]\n> ' "stage 1"
[ "$(od -An -c "$work/app/idioma.txt" | tr -d ' ')" = '3\r\n' ] || fail "language file"

# Nothing chosen: OK ends at once and writes nothing.
rm "$work/app/idioma.txt"
printf 'ok\n' | "$corvane" >/dev/null || fail "exit status after OK with no language"
[ ! -e "$work/app/idioma.txt" ] || fail "language file written without a language"
printf 'es\ncancel\nok\n' | "$corvane" >/dev/null
[ ! -e "$work/app/idioma.txt" ] || fail "language file written after Cancel"

# Portuguese, then No: the goodbye box, and the language file is gone.
out=$(printf 'pt\nok\nnão\n\n' | "$corvane")
expect_contains "$out" '[Sim] [Não]' "Portuguese stage 1"
expect_contains "$out" $'-- :) --\nChauuu...\n[OK]' "goodbye box"
[ ! -e "$work/app/idioma.txt" ] || fail "language file left after No"
echo "wizard_terminal: ok"
