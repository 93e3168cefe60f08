"""The installer without a mouse and through a screen reader's eyes: a whole
install by keyboard alone, the exit confirmation by keyboard, and every
window's accessibility tree as the system's accessibility library shows it."""
import os
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402
from layout import MAIN  # noqa: E402
import test_install  # noqa: E402
from test_install import DEFAULT_DIR, install_bodies  # noqa: E402
from test_main_window import MainWindow, event_type  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "keyboard"

# Roles and states of the system's accessibility interface.
PUSHBUTTON, CHECKBUTTON, LINK, TEXT, STATICTEXT, PROGRESSBAR, DIALOG, CLIENT = 0x2B, 0x2C, 0x1E, 0x2A, 0x29, 0x30, 0x12, 0xA
FOCUS_EVENT, STATE_EVENT, VALUE_EVENT = 0x8005, 0x800A, 0x800E
UNAVAILABLE, FOCUSED, CHECKED, READONLY, EXPANDED, COLLAPSED, INVISIBLE = 0x1, 0x4, 0x10, 0x40, 0x200, 0x400, 0x8000


class Item:
    """One line of wintool access."""

    def __init__(self, line):
        fields = line.split("\t")
        self.id, self.role, self.state = int(fields[0]), int(fields[1], 16), int(fields[2], 16)
        self.name, self.value = (None if f == "-" else f for f in fields[3:5])

    def has(self, state):
        return self.state & state == state


def tree(s, hwnd):
    """The window's client object and its children by name."""
    items = [Item(line) for line in s.tool("access", hwnd).splitlines() if line.strip()]
    return items[0], {i.name: i for i in items[1:]}


class Events(harness.Watcher):
    """The accessibility events one process raises while it lives, as a
    screen reader would receive them: (event, child id) pairs."""

    def __init__(self, s, pid, seconds):
        super().__init__(s, "events", pid, seconds)

    def seen(self, hwnd):
        time.sleep(0.5)  # the last ones on their way
        lines = [line.split() for line in self.read().decode().splitlines()[1:]]
        self.out.close()
        self.proc.kill()
        return [(int(e, 16), int(child)) for e, w, obj, child in lines if int(w) == hwnd and int(obj) == -4]


class Values(harness.Watcher):
    """Each new value of one child of the first window of a class, from
    before that window exists until it goes."""

    def __init__(self, s, cls, child, seconds):
        super().__init__(s, "values", cls, child, seconds)

    def seen(self):
        self.proc.wait(60)
        lines = self.read().decode("utf-8", "replace").splitlines()[1:]
        self.out.close()
        return lines


