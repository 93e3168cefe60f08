"""The windows at 100 %, 125 %, 150 % and 200 % display scale (the prefix's
LogPixels): every size and place is the layout's times the scale, clicks at
scaled places hit the scaled controls, and the pictures shown are the ones
drawn for that scale. The prefix is set back to 96 DPI at the end."""
import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from layout import DIALOG, MAIN, PROGRESS, scale, scaled  # noqa: E402
from test_install import Places  # noqa: E402
from test_main_window import event_type  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "display_scale"
# Room for the main window with its options panel at 200 % (1502 x 1082).
SCREEN = (1800, 1200)
DESKTOP = r"HKCU\Control Panel\Desktop"
SETS = {96: "", 120: "125/", 144: "150/", 192: "200/"}


def set_dpi(session, dpi):
    """The prefix's display DPI; Wine reads it when its server starts."""
    subprocess.run(["wine", "reg", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                   env=session.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120, check=True)
    session.kill_all()
    # Booted here, not inside the first window's wait: slow on an emulated machine.
    session.warm()


def picture(dpi, name):
    """A picture file of the set drawn for dpi (the 100 % set is bitmaps and
    the install button's JPEGs)."""
    if dpi == 96:
        return name + (".jpg" if name.startswith("install") else ".bmp")
    return SETS[dpi] + name + ".jpg"


class Scaled:
    """A window on screen and the layout at its DPI."""

    def __init__(self, session, window, controls, dpi):
        self.s, self.w, self.controls, self.dpi = session, window, controls, dpi
        self.frame = scale(1, dpi)

    def at(self, name):
        return scaled(self.controls[name], self.dpi)

    def screen(self, name, dx=None, dy=None):
        c = self.at(name)
        return (self.w.x + self.frame + c.x + (c.w // 2 if dx is None else dx),
                self.w.y + self.frame + c.y + (c.h // 2 if dy is None else dy))

    def click(self, name):
        self.s.move(*self.screen(name))
        time.sleep(0.2)
        self.s.xdo("click", 1)
        time.sleep(0.3)

    def shows(self, name, pictures, shot=None):
        shot = shot or self.s.screenshot("_state")
        x, y = self.screen(name, 0, 0)
        return harness.shown_picture(shot, x, y, [picture(self.dpi, p) for p in pictures])


class DisplayScaleTest(unittest.TestCase):
    def test_every_window_at_every_scale(self):
        with harness.Receiver(PORT) as receiver, harness.Display(SCREEN) as display, \
                harness.Session(display, SHOTS) as s:
            try:
                for dpi in SETS:
                    with self.subTest(dpi=dpi):
                        set_dpi(s, dpi)
                        self.check_scale(s, receiver, dpi)
            finally:
                set_dpi(s, 96)

    def check_scale(self, s, receiver, dpi):
        places = Places(s)
        places.clear()
        self.addCleanup(places.clear)
        sw, sh = SCREEN
        frame = scale(1, dpi)
        start = len(receiver.snapshot())
        s.move(5, 5)
        proc = s.start(EXE)
        main = Scaled(s, s.wait_window(harness.TITLE, cls="TMainForm"), MAIN, dpi)
        receiver.wait_for(start + 1)
        s.move(*main.screen("BackgroundImage", 100, 100))
        s.move(5, 5)
        time.sleep(0.5)

        # The main window: the layout's size times the scale, centred.
        width, height = scale(750, dpi), scale(500, dpi)
        self.assertEqual((main.w.cw, main.w.ch), (width, height))
        self.assertEqual((main.w.w, main.w.h), (width + 2 * frame, height + 2 * frame))
        self.assertEqual((main.w.x, main.w.y), ((sw - width - 2 * frame) // 2, (sh - height - 2 * frame) // 2))
        shot = s.screenshot(f"main-window-{dpi}")
        self.assertEqual(main.shows("CloseImage", ["close0", "close1"], shot), picture(dpi, "close0"))
        self.assertEqual(main.shows("InstallImage", ["install0", "install1", "install3"], shot),
                         picture(dpi, "install0"))

        # Hover and press at scaled places, the pictures of the scale's set.
        s.move(*main.screen("InstallImage"))
        time.sleep(0.3)
        self.assertEqual(main.shows("InstallImage", ["install0", "install1"]), picture(dpi, "install1"))
        s.move(*main.screen("CloseImage"))
        time.sleep(0.3)
        self.assertEqual(main.shows("CloseImage", ["close0", "close1"]), picture(dpi, "close1"))
        main.click("OptionAgreeImage")
        s.move(5, 5)
        time.sleep(0.3)
        shot = s.screenshot("_state")
        self.assertEqual(main.shows("OptionAgreeImage", ["check00", "check10"], shot), picture(dpi, "check00"))
        self.assertEqual(main.shows("InstallImage", ["install0", "install3"], shot), picture(dpi, "install3"))
        main.click("OptionAgreeImage")

        # The options panel: the window grows by the scaled panel; its boxes answer.
        main.click("CustomPathImage")
        main.w = s.wait_window(harness.TITLE, cls="TMainForm")
        self.assertEqual((main.w.cw, main.w.ch), (width, scale(540, dpi)))
        main.click("OptionShortcutImage")
        s.move(5, 5)
        time.sleep(0.3)
        self.assertEqual(main.shows("OptionShortcutImage", ["check00", "check10"]), picture(dpi, "check00"))
        main.click("OptionShortcutImage")
        main.click("CustomPathImage")
        main.w = s.wait_window(harness.TITLE, cls="TMainForm")
        self.assertEqual(main.w.ch, height)

        # The exit confirmation: its size, its place over the main window, its left button.
        main.click("CloseImage")
        dialog = Scaled(s, s.wait_window("CloseDialogForm", 10), DIALOG, dpi)
        dw, dh = scale(352, dpi), scale(167, dpi)
        self.assertEqual((dialog.w.cw, dialog.w.ch), (dw, dh))
        self.assertEqual((dialog.w.x, dialog.w.y), (main.w.x + scale(200, dpi), main.w.y + scale(154, dpi)))
        time.sleep(0.3)
        shot = s.screenshot(f"exit-dialog-{dpi}")
        self.assertEqual(dialog.shows("IconImage", ["exclamatory", "error"], shot), picture(dpi, "exclamatory"))
        self.assertEqual(dialog.shows("ExitButtonImage", ["exit"], shot), picture(dpi, "exit"))
        dialog.click("ContinueButtonImage")
        s.wait_window("CloseDialogForm", 10, gone=True)

        # A failed install: the progress window, cut to its background, under the error dialog.
        places.install.mkdir(parents=True)
        blocked = places.install / "readme.txt"
        blocked.write_bytes(b"old")
        subprocess.run(["chattr", "+i", str(blocked)], check=True)
        self.addCleanup(subprocess.run, ["chattr", "-i", str(blocked)], capture_output=True)
        main.click("InstallImage")
        error = Scaled(s, s.wait_window("CloseDialogForm", 30), DIALOG, dpi)
        progress = Scaled(s, s.wait_window(harness.TITLE, cls="TDownloadForm"), PROGRESS, dpi)
        self.assertEqual((progress.w.cw, progress.w.ch), (width, height))
        full = scale(540, dpi) + 2 * frame
        self.assertEqual((progress.w.x, progress.w.y), ((sw - width - 2 * frame) // 2, (sh - full) // 2))
        self.assertEqual((error.w.x, error.w.y), (progress.w.x + scale(200, dpi), progress.w.y + scale(154, dpi)))
        time.sleep(0.5)
        shot = s.screenshot(f"failed-install-{dpi}")
        self.assertEqual(error.shows("ContinueButtonImage", ["continue", "retry"], shot), picture(dpi, "retry"))
        # The fill's rows, scaled: its first and its last filled rows.
        fill = scaled(PROGRESS["ProgressBarImage"], dpi)
        left = progress.w.x + frame + scale(107, dpi)
        self.assertEqual(s.pixel(left, progress.w.y + frame + fill.y, shot), "#A3D3E3")
        self.assertEqual(s.pixel(left, progress.w.y + frame + scale(240, dpi) - 1, shot), "#B7EDFF")
        requests = receiver.wait_for(start + 4)
        self.assertEqual(event_type(requests[-1]), "安装器-安装出错")

        # The right button ends the installer.
        error.click("ExitButtonImage")
        self.assertEqual(proc.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
