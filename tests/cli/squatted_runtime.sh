# A runtime folder, lock or socket of another user is never used, by root either: a
# squatter holding the lock and answering on the socket cannot end the wizard unseen. Runs
# in a mount namespace of its own, so that /tmp and /run/user are scratch.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: a second user needs root"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
unshare --mount true 2>/dev/null || { echo "SKIP: no mount namespace here"; exit 77; }
chmod 755 "$work"
cp "$binary_under_test" "$work/corvane"
chmod 755 "$work/corvane"
# Holds the lock in FOLDER and answers every request as a running copy would, until killed.
cat >"$work/squatter.py" <<'PY'
import fcntl, os, socket, sys
folder = sys.argv[1]
lock = os.open(os.path.join(folder, "corvane.lock"), os.O_RDWR | os.O_CREAT, 0o600)
fcntl.flock(lock, fcntl.LOCK_EX)
path = os.path.join(folder, "corvane.sock")
if os.path.exists(path): os.unlink(path)
s = socket.socket(socket.AF_UNIX); s.bind(path); os.chmod(path, 0o777); s.listen(8)
open(os.path.join(folder, "ready"), "w").close()
while True:
    c, _ = s.accept()
    try:
        c.recv(64); c.sendall(b"ok\n")
    except OSError:
        pass
    c.close()
PY
squat() {  # squat FOLDER RUNNER...: a squatter, as that runner, in FOLDER
  local folder=$1
  shift
  "$@" /usr/bin/python3 "$work/squatter.py" "$folder" &
  squatter=$!
  for _ in $(seq 100); do [ -e "$folder/ready" ] && return; sleep 0.05; done
  fail "the squatter did not start"
}
wizard_runs() {  # wizard_runs WHAT RUNNER...: the wizard shows its first screen anyway
  local what=$1 status=0
  shift
  out=$(printf 'ok\n' | "$@" "$work/corvane" --text 2>"$work/err") || status=$?
  expect_contains "$out" '[OK] [Cancel]' "$what: the wizard runs (status $status)"
}
other=(setpriv --reuid=65534 --regid=65534 --clear-groups)

export -f squat wizard_runs fail expect_contains
export work
unshare --mount bash -euo pipefail -c '
  squatter=
  trap "[ -z \"\$squatter\" ] || kill \$squatter 2>/dev/null || true" EXIT
  mount --make-rprivate /
  mkdir -p "$work/run-user" /mnt
  # A scratch /tmp, with this test'"'"'s folder at its old place in it.
  mount --bind "$work" /mnt
  mount -t tmpfs -o mode=1777 tmpfs /tmp
  mkdir -p "$work"
  mount --bind /mnt "$work"
  if [ -d /run/user ]; then mount --bind "$work/run-user" /run/user; fi
  other=(setpriv --reuid=65534 --regid=65534 --clear-groups)

  # Root without XDG_RUNTIME_DIR: another user made /tmp/corvane-0 and serves it.
  mkdir -m 700 /tmp/corvane-0
  chown 65534:65534 /tmp/corvane-0
  squat /tmp/corvane-0 "${other[@]}"
  unset XDG_RUNTIME_DIR
  wizard_runs "root, squatted /tmp/corvane-0"
  expect_contains "$(cat "$work/err")" "single-instance folder /tmp/corvane-0 cannot be used (owned by another user (65534))" "root"
  kill $squatter

  # Root pointed at another user'"'"'s runtime folder (sudo -E): not used either.
  mkdir -m 700 "$work/user-run"
  chown 65534:65534 "$work/user-run"
  squat "$work/user-run" "${other[@]}"
  XDG_RUNTIME_DIR=$work/user-run wizard_runs "root, XDG_RUNTIME_DIR of another user"
  expect_contains "$(cat "$work/err")" "single-instance folder $work/user-run cannot be used" "root, XDG"
  kill $squatter

  # A user whose own folder root serves: the answer is not from a copy of this user.
  rm -f "$work/user-run/"*
  squat "$work/user-run"
  chown 65534:65534 "$work/user-run/corvane.lock"
  XDG_RUNTIME_DIR=$work/user-run HOME=$work/user-run wizard_runs "a user, root answers" "${other[@]}"
  expect_contains "$(cat "$work/err")" "a copy holds the lock in $work/user-run but does not answer" "user"
  kill $squatter
'
echo "squatted_runtime: ok"
