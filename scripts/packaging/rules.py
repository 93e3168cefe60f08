"""The rules a product package must meet before it is built into the
installer: a sound 7z archive that the embedded library can decode, with
Tovarin.exe at its root and every item a path Windows can create under the
install folder. Used by scripts/package and by the build (TOVARIN_PACKAGE).

    python3 rules.py ARCHIVE METHODS-FILE

prints the package's counts and exits 0, or prints one line saying what is
wrong and exits 1."""
import re
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import sevenz  # noqa: E402

# 7-Zip's names for coders the library may lack, for a readable message.
KNOWN_METHODS = {
    0x00: "Copy", 0x03: "Delta", 0x04: "x86", 0x0A: "ARM64", 0x0B: "RISCV", 0x21: "LZMA2",
    0x030101: "LZMA", 0x03030103: "BCJ", 0x0303011B: "BCJ2", 0x03030205: "PPC", 0x03030401: "IA64",
    0x03030501: "ARM", 0x03030701: "ARMT", 0x03030805: "SPARC", 0x030401: "PPMD", 0x040108: "Deflate",
    0x040109: "Deflate64", 0x040202: "BZip2", 0x04F71101: "Zstd", 0x06F10701: "7zAES",
}
# Device names, whatever follows the first dot; Windows reads the superscripts
# 1-3 as digits in them. The installer refuses the same list when it extracts
# (archive/item_path.cpp), for a package swapped into a built installer.
RESERVED = {"CON", "PRN", "AUX", "NUL", *(f"{d}{n}" for d in ("COM", "LPT") for n in "123456789\u00b9\u00b2\u00b3")}
FORBIDDEN = set('<>"|?*') | {chr(c) for c in range(32)}
LIMIT = 1 << 31  # item sizes and their sum are signed 32-bit counts in the installer
MAIN_EXE = "tovarin.exe"


class PackageError(Exception):
    pass


@dataclass
class Counts:
    items: int
    files: int
    unpacked: int


def read_methods(path):
    """{id: name} from a list of 'hex-id name' lines."""
    methods = {}
    for line in Path(path).read_text().splitlines():
        if line.strip():
            hex_id, name = line.split()
            methods[int(hex_id, 16)] = name
    return methods


def method_name(method_id):
    return KNOWN_METHODS.get(method_id, f"method {method_id:X}")


def path_fault(path):
    """Why Windows cannot create this item under the install folder, or None."""
    if path.startswith(("\\\\", "//")):
        return "has a UNC prefix"
    if path.startswith(("/", "\\")):
        return "is absolute"
    if re.match(r"[A-Za-z]:", path):
        return "has a drive prefix"
    parts = re.split(r"[\\/]", path)
    if ".." in parts:
        return 'has a ".." component'
    if ":" in path:
        return "has a stream colon"
    for part in parts:
        if not part:
            return "has an empty component"
        if part.split(".")[0].rstrip(" ").upper() in RESERVED:
            return f'uses the reserved device name "{part}"'
        if part[-1] in ". ":
            return f'has a component ending in a dot or blank ("{part}")'
        bad = sorted(FORBIDDEN & set(part))
        if bad:
            return f"has the character {bad[0]!r}, which Windows forbids in file names"
    return None


def check(archive_path, methods):
    """Counts of a package that meets every rule; PackageError otherwise."""
    name = Path(archive_path).name
    try:
        archive = sevenz.read(archive_path)
    except sevenz.ArchiveError as e:
        raise PackageError(f"{name} is damaged ({e}): pack it again") from None
    if archive is None:
        raise PackageError(f"{name} is not a 7z archive: pack the product with --product or 7zz a -t7z")
    if sevenz.AES in archive.header_coders or sevenz.AES in archive.coders:
        what = "its header is" if sevenz.AES in archive.header_coders else "items are"
        raise PackageError(f"{name} is encrypted ({what}): pack it without a password")
    if not archive.items:
        raise PackageError(f"{name} holds no items: pack the product's files into it")
    unsupported = sorted(archive.coders - set(methods))
    if unsupported:
        names = ", ".join(method_name(m) for m in unsupported)
        raise PackageError(f"{name} uses {names}, which the embedded library cannot decode: "
                           f"pack it with {'/'.join(sorted(methods.values()))} only (e.g. LZMA + BCJ2)")
    seen = {}
    for item in archive.items:
        fault = path_fault(item.path)
        if fault:
            raise PackageError(f'item "{item.path}" in {name} {fault}: rename it in the product folder')
        key = item.path.replace("\\", "/").upper()
        if key in seen and not (item.is_folder and seen[key].is_folder):
            raise PackageError(f'items "{seen[key].path}" and "{item.path}" in {name} name the same Windows path: '
                               'rename one')
        seen[key] = item
        if item.size >= LIMIT:
            raise PackageError(f'item "{item.path}" in {name} is 2 GiB or larger: split it')
    files = [i for i in archive.items if not i.is_folder]
    total = sum(i.size for i in files)
    if total >= LIMIT:
        raise PackageError(f"{name} unpacks to {total} bytes, 2 GiB or more, which the installer cannot count: "
                           "make it smaller")
    if not any(i.path.lower() == MAIN_EXE for i in files):
        raise PackageError(f"{name} has no Tovarin.exe at its root: put the product's Tovarin.exe there")
    test = subprocess.run(["7zz", "t", "-t7z", "-p-", "-bd", "-bso0", "-bsp0", str(archive_path)],
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if test.returncode != 0:
        lines = [ln.strip() for ln in test.stdout.splitlines() if ln.strip()]
        detail = lines[-1] if lines else f"7zz exit code {test.returncode}"
        raise PackageError(f"{name} is damaged (full test: {detail}): pack it again")
    return Counts(len(archive.items), len(files), total)


def main(argv):
    if len(argv) != 3:
        print("usage: rules.py ARCHIVE METHODS-FILE", file=sys.stderr)
        return 2
    try:
        counts = check(argv[1], read_methods(argv[2]))
    except PackageError as e:
        print(f"package: {e}", file=sys.stderr)
        return 1
    print(f"{counts.items} items, {counts.files} files, {counts.unpacked} bytes unpacked")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
