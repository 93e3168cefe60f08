"""The main window under real mouse input: its place and size, each picture
state under hover and press (checked against the picture files), the
disabled Install button, dragging, and the exit confirmation."""
import json
import os
import sys
import time
import unittest
import urllib.parse
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from layout import DIALOG, MAIN  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "main_window"

CLOSE = MAIN["CloseImage"].origin
INSTALL = MAIN["InstallImage"].origin
AGREE = MAIN["OptionAgreeImage"].origin
OPTIONS = MAIN["CustomPathImage"].origin
ICON = DIALOG["IconImage"].origin
CONTINUE = DIALOG["ContinueButtonImage"].origin
EXIT = DIALOG["ExitButtonImage"].origin
CLOSE_STATES = ["close0.bmp", "close1.bmp", "close2.bmp"]
INSTALL_STATES = [f"install{i}.jpg" for i in range(4)]
CHECK_STATES = ["check00.bmp", "check01.bmp", "check10.bmp", "check11.bmp"]


def event_type(request):
    query = urllib.parse.urlsplit(request.target).query
    return urllib.parse.parse_qs(query)["type"][0]


class MainWindow:
    """The installer's main window on screen, in client coordinates."""

    def __init__(self, session, window):
        self.s = session
        self.w = window

    def refresh(self):
        self.w = self.s.wait_window(harness.TITLE, cls="TMainForm")
        return self.w

    def screen(self, x, y):
        return self.w.x + 1 + x, self.w.y + 1 + y

    def hover(self, spot, dx=5, dy=5):
        self.s.move(*self.screen(spot[0] + dx, spot[1] + dy))
        time.sleep(0.3)

    def shows(self, spot, candidates):
        shot = self.s.screenshot("_state")
        return harness.shown_picture(shot, *self.screen(*spot), candidates)


