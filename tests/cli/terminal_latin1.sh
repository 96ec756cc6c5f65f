# The terminal face under a Latin-1 locale: the screens come out in ISO-8859-1 and a typed
# "não" in that character set is No. The locale is built into the test's own folder.
source "$(dirname "$0")/lib.sh"
command -v localedef >/dev/null || { echo "SKIP: localedef is missing"; exit 77; }
mkdir -p "$work/locale"
localedef -i es_ES -f ISO-8859-1 "$work/locale/es_ES.ISO-8859-1" >/dev/null 2>&1 ||
  { echo "SKIP: the es_ES locale sources are missing (Debian: locales)"; exit 77; }
latin1() { env -u LANGUAGE LOCPATH="$work/locale" LC_ALL=es_ES.ISO-8859-1 "$corvane" "$@"; }

out=$(printf 'pt\nok\nn\xe3o\n\n' | latin1 | od -An -tx1 | tr -d ' \n')
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
expect_contains "$out" "$(hex $'( ) Portugu\xeas\n')" "Português in ISO-8859-1"
expect_contains "$out" "$(hex $'[Sim] [N\xe3o]')" "the buttons in ISO-8859-1"
expect_contains "$out" "$(hex $'-- :) --\nChauuu...\n')" "No taken at stage 1"
case "$out" in *"$(hex 'Português')"*) fail "UTF-8 on a Latin-1 terminal";; esac
[ ! -e "$work/app/idioma.txt" ] || fail "language file left after No"

# A UTF-8 locale, and the C locale, get the program's UTF-8 as it is.
for locale in C.UTF-8 C; do
  out=$(printf 'pt\nok\nnão\n\n' | LC_ALL=$locale "$corvane")
  expect_contains "$out" $'( ) Português\n' "UTF-8 under $locale"
  expect_contains "$out" $'-- :) --\nChauuu...\n' "No under $locale"
done
echo "terminal_latin1: ok"
