# The installed layout run as root: its own files go to root's per-user folder, never into
# the program folder, though root may write there. A per-user folder that cannot be had is
# what the failure names, not a file beside the program.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: root's run of an installed copy needs root"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
cmake --install "$(dirname "$binary_under_test")" --prefix "$work/usr" >/dev/null
installed=$work/usr/bin/corvane
unset XDG_STATE_HOME

# Closing at stage "1" leaves the language file where the next run looks for it.
out=$(printf 'en\nok\n' | "$installed" --text) || fail "exit status at stage 1"
expect_contains "$out" "Are You Working on That Machine Now?" "stage 1"
[ ! -e "$work/usr/bin/idioma.txt" ] || fail "root wrote a language file beside the installed binary"
[ "$(od -An -c "$HOME/.local/state/corvane/idioma.txt" | tr -d ' ')" = '3\r\n' ] ||
  fail "no language file in root's per-user folder"

# A per-user folder that cannot be made: root, then a user whose home is missing.
printf 'x' >"$work/not-a-folder"
status=0
out=$(printf 'en\nok\n' | XDG_STATE_HOME="$work/not-a-folder" "$installed" --text) || status=$?
[ "$status" -eq 1 ] || fail "status $status with an unusable XDG_STATE_HOME"
expect_contains "$out" "$work/not-a-folder/corvane: cannot be made" "the failure names the folder"
case "$out" in *"bin/idioma.txt"*) fail "the failure names the program folder: $out" ;; esac
chmod 755 "$work"
mkdir -m 700 "$work/nobody-run"
chown 65534:65534 "$work/nobody-run"
status=0
out=$(printf 'en\nok\n' | setpriv --reuid=65534 --regid=65534 --clear-groups \
  env HOME="$work/missing-home" XDG_RUNTIME_DIR="$work/nobody-run" "$installed" --text 2>/dev/null) || status=$?
[ "$status" -eq 1 ] || fail "status $status without a home"
expect_contains "$out" "$work/missing-home/.local/state/corvane: cannot be made" "no home"
case "$out" in *"bin/idioma.txt"*) fail "the failure names the program folder: $out" ;; esac
echo "packaged_root: ok"
