"""Whole installs under real input: the default install of the demo product
(files, shell links, the product's start, the events, the end), a failed
install with its retry into a fresh main window followed by an install with
both options cleared, and the progress window half-way through a package
large enough to watch."""
import filecmp
import random
import os
import shutil
import struct
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from test_main_window import AGREE, CHECK_STATES, CONTINUE, INSTALL, OPTIONS, MainWindow, event_type  # noqa: E402
from test_options_panel import OPEN_APP, SHORTCUT  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
BUILD = Path(os.environ["TOVARIN_BUILD_DIR"])
STAGE = BUILD / "product" / "stage"
SHOTS = BUILD / "screenshots" / "install"

DEFAULT_DIR = r"C:\Program Files\Tovarin"
DESCRIPTION = "Tovarin 桌面客户端"
FILL_TOP = "#A3D3E3"
FILL_BODY = "#B7EDFF"


def read_shell_link(path):
    """Target, working directory, description, icon location and index of a
    .lnk file, read from the shell-link format itself."""
    data = Path(path).read_bytes()
    flags, = struct.unpack_from("<I", data, 0x14)
    icon_index, = struct.unpack_from("<i", data, 0x38)
    pos = 0x4C
    if flags & 0x1:  # HasLinkTargetIDList
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x2:  # HasLinkInfo
        size, header, info_flags, _, base, _, suffix = struct.unpack_from("<7I", data, pos)
        if info_flags & 1:
            if header >= 0x24:
                base_u, = struct.unpack_from("<I", data, pos + 0x1C)
                if base_u:
                    end = data.index(b"\0\0", pos + base_u)
                    end += (end - pos - base_u) % 2
                    target = data[pos + base_u:end].decode("utf-16-le")
            if target is None:
                target = data[pos + base:data.index(b"\0", pos + base)].decode("mbcs" if os.name == "nt" else "latin-1")
            target += data[pos + suffix:data.index(b"\0", pos + suffix)].decode("latin-1")
        pos += size
    unicode = bool(flags & 0x80)
    strings = {}
    for bit, name in ((0x4, "description"), (0x8, "relative"), (0x10, "workdir"), (0x20, "arguments"),
                      (0x40, "icon")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, pos)
            pos += 2
            width = 2 if unicode else 1
            raw = data[pos:pos + count * width]
            # Wine counts the terminating zero in.
            strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            pos += count * width
    return {"target": target, "workdir": strings.get("workdir"), "description": strings.get("description"),
            "icon": strings.get("icon"), "icon_index": icon_index, "arguments": strings.get("arguments")}


def identity_prefix(opened_body):
    return opened_body.decode()[:-1]


def json_text(text):
    return text.replace("\\", "\\\\")


def install_bodies(opened_body, flag):
    """The bodies of the start and the success event of an install into the
    default directory, both options set to `flag` ("-1" or "0")."""
    ident, install_dir = identity_prefix(opened_body), json_text(DEFAULT_DIR)
    options = f'"桌面快捷方式":"{flag}","安装完成后打开":"{flag}"}}'
    return (ident + f',"安装目录":"{install_dir}",' + options,
            ident + f',"当前步骤":"下载页","安装目录":"{install_dir}",' + options)


class Places:
    """The install's places inside the Wine prefix."""

    def __init__(self, session):
        drive_c = Path(session.env["WINEPREFIX"]) / "drive_c"
        self.install = drive_c / "Program Files" / "Tovarin"
        self.programs = session.user_dir / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs" / "Tovarin"
        self.desktop_link = session.user_dir / "Desktop" / "Tovarin.lnk"
        self.started = session.user_dir / "belvastro" / "started.txt"
        self.temp = session.user_dir / "Temp"

    def clear(self):
        if self.install.exists():
            subprocess.run(["chattr", "-R", "-i", str(self.install)], capture_output=True)
        for path in (self.install, self.programs):
            shutil.rmtree(path, ignore_errors=True)
        for path in (self.desktop_link, self.started):
            path.unlink(missing_ok=True)


