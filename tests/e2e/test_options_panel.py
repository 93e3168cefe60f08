"""The options panel under real input: growing and shrinking the window, the
boxes and their text pictures, the path edit feeding the install directory
at every keystroke, the error dialog of a failed check with its retry, the
folder browser, and Install's hand-over."""
import json
import os
import shutil
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from layout import MAIN  # noqa: E402
from test_main_window import CHECK_STATES, CONTINUE, ICON, INSTALL, OPTIONS, MainWindow, event_type  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "options_panel"

SHORTCUT = MAIN["OptionShortcutImage"].origin
SHORTCUT_TEXT = MAIN["OptionShortcutLabel"].origin
OPEN_APP = MAIN["OptionOpenAppImage"].origin
BROWSE = MAIN["InstallPathOpenImage"].origin
PATH_EDIT = MAIN["CustomPathEdit"].origin
BAD_PATH = "安装失败，请检查安装路径是否正确"
TYPED = r"C:\tovarin-e2e\sub\other"


class OptionsPanelTest(unittest.TestCase):
    def assertShows(self, main, spot, candidates, expected):
        self.assertEqual(main.shows(spot, candidates), expected)

    def test_panel_path_error_retry_browse_and_install(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            folder = Path(s.env["WINEPREFIX"]) / "drive_c" / "tovarin-e2e"
            shutil.rmtree(folder, ignore_errors=True)
            (folder / "sub").mkdir(parents=True)
            self.addCleanup(shutil.rmtree, folder, True)
            s.move(5, 5)
            proc = s.start(EXE)
            main = MainWindow(s, s.wait_window(harness.TITLE, cls="TMainForm"))
            receiver.wait_for(1)
            start = (main.w.x, main.w.y)

            # Toggling twice: 750 x 540 and back, the top-left corner fixed.
            main.hover(OPTIONS, 7, 7)
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertEqual((main.refresh().cw, main.w.ch), (750, 540))
            self.assertEqual((main.w.x, main.w.y), start)
            self.assertShows(main, OPTIONS, ["optionbutton0.bmp", "optionbutton1.bmp"], "optionbutton1.bmp")
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertEqual((main.refresh().cw, main.w.ch, main.w.x, main.w.y), (750, 500) + start)
            self.assertShows(main, OPTIONS, ["optionbutton0.bmp", "optionbutton1.bmp"], "optionbutton0.bmp")
            s.xdo("click", 1)
            time.sleep(0.3)
            main.refresh()
            s.screenshot("main-window-options")

            # The text beside a box does not toggle it; the box does.
            main.hover(SHORTCUT_TEXT, 30, 7)
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertShows(main, SHORTCUT, CHECK_STATES, "check10.bmp")
            main.hover(SHORTCUT, 7, 7)
            self.assertShows(main, SHORTCUT, CHECK_STATES, "check11.bmp")
            s.xdo("click", 1)
            time.sleep(0.3)
            self.assertShows(main, SHORTCUT, CHECK_STATES, "check00.bmp")
            self.assertShows(main, OPEN_APP, CHECK_STATES, "check10.bmp")
            main.hover(BROWSE, 20, 12)
            self.assertShows(main, BROWSE, ["installpathopen0.bmp", "installpathopen1.bmp"], "installpathopen1.bmp")

            # An emptied path edit: Install fails with the path message.
            main.hover(PATH_EDIT, 100, 7)
            s.xdo("click", 1)
            s.xdo("key", "End", "shift+Home", "Delete")
            main.hover(INSTALL, 130, 35)
            s.xdo("click", 1)
            dialog = s.wait_window("CloseDialogForm", 10)
            self.assertEqual([c.title for c in s.children(dialog.hwnd)], [BAD_PATH])
            time.sleep(0.3)
            shot = s.screenshot("error-dialog")
            inside = (dialog.x + 1, dialog.y + 1)
            self.assertEqual(harness.shown_picture(shot, inside[0] + ICON[0], inside[1] + ICON[1],
                                                   ["exclamatory.bmp", "error.bmp"]), "error.bmp")
            self.assertEqual(harness.shown_picture(shot, inside[0] + CONTINUE[0], inside[1] + CONTINUE[1],
                                                   ["continue.bmp", "retry.bmp"]), "retry.bmp")
            requests = receiver.wait_for(2)
            self.assertEqual(event_type(requests[1]), "安装器-出错")
            body = json.loads(requests[1].body)
            self.assertEqual((body["当前步骤"], body["安装目录"], body["出错提示"]), ("首页", "", BAD_PATH))

            # Retry: back to the same window, as it was.
            s.click(inside[0] + CONTINUE[0] + 70, inside[1] + CONTINUE[1] + 17)
            s.wait_window("CloseDialogForm", 10, gone=True)
            self.assertEqual((main.refresh().cw, main.w.ch, main.w.x, main.w.y), (750, 540) + start)
            self.assertShows(main, SHORTCUT, CHECK_STATES, "check00.bmp")

            # Typed path, then the browser, cancelled: nothing changes.
            main.hover(PATH_EDIT, 100, 7)
            s.xdo("click", 1)
            s.xdo("type", "--delay", "20", TYPED)
            main.hover(BROWSE, 20, 12)
            s.xdo("click", 1)
            browser = None
            for _ in range(50):
                found = [w for w in s.windows() if w.pid == main.w.pid and w.cls == "#32770"]
                if found:
                    browser = found[0]
                    break
                time.sleep(0.2)
            self.assertIsNotNone(browser, "no folder browser")
            time.sleep(0.5)
            s.screenshot("folder-browser")
            cancel = [c for c in s.children(browser.hwnd) if c.cls == "Button" and c.title in ("Cancel", "取消")]
            self.assertEqual(len(cancel), 1)
            s.click(cancel[0].x + cancel[0].w // 2, cancel[0].y + cancel[0].h // 2)
            for _ in range(50):
                if not [w for w in s.windows() if w.cls == "#32770"]:
                    break
                time.sleep(0.2)

            # Install: the checks pass, the start event carries the choices.
            main.hover(INSTALL, 130, 35)
            s.xdo("click", 1)
            requests = receiver.wait_for(3)
            self.assertEqual(event_type(requests[2]), "安装器-开始安装")
            body = json.loads(requests[2].body)
            self.assertEqual((body["安装目录"], body["桌面快捷方式"], body["安装完成后打开"]),
                             (TYPED, "0", "-1"))
            self.assertTrue((folder / "sub" / "other").is_dir())  # made by the checks
            self.assertEqual(proc.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
