"""Start-up: the "安装器-打开" event on the wire, the single-instance guard, and
telemetry that never holds up the installer."""
import json
import os
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402

EXE = Path(os.environ["TOVARIN_EXE"])
PORT = int(os.environ["TOVARIN_TELEMETRY_PORT"])
SHOTS = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "startup"
OPENED_TARGET = "/saveLogNotEnc?id=-001&type=%E5%AE%89%E8%A3%85%E5%99%A8-%E6%89%93%E5%BC%80"
ALREADY_RUNNING = "Tovarin安装程序已经运行！ "
ARPHRD_ETHER = 1


def expected_mac_text():
    """Wine reports every Linux ARPHRD_ETHER interface, up or down, as an
    Ethernet row (type 6) and sorts the table by interface index."""
    rows = []
    for dev in Path("/sys/class/net").iterdir():
        if int((dev / "type").read_text()) != ARPHRD_ETHER:
            continue
        address = (dev / "address").read_text().strip().upper().replace(":", "-")
        rows.append((int((dev / "ifindex").read_text()), address))
    seen = []
    for _, address in sorted(rows):
        if address and address not in seen:
            seen.append(address)
    return ",".join(seen)


def expected_version_text(session):
    """The system's version as a process without a compatibility manifest
    sees it: anything above 6.2 is reported as 6.2."""
    major, minor = map(int, session.tool("version").strip().split("."))
    return "6.2" if (major, minor) > (6, 2) else f"{major}.{minor}"


def default_title(exe):
    name = exe.name.split(".")[0]
    return name[:1] + name[1:].lower()


class StartupTest(unittest.TestCase):
    def test_opened_event_then_single_instance_guard(self):
        with harness.Receiver(PORT) as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            first = s.start(EXE)
            window = s.wait_window(harness.TITLE)
            requests = receiver.wait_for(1, 20)
            self.assertEqual(len(requests), 1)
            event = requests[0]
            self.assertEqual(event.method, "POST")
            self.assertEqual(event.target, OPENED_TARGET)
            self.assertEqual(event.header("Content-Type"), "application/json")
            self.assertEqual(event.header("Content-Encoding"), "UTF-8")
            self.assertEqual(event.header("Content-Length"), str(len(event.body)))
            os_name = s.tool("env", "OS").strip()
            expected = ('{"版本":"3.1.1","MAC":"%s","操作系统名称":"%s","操作系统版本":"%s"}'
                        % (expected_mac_text(), os_name, expected_version_text(s)))
            self.assertEqual(event.body, expected.encode("utf-8"))

            # A second start is refused with the message box, and sends nothing.
            second = s.start(EXE)
            box = s.wait_window(default_title(EXE))
            self.assertEqual(box.pid != window.pid, True)
            texts = [c.title for c in s.children(box.hwnd)]
            self.assertIn(ALREADY_RUNNING, texts)
            s.screenshot("second-instance")
            s.tool("close", box.hwnd)
            self.assertEqual(second.wait(30), 0)
            time.sleep(2)
            self.assertEqual(len(receiver.snapshot()), 1)
            self.assertEqual([w.title for w in s.windows() if w.pid == window.pid], [harness.TITLE])
            self.assertIsNone(first.poll())

            # Once the first has ended (its exit confirmation sends one event), a
            # new start is welcome again.
            s.end_installer(window)
            self.assertEqual(first.wait(30), 0)
            third = s.start(EXE)
            again = s.wait_window(harness.TITLE)
            self.assertEqual(len(receiver.wait_for(3, 20)), 3)
            self.assertEqual(receiver.snapshot()[2].target, OPENED_TARGET)
            s.end_installer(again)
            self.assertEqual(third.wait(30), 0)

    def test_endpoint_that_never_answers_delays_nothing(self):
        with harness.Receiver(PORT, mode="hang") as receiver, harness.Display() as display, \
                harness.Session(display, SHOTS) as s:
            proc = s.start(EXE)
            # A sender that waited would hold start-up for WinHTTP's 30 s
            # receive time-out; the window must come while the request hangs.
            window = s.wait_window(harness.TITLE, timeout=20)
            self.assertEqual(len(receiver.wait_for(1, 20)), 1)
            self.assertFalse(receiver.release.is_set())
            json.loads(receiver.snapshot()[0].body.decode("utf-8"))
            s.end_installer(window)
            self.assertEqual(proc.wait(10), 0)

    def test_no_endpoint_shows_the_user_nothing(self):
        with harness.Display() as display, harness.Session(display, SHOTS) as s:
            proc = s.start(EXE)
            window = s.wait_window(harness.TITLE)
            time.sleep(3)  # the refused send has long failed by now
            self.assertEqual([w.title for w in s.windows() if w.pid == window.pid], [harness.TITLE])
            self.assertIsNone(proc.poll())
            s.end_installer(window)
            self.assertEqual(proc.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
