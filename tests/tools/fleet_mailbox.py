#!/usr/bin/env python3
"""Mailboxes of reports from a fleet, for the register's tests.

fleet_mailbox.py scenario MBOX: a small fleet over December 2026: a disk replaced (PC-1), a
  reinstall (PC-2), a rename and another user (PC-3), two PCs from one cloned image (PC-4,
  PC-5), PC-1's old disk in a new PC-9, PC-4's disk moved into PC-2 (a conflict), one mail
  saved twice and one damaged record.
fleet_mailbox.py bulk MBOX FIRST LAST: machines FIRST to LAST-1, three reports each (one
  renamed, one of another user), so that overlapping ranges share messages.
"""
import base64
import sys


def record(values):
    return "".join(f"{len(v) % 1000:03d}" for v in values) + "".join(values) + "\r\n"


def message(mid, date, day, computer, content, sender="Shop <shop@example.com>"):
    encoded = base64.encodebytes(content.encode()).decode()
    return (f"From shop@example.com Mon Dec  7 10:00:00 2026\n"
            f"From: {sender}\nTo: support@example.com\nSubject: machine information\n"
            f"Date: {date}\nMessage-ID: <{mid}>\nMIME-Version: 1.0\n"
            "Content-Type: multipart/mixed; boundary=\"part\"\n\n"
            "--part\nContent-Type: text/plain\n\nAttached.\n"
            "--part\nContent-Type: application/octet-stream\n"
            f"Content-Disposition: attachment; filename=\"Lumbrook202612{day:02d}{computer}.kik\"\n"
            f"Content-Transfer-Encoding: base64\n\n{encoded}--part--\n\n")


SCENARIO = [  # message id, day, values
    ("pc1-a", 1, ["WD-AAA1", "1111", "PC-1", "PID-1", "ANA"]),
    ("pc2-a", 1, ["WD-CCC3", "2222", "PC-2", "PID-2", "BEA"]),
    ("pc3-a", 2, ["WD-DDD4", "4444", "PC-3", "PID-3", "CARL"]),
    ("pc4-a", 3, ["SN-44", "5555", "PC-4", "PID-VL", "AULA"]),
    ("pc5-a", 3, ["SN-55", "5555", "PC-5", "PID-VL", "AULA"]),
    ("pc1-a", 1, ["WD-AAA1", "1111", "PC-1", "PID-1", "ANA"]),  # the same mail saved twice
    ("pc1-b", 5, ["ST-BBB2", "1111", "PC-1", "PID-1", "ANA"]),
    ("pc2-b", 6, ["WD-CCC3", "3333", "PC-2", "PID-2R", "BEA"]),
    ("pc3-b", 7, ["WD-DDD4", "4444", "LAB-3", "PID-3", "CARL"]),
    ("pc9-a", 8, ["WD-AAA1", "9999", "PC-9", "PID-9", "FER"]),
    ("pc2-c", 9, ["SN-44", "3333", "PC-2", "PID-2R", "BEA"]),
    ("pc3-c", 10, ["WD-DDD4", "4444", "LAB-3", "PID-3", "DANI"]),
    ("bad", 11, None),
]


def main():
    kind, path = sys.argv[1], sys.argv[2]
    with open(path, "w") as f:
        if kind == "scenario":
            for mid, day, values in SCENARIO:
                content = record(values) if values else "0070x"
                f.write(message(f"{mid}@example.com", f"Tue, {day} Dec 2026 10:00:00 +0000", day,
                                values[2] if values else "PC-X", content))
        else:
            for i in range(int(sys.argv[3]), int(sys.argv[4])):
                for n, (name, user) in enumerate([(f"PC-{i}", "ANA"), (f"LAB-{i}", "ANA"),
                                                   (f"LAB-{i}", "BEA")]):
                    values = [f"WD-{i:06d}", str(1000 + i), name, f"PID-{i}", user]
                    f.write(message(f"{i}-{n}@example.com", "Tue, 1 Dec 2026 10:00:00 +0000",
                                    n + 1, name, record(values)))


if __name__ == "__main__":
    main()
