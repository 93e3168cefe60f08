"""One release the way a vendor makes it: the same product in two folders
packaged in two build folders gives the same archive and the same installer,
which installs the product's files under Wine; signed with a throwaway CA and
timestamped by a local responder, the installer and the library and the
uninstaller inside verify, and the signed installer installs too."""
import filecmp
import hashlib
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
sys.path.insert(0, str(REPO / "tests" / "build"))
import harness  # noqa: E402
from pe import PE  # noqa: E402
import test_install  # noqa: E402  (its TestCase stays out of this module's names)

PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
BUILD = Path(os.environ["TOVARIN_BUILD_DIR"])
WORK = BUILD / "tests" / "package" / "release"
SHOTS = BUILD / "screenshots" / "package"
TOVARIN = Path(os.environ["TOVARIN_PRODUCT_EXE"]).read_bytes()
EPOCH = "1700000000"
RT_RCDATA = 10


def product_files():
    return {
        "Tovarin.exe": TOVARIN,
        "empty.dat": b"",
        "docs/说明.txt": "安装说明\n".encode("utf-8"),
        "data/config/settings.ini": b"[ui]\nscale=1\n",
        "lib/plugins/core.bin": bytes(range(256)) * 400,
    }


def make_product(folder, reverse, mtime):
    """The product folder, written in either order with the given file times."""
    shutil.rmtree(folder, ignore_errors=True)
    for rel, data in sorted(product_files().items(), reverse=reverse):
        (folder / rel).parent.mkdir(parents=True, exist_ok=True)
        (folder / rel).write_bytes(data)
    for empty in ("logs", "data/cache"):
        (folder / empty).mkdir(parents=True)
    for p in [folder, *folder.rglob("*")]:
        os.utime(p, (mtime, mtime))


def package(build, *args):
    env = dict(os.environ, TOVARIN_PACKAGE_BUILD=str(build), SOURCE_DATE_EPOCH=EPOCH)
    started = time.time()
    res = subprocess.run([str(REPO / "scripts/package"), *map(str, args), "--telemetry-host", f"127.0.0.1:{PORT}",
                          "--website-host", "127.0.0.1"], env=env, capture_output=True, text=True,
                         stdin=subprocess.DEVNULL, timeout=1200)
    print(f"package run in {build}: {time.time() - started:.1f} s", file=sys.stderr)
    return res


def resources(path):
    return PE(Path(path).read_bytes()).resources()


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def issue(folder, name, subject, usage):
    """name.key and name.pem: a certificate for usage issued by the folder's CA."""
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
            "-subj", subject, cwd=folder)
    (folder / f"{name}.ext").write_text("basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\n"
                                        f"extendedKeyUsage=critical,{usage}\n")
    openssl("x509", "-req", "-in", f"{name}.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", f"{name}.pem", "-days", "2", "-extfile", f"{name}.ext", cwd=folder)


def make_signer(folder, name):
    """A CA with a code-signing and a timestamping certificate, made for this run only."""
    folder.mkdir(parents=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", f"/CN={name} CA", "-addext", "basicConstraints=critical,CA:true",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    issue(folder, "signer", f"/CN={name} Signer/O=Tovarin", "codeSigning")
    issue(folder, "tsa", f"/CN={name} TSA", "timeStamping")
    (folder / "tsa.cnf").write_text("[tsa]\ndefault_tsa = t\n[t]\nserial = tsa.serial\nsigner_digest = sha256\n"
                                    "default_policy = 1.2.3.4.1\ndigests = sha256\ness_cert_id_alg = sha256\n")
    return folder


class TimestampAuthority:
    """An RFC 3161 responder on 127.0.0.1: openssl ts answers each query."""

    def __init__(self, keys):
        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = keys / "query.tsq"
                query.write_bytes(self.rfile.read(int(self.headers["Content-Length"])))
                openssl("ts", "-reply", "-config", "tsa.cnf", "-queryfile", "query.tsq", "-signer", "tsa.pem",
                        "-inkey", "tsa.key", "-chain", "ca.pem", "-out", "reply.tsr", cwd=keys)
                body = (keys / "reply.tsr").read_bytes()
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.server.server_port}/"

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


