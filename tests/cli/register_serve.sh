# corvane register serve: the register in headless Chromium (the fleet listed, a search, a
# history in words, the conflicts, an upload with its verdicts, a hostile computer name shown as
# text), and with curl what a browser does not show: status codes and headers, a POST without
# its form's token refused, users over TLS, refusals at start, several clients at once,
# SIGTERM. (A register that goes away: register_postgres.sh.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../tools/register_scenario.sh"
for tool in curl jq openssl; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
built=$(dirname "$binary_under_test")
cp "$built/libcorvane-mailbox.so" "$built/libcorvane-serve.so" "$work/app/"
tools="$(dirname "$0")/../tools"
python=/usr/bin/python3  # Debian's, where python3-selenium lives
db="$work/fleet.sqlite3"
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

python3 "$tools/fleet_mailbox.py" scenario "$work/fleet.mbox"
reg add --mailbox "$work/fleet.mbox" >/dev/null 2>&1 || true
hostile='<script>window.pwned=1</script><img src=x onerror="window.pwned=2">'
write_report "$work/Lumbrook20261204HOSTILE.kik" WD-HOST 6666 "$hostile" PID-H EVE
reg add "$work/Lumbrook20261204HOSTILE.kik" >/dev/null
machines() { reg --json machines | jq '.machines | length'; }
[ "$(machines)" = 7 ] || fail "the fleet's register: $(machines) machines, not 7"

start_server() {  # serve's options...
  "$corvane" register --db "$db" serve "$@" >"$work/serve.out" 2>"$work/serve.err" &
  pid=$!
  for _ in $(seq 300); do
    [ -s "$work/serve.out" ] && break
    kill -0 "$pid" 2>/dev/null || fail "serve $*: ended at start: $(cat "$work/serve.err")"
    sleep 0.1
  done
  url=$(head -1 "$work/serve.out")
  base=${url%%\?*}
}
stop_server() {
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" = 0 ] || fail "serve ended with status $status at SIGTERM: $(cat "$work/serve.err")"
}
code() { curl -s -k -o /dev/null -w '%{http_code}' "$@"; }

# A non-loopback address without TLS and users: refused at start, in one line.
for options in "" "--users $work/none.txt"; do
  set +e
  err=$("$corvane" register --db "$db" serve --listen 0.0.0.0:0 $options 2>&1 >/dev/null)
  status=$?
  set -e
  [ "$status" = 2 ] || fail "0.0.0.0 without TLS ($options): status $status, not 2"
  [ "$(wc -l <<<"$err")" = 1 ] || fail "the refusal is not one line: $err"
  expect_contains "$err" "is not a loopback address: give --tls-cert, --tls-key and --users" refusal
done

# One person on loopback: the printed address's token for a session.
start_server --listen 127.0.0.1:0
case $url in http://127.0.0.1:*/\?token=????????????????????????????????????????????????) ;;
  *) fail "the first line is not an address with a token: $url";; esac
[ "$(code "$base")" = 401 ] || fail "no token, no session: not 401"
[ "$(code "${base}?token=0123")" = 403 ] || fail "a wrong token: not 403"
curl -s -D "$work/headers" -c "$work/jar" -o /dev/null "$url"
headers=$(tr -d '\r' <"$work/headers")
expect_contains "$headers" "HTTP/1.1 303" "the token's exchange"
expect_contains "$headers" "; HttpOnly; SameSite=Strict" "the session cookie"
expect_contains "$headers" "Content-Security-Policy: default-src 'self'" "the CSP"
page=$(curl -s -b "$work/jar" "$base")
expect_contains "$page" '&lt;script&gt;window.pwned=1&lt;/script&gt;' "the hostile name escaped"
case $page in *"<script"* | *" style="* | *"<style"*) fail "a page with a script or inline style";; esac

# The same keys as the command line's --json.
api=$(curl -s -b "$work/jar" "${base}api/machines?q=pc-4")
expect_json "/api/machines" "$api" '[.matched, [.machines[].machine]]' '[1,[4]]'
[ "$(jq -c '.machines[0] | keys_unsorted' <<<"$api")" = \
  "$(reg --json machines | jq -c '.machines[0] | keys_unsorted')" ] || fail "/api/machines keys"
expect_json "/api/machines/3" "$(curl -s -b "$work/jar" "${base}api/machines/3")" \
  '[.machine.computer_name, [.reports[].changes]]' '["LAB-3",[[],["renamed"],["another user"]]]'
expect_json "/api/conflicts" "$(curl -s -b "$work/jar" "${base}api/conflicts")" \
  '[.disks[0].machines, .product_ids[0].product_id]' '[[1,6],"PID-VL"]'
write_report "$work/Lumbrook20261215LAB-3.kik" WD-DDD4 4444 LAB-3 PID-3 EVA
expect_json "/api/check" \
  "$(curl -s -b "$work/jar" --data-binary @"$work/Lumbrook20261215LAB-3.kik" "${base}api/check")" \
  '[.reports[0] | .verdict, .machines, .changes]' '["changed",[3],["another user"]]'
[ "$(code "${base}api/machines/99")" = 401 ] || fail "/api/ without a session: not 401"

