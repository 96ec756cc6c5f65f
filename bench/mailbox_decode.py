#!/usr/bin/env python3
"""The comparison for `corvane decode --mailbox`: the same work with Python's standard library.

Walks every message of an mbox with `mailbox` and `email`, decodes every attachment whose
name ends in .kik (any case) and prints its five values as CSV, cut by the record's length
fields (UTF-8 characters; bytes read as Latin-1 when the record is not UTF-8).
Usage: bench/mailbox_decode.py MBOX
"""
import csv
import email
import email.policy
import mailbox
import sys


def decode(data):
    if data.endswith(b"\r\n"):
        data = data[:-2]
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("latin-1")
    if len(text) < 15 or not text[:15].isdigit():
        return None
    lengths = [int(text[i:i + 3]) for i in range(0, 15, 3)]
    values, at = [], 15
    for n in lengths:
        values.append(text[at:at + n])
        at += n
    return values if at == len(text) else None


def main():
    box = mailbox.mbox(sys.argv[1], factory=lambda f: email.message_from_binary_file(
        f, policy=email.policy.default), create=False)
    out = csv.writer(sys.stdout, lineterminator="\r\n")
    status = 0
    for message in box:
        for part in message.walk():
            name = part.get_filename()
            if not name or not name.lower().endswith(".kik"):
                continue
            values = decode(part.get_payload(decode=True) or b"")
            if values is None:
                status = 1
                continue
            out.writerow([message["Message-ID"], name] + values)
    return status


if __name__ == "__main__":
    sys.exit(main())
