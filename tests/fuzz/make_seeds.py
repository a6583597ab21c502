#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (tests/fuzz/corpus/<target>/), small by design.

Run again only to change the seeds; the fuzz stage reads them and never writes here.
Needs the 7z command for the 7z seeds."""
import io
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("latin-1"))


def tar(entries, fmt=tarfile.USTAR_FORMAT):
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w", format=fmt) as t:
        for name, kind, content in entries:
            info = tarfile.TarInfo(name)
            info.mtime = 1704067200
            if kind == "file":
                info.size = len(content)
                t.addfile(info, io.BytesIO(content))
            elif kind == "dir":
                info.type = tarfile.DIRTYPE
                t.addfile(info)
            elif kind == "symlink":
                info.type = tarfile.SYMTYPE
                info.linkname = content.decode()
                t.addfile(info)
            elif kind == "hardlink":
                info.type = tarfile.LNKTYPE
                info.linkname = content.decode()
                t.addfile(info)
    return buf.getvalue()


def zip_of(entries):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, content in entries:
            z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), content)
    return buf.getvalue()


def seven_zip(files):
    work = tempfile.mkdtemp()
    try:
        tree = os.path.join(work, "tree")
        for name, content in files:
            path = os.path.join(tree, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.write(content)
        archive = os.path.join(work, "a.7z")
        subprocess.run(["7z", "a", "-t7z", "-mx=1", "-bd", "-bso0", "-bsp0", archive, "."],
                       cwd=tree, check=True)
        with open(archive, "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(work)


def sparse_tar():
    """A pax sparse entry of 1 MiB: a few bytes of data, then a hole to its end."""
    work = tempfile.mkdtemp()
    try:
        path = os.path.join(work, "Ticket")
        os.makedirs(path)
        with open(os.path.join(path, "holes.bin"), "wb") as f:
            f.write(b"data")
            f.seek(300000)
            f.write(b"more")
            f.truncate(1 << 20)
        archive = os.path.join(work, "s.tar")
        subprocess.run(["tar", "--sparse", "--format=pax", "--mtime=@1704067200", "--owner=0",
                        "--group=0", "-b", "1", "-cf", archive, "-C", work, "Ticket/holes.bin"], check=True)
        with open(archive, "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(work)


def huge_tar_header(name, size):
    h = bytearray(512)
    h[0:len(name)] = name.encode()
    h[100:107] = b"0000644"
    h[108:115] = b"0000000"
    h[116:123] = b"0000000"
    h[124] = 0x80
    h[128:136] = struct.pack(">Q", size)
    h[136:147] = b"14672522000"
    h[156:157] = b"0"
    h[257:263] = b"ustar\0"
    h[263:265] = b"00"
    h[148:156] = b" " * 8
    h[148:155] = ("%06o\0" % sum(h)).encode()
    return bytes(h)


def main():
    if os.path.isdir(os.path.join(HERE, "corpus")):
        shutil.rmtree(os.path.join(HERE, "corpus"))
    # Entry names and link targets: name, NUL, target.
    for i, seed in enumerate([
            "Ticket/x86/TR240.GPD", "Barcode\\Common\\THERMAL.chm", "./a//b/./c/",
            "../x", "C:\\x", "\\\\server\\share", "a/NUL.txt", "COM\xb9", "CONOUT$ .log",
            "a/.. /b", "a/b:stream", "Ticket/x86/link\0../x64/MODEL.GPD", "l\0..",
            "a/b/l\0../../c", "a/b/l\0x/../y"]):
        put("entry_path_fuzzer", "seed%02d" % i, seed)
    # Command lines: two bytes of buffer size, then the line.
    for i, (size, line) in enumerate([
            (16384, 'x -y "C:\\pkg\\DriverData.Drv" -o"C:\\" -hide'),
            (3, 'x -y "a b" -o"c d" -hide'), (1, "x -bogus"), (0, "x"), (40, 'x "a -o"b'),
            (511, 'X "-a" -O"dest" -Y -HIDE'), (7, "x a -o")]):
        put("command_line_fuzzer", "seed%02d" % i, struct.pack("<H", size) + line.encode())
    # Catalogue files.
    for i, seed in enumerate([
            "[R0]\r\nPrintName1=Receipt Zero\r\nPrintName2=Receipt Zero B\r\n[R1]\r\nPrintName1=One\r\n",
            "[Gap]\nPrintName1=One\nPrintName2=Two\nPrintName4=Four\n[Next]\nPrintName1=N\n",
            "[Q]\nPrintName1=\"  Padded  \"\nPrintName2='x'\n[q]\nPrintName1=dup\n[]\nPrintName1=e\n",
            "[" + "S" * 120 + "]\nPrintName1=" + "n" * 140 + "\n",
            "".join("[%d]\nPrintName1=M%d\n" % (k, k) for k in range(60))]):
        put("catalog_fuzzer", "seed%02d" % i, seed)
    # Archives.
    put("extract_fuzzer", "tree.tar", tar([
        ("Ticket", "dir", b""), ("Ticket/x86/A.GPD", "file", b"gpd"),
        ("Ticket/x86/B.GPD", "hardlink", b"Ticket/x86/A.GPD"),
        ("Ticket/x64", "symlink", b"x86"), ("DriverName.cfg", "file", b"[R]\nPrintName1=R\n")]))
    put("extract_fuzzer", "hostile.tar", tar([
        ("../up.txt", "file", b"u"), ("/abs.txt", "file", b"a"), ("a/NUL.txt", "file", b"n"),
        ("esc", "symlink", b"../../outside"), ("esc/x", "file", b"x"),
        ("d/l", "symlink", b"../.."), ("d/l/secret", "file", b"s")], tarfile.PAX_FORMAT))
    put("extract_fuzzer", "sparse.tar", sparse_tar())
    put("extract_fuzzer", "huge.tar", huge_tar_header("Ticket/huge.bin", 1 << 40) + b"d" * 600)
    put("extract_fuzzer", "pkg.zip", zip_of([("Ticket/x86/A.GPD", b"gpd" * 40),
                                              ("Barcode/Common/THERMAL.chm", b"help"),
                                              ("..\\evil.txt", b"e")]))
    put("extract_fuzzer", "pkg.7z", seven_zip([("Ticket/x86/A.GPD", b"gpd" * 40),
                                               ("DriverName.cfg", b"[R]\r\nPrintName1=R\r\n")]))


if __name__ == "__main__":
    sys.exit(main())
