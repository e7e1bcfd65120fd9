#!/usr/bin/env python3
"""Checks the release zip: the files a user needs and nothing else, the DLL inside
the very one built, the guide's pictures present, the reference of this version,
and the packing reproducible (packing the same files again gives the same bytes).

    check_dist.py ZIP BUILT_DLL VERSION
"""

import io
import os
import re
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
import package  # noqa: E402

EXPECTED = {"Kestrom_Vandu.dll", "checked/Kestrom_Vandu.dll", "README.txt", "commands.md", "guide.md", "accuracy.md",
            "pictures/blends.png", "pictures/curves.png", "pictures/frustum.png"}


def fail(what):
    sys.exit(f"check_dist: {what}")


def main():
    zip_path, dll_path, version = sys.argv[1], sys.argv[2], sys.argv[3]
    with open(zip_path, "rb") as f:
        packed = f.read()
    z = zipfile.ZipFile(io.BytesIO(packed))
    names = set(z.namelist())
    if names != EXPECTED:
        fail(f"the zip holds {sorted(names)}, not {sorted(EXPECTED)}")
    if z.testzip() is not None:
        fail("a damaged entry")
    with open(dll_path, "rb") as f:
        if z.read("Kestrom_Vandu.dll") != f.read():
            fail("the DLL in the zip is not the one built")
    for dll in ("Kestrom_Vandu.dll", "checked/Kestrom_Vandu.dll"):
        if not z.read(dll).startswith(b"MZ"):
            fail(f"{dll} is not a Windows image")
    reference = z.read("commands.md").decode("utf-8")
    if f"Version {version}." not in reference:
        fail("the command reference is not of this version")
    guide = z.read("guide.md").decode("utf-8")
    for picture in re.findall(r"\]\((pictures/[^)]+)\)", guide):
        if picture not in names:
            fail(f"the guide shows {picture}, which the zip lacks")
    for picture in (n for n in names if n.endswith(".png")):
        if not z.read(picture).startswith(b"\x89PNG"):
            fail(f"{picture} is not a PNG picture")
    # Packing the same files again gives the same bytes.
    with tempfile.TemporaryDirectory() as folder:
        entries = []
        for name in sorted(names):
            path = os.path.join(folder, name.replace("/", "_"))
            with open(path, "wb") as f:
                f.write(z.read(name))
            entries.append((name, path))
        again = os.path.join(folder, "again.zip")
        package.pack(again, entries)
        with open(again, "rb") as f:
            if f.read() != packed:
                fail("packing the same files again gives other bytes")
    print(f"{zip_path}: {len(names)} files, the DLL as built, packed reproducibly ({len(packed)} bytes)")


if __name__ == "__main__":
    main()
