"""Runs the installer on a private Xvfb display and saves a screenshot of each
screen it shows."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests/e2e"))
import harness  # noqa: E402


def main(exe, out_dir):
    with harness.Display() as display, harness.Session(display, out_dir) as s:
        proc = s.start(Path(exe).resolve())
        window = s.wait_window(harness.TITLE)
        print("saved", s.screenshot("1-main-window"))
        s.tool("close", window.hwnd)
        return proc.wait(30)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
