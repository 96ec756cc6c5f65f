#!/usr/bin/env python3
"""Writes an mbox of the messages that mail programs and webmail make of a mailto: link's body.

Usage: mail_link_mbox.py LINK_FILE REPORT_FILE MBOX KIND...
LINK_FILE holds the link as the mail program got it; REPORT_FILE is the report file itself
(attached where a kind attaches it). One message per KIND, in order:
  plain        the body as it is, 7bit
  wrap         wrapped at 76 columns, long words kept whole
  wrap-break   wrapped at 76 columns, long words broken
  qp           quoted-printable, in UTF-8
  base64       base64, in UTF-8
  html         text/html alone, one <div> a line, spaces as &nbsp;, quoted-printable
  alternative  multipart/alternative of the wrapped text and the HTML
  reply        quoted with "> " under a reply's own text, flowed as a reply is
  forward      forwarded inline, below a forward's own header lines
  rfc822       forwarded as an attached message (message/rfc822)
  both         the text and the report file attached: one report
  damaged      the text with one line of digits lost
"""
import email.message
import email.policy
import html
import sys
import textwrap
import urllib.parse


def link_parts(link):
    scheme, rest = link.split(":", 1)
    assert scheme == "mailto", link
    address, query = rest.split("?", 1)
    fields = {}
    for pair in query.split("&"):
        name, value = pair.split("=", 1)
        # RFC 6068: no "+" for a space, so unquote, not unquote_plus.
        fields[name] = urllib.parse.unquote(value, errors="strict")
    return urllib.parse.unquote(address), fields["subject"], fields["body"]


def wrapped(text, break_long_words):
    lines = []
    for line in text.split("\n"):
        lines += textwrap.wrap(line, 76, break_long_words=break_long_words) or [""]
    return "\n".join(lines)


def as_html(text):
    return "<html><body><div dir=\"ltr\">" + "".join(
        "<div>" + (html.escape(line).replace(" ", "&nbsp;") or "<br>") + "</div>\n"
        for line in text.split("\n")) + "</div></body></html>\n"


def message(number, subject, address):
    msg = email.message.EmailMessage(policy=email.policy.SMTP)
    msg["From"] = "Ana <ana@example.com>"
    msg["To"] = address
    msg["Subject"] = subject
    msg["Date"] = "Mon, 7 Dec 2026 10:00:00 +0000"
    msg["Message-ID"] = "<link-%d@example.com>" % number
    return msg


def simple(number, subject, address, text, cte, subtype="plain"):
    msg = message(number, subject, address)
    msg.set_content(text, subtype=subtype, charset="utf-8", cte=cte)
    return msg


def build(kind, number, address, subject, body, report):
    if kind == "plain":
        return simple(number, subject, address, body, "8bit")
    if kind == "wrap":
        return simple(number, subject, address, wrapped(body, False), "8bit")
    if kind == "wrap-break":
        return simple(number, subject, address, wrapped(body, True), "8bit")
    if kind == "qp":
        return simple(number, subject, address, body, "quoted-printable")
    if kind == "base64":
        return simple(number, subject, address, body, "base64")
    if kind == "html":
        return simple(number, subject, address, as_html(body), "quoted-printable", "html")
    if kind == "alternative":
        msg = simple(number, subject, address, wrapped(body, False), "8bit")
        msg.add_alternative(as_html(body), subtype="html", charset="utf-8", cte="quoted-printable")
        return msg
    if kind == "reply":
        quoted = "\n".join(("> " + line).rstrip() for line in wrapped(body, False).split("\n"))
        text = "Sent, thanks.\n\nOn Mon, 7 Dec 2026, Ana wrote:\n" + quoted + "\n"
        return simple(number, "Re: " + subject, address, text, "quoted-printable")
    if kind == "forward":
        text = ("Please look at this.\n\n---------- Forwarded message ---------\n"
                "From: Ana <ana@example.com>\nSubject: %s\n\n%s" % (subject, body))
        return simple(number, "Fwd: " + subject, address, text, "8bit")
    if kind == "rfc822":
        msg = simple(number, "Fwd: " + subject, address, "See the attached message.\n", "7bit")
        msg.add_attachment(build("qp", number + 1000, address, subject, body, report))
        return msg
    if kind == "both":
        msg = simple(number, subject, address, body, "8bit")
        msg.add_attachment(report, maintype="application", subtype="octet-stream",
                           filename=subject)
        return msg
    if kind == "damaged":
        lines = body.split("\n")
        begin = lines.index("corvane-report-begin")
        del lines[begin + 2]
        return simple(number, subject, address, "\n".join(lines), "8bit")
    raise SystemExit("unknown kind " + kind)


def main():
    link_file, report_file, mbox, *kinds = sys.argv[1:]
    with open(link_file, encoding="ascii") as f:
        address, subject, body = link_parts(f.read().strip())
    body = body.replace("\r\n", "\n")
    with open(report_file, "rb") as f:
        report = f.read()
    with open(mbox, "wb") as out:
        for number, kind in enumerate(kinds, 1):
            msg = build(kind, number, address, subject, body, report)
            out.write(b"From ana@example.com Mon Dec  7 10:00:00 2026\n")
            data = msg.as_bytes(policy=email.policy.SMTP.clone(linesep="\n"))
            # mboxrd: a line starting "From " in the text is quoted
            out.write(data.replace(b"\nFrom ", b"\n>From "))
            out.write(b"\n")


if __name__ == "__main__":
    main()
