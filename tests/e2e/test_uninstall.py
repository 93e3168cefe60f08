"""Removal under Wine, as Windows' list of installed apps starts it: the
registration an install leaves, the uninstaller's window and its quiet run,
what it keeps of the user's, its refusals (the product running, a record
changed or reaching outside the install, a record reached through a link)
and a run killed half way, then run again."""
import contextlib
import hashlib
import os
import shutil
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from test_fault_matrix import Run, processes, snapshot, winpath  # noqa: E402
from test_install import STAGE  # noqa: E402
from test_main_window import INSTALL, MainWindow  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "uninstall"

KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovarin"
TITLE = "Tovarin卸载程序"
UNINSTALL, DONE = "卸载", "完成"
REMOVED_DIR_KEPT = "Tovarin已卸载。安装目录中还有您自己的文件，已保留该目录。"
OWN_FILES = ("Uninstall.exe", "Uninstall.dat")
WAIT = 120
INVISIBLE = 0x8000
# FILETIME (100 ns since 1601) of the Unix epoch.
EPOCH_FILETIME = 116444736000000000


def filetime(path):
    return path.stat().st_mtime_ns // 100 + EPOCH_FILETIME


class Record:
    """Uninstall.dat read as the uninstaller reads it."""

    def __init__(self, path):
        self.bytes = path.read_bytes()
        self.files, self.folders, self.shortcuts = [], [], []
        for line in self.bytes.decode("utf-8").splitlines()[1:]:
            kind, *fields = line.split("\t")
            if kind == "file":
                self.files.append((fields[0], int(fields[1]), int(fields[2])))
            elif kind == "folder":
                self.folders.append(fields[0])
            elif kind == "shortcut":
                self.shortcuts.append(fields[0])

    def product_files(self):
        return [f for f, _, _ in self.files if f not in OWN_FILES]


def local(rel):
    return Path(*rel.split("\\"))


