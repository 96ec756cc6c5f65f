# A Dovecot IMAP server of the test's own: 127.0.0.1 on ports of its own, its configuration,
# users (passwd-file), Maildirs and a self-signed certificate in a scratch folder, run as an
# unprivileged user (nobody when the test runs as root). Needs lib.sh's $work and fail.
# start_dovecot USER PASSWORD: sets $imaps_port, $imap_port, $dovecot_cert, $dovecot_mail
#   (USER's Maildir) and $dovecot_pid; stop_dovecot stops it: call it in the EXIT trap.
# deliver MBOX [FOLDER] [COUNT]: the first COUNT (default all) messages of MBOX, in order, into
#   USER's INBOX or into the mailbox FOLDER.

dovecot_available() {
  command -v dovecot >/dev/null && [ -x /usr/lib/dovecot/imap ] && command -v openssl >/dev/null
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_dovecot() {
  local user="$1" password="$2" d="$work/dovecot" owner=()
  dovecot_user=$user
  dovecot_password=$password
  mkdir -p "$d/run" "$d/state" "$d/mail/$user"/{new,cur,tmp}
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$d/key.pem" -out "$d/cert.pem" -days 2 \
    -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null ||
    fail "openssl could not make a certificate"
  printf '%s:{PLAIN}%s::::::\n' "$user" "$password" > "$d/passwd"
  imaps_port=$(free_port)
  imap_port=$(free_port)
  local run_as=$(id -un) group=$(id -gn)
  if [ "$(id -u)" = 0 ]; then
    run_as=nobody
    group=$(id -gn nobody)
    owner=(setpriv --reuid=nobody --regid="$group" --clear-groups)
    chmod 711 "$work"
  fi
  cat > "$d/dovecot.conf" <<CONF
base_dir = $d/run
state_dir = $d/state
log_path = $d/log
protocols = imap
listen = 127.0.0.1
ssl = yes
ssl_cert = <$d/cert.pem
ssl_key = <$d/key.pem
default_internal_user = $run_as
default_login_user = $run_as
default_internal_group = $group
first_valid_uid = 1
mail_location = maildir:$d/mail/%u
auth_mechanisms = plain
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $d/passwd
}
userdb {
  driver = static
  args = home=$d/mail/%u
}
service imap-login {
  chroot =
  inet_listener imap {
    port = $imap_port
  }
  inet_listener imaps {
    port = $imaps_port
    ssl = yes
  }
}
service anvil {
  chroot =
}
CONF
  [ ${#owner[@]} -eq 0 ] || chown -R "$run_as:$group" "$d"
  "${owner[@]}" dovecot -F -c "$d/dovecot.conf" &
  dovecot_pid=$!
  dovecot_cert="$d/cert.pem"
  dovecot_mail="$d/mail/$user"
  local i
  for i in $(seq 100); do
    if python3 -c "import socket; socket.create_connection(('127.0.0.1', $imaps_port), 1)" 2>/dev/null
    then return 0; fi
    kill -0 "$dovecot_pid" 2>/dev/null || fail "dovecot did not start: $(cat "$d/log" 2>/dev/null)"
    sleep 0.1
  done
  fail "dovecot did not listen on $imaps_port: $(cat "$d/log" 2>/dev/null)"
}

stop_dovecot() {
  [ -n "${dovecot_pid:-}" ] || return 0
  kill "$dovecot_pid" 2>/dev/null || true
  wait "$dovecot_pid" 2>/dev/null || true
  dovecot_pid=""
}

deliver() {
  # Through the server (APPEND), so that the UIDs follow the mbox's order.
  python3 - "$1" "${2:-INBOX}" "${3:-0}" "$imaps_port" "$dovecot_cert" "$dovecot_user" \
    "$dovecot_password" <<'PY'
import imaplib, mailbox, ssl, sys
source, folder, count, port, cert, user, password = sys.argv[1:]
imap = imaplib.IMAP4_SSL("127.0.0.1", int(port), ssl_context=ssl.create_default_context(cafile=cert))
imap.login(user, password)
if folder != "INBOX":
    imap.create(folder)
for n, message in enumerate(mailbox.mbox(source)):
    if int(count) and n == int(count):
        break
    imap.append(folder, None, None, message.as_bytes())
imap.logout()
PY
}
