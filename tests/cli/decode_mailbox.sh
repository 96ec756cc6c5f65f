# corvane decode --mailbox on an mbox and a Maildir built here: attachments in base64,
# quoted-printable, 8 and 7 bit; names in RFC 2231 and RFC 2047; nested multiparts; a
# forwarded message; a malformed record; messages with no record or no attachment at all.
source "$(dirname "$0")/lib.sh"
command -v jq >/dev/null || { echo "SKIP: jq is not installed"; exit 77; }
module="$(dirname "$binary_under_test")/libcorvane-mailbox.so"
[ -f "$module" ] || fail "no mailbox module beside the binary"
cp "$module" "$work/app/"

rec1=$(printf '007011004006003WD-123 -1673912542PC-1PID-42ANA\r\n' | base64 -w 20)
bad=$(printf '0070x' | base64)
msg1() { cat <<EOF
From: =?UTF-8?Q?Zo=C3=AB_Lima?= <zoe@example.com>
To: support@example.com
Subject: report
Date: Tue, 1 Dec 2026 10:00:00 +0000
Message-ID: <one@example.com>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b1"

--b1
Content-Type: text/plain

>From the shop, here is the file.
--b1
Content-Type: application/octet-stream
Content-Disposition: attachment; filename="Lumbrook20261201PC-1.kik"
Content-Transfer-Encoding: base64

$rec1
--b1--
EOF
}
msg2() { cat <<'EOF'
From: Bea <bea@example.com>
Date: Wed, 2 Dec 2026 11:00:00 +0000
Message-ID: <two@example.com>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="outer"

--outer
Content-Type: multipart/alternative; boundary="alt"

--alt
Content-Type: text/plain

Hello
--alt
Content-Type: text/html

<p>Hello</p>
--alt--
--outer
Content-Type: multipart/mixed; boundary="inner"

--inner
Content-Type: application/octet-stream
Content-Disposition: attachment; filename*0*=UTF-8''Lumbrook%C3%89; filename*1=".kik"
Content-Transfer-Encoding: quoted-printable

007011004006004WD-456 +1234567890PC-=C3=89PID-43BEAT=0D=0A
--inner
Content-Type: text/plain; name="notes.txt"
Content-Disposition: attachment; filename="notes.txt"

not a record
--inner--
--outer--
EOF
}
msg3() { cat <<'EOF'
From: carl@example.com
Date: Thu, 3 Dec 2026 12:00:00 +0000
Message-ID: <three@example.com>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b3"

--b3
Content-Type: application/octet-stream; name="=?ISO-8859-1?Q?Lumbrook=E7.kik?="
Content-Transfer-Encoding: 8bit

006003004001003WD-789123PC-3PCAR
--b3--
EOF
}
msg4() { cat <<'EOF'
From: dora@example.com
Date: Fri, 4 Dec 2026 13:00:00 +0000
Message-ID: <four@example.com>
Content-Type: text/plain

No attachment here.
EOF
}
msg5() { cat <<EOF
From: eve@example.com
Date: Sat, 5 Dec 2026 14:00:00 +0000
Message-ID: <five@example.com>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b5"

--b5
Content-Type: text/plain

Forwarding two files.
--b5
Content-Type: message/rfc822

From: fred@example.com
Message-ID: <inner@example.com>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b6"

--b6
Content-Type: application/octet-stream; name="fwd.KIK"
Content-Transfer-Encoding: 7bit

001001001001001ABCDE
--b6--
--b5
Content-Type: application/octet-stream; name="BAD.kik"
Content-Transfer-Encoding: base64

$bad
--b5--
EOF
}

mbox="$work/inbox.mbox"
for m in 1 2 3 4 5; do
  echo "From sender@example.com Mon Dec  7 10:0$m:00 2026"
  msg$m
  echo
done >"$mbox"
mkdir -p "$work/Maildir/cur" "$work/Maildir/new" "$work/Maildir/tmp"
for m in 1 2 3; do msg$m >"$work/Maildir/cur/100$m.M1P1.host:2,S"; done
for m in 4 5; do msg$m >"$work/Maildir/new/100$m.M1P1.host"; done

