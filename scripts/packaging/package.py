"""scripts/package: a product folder or archive in, a checked, optionally
signed TovarinSetup.exe out. Runs after scripts/bootstrap (see the shell
wrapper); builds in a private folder (TOVARIN_PACKAGE_BUILD, default
BUILD-package) without tests. Every bad input ends with one line on stderr,
exit 1, and no --out file."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import pack  # noqa: E402
import rules  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
LIBRARY = REPO / ".deps/7zip/7z.dll"
METHODS = REPO / ".deps/7zip/7z.methods"
SYSTEM_CA = "/etc/ssl/certs/ca-certificates.crt"
VALUE_OPTIONS = ("--product", "--archive", "--out", "--telemetry-host", "--website-host", "--sign-cert",
                 "--sign-key", "--sign-chain", "--sign-pkcs12", "--sign-password-file", "--sign-ca",
                 "--timestamp-url")
HOST = r"[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?"
USAGE = "scripts/package (--product DIR | --archive FILE.7z) --out FILE.exe [options] (see README)"


class Failure(Exception):
    pass


def parse(argv):
    opts, i = {}, 0
    while i < len(argv):
        arg = argv[i]
        name, eq, value = arg.partition("=")
        if name not in VALUE_OPTIONS:
            raise Failure(f"unknown argument {arg!r}: usage is {USAGE}")
        if not eq:
            i += 1
            if i == len(argv):
                raise Failure(f"{name} needs a value: usage is {USAGE}")
            value = argv[i]
        if name in opts:
            raise Failure(f"{name} is given twice: give it once")
        opts[name] = value
        i += 1
    return opts


def check_options(o):
    if ("--product" in o) == ("--archive" in o):
        raise Failure("give exactly one of --product DIR and --archive FILE.7z")
    if "--out" not in o:
        raise Failure("no --out FILE.exe: say where the installer goes")
    out = Path(o["--out"])
    if out.is_dir():
        raise Failure(f"--out {out} is a folder: give a file name")
    if not out.resolve().parent.is_dir():
        raise Failure(f"--out {out}: folder {out.resolve().parent} does not exist, create it first")
    if "--product" in o and not Path(o["--product"]).is_dir():
        raise Failure(f"--product {o['--product']} is not a folder: give the product's folder")
    if "--archive" in o and not Path(o["--archive"]).is_file():
        raise Failure(f"--archive {o['--archive']} is not a file: give the product's 7z archive")
    host = o.get("--telemetry-host")
    if host is not None:
        m = re.fullmatch(rf"({HOST})(:(\d+))?", host)
        if not m or (m.group(4) and not 0 < int(m.group(4)) < 65536):
            raise Failure(f"--telemetry-host {host!r} is not HOST or HOST:PORT")
    if "--website-host" in o and not re.fullmatch(HOST, o["--website-host"]):
        raise Failure(f"--website-host {o['--website-host']!r} is not a host name")
    pem, p12 = "--sign-cert" in o or "--sign-key" in o, "--sign-pkcs12" in o
    if pem and p12:
        raise Failure("give --sign-cert with --sign-key, or --sign-pkcs12, not both")
    if pem and not ("--sign-cert" in o and "--sign-key" in o):
        raise Failure("--sign-cert and --sign-key go together: give both")
    if "--sign-chain" in o and not pem:
        raise Failure("--sign-chain goes with --sign-cert and --sign-key")
    if "--sign-password-file" in o and not p12:
        raise Failure("--sign-password-file goes with --sign-pkcs12")
    for name in ("--sign-ca", "--timestamp-url"):
        if name in o and not (pem or p12):
            raise Failure(f"{name} is for signing: give a signing certificate too")
    for name in ("--sign-cert", "--sign-key", "--sign-chain", "--sign-pkcs12", "--sign-password-file", "--sign-ca"):
        if name in o and not Path(o[name]).is_file():
            raise Failure(f"{name} {o[name]} is not a file")
    url = o.get("--timestamp-url")
    if url is not None and not re.fullmatch(r"https?://\S+", url):
        raise Failure(f"--timestamp-url {url!r} is not an http:// or https:// URL")
    return pem or p12


def run(cmd, log, what):
    with open(log, "a") as f:
        f.write("$ " + " ".join(map(str, cmd)) + "\n")
        f.flush()
        if subprocess.run(list(map(str, cmd)), stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL).returncode:
            raise Failure(f"{what} failed (log: {log})")


def verify(path, ca, tsa_ca, log):
    """The signer's subject once osslsigncode verifies path against ca, and
    its timestamp, if one is wanted, against tsa_ca."""
    cmd = ["osslsigncode", "verify", "-CAfile", ca, "-in", str(path)]
    res = subprocess.run(cmd + (["-TSA-CAfile", tsa_ca] if tsa_ca else []),
                         capture_output=True, text=True, stdin=subprocess.DEVNULL)
    with open(log, "a") as f:
        f.write(res.stdout + res.stderr)
    if res.returncode:
        raise Failure(f"the signature of {path.name} does not verify against {ca} (log: {log}): "
                      "give the CA that issued the certificate with --sign-ca")
    if tsa_ca and "Timestamp Server Signature verification: ok" not in res.stdout:
        raise Failure(f"the signature of {path.name} carries no verified timestamp (log: {log}): "
                      "check --timestamp-url")
    m = re.search(r"Signer #0:\s*Subject: *(.*)", res.stdout)
    return m.group(1).strip() if m else "?"


def sign(o, src, dst, log):
    cmd = ["osslsigncode", "sign", "-h", "sha256", "-n", "Tovarin"]
    if "--sign-pkcs12" in o:
        cmd += ["-pkcs12", o["--sign-pkcs12"]]
        if "--sign-password-file" in o:
            cmd += ["-readpass", o["--sign-password-file"]]
    else:
        cmd += ["-certs", o["--sign-cert"], "-key", o["--sign-key"]]
        if "--sign-chain" in o:
            cmd += ["-ac", o["--sign-chain"]]
    if "--timestamp-url" in o:
        cmd += ["-ts", o["--timestamp-url"]]
    elif os.environ.get("SOURCE_DATE_EPOCH", "").isdigit():
        # Without a timestamp the signature's own signing time is all that
        # varies (Windows judges it by the time of use): fixed, the signed
        # files are as reproducible as the unsigned ones.
        cmd += ["-time", os.environ["SOURCE_DATE_EPOCH"]]
    dst.unlink(missing_ok=True)
    run(cmd + ["-in", src, "-out", dst], log, f"signing {src.name}")
    ca, tsa_ca = o.get("--sign-ca", SYSTEM_CA), None
    if "--timestamp-url" in o:
        # The timestamp authority may chain to the system's roots or to the signing CA.
        tsa_ca = log.with_name("timestamp-ca.pem")
        tsa_ca.write_bytes(b"".join(Path(p).read_bytes() for p in dict.fromkeys([SYSTEM_CA, ca]) if Path(p).is_file()))
    return verify(dst, ca, tsa_ca, log)


def package(o, signing):
    build = Path(os.environ.get("TOVARIN_PACKAGE_BUILD", REPO / "BUILD-package")).resolve()
    work = build / "release"
    work.mkdir(parents=True, exist_ok=True)
    log = work / "package.log"
    log.write_text("")
    out = Path(o["--out"]).resolve()

    if "--product" in o:
        archive = work / "package.7z"
        try:
            pack.pack(o["--product"], archive)
        except (OSError, subprocess.CalledProcessError) as e:
            raise Failure(f"packing {o['--product']} failed ({e}): check that every file can be read")
    else:
        archive = Path(o["--archive"]).resolve()
    try:
        counts = rules.check(archive, rules.read_methods(METHODS))
    except rules.PackageError as e:
        raise Failure(str(e))

    library, subject = LIBRARY, None
    if signing:
        library = work / "7z.dll"
        sign(o, LIBRARY, library, log)

    configure = ["cmake", "-S", REPO, "-B", build, "-G", "Ninja", f"-DCMAKE_TOOLCHAIN_FILE={REPO}/cmake/mingw-i686.cmake",
                 "-DTOVARIN_BUILD_TESTS=OFF", f"-DTOVARIN_PACKAGE={archive}", f"-DTOVARIN_7Z_LIBRARY={library}"]
    for name, var in (("--telemetry-host", "TOVARIN_TELEMETRY_HOST"), ("--website-host", "TOVARIN_WEBSITE_HOST")):
        configure.append(f"-D{var}={o[name]}" if name in o else f"-U{var}")
    # The uninstaller first: the installer carries it as shipped, signed like the installer itself.
    run(configure + ["-UTOVARIN_UNINSTALLER"], log, "configuring the build")
    run(["cmake", "--build", build, "--target", "TovarinUninstall"], log, "the uninstaller's build")
    uninstaller = work / "Uninstall.exe"
    if signing:
        sign(o, build / "uninstall/Uninstall.exe", uninstaller, log)
    else:
        shutil.copyfile(build / "uninstall/Uninstall.exe", uninstaller)
    run(configure + [f"-DTOVARIN_UNINSTALLER={uninstaller}"], log, "configuring the installer's build")
    run(["cmake", "--build", build, "--target", "TovarinSetup"], log, "the build")

    partial = out.with_name(f".{out.name}.partial")
    try:
        if signing:
            subject = sign(o, build / "TovarinSetup.exe", partial, log)
        else:
            shutil.copyfile(build / "TovarinSetup.exe", partial)
        partial.replace(out)
    finally:
        partial.unlink(missing_ok=True)
    data = out.read_bytes()
    print(f"{out}: {len(data)} bytes, SHA-256 {hashlib.sha256(data).hexdigest()}")
    print(f"contents: {counts.items} items, {counts.files} files, {counts.unpacked} bytes unpacked")
    if subject:
        print(f"signed by: {subject}")


def main(argv):
    try:
        opts = parse(argv)
        package(opts, check_options(opts))
    except (Failure, OSError) as e:
        print(f"package: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
