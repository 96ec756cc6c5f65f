#!/usr/bin/env bash
# register add --imap of N report mails from a Dovecot on loopback, against register add
# --mailbox of the same mails as an mbox file: wall time (median of RUNS runs, each into a
# new register) and peak memory, at N and at N/4 (memory stays flat as N grows).
# Usage: bench/imap_bench.sh [CORVANE (build/corvane)] [N (10002)] [RUNS (3)]
# Needs dovecot-imapd, openssl and /usr/bin/time (scripts/test-tools installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
corvane=$(realpath "${1:-build/corvane}")
n=${2:-10002}
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "imap_bench: $*" >&2; exit 1; }
source tests/tools/dovecot.sh
dovecot_available || fail "Dovecot (dovecot-imapd) or openssl is not installed"
password=bench-password
start_dovecot support "$password"
trap 'stop_dovecot; rm -rf "$work"' EXIT
printf '#!/bin/sh\necho %s\n' "$password" > "$work/pass"
chmod +x "$work/pass"

# Three mails per machine (tests/tools/fleet_mailbox.py bulk), each folder a mailbox.
for size in "$n" $((n / 4)); do
  python3 tests/tools/fleet_mailbox.py bulk "$work/m$size.mbox" 0 $((size / 3))
  deliver "$work/m$size.mbox" "M$size"
done

# One run: "seconds peak-KiB".
timed() {
  rm -f "$work/r.sqlite3" "$work/r.sqlite3-wal" "$work/r.sqlite3-shm"
  /usr/bin/time -f '%e %M' -o "$work/time" "$corvane" register --db "$work/r.sqlite3" add "$@" \
    >/dev/null 2>"$work/err" || fail "$* failed: $(cat "$work/err")"
  cat "$work/time"
}
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# Dovecot builds its index on the first read of a folder: that run is not counted.
for size in "$n" $((n / 4)); do
  timed --imap "imaps://support@127.0.0.1:$imaps_port/M$size" --cacert "$dovecot_cert" \
    --password-command "$work/pass" >/dev/null
done
for size in "$n" $((n / 4)); do
  imap=() mbox=() imap_peak=0 mbox_peak=0
  for run in $(seq "$runs"); do
    read -r seconds peak < <(timed --imap "imaps://support@127.0.0.1:$imaps_port/M$size" \
      --cacert "$dovecot_cert" --password-command "$work/pass")
    imap+=("$seconds"); imap_peak=$peak
    read -r seconds peak < <(timed --mailbox "$work/m$size.mbox")
    mbox+=("$seconds"); mbox_peak=$peak
  done
  i=$(printf '%s\n' "${imap[@]}" | median)
  m=$(printf '%s\n' "${mbox[@]}" | median)
  awk -v n="$size" -v i="$i" -v ip="$imap_peak" -v m="$m" -v mp="$mbox_peak" 'BEGIN {
    printf "%6d mails: --imap %6.2f s %7d KiB peak; --mailbox %6.2f s %7d KiB peak; ratio %.2f\n",
      n, i, ip, m, mp, i / m }'
done