expected='[["one@example.com","Zoë Lima <zoe@example.com>","Lumbrook20261201PC-1.kik","PC-1",null],
["two@example.com","Bea <bea@example.com>","LumbrookÉ.kik","PC-É",null],
["three@example.com","carl@example.com","Lumbrookç.kik","PC-3",null],
["five@example.com","eve@example.com","fwd.KIK","C",null],
["five@example.com","eve@example.com","BAD.kik",null,"the file is too short: 5 bytes, where the five length fields alone take 15"]]'
for box in "$mbox" "$work/Maildir"; do
  status=0
  "$corvane" decode --json --mailbox "$box" >"$work/out.json" 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "$box: status $status with a malformed record"
  got=$(jq -c '[.files[] | [.message_id, .from, .attachment, .computer_name, .error]]' "$work/out.json") ||
    fail "$box: not JSON: $(cat "$work/out.json")"
  [ "$got" = "$(jq -c . <<<"$expected")" ] || fail "$box: got $got"
  [ "$(jq -r '.messages[0].severity' "$work/out.json")" = error ] || fail "$box: no error message"
  [ ! -s "$work/err" ] || fail "$box: JSON mode wrote to stderr: $(cat "$work/err")"
done
[ "$(jq -r '.files[1] | [.path, .date, .volume_serial, .user_name] | @tsv' "$work/out.json")" = \
  "$work/Maildir/cur/1002.M1P1.host:2,S	Wed, 2 Dec 2026 11:00:00 +0000	+1234567890	BEAT" ] ||
  fail "Maildir entry: $(jq -c '.files[1]' "$work/out.json")"
# For support: the message's place in the mailbox, the dates in ISO 8601, what the disk
# identifier is, and how the messages fared.
got=$(jq -c '[.files[] | [.message_number, .date_iso, .report_date, .disk_identifier_kind, .encoding]]' "$work/out.json")
[ "$got" = '[[1,"2026-12-01T10:00:00+00:00","2026-12-01","serial","utf-8"],[2,"2026-12-02T11:00:00+00:00",null,"serial","utf-8"],[3,"2026-12-03T12:00:00+00:00",null,"serial","utf-8"],[5,"2026-12-05T14:00:00+00:00",null,"serial","utf-8"],[5,"2026-12-05T14:00:00+00:00",null,null,null]]' ] ||
  fail "support keys: $got"
[ "$(jq -r '.messages[] | select(.severity == "information") | .text' "$work/out.json")" = \
  "5 messages read: 3 with a report, 1 without one, 1 failed" ] || fail "summary: $(jq -c .messages "$work/out.json")"

# Text and CSV gain the message's columns; the malformed record is named on stderr.
status=0
out=$("$corvane" decode --mailbox "$mbox" 2>"$work/err") || status=$?
[ "$status" -eq 1 ] || fail "text: status $status"
expect_contains "$out" "$mbox
  message number:   3
  message id:       three@example.com
  from:             carl@example.com
  date:             Thu, 3 Dec 2026 12:00:00 +0000
  attachment:       Lumbrookç.kik
  disk identifier:  WD-789" "text"
expect_contains "$(cat "$work/err")" "message 5 <five@example.com>, attachment BAD.kik: the file is too short" "stderr"
expect_contains "$(cat "$work/err")" "5 messages read: 3 with a report, 1 without one, 1 failed" "summary"
expect_contains "$out" "  attachment:       BAD.kik
  error:            the file is too short" "failed attachment in text"
csv=$("$corvane" decode --csv --mailbox "$mbox" 2>/dev/null) && fail "csv: status 0"
[ "$(head -n 1 <<<"$csv")" = $'file,message_number,message_id,from,date,date_iso,attachment,source,report_date,encoding,disk_identifier,disk_identifier_kind,volume_serial,computer_name,product_id,user_name,error\r' ] ||
  fail "csv header: $(head -n 1 <<<"$csv")"
expect_contains "$csv" "$mbox,2,two@example.com,Bea <bea@example.com>,\"Wed, 2 Dec 2026 11:00:00 +0000\",2026-12-02T11:00:00+00:00,LumbrookÉ.kik,attachment,,utf-8,\"WD-456 \",serial,+1234567890,PC-É," "csv row"
expect_contains "$csv" "$mbox,5,five@example.com,eve@example.com,\"Sat, 5 Dec 2026 14:00:00 +0000\",2026-12-05T14:00:00+00:00,BAD.kik,attachment,,,,,,,,,\"the file is too short" "csv failed row"

