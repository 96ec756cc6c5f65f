#!/usr/bin/env python3
"""Reports whose values a database may not keep as they are, for the register's tests.

hard_values.py FOLDER: writes into FOLDER/in a product id of 2,800 characters that do not
  compress, a computer name of 999 emoji, a file whose name is not UTF-8, two disks that
  differ only after a NUL byte ("WD\\0A", "WD\\0B") and a user name that begins with \\x01
  and holds '%'; and into FOLDER/check copies of the two NUL reports under other names.
"""
import os
import random
import sys


def record(values):
    chars = [v.decode("utf-8", "surrogateescape") for v in values]
    return ("".join(f"{len(c) % 1000:03d}" for c in chars).encode()
            + b"".join(values) + b"\r\n")


def main():
    folder = os.fsencode(sys.argv[1])
    rng = random.Random(31)
    long_product = "".join(rng.choice("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789") for _ in range(2800))
    emoji = "".join(chr(rng.randrange(0x1F300, 0x1FAF0)) for _ in range(999))
    reports = {
        b"Lumbrook20261201PC-LONG.kik": [b"WD-LONG1", b"1111", b"PC-LONG", long_product.encode(), b"ANA"],
        b"Lumbrook20261202EMOJI.kik": [b"WD-EMOJI", b"2222", emoji.encode(), b"P-EMOJI", b"BEA"],
        b"Lumbrook20261203PC-\xe9T\xe9.kik": [b"WD-LATIN", b"3333", b"PC-ETE", b"P-LATIN", b"CAS"],
        b"Lumbrook20261204PC-NULA.kik": [b"WD\x00A", b"4444", b"PC-NULA", b"P-NA", b"\x01NUL%41"],
        b"Lumbrook20261205PC-NULB.kik": [b"WD\x00B", b"5555", b"PC-NULB", b"P-NB", b"LUN"],
    }
    for sub in (b"in", b"check"):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    for name, values in reports.items():
        with open(os.path.join(folder, b"in", name), "wb") as f:
            f.write(record(values))
    for name, copy in ((b"Lumbrook20261204PC-NULA.kik", b"Lumbrook20261210PC-NULA.kik"),
                       (b"Lumbrook20261205PC-NULB.kik", b"Lumbrook20261210PC-NULB.kik")):
        with open(os.path.join(folder, b"check", copy), "wb") as f:
            f.write(record(reports[name]))


if __name__ == "__main__":
    main()
