#!/usr/bin/env python3
"""Writes an mbox of good and hostile messages, in the order given.

Usage: hostile_mail.py MBOX KIND...
Every record found in message number I (from 1) names the computer PC-I.
  good       a message with one .kik attachment
  parts:N    a message of N empty MIME parts
  kiks:N     a message of N .kik attachments
  nest:N     a .kik attachment below N nested multiparts
  fwd:N      a .kik attachment below N forwarded messages, one in the other
"""
import base64
import sys


def record(n):
    values = ["WD-%d" % n, "-1673912542", "PC-%d" % n, "PID-42", "ANA"]
    return "".join("%03d" % len(v) for v in values) + "".join(values) + "\r\n"


def kik(name, n):
    data = base64.encodebytes(record(n).encode()).decode()
    return ("Content-Type: application/octet-stream\n"
            'Content-Disposition: attachment; filename="%s"\n'
            "Content-Transfer-Encoding: base64\n\n%s" % (name, data))


def headers(i, body_type):
    return ("From: Shop %d <shop%d@example.com>\nDate: Mon, 7 Dec 2026 10:00:00 +0000\n"
            "Message-ID: <%d@example.com>\nMIME-Version: 1.0\nContent-Type: %s\n\n"
            % (i, i, i, body_type))


def write(out, i, kind, n):
    out.write("From shop%d@example.com Mon Dec  7 10:00:00 2026\n" % i)
    if kind == "good":
        out.write(headers(i, 'multipart/mixed; boundary="b"'))
        out.write("--b\nContent-Type: text/plain\n\nThe file.\n--b\n")
        out.write(kik("Lumbrook%d.kik" % i, i) + "--b--\n")
    elif kind in ("parts", "kiks"):
        out.write(headers(i, 'multipart/mixed; boundary="b"'))
        part = "--b\n\n" if kind == "parts" else "--b\n" + kik("x.kik", i)
        chunk = part * 1000
        for _ in range(n // 1000):
            out.write(chunk)
        out.write(part * (n % 1000) + "--b--\n")
    elif kind == "nest":
        out.write(headers(i, 'multipart/mixed; boundary="n0"'))
        for level in range(1, n):
            out.write('--n%d\nContent-Type: multipart/mixed; boundary="n%d"\n\n' % (level - 1, level))
        out.write("--n%d\n%s" % (n - 1, kik("deep.kik", i)))
        for level in reversed(range(n)):
            out.write("--n%d--\n" % level)
    elif kind == "fwd":
        out.write(headers(i, "message/rfc822"))
        for level in range(1, n):
            out.write("From: f%d@example.com\nMIME-Version: 1.0\n"
                      "Content-Type: message/rfc822\n\n" % level)
        out.write('MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="f"\n\n'
                  "--f\n%s--f--\n" % kik("forwarded.kik", i))
    else:
        sys.exit("unknown kind " + kind)
    out.write("\n")


def main():
    with open(sys.argv[1], "w") as out:
        for i, spec in enumerate(sys.argv[2:], start=1):
            kind, _, n = spec.partition(":")
            write(out, i, kind, int(n or 0))


if __name__ == "__main__":
    main()