# A message longer than the structure scan's 64 kB buffer is parsed from the file, a shorter
# one from the scan's copy: both give their record, in an mbox and in a Maildir.
long_msg() {
  FILLER=$(head -c 70000 /dev/zero | tr '\0' x | fold -w 76) \
    awk '{ print } /^>From the shop/ { print ENVIRON["FILLER"] }' <(msg1)
}
{
  echo "From a@example.com Mon Dec  7 10:00:00 2026"; long_msg; echo
  echo "From a@example.com Mon Dec  7 10:01:00 2026"; msg1; echo
} >"$work/long.mbox"
mkdir -p "$work/LongDir/cur" "$work/LongDir/new"
long_msg >"$work/LongDir/cur/1001.M1P1.host:2,S"
msg1 >"$work/LongDir/cur/1002.M1P1.host:2,S"
[ "$(stat -c %s "$work/LongDir/cur/1001.M1P1.host:2,S")" -gt 65536 ] || fail "the long message is short"
for box in "$work/long.mbox" "$work/LongDir"; do
  got=$("$corvane" decode --json --mailbox "$box" | jq -c '[.files[] | [.message_number, .computer_name, .error]]') ||
    fail "$box: long message"
  [ "$got" = '[[1,"PC-1",null],[2,"PC-1",null]]' ] || fail "$box: a long and a short message: $got"
done

# Many messages are read by several threads at once and still come out in mailbox order,
# each with its own attachments: short ones, long ones (read from the file, each in its
# turn), and one whose attachments pass a megabyte (handed on while it is read).
numbered_msg() { # number, filler bytes, big attachments
  printf 'From: a@example.com\nMessage-ID: <%d@example.com>\nMIME-Version: 1.0\n' "$1"
  printf 'Content-Type: multipart/mixed; boundary="b"\n\n--b\nContent-Type: text/plain\n\n'
  head -c "$2" /dev/zero | tr '\0' x | fold -w 76
  printf '\n--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n'
  printf 'Content-Disposition: attachment; filename="R%d.kik"\n\n' "$1"
  printf '007011006006003WD-123 -1673912542PC-%03dPID-42ANA\r\n' "$1" | base64
  for ((k = 1; k <= $3; k++)); do
    printf -- '--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n'
    printf 'Content-Disposition: attachment; filename="big%d.kik"\n\n' "$k"
    head -c 700000 /dev/zero | base64
  done
  echo "--b--"
}
expected="["
for ((n = 1; n <= 150; n++)); do
  filler=0 big=0
  ((n % 15 == 7)) && filler=70000
  ((n == 50)) && big=3
  echo "From a@example.com Mon Dec  7 10:00:00 2026"
  numbered_msg "$n" "$filler" "$big"
  echo
  expected+="[$n,\"PC-$(printf %03d "$n")\"],"
  ((n == 50)) && expected+="[50,null],[50,null],[50,null],"
done >"$work/many.mbox"
expected="${expected%,}]"
got=$("$corvane" decode --json --mailbox "$work/many.mbox" |
  jq -c '[.files[] | [.message_number, .computer_name]]') || true
[ "$got" = "$expected" ] || fail "many messages, in order: $got"

# Nothing to decode is said, and is no failure; what is not a mailbox is one.
msg4 | sed '1i From x@example.com Mon Dec  7 10:00:00 2026' >"$work/plain.mbox"
"$corvane" decode --mailbox "$work/plain.mbox" 2>"$work/err" || fail "no attachment: status $?"
expect_contains "$(cat "$work/err")" "no message has an attachment ending in .kik" "none found"
msg4 >"$work/not-mbox"
printf 'one line' >"$work/one-line"
for other in not-mbox one-line; do
  status=0
  "$corvane" decode --json --mailbox "$work/$other" >"$work/out.json" || status=$?
  [ "$status" -eq 1 ] || fail "$other: status $status"
  expect_contains "$(jq -r '.messages[0].text' "$work/out.json")" "not an mbox file" "$other"
done
echo "decode_mailbox: ok"
