#!/usr/bin/env python3
"""Writes an mbox of good and hostile messages, in the order given.

Usage: hostile_mail.py MBOX KIND...
Every record found in message number I (from 1) names the computer PC-I.
  good       a message with one .kik attachment
  parts:N    a message of N empty MIME parts
  kiks:N     a message of N .kik attachments
  nest:N     a .kik attachment below N nested multiparts
  fwd:N      a .kik attachment below N forwarded messages, one in the other
  total:N    a message of N MIME parts in all (itself and the .kik among them)
  wide:S[:N] total:N (3 by default) under a Content-Type header of S bytes on one line,
             whose boundary parameter comes last
  folded:S[:N]  the same with the header folded over lines of about 1,000 bytes
  digest:N   a multipart/digest whose one entry, without a Content-Type of its own, is a
             message of parts; N MIME parts in all, the digest and the entry counted
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


def wide_type(size, fold):
    """A multipart Content-Type header of `size` bytes (its line breaks not counted), padded
    before its boundary parameter."""
    head, tail = "Content-Type: multipart/mixed;", ' boundary="b"'
    pad = size - len(head) - len(tail)
    if not fold:
        return head + ' x-pad="%s";' % ("p" * (pad - len(' x-pad="";'))) + tail
    lines = [head]
    while pad > 0:
        # Each folded line: a blank, x-pN="...", and a ";".
        take = min(1000, pad)
        if pad - take and pad - take < 16:
            take = pad - 16
        name = "x-p%d" % len(lines)
        lines.append(' %s="%s";' % (name, "p" * (take - len(name) - 5)))
        pad -= take
    return "\n".join(lines) + "\n" + tail


def parts(i, total):
    """The parts of a multipart with boundary "b" that make `total` MIME parts in all with
    the entity holding them: empty ones, then the .kik."""
    return "--b\n\n" * (total - 2) + "--b\n" + kik("Lumbrook%d.kik" % i, i) + "--b--\n"


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
    elif kind == "total":
        out.write(headers(i, 'multipart/mixed; boundary="b"') + parts(i, n))
    elif kind in ("wide", "folded"):
        size, _, total = n.partition(":")
        text = headers(i, "text/plain").replace("Content-Type: text/plain",
                                                  wide_type(int(size), kind == "folded"))
        out.write(text + parts(i, int(total or 3)))
    elif kind == "digest":
        out.write(headers(i, 'multipart/digest; boundary="d"'))
        out.write('--d\n\nFrom: inner%d@example.com\nMIME-Version: 1.0\n'
                  'Content-Type: multipart/mixed; boundary="b"\n\n' % i)
        out.write(parts(i, n - 2) + "--d--\n")
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
            write(out, i, kind, n if kind in ("wide", "folded") else int(n or 0))


if __name__ == "__main__":
    main()