# A POST without the form's token changes nothing.
[ "$(code -b "$work/jar" -F "files=@$work/Lumbrook20261215LAB-3.kik" "${base}add")" = 403 ] ||
  fail "an upload without its CSRF token: not 403"
csrf=$(curl -s -b "$work/jar" "${base}add" | grep -o 'name="csrf" value="[0-9a-f]*"' | head -1 |
  cut -d'"' -f4)
[ "$(code -b "$work/jar" -F csrf=0"$csrf" -F "files=@$work/Lumbrook20261215LAB-3.kik" \
  "${base}add")" = 403 ] || fail "an upload with a wrong CSRF token: not 403"
[ "$(reg --json history 3 | jq '.machines[0].reports | length')" = 3 ] ||
  fail "a refused upload changed the register"

# Several clients at once.
for i in $(seq 30); do
  curl -s -b "$work/jar" -o /dev/null -w '%{http_code}\n' "${base}api/machines?page=$i" \
    >"$work/client.$i" &
done
wait $(jobs -p | grep -v "^$pid$") 2>/dev/null || true
[ "$(cat "$work"/client.* | sort | uniq -c | tr -s ' ')" = " 30 200" ] ||
  fail "30 clients at once: $(cat "$work"/client.* | sort | uniq -c)"

# The browser, with the files it uploads: a change, a new machine, a damaged record, a message.
mkdir "$work/up"
cp "$work/Lumbrook20261215LAB-3.kik" "$work/up/"
write_report "$work/up/Lumbrook20261216PC-NEW.kik" WD-NEW 1234 PC-NEW PID-N NIA
printf '0070x' >"$work/up/Lumbrook20261202PC-3.kik"
python3 - "$tools" "$work/up/new.eml" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import fleet_mailbox
values = ["WD-MAIL", "4321", "PC-MAIL", "PID-M", "MIA"]
text = fleet_mailbox.message("mail-new@example.com", "Thu, 17 Dec 2026 10:00:00 +0000", 17,
                             "PC-MAIL", fleet_mailbox.record(values))
open(sys.argv[2], "w").write(text.split("\n", 1)[1])
PY
browser=skipped
if [ -x /usr/bin/chromium ] && [ -x /usr/bin/chromedriver ]; then
  set +e
  $python "$tools/serve_browser.py" token "$url" "$work" "$work/up/"*
  status=$?
  set -e
  case $status in
    0) browser=ran;;
    77) ;;
    *) fail "the browser's run on the token server";;
  esac
fi
if [ $browser = skipped ]; then
  # What the browser would have added, so that the rest runs the same.
  write_report "$work/Lumbrook20261217PC-MAIL.kik" WD-MAIL 4321 PC-MAIL PID-M MIA
  reg add "$work/up/Lumbrook20261215LAB-3.kik" "$work/up/Lumbrook20261216PC-NEW.kik" \
    "$work/Lumbrook20261217PC-MAIL.kik" >/dev/null
fi
[ "$(machines)" = 9 ] || fail "after the upload: $(machines) machines, not 9"

stop_server

# A team's server: users over TLS.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -subj /CN=127.0.0.1 -days 2 2>/dev/null
printf 'ana secret\n' | "$corvane" register user add ana --users "$work/users"
printf 'bob secret\n' | "$corvane" register user add bob --users "$work/users" --read-only
[ "$(stat -c %a "$work/users")" = 600 ] || fail "the users file is not 0600"
[ "$(grep -c ':\$argon2id\$' "$work/users")" = 2 ] || fail "the users' hashes: $(cat "$work/users")"
start_server --listen 127.0.0.1:0 --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" \
  --users "$work/users"
case $url in https://127.0.0.1:*/) ;; *) fail "the TLS server's address: $url";; esac
[ "$(code "$base")" = 401 ] || fail "a users server without a login: not 401"
[ "$(code -u ana:'ana secret' "${base}api/machines")" = 200 ] || fail "HTTP Basic over TLS"
if [ $browser = ran ]; then
  $python "$tools/serve_browser.py" login "$url" "$work" ana 'ana secret' ||
    fail "the browser's login over TLS"
fi
# bob may look, not add.
curl -s -k -c "$work/bob" -o /dev/null --data-urlencode user=bob \
  --data-urlencode 'password=bob secret' "${base}login"
page=$(curl -s -k -b "$work/bob" "${base}add")
expect_contains "$page" "may look at the register but not add" "a read-only user's add page"
csrf=$(grep -o 'name="csrf" value="[0-9a-f]*"' <<<"$page" | head -1 | cut -d'"' -f4)
[ "$(code -b "$work/bob" -F csrf="$csrf" -F "files=@$work/up/Lumbrook20261216PC-NEW.kik" \
  "${base}add")" = 403 ] || fail "a read-only user's upload: not 403"
# Five failures in a minute (the browser's wrong password was one): then even the right
# password waits.
failures=5
[ $browser = skipped ] || failures=4
for i in $(seq $failures); do
  [ "$(code -u ana:wrong "${base}api/machines")" = 401 ] || fail "wrong password $i: not 401"
done
[ "$(code -u ana:'ana secret' "${base}api/machines")" = 429 ] || fail "no slowing down"
stop_server
[ $browser = ran ] || { echo "SKIP: the browser's part (chromium, chromium-driver, python3-selenium)"; exit 77; }
echo "PASS"
