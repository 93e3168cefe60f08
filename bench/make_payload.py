#!/usr/bin/env python3
"""Makes a seed-sized package: about 213 items, about 175 MB unpacked, mixed
compressible binaries, packed twice: as scripts/package packs a product (BCJ +
LZMA2 in independent blocks) and as earlier builds did (LZMA + BCJ2), both
with a packed header. With PRODUCT_EXE, that program is the package's
Tovarin.exe, so an install can start a real product; otherwise Tovarin.exe is
noise like the rest.

usage: make_payload.py 7zz OUTDIR [PRODUCT_EXE]
       (writes OUTDIR/payload.7z and OUTDIR/payload-bcj2.7z)
"""
import os
import random
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "packaging"))
import pack  # noqa: E402

seven, out = sys.argv[1], os.path.abspath(sys.argv[2])
product = sys.argv[3] if len(sys.argv) > 3 else None
stage = os.path.join(out, "stage")
shutil.rmtree(stage, ignore_errors=True)
os.makedirs(stage)
rng = random.Random(2026)
BLOCK = 16 * 1024


def content(size):
    """Blocks of fresh noise mixed with patched repeats of earlier blocks, with
    x86 call opcodes sprinkled in so BCJ2 has work to do."""
    pool, parts, left = [], [], size
    while left > 0:
        if not pool or rng.random() < 0.3:
            block = bytearray(os.urandom(BLOCK))
            pool.append(bytes(block))
            pool[:] = pool[-64:]
        else:
            block = bytearray(rng.choice(pool))
            for _ in range(8):
                at = rng.randrange(BLOCK - 5)
                block[at] = 0xE8
                block[at + 1:at + 5] = rng.getrandbits(32).to_bytes(4, "little")
        parts.append(bytes(block[:left]))
        left -= BLOCK
    return b"".join(parts)


folders = ["bin", "bin/plugins", "lib", "lib/x86", "data", "data/maps", "data/audio", "docs", "locale/zh_CN",
           "locale/en_US", "config", "logs", "cache"]
sizes = [rng.choice([12, 15, 18, 22]) * 1024 * 1024 for _ in range(4)]
sizes += [rng.randrange(200 * 1024, 4 * 1024 * 1024) for _ in range(56)]
sizes += [rng.randrange(0, 64 * 1024) for _ in range(140)]
total_target = 175 * 1000 * 1000
scale = (total_target - sum(sizes[:4])) / sum(sizes[4:])
sizes = sizes[:4] + [int(s * scale) for s in sizes[4:]]
for i, size in enumerate(sizes):
    folder = "." if i == 0 else folders[i % len(folders)]
    name = ("Tovarin.dat" if product else "Tovarin.exe") if i == 0 else f"part{i:03d}." + ("dll" if i % 3 else "dat")
    path = os.path.join(stage, folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(content(size))
os.makedirs(os.path.join(stage, "logs"), exist_ok=True)
if product:
    # In place of one of the small files, so the item count stays.
    os.remove(os.path.join(stage, folders[199 % len(folders)], "part199.dll"))
    shutil.copy(product, os.path.join(stage, "Tovarin.exe"))

bcj2 = os.path.join(out, "payload-bcj2.7z")
if os.path.exists(bcj2):
    os.remove(bcj2)
subprocess.run([seven, "a", "-t7z", "-m0=LZMA", "-mf=BCJ2", "-mhc=on", "-bd", "-bso0", "-bsp0", bcj2, "*"],
               cwd=stage, check=True)
pack.pack(stage, os.path.join(out, "payload.7z"))
shutil.rmtree(stage)
