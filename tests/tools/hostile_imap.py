#!/usr/bin/env python3
"""A hostile IMAP server on 127.0.0.1, plain text, one session at a time, for the limits of
`register add --imap`. It logs anyone in, lists a flood of UIDs, and answers a fetch with:

  literal   a literal that announces a terabyte and sends bytes until the client leaves
  line      a line that never ends
  good      a real message with one .kik attachment (so the flood is read message by message)

Usage: hostile_imap.py PORTFILE UIDS KIND...: writes its port to PORTFILE; message UID n gets
KIND number n (the last for all after). Runs until it is killed.
"""
import base64
import socket
import sys


def message(uid):
    values = ["WD-%d" % uid, "1", "PC-%d" % uid, "PID-%d" % uid, "ANA"]
    record = "".join("%03d" % len(v) for v in values) + "".join(values) + "\r\n"
    data = base64.encodebytes(record.encode()).decode().replace("\n", "\r\n")
    return ("From: shop@example.com\r\nMessage-ID: <%d@example.com>\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
            "Content-Type: application/octet-stream\r\n"
            "Content-Disposition: attachment; filename=\"Lumbrook20261201PC-%d.kik\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n%s--b--\r\n" % (uid, uid, data)).encode()


def session(conn, uids, kinds):
    out = conn.makefile("wb", buffering=1 << 16)
    lines = conn.makefile("rb")
    out.write(b"* OK hostile ready\r\n")
    out.flush()
    chunk = b"x" * 65536
    for raw in lines:
        tag, _, command = raw.decode().strip().partition(" ")
        verb = command.split(" ")[0].upper()
        if verb == "CAPABILITY":
            out.write(b"* CAPABILITY IMAP4rev1\r\n")
        elif verb == "EXAMINE":
            out.write(b"* OK [UIDVALIDITY 7] UIDs valid\r\n")
        elif command.upper().startswith("UID FETCH") and "RFC822.SIZE" in command.upper():
            for uid in range(1, uids + 1):
                out.write(b"* %d FETCH (UID %d RFC822.SIZE 900)\r\n" % (uid, uid))
        elif command.upper().startswith("UID FETCH"):
            uid = int(command.split(" ")[2])
            kind = kinds[min(uid, len(kinds)) - 1]
            if kind == "good":
                body = message(uid)
                out.write(b"* %d FETCH (UID %d BODY[] {%d}\r\n" % (uid, uid, len(body)) + body +
                          b")\r\n")
            else:
                out.write(b"* %d FETCH (UID %d BODY[] {1000000000000}\r\n" % (uid, uid)
                          if kind == "literal" else b"* %d FETCH (UID %d " % (uid, uid))
                try:
                    while True:
                        out.write(chunk)
                except OSError:
                    return
        elif verb == "LOGOUT":
            out.write(b"* BYE\r\n%s OK\r\n" % tag.encode())
            out.flush()
            return
        out.write(b"%s OK done\r\n" % tag.encode())
        out.flush()


def main():
    port_file, uids, kinds = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    server = socket.create_server(("127.0.0.1", 0))
    with open(port_file, "w") as f:
        f.write(str(server.getsockname()[1]))

    while True:
        conn, _ = server.accept()
        try:
            session(conn, uids, kinds)
        except OSError:
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
