"""scripts/package refuses every package the installer could not install,
and every bad command line, with one line that says so, before building and
without writing --out; a hand-configured build refuses a bad package too."""
import os
import shutil
import struct
import subprocess
import sys
import unittest
import zlib
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ["TOVARIN_BUILD_DIR"])
WORK = BUILD / "tests" / "package" / "rules"
TOVARIN = Path(os.environ["TOVARIN_PRODUCT_EXE"]).read_bytes()


def number(n):
    """7z's variable-length integer."""
    for k in range(9):
        if k == 8 or n >> (8 * k) < (1 << (7 - k)):
            high = 0 if k == 8 else n >> (8 * k)
            return bytes([((0xFF00 >> k) & 0xFF) | high]) + (n & ((1 << (8 * k)) - 1)).to_bytes(k, "little")


def bit_vector(bits):
    out = bytearray((len(bits) + 7) // 8)
    for i, b in enumerate(bits):
        if b:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def write_7z(path, items):
    """A stored (Copy) archive with names exactly as given. items: (name,
    data or None for a folder, size claimed in the header or None)."""
    streams = [(data, claimed or len(data)) for _, data, claimed in items if data is not None and (data or claimed)]
    packed = b"".join(d for d, _ in streams)
    header = b""
    if items:
        header = b"\x01"
        if streams:
            total = sum(s for _, s in streams)
            header += b"\x04\x06" + number(0) + number(1) + b"\x09" + number(total) + b"\x00"
            header += b"\x07\x0B" + number(1) + b"\x00" + number(1) + b"\x01\x00" + b"\x0C" + number(total) + b"\x00"
            header += b"\x08\x0D" + number(len(streams)) + b"\x09" + b"".join(number(s) for _, s in streams[:-1])
            header += b"\x0A\x01" + b"".join(struct.pack("<I", zlib.crc32(d)) for d, _ in streams) + b"\x00\x00"
        header += b"\x05" + number(len(items))
        empty = [data is None or not (data or claimed) for _, data, claimed in items]
        if any(empty):
            vec = bit_vector(empty)
            header += b"\x0E" + number(len(vec)) + vec
            files = bit_vector([data is not None for (_, data, _), e in zip(items, empty) if e])
            header += b"\x0F" + number(len(files)) + files
        names = b"\x00" + b"".join(name.encode("utf-16-le") + b"\0\0" for name, _, _ in items)
        header += b"\x11" + number(len(names)) + names + b"\x00\x00"
    tail = struct.pack("<QQI", len(packed), len(header), zlib.crc32(header))
    Path(path).write_bytes(b"7z\xBC\xAF\x27\x1C\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail + packed + header)


def product(folder, files):
    shutil.rmtree(folder, ignore_errors=True)
    for rel, data in files.items():
        (folder / rel).parent.mkdir(parents=True, exist_ok=True)
        (folder / rel).write_bytes(data)
    return folder


def packed(name, *switches, files=None):
    """A 7zz archive of a small product with the given switches."""
    src = product(WORK / f"{name}-src", files or {"Tovarin.exe": TOVARIN, "readme.txt": b"hello\n" * 100})
    out = WORK / f"{name}.7z"
    out.unlink(missing_ok=True)
    subprocess.run(["7zz", "a", "-t7z", *switches, "-bd", "-bso0", "-bsp0", str(out), "."], cwd=src, check=True,
                   stdin=subprocess.DEVNULL)
    return out


def written(name, data):
    out = WORK / name
    out.write_bytes(data)
    return out


def hand_made(name, *extra):
    out = WORK / f"{name}.7z"
    write_7z(out, [("Tovarin.exe", TOVARIN, None), *extra])
    return out


def damaged():
    out = packed("damaged", "-m0=LZMA", "-mf=BCJ2", "-mhc=on")
    data = bytearray(out.read_bytes())
    data[32 + 200] ^= 0xFF
    out.write_bytes(data)
    return out


def truncated():
    out = packed("truncated", "-m0=LZMA")
    out.write_bytes(out.read_bytes()[:-20])
    return out


def package(*args):
    out = WORK / "out" / "TovarinSetup.exe"
    out.parent.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, TOVARIN_PACKAGE_BUILD=str(WORK / "build"))
    res = subprocess.run([str(REPO / "scripts/package"), *map(str, args), "--out", str(out)], env=env,
                         capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=300)
    return res, out


class PackageRulesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)

    def assertRefused(self, res, out, fragment):
        self.assertEqual(res.returncode, 1, res.stdout + res.stderr)
        lines = res.stderr.splitlines()
        self.assertEqual(len(lines), 1, res.stderr)
        self.assertTrue(lines[0].startswith("package: "), lines[0])
        self.assertIn(fragment, lines[0])
        self.assertEqual(res.stdout, "")
        self.assertEqual(list(out.parent.iterdir()), [], "an --out file was written")

    def test_archives_the_installer_could_not_install(self):
        big = 1 << 31
        cases = [
            ("not 7z", lambda: written("zip.7z", b"PK\x03\x04" + bytes(100)), "is not a 7z archive"),
            ("damaged data", damaged, "is damaged (full test"),
            ("cut short", truncated, "is damaged"),
            ("encrypted items", lambda: packed("enc", "-pSecret"), "is encrypted (items are)"),
            ("encrypted header", lambda: packed("hdr", "-pSecret", "-mhe=on"), "is encrypted (its header is)"),
            ("other coder", lambda: packed("bzip2", "-m0=BZip2"), "uses BZip2, which the embedded library"),
            ("other filter", lambda: packed("arm64", "-mf=ARM64", "-m0=LZMA"), "uses ARM64"),
            ("no items", lambda: write_7z(WORK / "empty.7z", []) or WORK / "empty.7z", "holds no items"),
            ("exe not at root", lambda: packed("nested", files={"bin/Tovarin.exe": TOVARIN}),
             "has no Tovarin.exe at its root"),
            ("absolute", lambda: hand_made("abs", ("/etc/x", b"x", None)), "is absolute"),
            ("drive", lambda: hand_made("drive", ("C:/x", b"x", None)), "has a drive prefix"),
            ("UNC", lambda: hand_made("unc", ("\\\\srv\\share\\x", b"x", None)), "has a UNC prefix"),
            ("dot dot", lambda: hand_made("up", ("docs\\..\\..\\x", b"x", None)), 'has a ".." component'),
            ("stream colon", lambda: hand_made("ads", ("readme.txt:hidden", b"x", None)), "has a stream colon"),
            ("device name", lambda: hand_made("dev", ("docs/nul.txt", b"x", None)), 'reserved device name "nul.txt"'),
            ("superscript device", lambda: hand_made("sup", ("COM\u00b9.log", b"x", None)), 'device name "COM\u00b9.log"'),
            ("trailing dot", lambda: hand_made("dot", ("logs./a", b"x", None)), "ending in a dot or blank"),
            ("trailing blank", lambda: hand_made("blank", ("a ", None, None)), "ending in a dot or blank"),
            ("forbidden character", lambda: hand_made("char", ("what?.txt", b"x", None)), "Windows forbids"),
            ("same path twice", lambda: hand_made("twice", ("Docs/a.txt", b"x", None), ("docs/A.TXT", b"y", None)),
             'items "Docs/a.txt" and "docs/A.TXT"'),
            ("2 GiB item", lambda: hand_made("huge", ("media.bin", b"x", big)), "is 2 GiB or larger"),
            ("2 GiB total", lambda: hand_made("total", ("a.bin", b"x", big // 2), ("b.bin", b"y", big // 2)),
             "unpacks to 2147"),
        ]
        for name, make, fragment in cases:
            with self.subTest(name):
                self.assertRefused(*package("--archive", make()), fragment)

    def test_a_hand_made_archive_that_meets_every_rule_passes(self):
        # The writer above makes archives that 7-Zip reads as meant, so the
        # refusals are the rules' doing.
        ok = hand_made("ok", ("docs", None, None), ("docs/说明.txt", b"x", None), ("empty.dat", b"", None))
        res = subprocess.run([sys.executable, str(REPO / "scripts/packaging/rules.py"), str(ok),
                              str(REPO / ".deps/7zip/7z.methods")], capture_output=True, text=True)
        self.assertEqual((res.returncode, res.stdout.strip()), (0, f"4 items, 3 files, {len(TOVARIN) + 1} bytes unpacked"),
                         res.stderr)

    def test_bad_command_lines(self):
        good = product(WORK / "good", {"Tovarin.exe": TOVARIN})
        cases = [
            (["--product", good, "--archive", good / "Tovarin.exe"], "exactly one of --product"),
            (["--product", WORK / "missing"], "is not a folder"),
            (["--product", good, "--sign-key", good / "Tovarin.exe"], "--sign-cert and --sign-key go together"),
            (["--product", good, "--telemetry-host", "http://x"], "is not HOST or HOST:PORT"),
            (["--product", good, "--sign-ca", good / "Tovarin.exe"], "--sign-ca is for signing"),
        ]
        for args, fragment in cases:
            with self.subTest(fragment):
                self.assertRefused(*package(*args), fragment)

    def test_hand_configured_build_refuses_a_bad_package(self):
        bad = written("manual.7z", b"not an archive")
        tree = WORK.parent / "manual-build"  # kept between runs: configured once
        subprocess.run(["cmake", "-S", REPO, "-B", tree, "-G", "Ninja",
                        f"-DCMAKE_TOOLCHAIN_FILE={REPO}/cmake/mingw-i686.cmake", "-DTOVARIN_BUILD_TESTS=OFF",
                        f"-DTOVARIN_PACKAGE={bad}"], check=True, capture_output=True)
        res = subprocess.run(["cmake", "--build", tree, "--target", "package_check"], capture_output=True, text=True)
        self.assertNotEqual(res.returncode, 0)
        self.assertIn("manual.7z is not a 7z archive", res.stdout + res.stderr)


if __name__ == "__main__":
    unittest.main()
