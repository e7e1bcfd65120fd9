#!/usr/bin/env python3
"""Packs the release zip reproducibly: entries in name order, each with the same
fixed time stamp and permissions, so that the same files give the same bytes.
Every entry sits in one top-level folder, FOLDER/.

    package.py OUT.zip FOLDER NAME_IN_ZIP=PATH ...
"""

import sys
import zipfile

FIXED_TIME = (2026, 1, 1, 0, 0, 0)


def pack(out, entries):
    with zipfile.ZipFile(out, "w") as z:
        for name, path in sorted(entries):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            info.create_system = 3
            with open(path, "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)


def main():
    folder = sys.argv[2].strip("/")
    entries = [(f"{folder}/{name}", path) for name, path in (arg.split("=", 1) for arg in sys.argv[3:])]
    pack(sys.argv[1], entries)


if __name__ == "__main__":
    main()
