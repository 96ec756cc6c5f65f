# A second copy raises the first and ends without showing or touching anything.
source "$(dirname "$0")/lib.sh"

mkfifo "$work/input"
"$corvane" --text <"$work/input" >"$work/first.out" &
first=$!
exec 3>"$work/input"          # keeps the first copy's input open
for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/corvane.sock" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/corvane.sock" ] || fail "the first copy does not listen"

# Its input is ready before it starts: a copy that ends without reading it must not end a
# writer in a pipe (SIGPIPE), which would stop this script without a word.
out=$("$corvane" <<<$'en\nok') || fail "the second copy ended with status $?"
[ -z "$out" ] || fail "the second copy showed: $out"
[ ! -e "$work/app/idioma.txt" ] || fail "the second copy wrote the language file"
[ ! -e "$XDG_CONFIG_HOME/corvane/registry" ] || fail "the second copy touched the registry"

echo close >&3
exec 3>&-
wait "$first" || fail "the first copy's exit status"
expect_contains "$(cat "$work/first.out")" '[OK] [Cancel]' "first copy's screen"
echo "single_instance: ok"
