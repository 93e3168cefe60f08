"""The harness itself: the installer starts under Wine, shows its window with
the application title, and ends when the test closes it (through the exit
confirmation)."""
import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import harness  # noqa: E402


class HarnessTest(unittest.TestCase):
    def test_window_appears_and_closes(self):
        shots = Path(os.environ["TOVARIN_BUILD_DIR"]) / "screenshots" / "harness"
        with harness.Display() as display, harness.Session(display, shots) as s:
            proc = s.start(os.environ["TOVARIN_EXE"])
            window = s.wait_window(harness.TITLE)
            self.assertTrue(window.visible)
            self.assertTrue(s.screenshot("window").stat().st_size > 0)
            s.end_installer(window)
            self.assertEqual(proc.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
