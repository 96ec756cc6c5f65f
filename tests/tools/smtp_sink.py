"""An SMTP server on a free loopback port that keeps what it receives, for the tests.

Prints the port on its first output line, then serves until its standard input closes.
Each message N is kept in FOLDER as N.eml (as received), N.rcpt (the envelope's
recipients, one a line), and, as Python's own e-mail parser reads it, N.from, N.to,
N.subject, N.date (the Date header as an ISO date, empty when it does not parse),
N.message_id, N.mime_version, N.text (the plain-text body) and, for each attachment K,
N.K.name and N.K.data. A header that is missing gives an empty file.
"""

import asyncio
import email
import email.policy
import logging
import os
import sys

from aiosmtpd.smtp import SMTP


class Keep:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def write(self, name, data):
        path = os.path.join(self.folder, name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.rename(path + ".part", path)

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        n = str(self.count)
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        self.write(n + ".rcpt", "".join(r + "\n" for r in envelope.rcpt_tos).encode())
        for header in ("From", "To", "Subject", "Message-ID", "MIME-Version"):
            value = message[header]
            name = header.lower().replace("-", "_")
            self.write(n + "." + name, ("" if value is None else str(value)).encode())
        date = message["Date"]
        when = getattr(date, "datetime", None) if date is not None else None
        self.write(n + ".date", (when.isoformat() if when else "").encode())
        body = message.get_body(preferencelist=("plain",))
        self.write(n + ".text", (body.get_content() if body else "").encode())
        for k, part in enumerate(message.iter_attachments(), 1):
            self.write("%s.%d.name" % (n, k), (part.get_filename() or "").encode())
            self.write("%s.%d.data" % (n, k), part.get_payload(decode=True) or b"")
        # The raw message last: its presence says the rest is complete.
        self.write(n + ".eml", raw)
        return "250 Message accepted"


async def serve(folder):
    loop = asyncio.get_running_loop()
    handler = Keep(folder)
    server = await loop.create_server(lambda: SMTP(handler), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    logging.disable(logging.CRITICAL)
    asyncio.run(serve(sys.argv[1]))
