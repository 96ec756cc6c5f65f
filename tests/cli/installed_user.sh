# An installed copy run by an ordinary user: the binary lies in a tree that root owns, so
# the language file goes to the user's state folder and the report to the home folder. The
# user's login has more bytes than the user-name buffer takes, but fewer characters.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing into a root-owned tree needs root"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }

cmake --install "$(dirname "$binary_under_test")" --prefix "$work/usr" >/dev/null
chmod 755 "$work"
user_home="$work/user"
mkdir -p "$user_home" "$work/user-run"
chown 65534:65534 "$user_home" "$work/user-run"
chmod 700 "$work/user-run"
# The user's login is 22 accented characters (26 bytes): uid 65534 gets that name in a copy
# of the password file mounted over /etc/passwd for this test's processes alone.
login='maríadelosángelesnúñez'
expected_user='MARÍADELOSÁNGELESNÚÑEZ'
expected_length=022
sed "s/^[^:]*:\([^:]*\):65534:/$login:\1:65534:/" /etc/passwd >"$work/passwd"
private_passwd=(unshare --mount -- sh -c 'mount --bind "$0" /etc/passwd && exec "$@"' "$work/passwd")
if ! grep -q "^$login:[^:]*:65534:" "$work/passwd" || ! "${private_passwd[@]}" true 2>/dev/null; then
  echo "note: no private mount namespace or no uid 65534 here: the login stays as it is"
  private_passwd=()
  expected_user=$(getent passwd 65534 | cut -d: -f1 | tr '[:lower:]' '[:upper:]')
  expected_length=$(printf '%03d' ${#expected_user})
fi
as_user() {
  "${private_passwd[@]}" setpriv --reuid=65534 --regid=65534 --clear-groups \
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
expect_contains "$decoded" "user name:        $expected_user" "the user name in the record"
[ "$(head -c 15 "$report" | tail -c 3)" = "$expected_length" ] ||
  fail "the user name's length field counts bytes: $(head -c 15 "$report")"
[ ! -e "$language_file" ] || fail "the gathering left the language file"
echo "installed_user: ok"
