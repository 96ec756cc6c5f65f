#!/usr/bin/env bash
# corvane.exe decode through the standard streams under Wine: a record from standard input
# keeps its CR LF, and each CSV line ends in one CR LF. Usage: decode_streams.sh corvane.exe
set -euo pipefail
exe=$1
command -v wine >/dev/null || { echo "SKIPPED: wine is not installed"; exit 77; }
expected=$'file,disk_identifier,volume_serial,computer_name,product_id,user_name\r\n\'-,A,B,C,D,E\r\n'
got=$(printf '001001001001001ABCDE\r\n' | wine "$exe" decode --csv - | od -An -c)
[ "$got" = "$(printf '%s' "$expected" | od -An -c)" ] || { echo "FAIL: $got"; exit 1; }
echo "PASS"
