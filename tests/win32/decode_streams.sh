#!/usr/bin/env bash
# corvane.exe decode through the standard streams under Wine: a record from standard input
# keeps its CR LF, and each CSV line ends in one CR LF; the register, which the Windows
# program does not keep, is refused with status 1. Usage: decode_streams.sh corvane.exe
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
exe=$1
command -v wine >/dev/null || { echo "SKIPPED: wine is not installed"; exit 77; }
expected=$'file,report_date,encoding,disk_identifier,disk_identifier_kind,volume_serial,computer_name,product_id,user_name,error\r\n\'-,,utf-8,A,serial,B,C,D,E,\r\n'
got=$(printf '001001001001001ABCDE\r\n' | wine "$exe" decode --csv - | od -An -c)
[ "$got" = "$(printf '%s' "$expected" | od -An -c)" ] || { echo "FAIL: $got"; exit 1; }
# A record the Windows program wrote in code page 1252 reads as the same letters.
got=$(printf '000001000000004\x30JO\xc3O\r\n' | wine "$exe" decode --json - | tr -d '\r' |
  sed -n 's/^ *"\(encoding\|user_name\)": "\(.*\)",*$/\2/p' | tr '\n' ' ')
[ "$got" = "windows-1252 JOÃO " ] || { echo "FAIL: code page 1252: $got"; exit 1; }
set +e
said=$(printf '001001001001001ABCDE\r\n' | wine "$exe" register add - 2>&1)
status=$?
set -e
[ "$status" = 1 ] || { echo "FAIL: register add under Wine: status $status"; exit 1; }
case "$said" in *"the Windows program keeps no register"*) ;; *) echo "FAIL: $said"; exit 1;; esac
echo "PASS"
