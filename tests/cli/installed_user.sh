# An installed copy run by an ordinary user: the binary lies in a tree that root owns, so
# the language file goes to the user's state folder and the report to the home folder.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing into a root-owned tree needs root"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }

cmake --install "$(dirname "$binary_under_test")" --prefix "$work/usr" >/dev/null
chmod 755 "$work"
user_home="$work/user"
mkdir -p "$user_home" "$work/user-run"
chown 65534:65534 "$user_home" "$work/user-run"
chmod 700 "$work/user-run"
as_user() {
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -u XDG_STATE_HOME HOME="$user_home" XDG_CONFIG_HOME="$user_home/.config" \
    XDG_RUNTIME_DIR="$work/user-run" "$work/usr/bin/corvane" "$@"
}
as_user record >/dev/null || { echo "SKIP: drive 0 has no identity for this user"; exit 77; }

printf 'en\nok\n' | as_user >/dev/null || fail "exit status at stage 1"
language_file="$user_home/.local/state/corvane/idioma.txt"
[ "$(od -An -c "$language_file" | tr -d ' ')" = '3\r\n' ] || fail "no language file at $language_file"
[ ! -e "$work/usr/bin/idioma.txt" ] || fail "a language file beside the installed binary"

out=$(printf 'en\nok\nyes\nno\nok\n' | as_user) || fail "exit status of the whole run"
report="$user_home/Lumbrook$(date +%Y%m%d)$(hostname | tr '[:lower:]' '[:upper:]').kik"
expect_contains "$out" $'Please Send File\n\n'"$report" "stage 3"
[ "$(stat -c %u "$report")" = 65534 ] || fail "the report is not the user's: $report"
decoded=$("$corvane" decode "$report") || fail "the report does not decode"
expect_contains "$decoded" "NOBODY" "the user name in the record"
[ ! -e "$language_file" ] || fail "the gathering left the language file"
echo "installed_user: ok"