class MainWindowTest(unittest.TestCase):
    def assertShows(self, main, spot, candidates, expected):
        self.assertEqual(main.shows(spot, candidates), expected)

    def test_pictures_agreement_drag_and_exit(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            s.move(5, 5)  # keep the pointer off the window as it appears
            proc = s.start(EXE)
            main = MainWindow(s, s.wait_window(harness.TITLE, cls="TMainForm"))
            receiver.wait_for(1)
            # Wine learns where the pointer is only from motion over its windows.
            s.move(*main.screen(100, 100))
            s.move(5, 5)
            time.sleep(0.5)

            # Place and size: 750 x 500 inside the 1-pixel frame, centred.
            self.assertEqual((main.w.cw, main.w.ch), (750, 500))
            self.assertEqual((main.w.x, main.w.y), ((1024 - 752) // 2, (768 - 502) // 2))
            shot = s.screenshot("main-window")
            self.assertEqual(s.pixel(main.w.x, main.w.y + 300, shot), "#DDDDDD")
            self.assertEqual(harness.shown_picture(shot, *main.screen(*CLOSE), CLOSE_STATES), "close0.bmp")
            self.assertEqual(harness.shown_picture(shot, *main.screen(*INSTALL), INSTALL_STATES), "install0.jpg")
            self.assertEqual(harness.shown_picture(shot, *main.screen(*AGREE), CHECK_STATES), "check10.bmp")
            self.assertEqual(harness.shown_picture(shot, *main.screen(*OPTIONS), ["optionbutton0.bmp",
                                                                                 "optionbutton1.bmp"]),
                             "optionbutton0.bmp")

            # Close control: hover, press, and a press dragged off that neither
            # clicks nor moves the window.
            main.hover(CLOSE, 15, 15)
            self.assertShows(main, CLOSE, CLOSE_STATES, "close1.bmp")
            s.xdo("mousedown", 1)
            time.sleep(0.3)
            self.assertShows(main, CLOSE, CLOSE_STATES, "close2.bmp")
            s.move(*main.screen(600, 150))
            s.move(*main.screen(560, 120))
            s.xdo("mouseup", 1)
            time.sleep(0.5)
            self.assertShows(main, CLOSE, CLOSE_STATES, "close0.bmp")
            self.assertEqual(main.refresh().x, (1024 - 752) // 2)
            self.assertEqual([w for w in s.windows() if w.cls == "TCloseDialogForm"], [])

            # Install button: hover, press with any button, leave.
            main.hover(INSTALL, 130, 35)
            self.assertShows(main, INSTALL, INSTALL_STATES, "install1.jpg")
            s.xdo("mousedown", 3)
            time.sleep(0.3)
            self.assertShows(main, INSTALL, INSTALL_STATES, "install2.jpg")
            s.xdo("mouseup", 3)
            main.hover((0, 0), 100, 400)
            self.assertShows(main, INSTALL, INSTALL_STATES, "install0.jpg")

            # Agreement box: all four states; cleared, Install is disabled.
            main.hover(AGREE, 7, 7)
            self.assertShows(main, AGREE, CHECK_STATES, "check11.bmp")
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertShows(main, AGREE, CHECK_STATES, "check00.bmp")  # pointer still on it
            self.assertShows(main, INSTALL, INSTALL_STATES, "install3.jpg")
            main.hover((0, 0), 100, 400)
            main.hover(AGREE, 7, 7)
            self.assertShows(main, AGREE, CHECK_STATES, "check01.bmp")
            main.hover(INSTALL, 130, 35)
            self.assertShows(main, INSTALL, INSTALL_STATES, "install3.jpg")
            s.xdo("mousedown", 1)
            time.sleep(0.3)
            self.assertShows(main, INSTALL, INSTALL_STATES, "install3.jpg")
            s.xdo("mouseup", 1)
            time.sleep(1.0)
            self.assertEqual(len(receiver.snapshot()), 1)  # nothing but the opened event
            self.assertEqual([w for w in s.windows() if w.cls == "TCloseDialogForm"], [])
            main.hover(AGREE, 7, 7)
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertShows(main, AGREE, CHECK_STATES, "check10.bmp")
            self.assertShows(main, INSTALL, INSTALL_STATES, "install0.jpg")
            main.hover((0, 0), 100, 400)
            self.assertShows(main, AGREE, CHECK_STATES, "check10.bmp")

            # Dragging a free area moves the window.
            start = main.refresh()
            s.move(*main.screen(100, 100))
            s.xdo("mousedown", 1)
            s.move(*main.screen(120, 110))
            s.move(*main.screen(140, 130))
            s.xdo("mouseup", 1)
            time.sleep(0.5)
            moved = main.refresh()
            self.assertEqual((moved.x - start.x, moved.y - start.y), (40, 30))

            # The close control opens the exit confirmation; continue returns.
            for n in range(3):
                main.hover(CLOSE, 15, 15)
                s.xdo("click", 1)
                dialog = s.wait_window("CloseDialogForm", 10)
                self.assertEqual((dialog.x, dialog.y), (moved.x + 200, moved.y + 154))
                self.assertEqual((dialog.cw, dialog.ch), (352, 167))
                labels = [c.title for c in s.children(dialog.hwnd)]
                self.assertEqual(labels, ["退出Tovarin安装程序"])
                time.sleep(0.3)
                shot = s.screenshot("exit-dialog")
                inside = (dialog.x + 1, dialog.y + 1)
                self.assertEqual(harness.shown_picture(shot, inside[0] + ICON[0], inside[1] + ICON[1],
                                                       ["exclamatory.bmp", "error.bmp"]), "exclamatory.bmp")
                self.assertEqual(harness.shown_picture(shot, inside[0] + CONTINUE[0], inside[1] + CONTINUE[1],
                                                       ["continue.bmp", "retry.bmp"]), "continue.bmp")
                self.assertEqual(harness.shown_picture(shot, inside[0] + EXIT[0], inside[1] + EXIT[1], ["exit.bmp"]),
                                 "exit.bmp")
                requests = receiver.wait_for(2 + n)
                self.assertEqual(len(requests), 2 + n)
                self.assertEqual(event_type(requests[-1]), "安装器-点击退出按钮")
                self.assertEqual(json.loads(requests[-1].body)["当前步骤"], "首页")
                if n < 2:
                    s.click(inside[0] + CONTINUE[0] + 70, inside[1] + CONTINUE[1] + 17)
                    s.wait_window("CloseDialogForm", 10, gone=True)
                    self.assertTrue(main.refresh().visible)
            s.click(inside[0] + EXIT[0] + 54, inside[1] + EXIT[1] + 17)
            self.assertEqual(proc.wait(30), 0)
            self.assertEqual(len(receiver.snapshot()), 4)


if __name__ == "__main__":
    unittest.main()
