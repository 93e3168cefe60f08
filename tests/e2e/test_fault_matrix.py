"""The fault matrix: what a hostile machine can do to an install, one row per
fault, each run end to end through the real installer under Wine. Every row
has its defined outcome, the failure road or a full install, and every run
also shows no crash (exit code as defined, no crash dialog), no hang (every
wait is bounded), nothing written outside the install directory, the two
temporary files and the two shell links, and nothing of the user's lost.

Rows covered elsewhere as well: the read-only file of row 5 is
test_install.InstallTest.test_failure_retry_and_install_with_options_cleared;
every unsafe item kind of row 4 at the binding is
ArchiveExtraction.ItemsThatWouldLeaveTheTargetAreNeverWritten; the methods
and damage of rows 1 and 3 at the binding are
ArchiveExtraction.AnItemTheLibraryReportsDamagedFailsTheExtraction; a hard
link in place of row 13's link at
ArchiveExtraction.AFileOfAnEarlierInstallWithAnotherNameIsNotWrittenThrough;
every device name of row 14 at ItemPath's own test."""
import contextlib
import filecmp
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from test_install import DESCRIPTION, STAGE, large_installer, read_shell_link  # noqa: E402
from test_main_window import INSTALL, MainWindow, event_type  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
BUILD = Path(os.environ["TOVARIN_BUILD_DIR"])
SHOTS = BUILD / "screenshots" / "fault_matrix"
FIXTURES = BUILD / "tests" / "e2e" / "fault-matrix"
ARCHIVE_DATA = BUILD / "tests" / "archive" / "data"
PLANTED_DLL = BUILD / "tests" / "startup" / "planted_dll.dll"

FAILED_MESSAGE = "安装失败，请检查安装路径是否正确"
OPENED, STARTED, SUCCEEDED, FAILED = "安装器-打开", "安装器-开始安装", "安装器-安装成功", "安装器-安装出错"
# Every wait of a row is bounded by these.
WINDOW_WAIT, DIALOG_WAIT, INSTALL_WAIT, EXIT_WAIT = 30, 60, 120, 20
# Wine's crash dialog ("Program Error") in either language.
CRASH_TITLES = ("Program Error", "程序错误")

# Names in the installer's import table, the DLLs it loads at run time, and
# the library it writes to TEMP. Wine has no known-DLL mapping: told to prefer
# a native kernel32 beside a program it maps that one, where Windows maps its
# own. So known DLLs are planted with Wine's default (its own first), which
# stands for that mapping; every other name is planted with Wine told to
# prefer the native file. crypt32, which Wine's winhttp loads through a path
# that ignores the search restriction (Windows' does not), is left out.
IMPORTED = ["kernel32", "user32", "gdi32", "advapi32", "msvcrt", "ole32", "oleaut32", "shell32"]
RUN_TIME = ["winhttp", "bcrypt", "iphlpapi", "7z"]


def winpath(path):
    return "Z:" + str(path).replace("/", "\\")


def fixture_installer(session, name, make_package):
    """A copy of the installer carrying the package make_package(folder)
    writes, made once per build of the installer."""
    FIXTURES.mkdir(parents=True, exist_ok=True)
    exe = FIXTURES / f"{name}.exe"
    if exe.exists() and exe.stat().st_mtime >= EXE.stat().st_mtime:
        return exe
    work = FIXTURES / f"{name}.work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir()
    package = make_package(work)
    partial = work / "partial.exe"
    shutil.copy(EXE, partial)
    session.tool("setres", winpath(partial), "PACKAGE", winpath(package))
    partial.rename(exe)
    shutil.rmtree(work)
    return exe


def demo_package():
    return BUILD / "product" / "package.7z"


def small_stage(folder):
    """The demo product without its large data file."""
    stage = folder / "stage"
    shutil.copytree(STAGE, stage, ignore=shutil.ignore_patterns("assets.pak"))
    return stage


def pack(stage, package, *args):
    subprocess.run(["7zz", "a", "-t7z", "-bd", "-bso0", "-bsp0", *args, str(package), "."], cwd=stage, check=True)
    return package


def damaged(folder):
    data = bytearray(demo_package().read_bytes())
    middle = len(data) // 3
    for i in range(8):
        data[middle + 97 * i] ^= 0x5A
    out = folder / "damaged.7z"
    out.write_bytes(data)
    # Still opens and lists: only packed data is hit.
    subprocess.run(["7zz", "l", str(out)], check=True, capture_output=True)
    return out