def large_installer(session):
    """A copy of the installer whose package is the demo product plus 75 MB
    of half-compressible media, made once per build of the installer."""
    folder = BUILD / "tests" / "e2e" / "large-payload"
    exe = folder / "TovarinSetup.exe"
    if exe.exists() and exe.stat().st_mtime >= EXE.stat().st_mtime:
        return exe, folder / "stage"
    shutil.rmtree(folder, ignore_errors=True)
    stage = folder / "stage"
    shutil.copytree(STAGE, stage)
    (stage / "media").mkdir()
    rng = random.Random(7)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(5000)]
    for i in range(4):
        with open(stage / "media" / f"pack{i}.dat", "wb") as f:
            for _ in range(4):
                f.write(rng.randbytes(2 << 20))
                f.write(b" ".join(rng.choice(words) for _ in range(400000))[:4 << 20])
    package = folder / "package.7z"
    subprocess.run(["7zz", "a", "-t7z", "-m0=LZMA", "-mx=1", "-mf=BCJ2", "-mhc=on", "-bd", "-bso0", "-bsp0",
                    str(package), "."], cwd=stage, check=True)
    shutil.copy(EXE, folder / "partial.exe")
    winpath = lambda p: "Z:" + str(p).replace("/", "\\")  # noqa: E731
    session.tool("setres", winpath(folder / "partial.exe"), "PACKAGE", winpath(package))
    if (folder / "partial.exe").stat().st_size < package.stat().st_size:
        raise RuntimeError("the large package was not embedded")
    (folder / "partial.exe").rename(exe)
    return exe, stage


def wait_exit(proc, timeout=60):
    return proc.wait(timeout)