def verifies(path, ca):
    """osslsigncode's report when path verifies against ca (timestamp included), else None."""
    res = subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-TSA-CAfile", str(ca), "-in", str(path)],
                         capture_output=True, text=True)
    return res.stdout if res.returncode == 0 else None


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        WORK.mkdir(parents=True, exist_ok=True)
        cls.a, cls.b = WORK / "a", WORK / "b" / "elsewhere"
        make_product(cls.a / "product", reverse=False, mtime=1000000000)
        make_product(cls.b / "product", reverse=True, mtime=1500000000)
        cls.runs = {}
        for side in (cls.a, cls.b):
            (side / "TovarinSetup.exe").unlink(missing_ok=True)
            cls.runs[side] = package(side / "build", "--product", side / "product", "--out", side / "TovarinSetup.exe")
        # Read now: the signing test packages side a again, signed, into the same build.
        cls.uninstallers = {side: (side / "build/release/Uninstall.exe").read_bytes() for side in (cls.a, cls.b)}

    def setUp(self):
        for res in self.runs.values():
            self.assertEqual(res.returncode, 0, res.stderr)

    def install(self, exe):
        """A default install under Wine: exit code 0 and exactly the product's
        files, besides the uninstaller and its record."""
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            places, proc, main = test_install.InstallTest.start(self, receiver, s, exe)
            test_install.InstallTest.click_install(self, main)
            self.assertEqual(proc.wait(120), 0)
            want = sorted(p.relative_to(self.a / "product") for p in (self.a / "product").rglob("*") if p.is_file())
            own = [Path("Uninstall.dat"), Path("Uninstall.exe")]
            got = sorted(p.relative_to(places.install) for p in places.install.rglob("*") if p.is_file())
            self.assertEqual(got, sorted(want + own))
            for rel in want:
                self.assertTrue(filecmp.cmp(self.a / "product" / rel, places.install / rel, shallow=False), rel)

    def test_two_folders_give_the_same_archive_and_installer(self):
        self.assertEqual((self.a / "build/release/package.7z").read_bytes(),
                         (self.b / "build/release/package.7z").read_bytes())
        # The uninstaller the installer carries, as built for it.
        self.assertEqual(self.uninstallers[self.a], self.uninstallers[self.b])
        exe_a, exe_b = ((side / "TovarinSetup.exe").read_bytes() for side in (self.a, self.b))
        print("installer SHA-256:", hashlib.sha256(exe_a).hexdigest(), hashlib.sha256(exe_b).hexdigest(),
              file=sys.stderr)
        self.assertEqual(exe_a, exe_b)
        for folder in (self.a, self.b, REPO):
            for encoded in (str(folder).encode(), str(folder).encode("utf-16-le")):
                self.assertNotIn(encoded, exe_a, f"{folder} in the installer")
        summary = self.runs[self.a].stdout.splitlines()
        self.assertEqual(summary[0], f"{self.a / 'TovarinSetup.exe'}: {len(exe_a)} bytes, "
                                     f"SHA-256 {hashlib.sha256(exe_a).hexdigest()}")
        # 5 files and 7 folders, two of them empty.
        total = sum(len(d) for d in product_files().values())
        self.assertEqual(summary[1], f"contents: 12 items, 5 files, {total} bytes unpacked")

    def test_installs_the_product_under_wine(self):
        self.install(self.a / "TovarinSetup.exe")

    def test_signed_installer_and_library_verify_and_install(self):
        with tempfile.TemporaryDirectory(prefix="signer-") as tmp:
            keys = make_signer(Path(tmp) / "keys", "Tovarin Test")
            other = make_signer(Path(tmp) / "other", "Other")
            out = WORK / "TovarinSetup-signed.exe"
            out.unlink(missing_ok=True)
            signing = ["--sign-cert", keys / "signer.pem", "--sign-key", keys / "signer.key"]
            archive = self.a / "build/release/package.7z"

            refused = package(self.a / "build", "--archive", archive, "--out", out, *signing,
                              "--sign-ca", other / "ca.pem")
            self.assertEqual(refused.returncode, 1)
            self.assertIn("does not verify against", refused.stderr)
            self.assertFalse(out.exists())

            with TimestampAuthority(keys) as tsa:
                res = package(self.a / "build", "--archive", archive, "--out", out, *signing,
                              "--sign-ca", keys / "ca.pem", "--timestamp-url", tsa.url)
            self.assertEqual(res.returncode, 0, res.stderr)
            self.assertEqual(res.stdout.splitlines()[-1], "signed by: /CN=Tovarin Test Signer/O=Tovarin")
            library, uninstaller = Path(tmp) / "7z.dll", Path(tmp) / "Uninstall.exe"
            library.write_bytes(next(v for k, v in resources(out).items() if k[:2] == (RT_RCDATA, "7ZIP_LIBRARY")))
            uninstaller.write_bytes(next(v for k, v in resources(out).items() if k[:2] == (RT_RCDATA, "UNINSTALLER")))
            for signed in (out, library, uninstaller):
                report = verifies(signed, keys / "ca.pem")
                self.assertIsNotNone(report, signed)
                self.assertIn("Message digest algorithm  : SHA256", report)
                self.assertIn("Timestamp Server Signature verification: ok", report)
            self.assertIsNone(verifies(library, other / "ca.pem"))
            # Signing adds a certificate table and leaves the resources alone.
            self.assertEqual(resources(out), resources(self.a / "build/TovarinSetup.exe"))
            print(f"installer size unsigned {(self.a / 'TovarinSetup.exe').stat().st_size}, "
                  f"signed {out.stat().st_size}", file=sys.stderr)

            # The same signer as one PKCS#12 file behind a password.
            (keys / "password").write_text("s3cret\n")
            openssl("pkcs12", "-export", "-in", "signer.pem", "-inkey", "signer.key", "-out", "signer.p12",
                    "-passout", "pass:s3cret", cwd=keys)
            p12_out = WORK / "TovarinSetup-p12.exe"
            res = package(self.a / "build", "--archive", archive, "--out", p12_out, "--sign-pkcs12", keys / "signer.p12",
                          "--sign-password-file", keys / "password", "--sign-ca", keys / "ca.pem")
            self.assertEqual(res.returncode, 0, res.stderr)
            self.assertEqual(res.stdout.splitlines()[-1], "signed by: /CN=Tovarin Test Signer/O=Tovarin")
            self.assertIsNotNone(verifies(p12_out, keys / "ca.pem"))
            # Without a timestamp, signed at SOURCE_DATE_EPOCH: a second run gives the same bytes.
            again = WORK / "TovarinSetup-p12-again.exe"
            res = package(self.a / "build", "--archive", archive, "--out", again, "--sign-pkcs12", keys / "signer.p12",
                          "--sign-password-file", keys / "password", "--sign-ca", keys / "ca.pem")
            self.assertEqual(res.returncode, 0, res.stderr)
            self.assertEqual(again.read_bytes(), p12_out.read_bytes())
        self.install(out)


if __name__ == "__main__":
    unittest.main()