class Uninstall(unittest.TestCase):
    # ---- the frame ---------------------------------------------------------------

    @contextlib.contextmanager
    def session(self):
        with harness.Receiver(PORT), harness.Display() as display, \
                harness.Session(display, SHOTS / self.id().rsplit(".", 1)[-1]) as s:
            run = Run(s)
            run.clear()
            try:
                yield s, run
            finally:
                run.clear()
                s.wine("reg", "delete", KEY, "/f")

    def install(self, s, run, close_product=True):
        """A default install through the installer's window, the product it
        starts closed again unless asked; the record as written."""
        s.move(5, 5)
        proc = s.start(EXE)
        main = MainWindow(s, s.wait_window(harness.TITLE, WAIT, cls="TMainForm"))
        main.hover(INSTALL, 130, 35)
        s.xdo("click", 1)
        self.assertEqual(proc.wait(WAIT), 0, "the install failed")
        if close_product:
            self.close_product(s)
        else:
            s.wait_window("Tovarin", 30, cls="TovarinProduct")
        return Record(run.install / "Uninstall.dat")

    def close_product(self, s):
        product = s.wait_window("Tovarin", 30, cls="TovarinProduct")
        s.tool("close", product.hwnd)
        end = time.time() + 30
        while any(p[3].lower() == "tovarin.exe" for p in processes(s)):
            self.assertLess(time.time(), end, "the product did not end")
            time.sleep(0.5)

    def registration(self, s):
        """The entry's values as `reg query` shows them; None without one."""
        code, out = s.wine("reg", "query", KEY)
        if code:
            self.assertIn("Unable to find", out)
            return None
        values = {}
        for line in out.splitlines():
            fields = line.strip().split("    ")
            if len(fields) == 3:
                values[fields[0]] = fields[2]
        return values

    def command(self, s, value):
        """The registered command line of that name, split as the shell splits it."""
        line = self.registration(s)[value]
        self.assertTrue(line.startswith('"'), line)
        exe, rest = line[1:].split('"', 1)
        return [exe, *rest.split()]

    def quiet(self, s):
        code, _ = s.wine(*self.command(s, "QuietUninstallString"), timeout=WAIT)
        return code

    def wait_gone(self, path, timeout=30):
        """The copy removes the uninstaller once the original has ended."""
        end = time.time() + timeout
        while path.exists() and time.time() < end:
            time.sleep(0.2)
        return not path.exists()

    def assertAllGone(self, s, run, record):
        self.assertTrue(self.wait_gone(run.install / "Uninstall.exe"), "the uninstaller stayed")
        left = [f for f, _, _ in record.files if (run.install / local(f)).exists()]
        left += [f for f in record.folders if (run.install / local(f)).exists()]
        self.assertEqual(left, [], "installed items left")
        self.assertFalse(run.desktop_link.exists(), "the desktop link stayed")
        self.assertFalse(run.programs.exists(), "the programs-menu folder stayed")
        self.assertIsNone(self.registration(s), "the registration stayed")

    def removal(self, run):
        """What a removal may change: the install, the two links, and a stale
        lock file, deleted by the same rule as the installer's."""
        return [run.install, run.programs, run.desktop_link, run.product_home / ".lock"]

    def assertUntouched(self, s, run, before, registered, allowed=()):
        """Nothing changed on drive C: but the copy's private folder and what is allowed."""
        after = snapshot([run.drive_c])
        allowed = [run.drive_c / "windows" / "temp", *allowed]
        changed = sorted(str(p) for p in set(before) | set(after) if before.get(p) != after.get(p)
                         and not any(p == a or a in p.parents for a in allowed))
        self.assertEqual(changed, [], "changed outside what the run may change")
        self.assertEqual(self.registration(s), registered)

    # ---- the tests ---------------------------------------------------------------

    def test_removal_through_the_registration(self):
        with self.session() as (s, run):
            record = self.install(s, run)
            _, listed = s.wine("uninstaller", "--list")
            self.assertIn("Tovarin", listed)
            values = self.registration(s)
            self.assertEqual((values["DisplayVersion"], values["Publisher"]), ("3.1.1", "Tovarin"))
            self.assertTrue((run.install / "Uninstall.exe").is_file())
            self.assertTrue((run.install / "Uninstall.dat").is_file())
            (run.install / "user-notes.txt").write_bytes(b"mine")
            (run.install / "my-stuff").mkdir()
            (run.install / "my-stuff" / "notes.txt").write_bytes(b"mine too")

            # The window, as Apps & features starts it.
            before = snapshot([run.drive_c])
            s.move(5, 5)
            proc = s.start(*self.command(s, "UninstallString"))
            self.press(s, UNINSTALL)
            names = self.wait_shown(s, DONE)
            s.screenshot("removed")
            self.assertIn(REMOVED_DIR_KEPT, names, "the final message does not say the directory stays")
            self.press(s, DONE, names)
            self.assertEqual(proc.wait(WAIT), 0)
            self.assertAllGone(s, run, record)
            self.assertEqual(sorted(str(p.relative_to(run.install)) for p in run.install.rglob("*")),
                             ["my-stuff", "my-stuff/notes.txt", "user-notes.txt"], "the user's things")
            self.assertEqual((run.install / "my-stuff" / "notes.txt").read_bytes(), b"mine too")
            self.assertUntouched(s, run, before, None, self.removal(run))
            self.assertNotIn("Tovarin", s.wine("uninstaller", "--list")[1])

            # Quiet, with nothing of the user's left: the directory goes too.
            run.clear()
            record = self.install(s, run)
            self.assertEqual(self.quiet(s), 0)
            self.assertAllGone(s, run, record)
            self.assertFalse(run.install.exists(), "the empty install directory stayed")

            # Afterwards a first install again.
            record = self.install(s, run)
            self.assertEqual(self.registration(s)["DisplayVersion"], "3.1.1")
            staged = sorted(str(p.relative_to(STAGE)).replace("/", "\\") for p in STAGE.rglob("*") if p.is_file())
            self.assertEqual(sorted(record.product_files()), staged)
            self.assertEqual(sorted(record.folders), sorted(str(p.relative_to(run.install)).replace("/", "\\")
                                                           for p in run.install.rglob("*") if p.is_dir()))
            self.assertEqual(len(record.shortcuts), 2)
            for rel, size, _ in record.files:
                if rel != "Uninstall.dat":
                    self.assertEqual((run.install / local(rel)).stat().st_size, size, rel)

    def test_refusals(self):
        with self.session() as (s, run):
            # The product running (the installer started it): nothing goes.
            self.install(s, run, close_product=False)
            registered = self.registration(s)
            before = snapshot([run.drive_c])
            self.assertEqual(self.quiet(s), 1, "not refused while the product runs")
            self.assertUntouched(s, run, before, registered)
            self.close_product(s)

            dat = run.install / "Uninstall.dat"
            programs = run.install.parent
            elsewhere = run.drive_c / "elsewhere"
            self.addCleanup(shutil.rmtree, elsewhere, True)

            def rehash(data):
                dat.write_bytes(data)
                s.wine("reg", "add", KEY, "/v", "InstallRecordSHA256", "/t", "REG_SZ",
                       "/d", hashlib.sha256(data).hexdigest(), "/f")

            # By a user: one digit, so the record still reads.
            def one_byte(original):
                data = bytearray(original)
                at = data.index(b"\n", data.index(b"\nfile\t") + 1) - 1
                data[at] = ord("1") if data[at] != ord("1") else ord("2")
                dat.write_bytes(bytes(data))

            # The same record, at a link's target outside.
            def linked(original):
                elsewhere.mkdir(exist_ok=True)
                (elsewhere / "Uninstall.dat").write_bytes(original)
                dat.unlink()
                dat.symlink_to(elsewhere / "Uninstall.dat")

            # The rest as if an install had written them (the hash rewritten
            # in the registration): one entry more, naming a thing outside
            # that it would match.
            def naming(kind, windows_path, victim):
                def tamper(original):
                    victim.parent.mkdir(parents=True, exist_ok=True)
                    if kind == "file":
                        victim.write_bytes(b"not the installer's")
                        line = f"file\t{windows_path}\t{victim.stat().st_size}\t{filetime(victim)}\n"
                    else:
                        shutil.copy(run.desktop_link, victim)  # it points into the install
                        line = f"shortcut\t{windows_path}\n"
                    self.addCleanup(victim.unlink, True)
                    rehash(original + line.encode())
                return tamper

            # Another directory holding the install's files as they were written.
            def another_directory(original):
                shutil.copytree(run.install, elsewhere / "Tovarin", dirs_exist_ok=True)
                rehash(original.replace(f"\ndir\t{run.install_dir}\n".encode(), b"\ndir\tC:\\elsewhere\\Tovarin\n"))

            rows = [  # what, how, refused as a whole
                ("one byte changed", one_byte, True),
                ("reached through a link", linked, True),
                ("a file above the directory", naming("file", r"..\victim.txt", programs / "victim.txt"), True),
                ("a file by its full path", naming("file", r"C:\victim.txt", run.drive_c / "victim.txt"), True),
                ("a shortcut elsewhere", naming("shortcut", r"C:\Program Files\victim.lnk", programs / "victim.lnk"),
                 False),
                ("another directory", another_directory, False),
            ]
            for name, tamper, refused in rows:
                with self.subTest(name):
                    if self.registration(s) is None:  # the row before removed it
                        run.clear()
                        self.install(s, run)
                    registered = self.registration(s)
                    original, times = dat.read_bytes(), (dat.stat().st_atime_ns, dat.stat().st_mtime_ns)
                    tamper(original)
                    tampered = self.registration(s)
                    before = snapshot([run.drive_c])
                    code = self.quiet(s)
                    if refused:
                        self.assertEqual(code, 2, "not refused")
                        self.assertUntouched(s, run, before, tampered)
                    else:
                        self.assertUntouched(s, run, before, self.registration(s),
                                             self.removal(run))
                    if self.registration(s) is not None:
                        dat.unlink()
                        dat.write_bytes(original)
                        os.utime(dat, ns=times)
                        s.wine("reg", "add", KEY, "/v", "InstallRecordSHA256", "/t", "REG_SZ",
                               "/d", registered["InstallRecordSHA256"], "/f")

    def test_killed_half_way_then_run_again(self):
        with self.session() as (s, run):
            record = self.install(s, run)
            release = run.drive_c / "tovarin-release-removal"
            release.unlink(missing_ok=True)
            self.addCleanup(release.unlink, True)
            # Held after its start mark, the copy waits at its next one, once the files are gone.
            pause = harness.Watcher(s, "pause", "uninstall-start", winpath(release), WAIT)
            self.addCleanup(pause.out.close)
            exe, *args = self.command(s, "QuietUninstallString")
            proc = s.start(exe, *args)
            end = time.time() + WAIT
            while b"held" not in pause.read():
                self.assertLess(time.time(), end, "the uninstaller never started its work")
                time.sleep(0.02)
            while any((run.install / local(f)).exists() for f in record.product_files()):
                self.assertLess(time.time(), end, "the files were never removed")
                time.sleep(0.02)
            # Again until none is left: one the scan missed would carry on
            # once its held mark times out (10 s) and finish the removal.
            while s.kill_prefix_processes("Uninstall.exe"):
                time.sleep(0.2)
            proc.wait(30)
            release.touch()
            self.assertTrue(run.desktop_link.exists(), "killed after the end, not half way")
            # Right after the kill, reg has now and then answered that the key
            # was missing (cause not found); a second look decides.
            self.assertTrue(self.registration(s) is not None or self.registration(s) is not None,
                            "killed after the end, not half way")

            self.assertEqual(self.quiet(s), 0)
            self.assertAllGone(s, run, record)
            self.assertFalse(run.install.exists(), "the empty install directory stayed")

    # ---- the window ----------------------------------------------------------------

    def shown(self, s):
        """Names of the window's visible accessible children with their places on screen."""
        found = {}
        window = s.wait_window(TITLE, WAIT)
        for line in s.tool("access", window.hwnd).splitlines()[1:]:
            fields = line.split("\t")
            if len(fields) >= 6 and not int(fields[2], 16) & INVISIBLE:
                found[fields[3]] = tuple(map(int, fields[5].split()))
        return found

    def wait_shown(self, s, name):
        end = time.time() + WAIT
        while name not in (names := self.shown(s)):
            self.assertLess(time.time(), end, f"no {name} shown")
            time.sleep(0.5)
        return names

    def press(self, s, name, names=None):
        left, top, width, height = (names or self.wait_shown(s, name))[name]
        s.click(left + width // 2, top + height // 2)


if __name__ == "__main__":
    unittest.main()