class InstallTest(unittest.TestCase):
    def start(self, receiver, s, exe=EXE):
        places = Places(s)
        places.clear()
        self.addCleanup(places.clear)
        s.move(5, 5)
        proc = s.start(exe)
        main = MainWindow(s, s.wait_window(harness.TITLE, cls="TMainForm"))
        receiver.wait_for(1)
        s.move(*main.screen(100, 100))
        s.move(5, 5)
        return places, proc, main

    def click_install(self, main):
        main.hover(INSTALL, 130, 35)
        main.s.xdo("click", 1)

    def assertStagedFilesIn(self, folder, stage=STAGE):
        staged = sorted(p.relative_to(stage) for p in stage.rglob("*") if p.is_file())
        self.assertTrue(staged)
        for rel in staged:
            self.assertTrue(filecmp.cmp(stage / rel, folder / rel, shallow=False), rel)

    def assertLinksToInstall(self, link):
        fields = read_shell_link(link)
        self.assertEqual(fields["target"], DEFAULT_DIR + r"\Tovarin.exe")
        self.assertEqual(fields["workdir"], DEFAULT_DIR + "\\")
        self.assertEqual(fields["description"], DESCRIPTION)
        self.assertEqual(fields["icon"], DEFAULT_DIR + r"\Tovarin.exe")
        self.assertEqual(fields["icon_index"], 0)
        self.assertIsNone(fields["arguments"])

    def test_default_install(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            places, proc, main = self.start(receiver, s)
            # An earlier install's leftover that the package does not hold.
            places.install.mkdir(parents=True)
            (places.install / "user-notes.txt").write_bytes(b"mine")

            self.click_install(main)
            requests = receiver.wait_for(3, timeout=30)
            succeeded_at = time.time()
            code = wait_exit(proc)
            ended_after = time.time() - succeeded_at
            self.assertEqual(code, 0)
            # Event, hide, 3000 ms pause, end: about 3 s from the event to the exit.
            self.assertGreater(ended_after, 2.5)
            self.assertLess(ended_after, 6.0)
            print(f"success event to exit: {ended_after:.2f} s", file=sys.stderr)

            self.assertStagedFilesIn(places.install)
            self.assertEqual((places.install / "user-notes.txt").read_bytes(), b"mine")
            self.assertTrue((places.install / "data" / "empty.dat").is_file())
            self.assertLinksToInstall(places.programs / "Tovarin.lnk")
            self.assertLinksToInstall(places.desktop_link)
            for _ in range(50):
                if places.started.exists() and places.started.stat().st_size:
                    break
                time.sleep(0.1)
            self.assertEqual(places.started.read_bytes().decode("utf-16-le"), DEFAULT_DIR)

            time.sleep(0.5)
            requests = receiver.snapshot()
            self.assertEqual([event_type(r) for r in requests], ["安装器-打开", "安装器-开始安装", "安装器-安装成功"])
            self.assertEqual([r.body.decode() for r in requests[1:]], list(install_bodies(requests[0].body, "-1")))

    def test_failure_retry_and_install_with_options_cleared(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            places, proc, main = self.start(receiver, s)
            # A read-only file of an earlier install in the way of the last item.
            places.install.mkdir(parents=True)
            blocked = places.install / "readme.txt"
            blocked.write_bytes(b"old")
            subprocess.run(["chattr", "+i", str(blocked)], check=True)

            self.click_install(main)
            dialog = s.wait_window("CloseDialogForm", 30)
            progress = s.wait_window(harness.TITLE, cls="TDownloadForm")
            self.assertEqual([c.title for c in s.children(dialog.hwnd)], ["安装失败，请检查安装路径是否正确"])
            self.assertEqual((progress.cw, progress.ch), (750, 500))
            self.assertEqual((dialog.x, dialog.y), (progress.x + 200, progress.y + 154))
            time.sleep(0.5)
            shot = s.screenshot("failed-install")
            # The bar where it stopped: fill rows left of the dialog.
            px = lambda x, y: s.pixel(progress.x + 1 + x, progress.y + 1 + y, shot)  # noqa: E731
            self.assertEqual(px(107, 230), FILL_TOP)
            self.assertEqual({px(x, y) for x in (107, 150, 190) for y in (231, 235, 239)}, {FILL_BODY})
            self.assertEqual(harness.shown_picture(shot, dialog.x + 1 + CONTINUE[0], dialog.y + 1 + CONTINUE[1],
                                                   ["continue.bmp", "retry.bmp"]), "retry.bmp")
            requests = receiver.wait_for(3)
            self.assertEqual([event_type(r) for r in requests], ["安装器-打开", "安装器-开始安装", "安装器-安装出错"])
            ident = identity_prefix(requests[0].body)
            install_dir = json_text(DEFAULT_DIR)
            self.assertEqual(requests[2].body.decode(),
                             ident + f',"当前步骤":"下载页","安装目录":"{install_dir}","出错提示":"解压失败"}}')
            self.assertFalse(places.programs.exists())

            # Retry: a fresh main window with the default directory and every box ticked.
            s.click(dialog.x + 1 + CONTINUE[0] + 70, dialog.y + 1 + CONTINUE[1] + 17)
            s.wait_window("CloseDialogForm", 10, gone=True)
            main = MainWindow(s, s.wait_window(harness.TITLE, cls="TMainForm"))
            self.assertEqual([w.cls for w in s.windows() if w.pid == main.w.pid], ["TMainForm"])
            self.assertEqual((main.w.cw, main.w.ch), (750, 500))
            main.hover(OPTIONS, 7, 7)
            s.xdo("click", 1)
            time.sleep(0.3)
            main.refresh()
            # (The directory is the default again: the next start event carries it.)
            s.move(5, 5)
            time.sleep(0.3)
            for spot in (SHORTCUT, OPEN_APP, AGREE):
                self.assertEqual(main.shows(spot, CHECK_STATES), "check10.bmp", spot)

            # Obstacle gone, both options cleared: the second Install succeeds.
            subprocess.run(["chattr", "-i", str(blocked)], check=True)
            for spot in (SHORTCUT, OPEN_APP):
                main.hover(spot, 7, 7)
                s.xdo("click", 1)
            self.click_install(main)
            self.assertEqual(wait_exit(proc), 0)
            self.assertStagedFilesIn(places.install)
            self.assertLinksToInstall(places.programs / "Tovarin.lnk")
            self.assertFalse(places.desktop_link.exists())
            self.assertFalse(places.started.exists())
            self.assertEqual([w for w in s.windows() if w.title == "Tovarin"], [])

            requests = receiver.wait_for(5)
            time.sleep(0.5)
            requests = receiver.snapshot()
            self.assertEqual([event_type(r) for r in requests],
                             ["安装器-打开", "安装器-开始安装", "安装器-安装出错", "安装器-开始安装", "安装器-安装成功"])
            self.assertEqual([r.body.decode() for r in requests[3:]], list(install_bodies(requests[0].body, "0")))

    def test_progress_window_half_way(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            exe, stage = large_installer(s)
            places, proc, main = self.start(receiver, s, exe)
            left, top = harness.PROGRESS_ORIGIN
            at = lambda x, y: (left + 1 + x, top + 1 + y)  # noqa: E731
            self.click_install(main)
            half_way = None
            for i in range(60):
                shot = s.screenshot(f"progress-{i:02d}")
                row = [s.pixel(*at(x, 235), shot) for x in (107, 640)]
                if row == [FILL_BODY, "#FFFFFF"] and s.pixel(*at(107, 230), shot) == FILL_TOP:
                    half_way = shot
                    break
                if proc.poll() is not None or len(receiver.snapshot()) >= 3:
                    break
            self.assertIsNotNone(half_way, "no part-filled bar seen")
            shutil.copy(half_way, SHOTS / "progress-window.png")
            subprocess.run(["convert", str(half_way), "-crop", f"752x502+{left}+{top}", "+repage",
                            str(SHOTS / "progress-window-only.png")], check=True)
            windows = [w for w in s.windows() if w.pid == main.w.pid]
            self.assertEqual([(w.cls, w.x, w.y, w.cw, w.ch) for w in windows],
                             [("TDownloadForm", left, top, 750, 500)])

            self.assertEqual(wait_exit(proc), 0)
            self.assertStagedFilesIn(places.install, stage)
            self.assertEqual([event_type(r) for r in receiver.wait_for(3)],
                             ["安装器-打开", "安装器-开始安装", "安装器-安装成功"])


if __name__ == "__main__":
    unittest.main()
