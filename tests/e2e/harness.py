"""End-to-end harness: the real installer under Wine + Xvfb, real mouse input,
screenshots, and a telemetry receiver on 127.0.0.1 that records every request."""
import http.server
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

from layout import DIALOG, PROGRESS

REPO = Path(__file__).resolve().parents[2]
SCREEN = (1024, 768)
TITLE = "Tovarin安装程序"
# The progress window's outer top-left on screen: centred as laid out, with
# its 1-pixel frame, then cut, so it sits above the centre.
PROGRESS_ORIGIN = ((SCREEN[0] - PROGRESS["TDownloadForm"].w - 2) // 2, (SCREEN[1] - PROGRESS["TDownloadForm"].h - 2) // 2)


def wine_env(extra=None):
    """The environment of scripts/wine-env, with the prefix created."""
    out = subprocess.run(
        ["bash", "-c", 'source "$1/scripts/wine-env" && ensure_wine_prefix && env -0', "x", str(REPO)],
        check=True, capture_output=True).stdout
    env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
    env.update(extra or {})
    return env


def display_works(display):
    return subprocess.run(["xdpyinfo", "-display", display], capture_output=True).returncode == 0


class Display:
    """Uses $DISPLAY when it answers, otherwise starts a private Xvfb; always
    a private one of another screen size when one is asked for."""

    def __init__(self, screen=None):
        self.proc = None
        self.screen = screen or SCREEN
        self.name = "" if screen else os.environ.get("DISPLAY", "")

    def __enter__(self):
        if self.name and display_works(self.name):
            return self
        for n in range(90, 140):
            if Path(f"/tmp/.X11-unix/X{n}").exists() or Path(f"/tmp/.X{n}-lock").exists():
                continue
            self.name = f":{n}"
            self.proc = subprocess.Popen(
                ["Xvfb", self.name, "-screen", "0", f"{self.screen[0]}x{self.screen[1]}x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if display_works(self.name):
                    return self
                time.sleep(0.05)
            self.proc.kill()
        raise RuntimeError("no X display could be started")

    def __exit__(self, *exc):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(10)


@dataclass
class Request:
    method: str
    target: str
    headers: list
    body: bytes

    def header(self, name):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None


class Receiver:
    """Telemetry endpoint on 127.0.0.1. mode 'ok' answers 200; 'hang' accepts,
    reads the request and never answers; 'reset' reads it and resets the
    connection; 'garbage' answers bytes that are not HTTP; '500' answers a
    server error."""

    def __init__(self, port, mode="ok"):
        self.port = port
        self.mode = mode
        self.requests = []
        self.lock = threading.Lock()
        self.release = threading.Event()
        receiver = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                body = self.rfile.read(length)
                with receiver.lock:
                    receiver.requests.append(Request(self.command, self.path, list(self.headers.items()), body))
                if receiver.mode == "hang":
                    receiver.release.wait(120)
                    return
                if receiver.mode == "reset":
                    self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    self.close_connection = True
                    return
                if receiver.mode == "garbage":
                    self.wfile.write(bytes(range(256)) * 4)
                    self.close_connection = True
                    return
                if receiver.mode == "500":
                    self.send_error(500)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Content-Length", "2")
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(b"ok")

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.release.set()
        self.server.shutdown()
        self.server.server_close()

    def snapshot(self):
        with self.lock:
            return list(self.requests)

    def wait_for(self, count, timeout=10.0):
        end = time.time() + timeout
        while time.time() < end:
            if len(self.snapshot()) >= count:
                return self.snapshot()
            time.sleep(0.05)
        return self.snapshot()


@dataclass
class Window:
    hwnd: int
    pid: int
    cls: str
    x: int
    y: int
    w: int
    h: int
    cw: int
    ch: int
    visible: bool
    title: str = field(default="")


def parse_windows(text):
    windows = []
    for line in text.splitlines():
        head, _, title = line.partition(' "')
        parts = head.split()
        if len(parts) < 10:
            continue
        windows.append(Window(int(parts[0]), int(parts[1]), parts[2], *map(int, parts[3:9]), parts[9] == "1",
                              title[:-1] if title.endswith('"') else title))
    return windows


class Watcher:
    """A wintool command running beside the test, its lines in a file; it
    says "ready" first, and the constructor waits for that."""

    def __init__(self, s, *args):
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(["wine", s.wintool, *map(str, args)], env=s.env,
                                     stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.DEVNULL)
        s.procs.append(self.proc)
        for _ in range(200):
            if self.read().startswith(b"ready"):
                return
            time.sleep(0.05)

    def read(self):
        self.out.seek(0)
        return self.out.read()


class WindowWatch(Watcher):
    """The moment a window of a class goes, as a wintool inside Wine sees it
    within milliseconds; started before the window is shown."""

    def __init__(self, s, cls, seconds):
        super().__init__(s, "watch", cls, seconds)

    def gone_at(self, timeout):
        """The time the window was seen gone; None if not within timeout."""
        end = time.time() + timeout
        while time.time() < end:
            if b"gone" in self.read():
                return time.time()
            if self.proc.poll() is not None and b"gone" not in self.read():
                return None
            time.sleep(0.02)
        return None


class Session:
    """One Wine desktop on one display; ends every Wine process when done."""

    def __init__(self, display, shots_dir, extra_env=None):
        self.display = display
        self.env = wine_env(extra_env)
        self.env["DISPLAY"] = display.name
        self.shots = Path(shots_dir)
        self.shots.mkdir(parents=True, exist_ok=True)
        self.procs = []
        self.wintool = os.environ.get("TOVARIN_WINTOOL") or str(Path(os.environ["TOVARIN_BUILD_DIR"]) / "tests/e2e/wintool.exe")

    def __enter__(self):
        self.warm()
        return self

    def warm(self):
        # Start the Wine server and its background processes with no pipe of
        # ours, so a later captured call is not held open by them. A boot that
        # deadlocks (seen under qemu: two services.exe waiting on each other,
        # a server that no longer answers "wineserver -k") is ended hard and
        # tried once more.
        for timeout in (60, 120):
            try:
                subprocess.run([str(REPO / "scripts/wine-run"), "cmd", "/c", "exit"], env=self.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=timeout)
                return
            except subprocess.TimeoutExpired:
                if timeout == 120:
                    raise
                self.kill_prefix_processes()

    def kill_prefix_processes(self, program=None):
        """SIGKILL for every Wine process (the loader, the server, or qemu
        running them) of this session's prefix, or only for those whose
        command line names program (Wine shows the Windows one there); the
        tests share its environment, so the program run is what tells them apart.
        Returns how many it signalled."""
        marker = ("WINEPREFIX=" + self.env["WINEPREFIX"]).encode()
        killed = 0
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                loader = os.readlink(f"/proc/{pid}/exe")
                if ("/wine" in loader or "qemu-i386" in loader) and \
                        marker in Path(f"/proc/{pid}/environ").read_bytes().split(b"\0") and \
                        (program is None or program.lower().encode() in Path(f"/proc/{pid}/cmdline").read_bytes().lower()):
                    os.kill(int(pid), 9)
                    killed += 1
            except OSError:
                pass
        return killed

    def __exit__(self, *exc):
        self.kill_all()

    def kill_all(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=30)
        for p in self.procs:
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()

    @property
    def user_dir(self):
        return Path(self.env["WINEPREFIX"]) / "drive_c/users" / os.environ.get("USER", "root")

    def start(self, exe, *args, env=None):
        p = subprocess.Popen(["wine", str(exe), *args], env={**self.env, **(env or {})}, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def wine(self, program, *args, timeout=60):
        """Runs a Windows program to its end: its exit code and its output."""
        # Output through a file, not a pipe: when the program happens to be
        # the process that boots Wine's background services, they inherit its
        # output and would hold a pipe open long after it has ended.
        with tempfile.TemporaryFile() as out:
            done = subprocess.run(["wine", str(program), *map(str, args)], env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return done.returncode, out.read().decode("utf-8", "replace")

    def tool(self, *args):
        return self.wine(self.wintool, *args)[1]

    def windows(self):
        return parse_windows(self.tool("windows"))

    def children(self, hwnd):
        return parse_windows(self.tool("children", hwnd))

    def wait_window(self, title, timeout=30.0, cls=None, gone=False):
        end = time.time() + timeout
        while time.time() < end:
            found = [w for w in self.windows() if w.title == title and (cls is None or w.cls == cls)]
            if gone and not found:
                return None
            if found and not gone:
                return found[0]
            time.sleep(0.2)
        raise TimeoutError(f"window {title!r} {'still there' if gone else 'not shown'} after {timeout} s")

    def screenshot(self, name):
        path = self.shots / f"{name}.png"
        subprocess.run(["import", "-display", self.display.name, "-window", "root", str(path)], check=True,
                       capture_output=True)
        return path

    def pixel(self, x, y, shot=None):
        """The colour at a screen position as #RRGGBB."""
        shot = shot or self.screenshot("_pixel")
        out = subprocess.run(["convert", str(shot), "-format", f"%[hex:p{{{x},{y}}}]", "info:"],
                             check=True, capture_output=True, text=True).stdout.strip()
        return "#" + out[:6].upper()

    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env={"DISPLAY": self.display.name, "PATH": os.environ["PATH"]},
                       check=True, capture_output=True)

    def move(self, x, y):
        self.xdo("mousemove", "--sync", x, y)

    def click(self, x, y, button=1):
        self.xdo("mousemove", "--sync", x, y, "click", button)

    def end_installer(self, window):
        """Ends the installer as a user does: the system's close command on the
        main window (Alt+F4) asks first, and the confirmation's exit button ends it."""
        self.tool("close", window.hwnd)
        dialog = self.wait_window("CloseDialogForm", 20)
        exit_button = DIALOG["ExitButtonImage"]
        time.sleep(0.3)
        self.click(dialog.x + 1 + exit_button.x + exit_button.w // 2, dialog.y + 1 + exit_button.y + exit_button.h // 2)


# Picture states on screen: a control's area in a screenshot against the
# picture files it may show.
PICTURES = REPO / "resources" / "pictures"


def rgb_bytes(path, crop=None):
    """The pixels of an image file (or a crop "WxH+X+Y" of it) as raw RGB bytes."""
    args = ["convert", str(path)]
    if crop:
        args += ["-crop", crop, "+repage"]
    return subprocess.run(args + ["-depth", "8", "rgb:-"], check=True, capture_output=True).stdout


def picture_distance(shot, x, y, picture):
    """Mean absolute difference per channel between a picture file and the
    screenshot's area of the same size at (x, y)."""
    want = rgb_bytes(PICTURES / picture)
    w, h = map(int, subprocess.run(["identify", "-format", "%w %h", str(PICTURES / picture)], check=True,
                                   capture_output=True, text=True).stdout.split())
    got = rgb_bytes(shot, f"{w}x{h}+{x}+{y}")
    if len(got) != len(want):
        return 255.0
    return sum(abs(a - b) for a, b in zip(got, want)) / len(want)


def shown_picture(shot, x, y, candidates, tolerance=6.0):
    """Which of the candidate picture files the screenshot shows at (x, y);
    None when none matches within the tolerance."""
    scored = sorted((picture_distance(shot, x, y, c), c) for c in candidates)
    return scored[0][1] if scored[0][0] <= tolerance else None
