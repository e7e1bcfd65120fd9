#!/usr/bin/env python3
"""Checks the release zip: the files a user needs and nothing else, all in the
one folder Kestrom_Vandu-VERSION/, the DLL inside the very one built, every file
the guide and the read-me point to present, the reference and the change log of
this version, and the packing reproducible (packing the same files again gives
the same bytes).

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

EXPECTED = {"Kestrom_Vandu.dll", "checked/Kestrom_Vandu.dll", "README.txt", "CHANGELOG.md", "commands.md", "commands.html",
            "guide.md", "guide.html", "accuracy.md", "pictures/blends.png", "pictures/curves.png", "pictures/frustum.png"}


def fail(what):
    sys.exit(f"check_dist: {what}")


def main():
    zip_path, dll_path, version = sys.argv[1], sys.argv[2], sys.argv[3]
    with open(zip_path, "rb") as f:
        packed = f.read()
    z = zipfile.ZipFile(io.BytesIO(packed))
    folder = f"Kestrom_Vandu-{version}/"
    if not all(n.startswith(folder) for n in z.namelist()):
        fail(f"not every entry is in the folder {folder}")
    names = {n[len(folder):] for n in z.namelist()}
    if names != EXPECTED:
        fail(f"the zip holds {sorted(names)}, not {sorted(EXPECTED)}")

    def read(name):
        return z.read(folder + name)

    if z.testzip() is not None:
        fail("a damaged entry")
    with open(dll_path, "rb") as f:
        if read("Kestrom_Vandu.dll") != f.read():
            fail("the DLL in the zip is not the one built")
    for dll in ("Kestrom_Vandu.dll", "checked/Kestrom_Vandu.dll"):
        if not read(dll).startswith(b"MZ"):
            fail(f"{dll} is not a Windows image")
    for reference in ("commands.md", "commands.html"):
        if f"Version {version}" not in read(reference).decode("utf-8"):
            fail(f"{reference} is not of this version")
    if f"## {version}" not in read("CHANGELOG.md").decode("utf-8"):
        fail("the change log has no entry for this version")
    for doc in ("guide.md", "README.txt", "guide.html", "commands.html", "commands.md"):
        text = read(doc).decode("utf-8")
        targets = re.findall(r"\]\(([^)#:]+)(?:#[^)]*)?\)", text) + re.findall(r"^(\S+\.(?:md|html|dll))\s", text, re.M)
        targets += re.findall(r'(?:href|src)="([^"#:]+)(?:#[^"]*)?"', text)
        for target in targets:
            if target not in names:
                fail(f"{doc} points to {target}, which the zip lacks")
    for picture in (n for n in names if n.endswith(".png")):
        if not read(picture).startswith(b"\x89PNG"):
            fail(f"{picture} is not a PNG picture")
    # Packing the same files again gives the same bytes.
    with tempfile.TemporaryDirectory() as scratch:
        entries = []
        for name in sorted(z.namelist()):
            path = os.path.join(scratch, name.replace("/", "_"))
            with open(path, "wb") as f:
                f.write(z.read(name))
            entries.append((name, path))
        again = os.path.join(scratch, "again.zip")
        package.pack(again, entries)
        with open(again, "rb") as f:
            if f.read() != packed:
                fail("packing the same files again gives other bytes")
    print(f"{zip_path}: {len(names)} files, the DLL as built, packed reproducibly ({len(packed)} bytes)")


if __name__ == "__main__":
    main()
