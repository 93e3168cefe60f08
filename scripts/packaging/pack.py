"""Packs a product folder as the installer expects it: 7z, one solid LZMA2
stream behind the x86 BCJ filter, cut into independent 16 MiB blocks (each
resets the 4 MiB dictionary) that the carried library decodes on several
threads at once; compressed header, the folder's content at the archive's root.
The dictionary is a quarter of the block, so the library's budget for a
decoding thread (8.25 dictionaries) is what a block and its packed input take.

The same content gives the same bytes: the folder is copied to a staging
folder with normalised permissions (folders 755, files 755 when their owner
may run them, else 644) and, when SOURCE_DATE_EPOCH is set, every item's
modification time set to it; creation and access times are not stored.

    python3 pack.py DIR OUT.7z [--fast]"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path


DICTIONARY, BLOCK = "4m", "16m"


def stage_copy(src, stage, epoch):
    shutil.copytree(src, stage, symlinks=False, copy_function=shutil.copyfile)
    paths = [stage, *stage.rglob("*")]
    for p in paths:
        if p.is_dir():
            p.chmod(0o755)
        else:
            p.chmod(0o755 if os.stat(src / p.relative_to(stage)).st_mode & 0o100 else 0o644)
    if epoch is not None:
        for p in paths:
            os.utime(p, (epoch, epoch))


def pack(src, out, fast=False):
    """Writes the archive of folder src to out (replacing a different one)."""
    src, out = Path(src).resolve(), Path(out).resolve()
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    epoch = int(epoch) if epoch else None
    with tempfile.TemporaryDirectory(prefix="pack-", dir=out.parent) as tmp:
        stage = Path(tmp) / "stage"
        stage_copy(src, stage, epoch)
        partial = Path(tmp) / "package.7z"
        # Blocks are packed each on their own: the same bytes on any number of threads.
        subprocess.run(["7zz", "a", "-t7z", "-m0=BCJ", f"-m1=LZMA2:d={DICTIONARY}:c={BLOCK}", "-mhc=on",
                        "-mtc=off", "-mta=off", f"-mx={1 if fast else 5}", "-bd", "-bso0", "-bsp0", str(partial), "."],
                       cwd=stage, check=True, stdin=subprocess.DEVNULL)
        # An unchanged archive keeps its time, so the build embeds nothing anew.
        if not (out.is_file() and filecmp.cmp(partial, out, shallow=False)):
            partial.replace(out)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4) or sys.argv[3:] not in ([], ["--fast"]):
        sys.exit("usage: pack.py DIR OUT.7z [--fast]")
    pack(sys.argv[1], sys.argv[2], fast=len(sys.argv) == 4)