def cut_short(folder):
    out = folder / "cut.7z"
    out.write_bytes(demo_package().read_bytes()[: demo_package().stat().st_size // 2])
    return out


def not_7z(folder):
    out = folder / "text.7z"
    out.write_bytes(b"This is a text file, not an archive.\r\n" * 1000)
    return out


def method(*args):
    return lambda folder: pack(small_stage(folder), folder / "method.7z", *args)


def copy_of(path):
    def make(folder):
        return Path(shutil.copy(path, folder / "package.7z"))
    return make


HUGE = 330 << 20  # unpacked, more than the filled drive holds


def huge_stage():
    stage = FIXTURES / "huge-stage"
    if not (stage / "data" / "huge.bin").exists():
        shutil.rmtree(stage, ignore_errors=True)
        shutil.copytree(STAGE, stage, ignore=shutil.ignore_patterns("assets.pak"))
        with open(stage / "data" / "huge.bin", "wb") as f:
            f.truncate(HUGE)
    return stage


def processes(s):
    """Every process of the prefix: pid, parent pid, whether its token is
    elevated ("1", "0", "-" when unreadable) and its file name."""
    rows = []
    for line in s.tool("processes").splitlines():
        head, _, exe = line.partition(' "')
        pid, parent, elevated = head.split()
        rows.append((int(pid), int(parent), elevated, exe.rstrip('"')))
    return rows


class LimitedShellSession(harness.Session):
    """A session whose desktop shell runs with a standard user's limited token,
    as Explorer does on Windows. Wine gives every process, its own desktop
    shell too, a full administrator token; here the shell is started first,
    with the limited token linked to Wine's, before anything else opens the
    desktop."""

    def warm(self):
        # A server left running (the unit tests keep theirs warm) has its elevated shell already.
        self.kill_all()
        subprocess.run(["wineserver", "-p60"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        watcher = harness.Watcher(self, "limited", r"C:\windows\explorer.exe", "/desktop")
        end = time.time() + WINDOW_WAIT
        while time.time() < end and not watcher.read().startswith(b"ready"):
            time.sleep(0.1)
        self.shell_pid = int(watcher.read().split()[1])
        super().warm()
        owner = self.tool("desktop").strip()
        if owner != str(self.shell_pid):
            raise RuntimeError(f"the desktop belongs to {owner}, not to the limited shell {self.shell_pid}")


class Run:
    """One install attempt's places, as the installer sees and the test checks them."""

    def __init__(self, s, install_dir=r"C:\Program Files\Tovarin", temp=None):
        self.s = s
        self.drive_c = Path(s.env["WINEPREFIX"]) / "drive_c"
        self.install_dir = install_dir
        self.install = self.linux(install_dir)
        self.temp_win = temp or r"C:\users\%s\Temp" % os.environ.get("USER", "root")
        self.temp = self.linux(self.temp_win)
        self.programs = s.user_dir / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs" / "Tovarin"
        self.desktop_link = s.user_dir / "Desktop" / "Tovarin.lnk"
        self.product_home = s.user_dir / "belvastro"
        self.started = self.product_home / "started.txt"

    def linux(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[3:].replace("\\", "/")
        return Path(os.path.realpath(Path(self.s.env["WINEPREFIX"]) / "dosdevices" / f"{drive}:")) / rest

    def clear(self):
        if self.install.exists():
            subprocess.run(["chattr", "-R", "-i", str(self.install)], capture_output=True)
        for path in (self.install, self.programs):
            shutil.rmtree(path, ignore_errors=True)
        for path in (self.desktop_link, self.started, self.temp / "tovarin.7z", self.temp / "7z.dll"):
            try:
                path.unlink()
            except (FileNotFoundError, NotADirectoryError, IsADirectoryError, PermissionError):
                pass

    def allowed(self, path):
        """Whether an install may write or change this path."""
        for root in (self.install, self.programs, self.product_home):
            if path == root or root in path.parents:
                return True
        return path in (self.desktop_link, self.temp / "tovarin.7z", self.temp / "7z.dll") or \
            path in self.install.parents or path in self.programs.parents


def snapshot(roots):
    seen = {}
    for root in roots:
        for folder, dirs, files in os.walk(root):
            for name in dirs + files:
                path = Path(folder) / name
                try:
                    st = path.lstat()
                except FileNotFoundError:
                    continue
                seen[path] = (st.st_mode >> 12, st.st_size if name in files else 0,
                              st.st_mtime_ns if name in files else 0)
    return seen


class FaultMatrix(unittest.TestCase):
    """The rows: each test is one row of the matrix, its fixture inside it."""

    # ---- the shared frame of every row -----------------------------------------

    @contextlib.contextmanager
    def session(self, mode="ok", kind=harness.Session):
        """A receiver answering in the given way ("absent": none at all), the
        display and a Wine session of the kind given, all ended when the block ends."""
        with contextlib.ExitStack() as stack:
            receiver = stack.enter_context(harness.Receiver(PORT, mode)) if mode != "absent" else None
            display = stack.enter_context(harness.Display())
            s = stack.enter_context(kind(display, SHOTS / self.id().rsplit(".", 1)[-1]))
            with self.cleanups():
                yield receiver, s

    @contextlib.contextmanager
    def cleanups(self):
        """Cleanups registered inside run when the block ends, before the session goes."""
        outer, self._cleanups = self._cleanups, []
        try:
            yield
        finally:
            self.doCleanups()
            self._cleanups = outer

    def launch(self, s, exe, windows_env=None, env=None):
        """The installer, started with the Windows variables given (through
        wintool, since Wine resets TEMP and PROGRAMFILES for a process started
        from Linux) and the Linux ones for Wine."""
        s.move(5, 5)
        if windows_env:
            args = [f"{k}={v}" for k, v in windows_env.items()]
            return s.start(s.wintool, "run", *args, winpath(exe) if str(exe).startswith("/") else exe, env=env)
        return s.start(exe, env=env)

    def prepare(self, run, extra_roots=(), earlier_install=True):
        """Leaves things of the user's about (in the install directory too,
        unless the installer is to create it), then takes the picture of the
        disk that the row is judged against."""
        run.clear()
        self.addCleanup(run.clear)
        self.user_notes = run.install / "user-notes.txt" if earlier_install else None
        if self.user_notes:
            run.install.mkdir(parents=True, exist_ok=True)
            self.user_notes.write_bytes(b"mine")
        self.user_temp = run.temp / "user-temp.txt"
        try:
            self.user_temp.write_bytes(b"mine too")
        except OSError:
            self.user_temp = None  # no usable TEMP: nothing of the user's there
        self.roots = [run.drive_c, *extra_roots]
        self.before = snapshot(self.roots)

    def click_install(self, s):
        main = MainWindow(s, s.wait_window(harness.TITLE, WINDOW_WAIT, cls="TMainForm"))
        s.move(*main.screen(100, 100))
        s.move(5, 5)
        main.hover(INSTALL, 130, 35)
        s.xdo("click", 1)
        return main

    def assertNoCrash(self, s):
        crashes = [w for w in s.windows() if any(t in w.title for t in CRASH_TITLES)]
        self.assertEqual(crashes, [], "a crash dialog is up")

    def failedOrSucceeded(self, s, receiver, proc):
        """True once the error dialog is up, False once the install succeeded."""
        end = time.time() + INSTALL_WAIT
        while time.time() < end:
            if [w for w in s.windows() if w.title == "CloseDialogForm"]:
                return True
            if proc.poll() is not None or (receiver and SUCCEEDED in [event_type(r) for r in receiver.snapshot()]):
                return False
            time.sleep(0.1)
        self.fail("neither the error dialog nor a finished install")

    def assertFailureRoad(self, s, receiver, run, then="exit", proc=None):
        dialog = s.wait_window("CloseDialogForm", DIALOG_WAIT)
        self.assertEqual([c.title for c in s.children(dialog.hwnd)], [FAILED_MESSAGE])
        self.assertTrue([w for w in s.windows() if w.cls == "TDownloadForm"], "the dialog is over the progress window")
        if receiver:
            requests = receiver.wait_for(3)
            time.sleep(0.3)
            requests = receiver.snapshot()
            self.assertEqual([event_type(r) for r in requests], [OPENED, STARTED, FAILED])
            body = json.loads(requests[2].body)
            self.assertEqual((body["当前步骤"], body["安装目录"], body["出错提示"]),
                             ("下载页", run.install_dir, "解压失败"))
        self.assertFalse(run.programs.exists(), "no programs-menu link after a failure")
        self.assertFalse(run.desktop_link.exists(), "no desktop link after a failure")
        self.assertFalse(run.started.exists(), "the product is not started after a failure")
        self.assertNoCrash(s)
        inside = (dialog.x + 1, dialog.y + 1)
        if then == "exit":
            s.click(inside[0] + 202 + 54, inside[1] + 106 + 17)
            self.assertEqual(proc.wait(EXIT_WAIT), 0)
        else:
            s.click(inside[0] + 41 + 70, inside[1] + 106 + 17)
            s.wait_window("CloseDialogForm", 10, gone=True)

    def assertInstalled(self, s, receiver, run, proc, stage=STAGE, timed=True, watch=None):
        if watch:
            # No endpoint to hear the event: the window's disappearance marks the hide.
            succeeded_at = watch.gone_at(INSTALL_WAIT)
            self.assertIsNotNone(succeeded_at, "the progress window never went")
        elif receiver:
            end = time.time() + INSTALL_WAIT
            while time.time() < end and SUCCEEDED not in [event_type(r) for r in receiver.snapshot()]:
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            succeeded_at = time.time()
        else:
            # No endpoint to hear the event: the window's disappearance marks the hide.
            end = time.time() + INSTALL_WAIT
            while time.time() < end and not run.started.exists() and proc.poll() is None:
                time.sleep(0.1)
            while time.time() < end and [w for w in s.windows() if w.cls == "TDownloadForm"]:
                time.sleep(0.1)
            succeeded_at = time.time()
        code = proc.wait(INSTALL_WAIT)
        ended_after = time.time() - succeeded_at
        self.assertEqual(code, 0)
        if timed:
            self.assertGreater(ended_after, 2.3, "exits 3 s after hiding")
            self.assertLess(ended_after, 6.0, "exits 3 s after hiding")
        staged = sorted(p.relative_to(stage) for p in stage.rglob("*") if p.is_file())
        for rel in staged:
            self.assertTrue(filecmp.cmp(stage / rel, run.install / rel, shallow=False), rel)
        for link in (run.programs / "Tovarin.lnk", run.desktop_link):
            fields = read_shell_link(link)
            self.assertEqual(fields["description"], DESCRIPTION)
            self.assertTrue((fields["target"] or "").endswith(r"\Tovarin.exe"), fields["target"])
        for _ in range(50):
            if run.started.exists() and run.started.stat().st_size:
                break
            time.sleep(0.1)
        self.assertEqual(run.started.read_bytes().decode("utf-16-le"), run.install_dir)
        if receiver:
            self.assertEqual([event_type(r) for r in receiver.snapshot()], [OPENED, STARTED, SUCCEEDED])
        return ended_after

    def assertOnlyInstallWrites(self, run, extra_allowed=()):
        after = snapshot(self.roots)
        changed = sorted(str(p) for p in set(self.before) | set(after)
                         if self.before.get(p) != after.get(p) and not run.allowed(p)
                         and not any(p == a or a in p.parents for a in extra_allowed))
        self.assertEqual(changed, [], "written outside the install")
        if self.user_notes:
            self.assertEqual(self.user_notes.read_bytes(), b"mine")
        if self.user_temp:
            self.assertEqual(self.user_temp.read_bytes(), b"mine too")

    def fails(self, exe, windows_env=None, run_args=None, arrange=None):
        """One row run that must take the failure road and then exit."""
        with self.session() as (receiver, s):
            run = Run(s, **(run_args or {}))
            if arrange:
                arrange(s, run)
            self.prepare(run)
            proc = self.launch(s, exe, windows_env)
            self.click_install(s)
            self.assertFailureRoad(s, receiver, run, "exit", proc)
            self.assertOnlyInstallWrites(run)

    def small_drive_t(self, s, name, size):
        """A tmpfs of the given size as drive T: for the rest of the row."""
        mount = Path(tempfile.mkdtemp(prefix=f"{name}-"))
        self.addCleanup(mount.rmdir)
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", name, str(mount)], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", str(mount)])
        drive = Path(s.env["WINEPREFIX"]) / "dosdevices" / "t:"
        drive.unlink(missing_ok=True)
        drive.symlink_to(mount)
        self.addCleanup(drive.unlink, True)
        return mount

    def installers(self, *fixtures):
        with self.session() as (_, s):
            return [fixture_installer(s, name, make) for name, make in fixtures]

    # ---- the rows --------------------------------------------------------------

    def test_row01_damaged_packed_data(self):
        self.fails(*self.installers(("damaged", damaged)))

    def test_row02_cut_short_or_not_7z(self):
        for exe in self.installers(("cut-short", cut_short), ("not-7z", not_7z)):
            with self.subTest(exe.stem):
                self.fails(exe)

    def test_row03_missing_method_or_encrypted(self):
        for exe in self.installers(("bzip2", method("-m0=BZip2")), ("deflate", method("-m0=Deflate")),
                                   ("encrypted", method("-m0=LZMA", "-pSecret"))):
            with self.subTest(exe.stem):
                self.fails(exe)

    def test_row04_items_leaving_the_target(self):
        # "sub/../../" and "C:name" as well at the binding's own test.
        kinds = ["parent", "rooted", "drive", "unc", "stream"]
        for exe in self.installers(*[(f"unsafe-{k}", copy_of(ARCHIVE_DATA / f"unsafe-{k}.7z")) for k in kinds]):
            with self.subTest(exe.stem):
                # The picture of drive C: covers "C:/evil.txt" and every parent.
                self.fails(exe)

    def test_row05_locked_file_then_retry(self):
        with self.session() as (receiver, s):
            run = Run(s)
            self.prepare(run)
            (run.install / "readme.txt").write_bytes(b"old")
            holder = s.start(s.wintool, "hold", run.install_dir + r"\readme.txt")
            time.sleep(1.0)
            proc = self.launch(s, EXE)
            self.click_install(s)
            self.assertFailureRoad(s, receiver, run, "retry")
            holder.kill()
            holder.wait(10)
            self.click_install(s)
            self.assertInstalled(s, None, run, proc, timed=False)
            self.assertEqual([event_type(r) for r in receiver.snapshot()],
                             [OPENED, STARTED, FAILED, STARTED, SUCCEEDED])
            self.assertOnlyInstallWrites(run)

    def test_row06_disk_full_then_retry(self):
        (exe,) = self.installers(("huge", lambda folder: pack(huge_stage(), folder / "huge.7z", "-m0=LZMA", "-mx=1")))
        with self.session() as (receiver, s):
            mount = self.small_drive_t(s, "tovarin-full", "310m")
            run = Run(s, r"T:\Programs\Tovarin")
            self.prepare(run, [mount])
            proc = self.launch(s, exe, {"PROGRAMFILES": r"T:\Programs"})
            self.click_install(s)
            started = time.time()
            self.assertFailureRoad(s, receiver, run, "retry")
            print(f"full disk to the error dialog: {time.time() - started:.1f} s", file=sys.stderr)
            # Space freed: the filesystem grown.
            subprocess.run(["mount", "-o", "remount,size=800m", str(mount)], check=True)
            self.click_install(s)
            self.assertInstalled(s, None, run, proc, huge_stage(), timed=False)
            self.assertOnlyInstallWrites(run)

    def test_row07_temp_unusable(self):
        drive_c = Path(harness.wine_env()["WINEPREFIX"]) / "drive_c"
        read_only = drive_c / "temp-read-only"
        in_the_way = drive_c / "temp-in-the-way"

        def make_read_only(s, run):
            read_only.mkdir(exist_ok=True)
            self.addCleanup(shutil.rmtree, read_only, True)
            subprocess.run(["chattr", "+i", str(read_only)], check=True)
            self.addCleanup(subprocess.run, ["chattr", "-i", str(read_only)])

        def folder_in_the_way(s, run):
            (in_the_way / "tovarin.7z").mkdir(parents=True, exist_ok=True)
            self.addCleanup(shutil.rmtree, in_the_way, True)

        for name, temp, arrange in [("missing", r"C:\no-such-temp", None),
                                    ("read-only", r"C:\temp-read-only", make_read_only),
                                    ("folder in the way", r"C:\temp-in-the-way", folder_in_the_way)]:
            with self.subTest(name):
                self.fails(EXE, {"TEMP": temp}, run_args={"temp": temp}, arrange=arrange)

    def test_row08_planted_dlls(self):
        with self.session() as (receiver, s):
            downloads = s.user_dir / "Downloads"
            shutil.rmtree(downloads, ignore_errors=True)
            downloads.mkdir()
            self.addCleanup(shutil.rmtree, downloads, True)
            shutil.copy(EXE, downloads / "TovarinSetup.exe")
            for name in IMPORTED + RUN_TIME:
                shutil.copy(PLANTED_DLL, downloads / f"{name}.dll")
            run = Run(s)
            self.prepare(run)
            overrides = s.env["WINEDLLOVERRIDES"] + ";" + ",".join(RUN_TIME) + "=n,b"
            proc = self.launch(s, r"C:\users\%s\Downloads\TovarinSetup.exe" % os.environ.get("USER", "root"),
                               env={"WINEDLLOVERRIDES": overrides})
            self.click_install(s)
            self.assertInstalled(s, receiver, run, proc)
            self.assertEqual(sorted(p.name for p in downloads.glob("*.loaded")), [], "a planted DLL was loaded")
            self.assertOnlyInstallWrites(run)

    def test_row09_library_swapped(self):
        # A held file is the failure road. A rewrite races the installer's own
        # write of the copy in TEMP: it fails safe when the rewriter holds the
        # file as the installer writes it, and leaves a full install when not;
        # that copy is never loaded, so the impostor never is. (Whether the
        # exit came 3 s after the hide is not judged here: under an emulated
        # Wine the look for the error dialog can outlast it.)
        for name in ("held open for writing", "rewritten after the write"):
            with self.subTest(name), self.session() as (receiver, s):
                run = Run(s)
                self.prepare(run)
                library = run.temp_win + r"\7z.dll"
                if name == "held open for writing":
                    helper = s.start(s.wintool, "hold", library)
                else:
                    (run.temp / "7z.dll").write_bytes(b"")
                    helper = s.start(s.wintool, "overwrite", library, winpath(PLANTED_DLL))
                self.addCleanup(helper.kill)
                time.sleep(1.0)
                proc = self.launch(s, EXE)
                self.click_install(s)
                if name == "held open for writing" or self.failedOrSucceeded(s, receiver, proc):
                    self.assertFailureRoad(s, receiver, run, "exit", proc)
                else:
                    self.assertInstalled(s, receiver, run, proc, timed=False)
                self.assertFalse((run.temp / "7z.dll.loaded").exists(), "the impostor was loaded")
                self.assertOnlyInstallWrites(run)

    def test_row10_hostile_telemetry(self):
        for mode in ("hang", "reset", "garbage", "500", "absent"):
            with self.subTest(mode), self.session(mode) as (receiver, s):
                run = Run(s)
                self.prepare(run)
                proc = self.launch(s, EXE)
                watch = None if receiver else harness.WindowWatch(s, "TDownloadForm", 120)
                self.click_install(s)
                ended_after = self.assertInstalled(s, receiver, run, proc, watch=watch)
                print(f"telemetry {mode}: exit {ended_after:.2f} s after the hide", file=sys.stderr)
                self.assertOnlyInstallWrites(run)

    def test_row11_killed_then_rerun(self):
        with self.session() as (receiver, s):
            exe, stage = large_installer(s)
            run = Run(s)
            self.prepare(run)
            system_temp = run.drive_c / "windows" / "temp"
            earlier = set(system_temp.glob("tovarin-*"))
            proc = self.launch(s, exe)
            self.click_install(s)
            media = run.install / "media"
            end = time.time() + INSTALL_WAIT
            while time.time() < end and not (media.is_dir() and any(f.stat().st_size for f in media.iterdir())):
                time.sleep(0.05)
            proc.kill()
            proc.wait(EXIT_WAIT)
            written = sum(f.stat().st_size for f in run.install.rglob("*") if f.is_file())
            total = sum(f.stat().st_size for f in stage.rglob("*") if f.is_file())
            self.assertLess(written, total, "killed half way, not after the end")
            self.assertEqual([event_type(r) for r in receiver.snapshot()], [OPENED, STARTED])
            proc = self.launch(s, exe)
            self.click_install(s)
            self.assertInstalled(s, None, run, proc, stage, timed=False)
            self.assertEqual([event_type(r) for r in receiver.snapshot()],
                             [OPENED, STARTED, OPENED, STARTED, SUCCEEDED])
            # The killed run's private library folder, which only
            # administrators can change, is all it leaves behind.
            private = sorted(set(system_temp.glob("tovarin-*")) - earlier)
            self.assertLessEqual(len(private), 1, private)
            for folder in private:
                self.addCleanup(shutil.rmtree, folder, True)
            self.assertOnlyInstallWrites(run, private)

    def test_row12_cjk_cyrillic_and_long_directories(self):
        # The long one: 240 characters with "\\Tovarin", the most the
        # directory checks create; its deepest items pass MAX_PATH. Wine has
        # no MAX_PATH limit of its own, so the extended-length form that
        # Windows needs here is checked at ExtendedLengthPath's own test.
        long_programs = "C:\\长路径目录"
        while len(long_programs) < 232 - 41:
            long_programs += "\\" + "长" * 5 + "d" * 35
        long_programs += "\\" + "d" * (231 - len(long_programs))
        for programs in (r"C:\Программы 程序文件", long_programs):
            install_dir = programs + r"\Tovarin"
            with self.subTest(len(install_dir)), self.session() as (receiver, s):
                run = Run(s, install_dir)
                top = run.linux(programs.split("\\")[0] + "\\" + programs.split("\\")[1])
                self.addCleanup(shutil.rmtree, top, True)
                self.prepare(run)
                proc = self.launch(s, EXE, {"PROGRAMFILES": programs})
                self.click_install(s)
                self.assertInstalled(s, receiver, run, proc)
                self.assertOnlyInstallWrites(run)
                longest = max(len(install_dir) + 1 + len(str(p.relative_to(STAGE))) for p in STAGE.rglob("*"))
                print(f"install directory {len(install_dir)} characters, longest item path {longest}",
                      file=sys.stderr)

    def test_row13_lock_folder_linked(self):
        # The product's folder made a link to another folder holding a file
        # named .lock: the install goes on (nothing holds that file) and the
        # file is neither deleted nor changed.
        with self.session() as (receiver, s):
            run = Run(s)
            victim = run.drive_c / "victim-data"
            shutil.rmtree(victim, ignore_errors=True)
            victim.mkdir()
            self.addCleanup(shutil.rmtree, victim, True)
            (victim / ".lock").write_bytes(b"precious")
            if run.product_home.is_symlink():
                run.product_home.unlink()
            shutil.rmtree(run.product_home, ignore_errors=True)
            run.product_home.symlink_to(victim)
            self.addCleanup(run.product_home.unlink, True)
            self.prepare(run)
            proc = self.launch(s, EXE)
            self.click_install(s)
            self.assertInstalled(s, receiver, run, proc)
            self.assertEqual((victim / ".lock").read_bytes(), b"precious")
            # The product itself, started as the user, writes through the link.
            self.assertOnlyInstallWrites(run, [victim / "started.txt"])

    def test_row14_temp_repointed_between_library_check_and_load(self):
        # The installer is held at its mark between the library's check and
        # its load while TEMP, a link, is re-pointed at a folder holding an
        # impostor 7z.dll: the impostor never loads and the install completes.
        with self.session() as (receiver, s):
            drive_c = Path(s.env["WINEPREFIX"]) / "drive_c"
            first, second, link = drive_c / "temp-first", drive_c / "temp-second", drive_c / "temp-linked"
            for folder in (first, second):
                shutil.rmtree(folder, ignore_errors=True)
                folder.mkdir()
                self.addCleanup(shutil.rmtree, folder, True)
            shutil.copy(PLANTED_DLL, second / "7z.dll")
            link.unlink(missing_ok=True)
            link.symlink_to(first)
            self.addCleanup(link.unlink, True)
            release = drive_c / "tovarin-release-load"
            release.unlink(missing_ok=True)
            self.addCleanup(release.unlink, True)
            run = Run(s, temp=r"C:\temp-linked")
            self.prepare(run)
            self.user_temp = first / "user-temp.txt"
            pause = harness.Watcher(s, "pause", "library-checked", winpath(release), INSTALL_WAIT)
            self.addCleanup(pause.out.close)
            proc = self.launch(s, EXE, {"TEMP": run.temp_win})
            self.click_install(s)
            end = time.time() + INSTALL_WAIT
            while b"held" not in pause.read():
                self.assertLess(time.time(), end, "the installer never reached the library check")
                self.assertIsNone(proc.poll(), "the installer ended before the library check")
                time.sleep(0.02)
            repointed = drive_c / "temp-linked.new"
            repointed.symlink_to(second)
            os.replace(repointed, link)
            release.touch()
            failed = self.failedOrSucceeded(s, receiver, proc)
            self.assertFalse((second / "7z.dll.loaded").exists(), "the impostor was loaded")
            self.assertFalse(failed, "the install failed")
            # Untimed: the look for the error dialog can outlast the 3 s.
            self.assertInstalled(s, receiver, run, proc, timed=False)
            # The mark after the hold arrived: the load waited for the re-point.
            marks = pause.read().decode().split()
            self.assertLess(marks.index("held"), marks.index("library-load"))
            self.assertOnlyInstallWrites(run, [first / "tovarin.7z", first / "7z.dll", release])

    def test_row15_product_folder_under_a_parent_users_may_change(self):
        # The parent lets everyone write; the product folder the installer
        # creates there gets an access list of its own with nothing for
        # Everyone. Wine 8 keeps no access lists: it maps a new folder's list
        # onto its Unix mode (Everyone's entry becomes the "other" bits) and
        # makes every list up from the mode again, so the mode is where the
        # list shows. Without a list of its own the folder gets Wine's
        # default, readable by others.
        with self.session() as (receiver, s):
            programs = r"C:\shared-programs"
            run = Run(s, programs + r"\Tovarin")
            parent = run.linux(programs)
            shutil.rmtree(parent, ignore_errors=True)
            parent.mkdir()
            parent.chmod(0o777)
            self.addCleanup(shutil.rmtree, parent, True)
            self.prepare(run, earlier_install=False)
            proc = self.launch(s, EXE, {"PROGRAMFILES": programs})
            self.click_install(s)
            self.assertInstalled(s, receiver, run, proc)
            mode = run.install.stat().st_mode & 0o777
            print(f"product folder mode {mode:o}", file=sys.stderr)
            self.assertEqual(mode & 0o007, 0, f"the product folder's list lets Everyone in ({mode:o})")
            self.assertEqual(mode & 0o700, 0o700, "administrators keep full access")
    def test_row16_linked_folder_of_an_earlier_install(self):
        # A Unix symbolic link in the prefix stands for a junction (a folder)
        # or a symbolic link (the file) that someone put into the install
        # directory of an earlier install.
        outside = Path(harness.wine_env()["WINEPREFIX"]) / "drive_c" / "elsewhere"
        for name, link, target in [("folder", "data", outside), ("file", "readme.txt", outside / "readme.txt")]:
            with self.subTest(name), self.session() as (receiver, s):
                shutil.rmtree(outside, ignore_errors=True)
                (outside / "config").mkdir(parents=True)
                (outside / "config" / "settings.ini").write_bytes(b"theirs")
                (outside / "readme.txt").write_bytes(b"theirs")
                self.addCleanup(shutil.rmtree, outside, True)
                run = Run(s)
                self.prepare(run)  # the picture holds what is outside
                (run.install / link).parent.mkdir(parents=True, exist_ok=True)
                (run.install / link).symlink_to(target)
                proc = self.launch(s, EXE)
                self.click_install(s)
                self.assertFailureRoad(s, receiver, run, "exit", proc)
                self.assertOnlyInstallWrites(run)
                self.assertTrue((run.install / link).is_symlink(), "the link itself is left as it was")

    def test_row17_item_naming_a_device(self):
        def with_device_item(folder):
            stage = small_stage(folder)
            (stage / "nul.txt").write_bytes(b"not for a device\r\n")
            return pack(stage, folder / "device.7z")
        self.fails(*self.installers(("device-name", with_device_item)))
    def test_row18_temp_too_small_for_the_copy(self):
        # TEMP on a drive that cannot hold the package's copy, the product on
        # another: the failure road before a single product file is written.
        with self.session() as (receiver, s):
            exe, _ = large_installer(s)
            mount = self.small_drive_t(s, "tovarin-small-temp", "8m")
            run = Run(s, temp="T:\\")
            self.prepare(run, [mount])
            proc = self.launch(s, exe, {"TEMP": "T:\\"})
            self.click_install(s)
            self.assertFailureRoad(s, receiver, run, "exit", proc)
            self.assertEqual(sorted(p.name for p in run.install.rglob("*")), ["user-notes.txt"],
                             "a product file was written")
            self.assertOnlyInstallWrites(run)

    def test_row19_product_started_as_the_desktop_user(self):
        # Through the desktop shell, the product is Explorer's child with
        # Explorer's limited token. The road closed, the installer starts it
        # itself: Wine's own shell is elevated like the installer; without
        # Wine's shell interface proxies the walk to the shell's dispatch
        # object fails half way.
        no_proxies = {"WINEDLLOVERRIDES": harness.wine_env()["WINEDLLOVERRIDES"] + ";actxprxy=d"}
        for case, kind, env in (("limited shell", LimitedShellSession, None),
                                ("elevated shell", harness.Session, None),
                                ("walk broken", LimitedShellSession, no_proxies)):
            with self.subTest(case), self.session(kind=kind) as (receiver, s):
                run = Run(s)
                self.prepare(run)
                proc = self.launch(s, EXE, env=env)
                installer = self.click_install(s).w.pid
                self.assertInstalled(s, receiver, run, proc)
                table = processes(s)
                products = [p for p in table if p[3].lower() == "tovarin.exe"]
                self.assertEqual(len(products), 1, "the product started once")
                _, parent, elevated, _ = products[0]
                if case == "limited shell":
                    self.assertEqual((parent, elevated), (s.shell_pid, "0"),
                                     f"the desktop shell's child, with its token: {table}")
                    self.assertIn((parent, "explorer.exe"), [(p[0], p[3].lower()) for p in table])
                else:
                    self.assertEqual((parent, elevated), (installer, "1"), f"the installer's child: {table}")
                self.assertOnlyInstallWrites(run)

if __name__ == "__main__":
    unittest.main()