class KeyboardTest(unittest.TestCase):
    # The installer started with a clean slate and its main window shown.
    start = test_install.InstallTest.start

    def keys(self, s, *keys):
        s.tool("keys", *keys)
        time.sleep(0.2)

    def test_install_by_keyboard_alone(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            places, proc, main = self.start(receiver, s)
            window, items = tree(s, main.w.hwnd)
            self.assertEqual((window.role, window.name), (CLIENT, harness.TITLE))
            want = {
                "已阅读并同意《许可协议》": (CHECKBUTTON, CHECKED),
                "《许可协议》": (LINK, 0),
                "自定义安装路径": (PUSHBUTTON, COLLAPSED),
                "桌面添加快捷方式": (CHECKBUTTON, CHECKED | INVISIBLE),
                "安装完成后打开程序": (CHECKBUTTON, CHECKED | INVISIBLE),
                "安装路径": (TEXT, INVISIBLE),
                "浏览": (PUSHBUTTON, INVISIBLE),
                "立即安装": (PUSHBUTTON, 0),
                "关闭": (PUSHBUTTON, 0),
            }
            self.assertEqual(list(items), list(want))  # in focus order
            for name, (role, state) in want.items():
                self.assertEqual(items[name].role, role, name)
                self.assertTrue(items[name].has(state), name)
                self.assertFalse(items[name].has(UNAVAILABLE | FOCUSED) and name != "立即安装", name)
            self.assertEqual(items["安装路径"].value, DEFAULT_DIR)

            # Escape is the close control; Return on the dialog is continue.
            self.keys(s, "escape")
            dialog = s.wait_window("CloseDialogForm", 10)
            box, parts = tree(s, dialog.hwnd)
            self.assertEqual((box.role, box.name), (DIALOG, "CloseDialogForm"))
            self.assertEqual({n: p.role for n, p in parts.items()},
                             {"退出Tovarin安装程序": STATICTEXT, "继续安装": PUSHBUTTON, "退出": PUSHBUTTON})
            self.assertTrue(parts["继续安装"].has(FOCUSED))
            s.screenshot("exit-dialog-by-keyboard")
            self.keys(s, "return")
            s.wait_window("CloseDialogForm", 10, gone=True)
            self.assertIsNone(proc.poll())
            self.assertEqual([event_type(r) for r in receiver.wait_for(2)], ["安装器-打开", "安装器-点击退出按钮"])

            # Nothing shows a focus mark until the keyboard moves the focus.
            before = s.screenshot("before-tab")
            events = Events(s, main.w.pid, 10)
            self.keys(s, "tab")
            after = s.screenshot("agreement-focused")
            mark = "18x1+%d+%d" % main.screen(MAIN["OptionAgreeImage"].x - 2, MAIN["OptionAgreeImage"].y - 2)
            self.assertNotEqual(harness.rgb_bytes(before, mark), harness.rgb_bytes(after, mark))
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["已阅读并同意《许可协议》"].has(FOCUSED | CHECKED))

            # Space flips the box; the Install button follows.
            self.keys(s, "space")
            _, items = tree(s, main.w.hwnd)
            self.assertFalse(items["已阅读并同意《许可协议》"].has(CHECKED))
            self.assertTrue(items["立即安装"].has(UNAVAILABLE))
            self.keys(s, "return")  # on the box: ticks it again, no install
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["已阅读并同意《许可协议》"].has(CHECKED))
            self.assertFalse(items["立即安装"].has(UNAVAILABLE))
            # Announced: the focus on the box, then each flip of it and of Install.
            self.assertEqual([e for e in events.seen(main.w.hwnd) if e[0] in (FOCUS_EVENT, STATE_EVENT)],
                             [(FOCUS_EVENT, 1), (STATE_EVENT, 1), (STATE_EVENT, 8), (STATE_EVENT, 1), (STATE_EVENT, 8)])

            # To the options toggle, open the panel, clear both options.
            self.keys(s, "tab", "tab", "space")
            main.refresh()
            self.assertEqual(main.w.ch, 540)
            self.keys(s, "tab", "space", "tab", "space")
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["自定义安装路径"].has(EXPANDED))
            self.assertFalse(items["桌面添加快捷方式"].has(CHECKED) or items["桌面添加快捷方式"].has(INVISIBLE))
            self.assertFalse(items["安装完成后打开程序"].has(CHECKED))
            self.assertTrue(items["安装完成后打开程序"].has(FOCUSED))

            # Past the edit and the browse button to Install, and Return.
            self.keys(s, "tab", "tab", "tab")
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["立即安装"].has(FOCUSED))
            events = Events(s, main.w.pid, 12)
            watcher = Values(s, "TDownloadForm", 1, 60)
            # The worker held at its first mark while the tree is read: a fast
            # install would otherwise be over, its thread in the closing
            # pause, before the reader has started under Wine.
            release = Path(s.env["WINEPREFIX"]) / "drive_c" / "tovarin-release-keyboard"
            release.unlink(missing_ok=True)
            self.addCleanup(release.unlink, True)
            hold = harness.Watcher(s, "pause", "worker", r"C:\tovarin-release-keyboard", 120)
            self.addCleanup(hold.out.close)
            self.keys(s, "return")
            progress = s.wait_window(harness.TITLE, 30, cls="TDownloadForm")
            window, bars = tree(s, progress.hwnd)
            release.touch()
            self.assertEqual((window.role, window.name), (CLIENT, harness.TITLE))
            self.assertEqual([(b.name, b.role) for b in bars.values()], [("安装进度", PROGRESSBAR)])
            self.assertEqual(proc.wait(60), 0)
            values = watcher.seen()
            changes = [e for e in events.seen(progress.hwnd) if e == (VALUE_EVENT, 1)]

            self.assertFalse(places.desktop_link.exists())
            self.assertFalse(places.started.exists())
            self.assertTrue((places.programs / "Tovarin.lnk").exists())
            time.sleep(0.5)
            requests = receiver.snapshot()
            self.assertEqual([event_type(r) for r in requests],
                             ["安装器-打开", "安装器-点击退出按钮", "安装器-开始安装", "安装器-安装成功"])
            self.assertEqual([r.body.decode() for r in requests[2:]], list(install_bodies(requests[0].body, "0")))
            # The progress bar's value, as a screen reader saw it change.
            print("progress values:", values, file=sys.stderr)
            percents = [int(v[:-1]) for v in values if v.endswith("%")]
            self.assertEqual(percents, sorted(percents))
            self.assertTrue(len(set(percents)) >= 2 or "Complete..." in values, values)
            # At most once a percent: "Prepare...", 2% to 99%, "Complete...".
            print("value-change events:", len(changes), file=sys.stderr)
            self.assertGreaterEqual(len(changes), len(set(values)) - 1)
            self.assertLessEqual(len(changes), 100)

    def test_exit_by_keyboard(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            _, proc, main = self.start(receiver, s)
            # Shift+Tab from nothing wraps to the last control, close, and on past
            # Install over the hidden panel's controls to the options toggle.
            self.keys(s, "shift+tab", "shift+tab", "shift+tab")
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["自定义安装路径"].has(FOCUSED))
            # Tab skips them forwards too; Return on the focused close opens the dialog.
            self.keys(s, "tab", "tab")
            _, items = tree(s, main.w.hwnd)
            self.assertTrue(items["关闭"].has(FOCUSED))
            self.keys(s, "return")
            dialog = s.wait_window("CloseDialogForm", 10)
            self.keys(s, "tab", "shift+tab")
            _, parts = tree(s, dialog.hwnd)
            self.assertTrue(parts["继续安装"].has(FOCUSED))
            self.keys(s, "tab")
            _, parts = tree(s, dialog.hwnd)
            self.assertTrue(parts["退出"].has(FOCUSED))
            self.keys(s, "return")
            self.assertEqual(proc.wait(30), 0)
            self.assertEqual([event_type(r) for r in receiver.wait_for(2)], ["安装器-打开", "安装器-点击退出按钮"])


if __name__ == "__main__":
    unittest.main()
