#!/usr/bin/env python3
"""Makes the archives the binding's tests read, with the Linux 7zz.

usage: make_test_archives.py 7zz OUTDIR
"""
import os
import random
import shutil
import subprocess
import sys

seven, out = sys.argv[1], sys.argv[2]
stage = os.path.join(out, "stage")
shutil.rmtree(out, ignore_errors=True)
os.makedirs(stage)


def write(rel, data):
    path = os.path.join(stage, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def pack(name, *args, items=("*",), cwd=None):
    subprocess.run([seven, "a", "-t7z", "-bd", "-bso0", "-bsp0", *args, os.path.join(out, name), *items],
                   cwd=cwd or stage, check=True)


def rename(name, old, new):
    subprocess.run([seven, "rn", "-bd", "-bso0", "-bsp0", os.path.join(out, name), old, new], check=True)


def fresh():
    shutil.rmtree(stage)
    os.makedirs(stage)


# Nested files, an empty file, an empty folder, a folder made by its first file.
write("top.txt", b"top level\r\n")
write("dir1/dir2/deep.txt", b"deep inside\r\n" * 100)
write("made/first.txt", b"the first file makes the folder\r\n")
write("made/second.bin", bytes(range(256)) * 64)
write("zero.txt", b"")
os.makedirs(os.path.join(stage, "emptydir/inner"))
pack("nested.7z", "-m0=LZMA", "-mf=BCJ2", "-mhc=on")
shutil.copytree(stage, os.path.join(out, "nested-source"))

# Stored, so one flipped byte of data is a checksum error and nothing else.
fresh()
write("stored.txt", b"0123456789abcdef" * 64)
pack("stored.7z", "-m0=Copy", "-mhc=off")

# Methods the carried library lacks, and encryption; each holds a sound
# stored file first (its own folder), then the one the library cannot read.
for name, args in [("bzip2", ["-m0=BZip2"]), ("deflate", ["-m0=Deflate"]), ("delta", ["-m0=Delta:4", "-m1=LZMA"]),
                   ("encrypted", ["-m0=LZMA", "-pSecret", "-mhe=off"])]:
    fresh()
    write("a_ok.txt", b"sound\r\n")
    pack(f"method-{name}.7z", "-m0=Copy", "-mhc=off", items=("a_ok.txt",))
    write("b_packed.txt", b"unreadable here\r\n" * 50)
    pack(f"method-{name}.7z", *args, "-mhc=off", items=("b_packed.txt",))

# Only folders and empty files: nothing to count.
fresh()
write("a/empty1.txt", b"")
write("b/c/empty2.txt", b"")
os.makedirs(os.path.join(stage, "d/e"))
pack("only-empty.7z")

# About 32 MiB of mixed, compressible "binaries" behind BCJ2.
fresh()
rng = random.Random(7)
for i in range(8):
    words = [rng.getrandbits(32).to_bytes(4, "little") for _ in range(512)]
    chunk = bytearray()
    while len(chunk) < 4 * 1024 * 1024:
        chunk += b"\xe8" + words[rng.randrange(len(words))] + bytes(rng.randrange(12))
        chunk += words[rng.randrange(len(words))] * rng.randrange(1, 4)
    write(f"bin/module{i}.dll", bytes(chunk[:4 * 1024 * 1024]))
pack("big.7z", "-m0=LZMA", "-mf=BCJ2", "-mhc=on")

# About 12 MiB behind BCJ, in LZMA2 blocks of 1 MiB that each reset the
# dictionary: the library decodes them on several threads at once.
fresh()
for i in range(6):
    words = [rng.getrandbits(32).to_bytes(4, "little") for _ in range(4096)]
    chunk = bytearray()
    while len(chunk) < 2 * 1024 * 1024:
        chunk += b"\xe8" + words[rng.randrange(len(words))] + bytes(rng.randrange(8))
        chunk += rng.randbytes(rng.randrange(1, 24))
    write(f"part{i}.dll", bytes(chunk[:2 * 1024 * 1024 - 1000 * i]))
write("part6.txt", b"")
pack("chunked.7z", "-m0=BCJ", "-m1=LZMA2:d=1m:c=1m", "-mmt=2", "-mhc=on")
shutil.copytree(stage, os.path.join(out, "chunked-source"))

# Items that would land outside the target. Each archive holds a safe file
# first, then the bad one.
# 7z stores "/" as the separator (a "\\" would be part of a name).
for name, bad in [("parent", "../evil.txt"), ("deep-parent", "sub/../../evil.txt"),
                  ("rooted", "/evil.txt"), ("drive", "C:/evil.txt"), ("drive-relative", "C:evil.txt"),
                  ("unc", "//server/share/evil.txt"), ("stream", "ok.txt:evil")]:
    fresh()
    write("a_ok.txt", b"safe\r\n")
    write("b_bad.txt", b"evil\r\n")
    pack(f"unsafe-{name}.7z", "-m0=Copy", items=("a_ok.txt", "b_bad.txt"))
    rename(f"unsafe-{name}.7z", "b_bad.txt", bad)

shutil.rmtree(stage)
with open(os.path.join(out, "not-an-archive.7z"), "wb") as f:
    f.write(b"This is plain text, not a 7z archive.\r\n" * 10)
