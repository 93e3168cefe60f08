#!/usr/bin/env python3
"""The whole road of one install, click to window gone, phase by phase, side by
side with 7-Zip's own console extraction of the same archive, in interleaved
rounds. Run by bench/run inside the Wine sandbox's environment.

usage: road.py INSTALLER PROBE SEVENZR PAYLOAD LIBRARY ROUNDS BUILT_EXE [NSIS_EXE]
(INSTALLER: the built installer BUILT_EXE with the seed-sized package in it;
NSIS_EXE: an NSIS installer of the same files, for start to first window)
"""
import hashlib
import os
import shutil
import statistics
import struct
import subprocess
import sys
import threading
import time
from pathlib import Path

installer, probe, sevenzr, payload, library = map(Path, sys.argv[1:6])
rounds = int(sys.argv[6])
built = Path(sys.argv[7])
nsis = Path(sys.argv[8]) if len(sys.argv) > 8 else None
prefix = Path(os.environ["WINEPREFIX"])


def winpath(path):
    return "Z:" + str(path).replace("/", "\\")


def wine(*args, **kw):
    return subprocess.run(["wine", *map(str, args)], stdin=subprocess.DEVNULL, capture_output=True, text=True, **kw)


def image_range(exe):
    data = exe.read_bytes()[:4096]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    base, = struct.unpack_from("<I", data, pe + 24 + 28)
    size, = struct.unpack_from("<I", data, pe + 24 + 56)
    return base, base + size


def code_size(exe):
    """The file less its resource section: code, data, headers, imports."""
    data = exe.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, = struct.unpack_from("<H", data, pe + 6)
    optional, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional
    rsrc = 0
    for i in range(count):
        name, _, _, raw = struct.unpack_from("<8sIII", data, table + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            rsrc += raw
    return len(data) - rsrc


class MemorySampler:
    """Peak private memory of the Wine process whose program is `name`: its
    anonymous pages (heap, stacks, copied-on-write pages) outside the
    program's own image, read from /proc every 50 ms, so nothing runs inside
    the measured process. Under qemu-i386 the process is the emulator, whose
    argv names the program later and whose own memory lies above the 32-bit
    guest's 4 GiB, so only mappings below 4 GiB count."""

    def __init__(self, name, image):
        self.name = name.lower()
        self.image = image
        self.peak = 0
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def find(self):
        for entry in os.scandir("/proc"):
            if not entry.name.isdigit():
                continue
            try:
                argv = Path(entry.path, "cmdline").read_bytes().split(b"\0")
            except OSError:
                continue
            args = [a.decode("utf-8", "replace").lower().replace("\\", "/") for a in argv]
            # Wine puts the program first; under emulation qemu-i386 and Wine's
            # loader come before it. A line naming it later (this script's,
            # the probe's) is not it.
            while args and args[0].rsplit("/", 1)[-1].split("-")[0] in ("qemu", "wine", "wine64"):
                args = args[1:]
            if args and args[0].endswith("/" + self.name):
                return entry.name
        return None

    def private(self, pid):
        total, outside = 0, True
        with open(f"/proc/{pid}/smaps") as f:
            for line in f:
                if line[0] in "0123456789abcdef" and "-" in line.split(" ", 1)[0]:
                    start = int(line.split("-", 1)[0], 16)
                    outside = start < 1 << 32 and not (self.image[0] <= start < self.image[1])
                elif line.startswith("Anonymous:") and outside:
                    total += int(line.split()[1])
        return total

    def run(self):
        pid = None
        while not self.stop.is_set():
            try:
                pid = pid or self.find()
                if pid:
                    self.peak = max(self.peak, self.private(pid))
            except (OSError, ValueError):
                pid = None
            time.sleep(0.05)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def unix_path(windows_path):
    return Path(subprocess.run(["winepath", "-u", windows_path], capture_output=True, text=True).stdout.strip())


install_dir = prefix / "drive_c/Program Files/Tovarin"
sevenzr_out = prefix / "drive_c/bench-7zr"
temp = unix_path(wine(os.environ["TOVARIN_WINTOOL"], "env", "TEMP").stdout.strip())


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["sync"])


def probed(exe, what, *args):
    """The probe's output for one run of exe, and exe's peak private memory."""
    with MemorySampler(exe.name, image_range(exe)) as memory:
        out = wine(probe, what, winpath(exe), *args, timeout=300)
    if out.returncode != 0:
        raise SystemExit(f"{exe.name} under the probe failed ({out.returncode}): {out.stdout}{out.stderr}")
    return out, memory.peak


def run_installer(mode):
    out, peak = probed(installer, mode)
    (installer.parent / "probe-last.txt").write_text(out.stdout)  # every mark and round trip, to look into
    marks, trips = {}, []
    for line in out.stdout.splitlines():
        parts = line.split()
        if parts[0] == "phase":
            marks[parts[1]] = float(parts[2])
        elif parts[0] == "trip":
            trips.append((float(parts[1]), float(parts[2])))
        elif parts[0] in ("started", "first-window", "click", "progress-shown", "gone", "exit"):
            marks[parts[0]] = float(parts[1])
    return marks, trips, peak


def run_7zr():
    out, peak = probed(sevenzr, "run", "x", "-y", "-bso0", "-bsp0", "-oC:\\bench-7zr", winpath(payload))
    _, started, ended, _ = out.stdout.split()
    return float(ended) - float(started), peak


PHASES = [
    ("checks, progress window", "click", "worker"),
    ("resource writes", "worker", "library-written"),
    ("library check", "library-written", "library-checked"),
    ("open, item sizes", "library-checked", "opened"),
    ("extraction", "opened", "extracted"),
    ("close, unload", "extracted", "unloaded"),
    ("hand-over to completion", "unloaded", "finish"),
    ("shortcuts", "finish", "shortcuts"),
    ("product start", "shortcuts", "launched"),
    ("event, hide", "launched", "gone"),
    ("click to window gone", "click", "gone"),
    ("(package copy done, after worker start)", "worker", "package-written"),
]

rows = {name: [] for name, _, _ in PHASES}
slow = []
roads, sevens, ratios, first_windows, ui_extract, ui_road, mem_ours, mem_7zr = [], [], [], [], [], [], [], []
nsis_windows = []
for r in range(rounds):
    order = ["ours", "7zr"] if r % 2 == 0 else ["7zr", "ours"]
    for who in order:
        fresh(install_dir if who == "ours" else sevenzr_out)
        if who == "ours":
            marks, _, peak = run_installer("install")
            missing = [m for _, a, b in PHASES for m in (a, b) if m not in marks]
            if missing:
                raise SystemExit(f"marks missing: {missing}")
            for name, a, b in PHASES:
                rows[name].append(marks[b] - marks[a])
            road = marks["gone"] - marks["click"]
            first_windows.append(marks["first-window"] - marks["started"])
            mem_ours.append(peak)
        else:
            seven, peak = run_7zr()
            mem_7zr.append(peak)
    # The round trips load the machine, so they get an install of their own,
    # outside the timed pair.
    fresh(install_dir)
    marks, trips, _ = run_installer("latency")
    during = [t for s, t in trips if marks["opened"] <= s <= marks["extracted"]]
    ui_extract.append(max(during, default=0.0))
    slow.append(sum(1 for t in during if t > 0.050))
    ui_road.append(max((t for s, t in trips if s < marks["finish"]), default=0.0))
    if nsis:
        # NSIS's first window is its dialog, shown once it has checked its data.
        _, started, shown = probed(nsis, "window", "#32770")[0].stdout.split()
        nsis_windows.append(float(shown) - float(started))
    roads.append(road)
    sevens.append(seven)
    ratios.append(road / seven)


def sums(root):
    out = {}
    for path in sorted(root.rglob("*")):
        if path.is_file():
            out[str(path.relative_to(root))] = hashlib.md5(path.read_bytes()).hexdigest()
    return out


def same(a, b):
    return a.read_bytes() == b.read_bytes()


def f(values, scale=1.0, fmt="{:7.3f}"):
    return " ".join(fmt.format(v * scale) for v in values)


load = os.getloadavg()
print(f"{rounds} interleaved rounds; load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} on {os.cpu_count()} cores")
print()
print(f"{'phase (seconds)':28} {'per round':>{8 * rounds}}   median")
for name, _, _ in PHASES:
    print(f"{name:28} {f(rows[name]):>{8 * rounds}}  {statistics.median(rows[name]):7.3f}")
print(f"{'7zr.exe x (same archive)':28} {f(sevens):>{8 * rounds}}  {statistics.median(sevens):7.3f}")
print()
print(f"ratio click-to-gone / 7zr.exe, per round: {f(ratios)}")
print(f"median of per-round ratios: {statistics.median(ratios):.3f}   "
      f"ratio of medians: {statistics.median(roads) / statistics.median(sevens):.3f}")
print(f"start to first window: {f(first_windows)}  median {statistics.median(first_windows):.3f} s")
if nsis_windows:
    shares = [a / b for a, b in zip(first_windows, nsis_windows)]
    print(f"NSIS installer of the same files, start to first window: {f(nsis_windows)}  median"
          f" {statistics.median(nsis_windows):.3f} s; ours / NSIS per round: {f(shares)}  median {statistics.median(shares):.3f}")
print(f"longest unanswered message round trip (an install of its own each round), during extraction: {f(ui_extract, 1000, '{:5.0f}')} ms;"
      f" click to completion: {f(ui_road, 1000, '{:5.0f}')} ms; trips over 50 ms during extraction: {slow}")
print(f"peak private memory (anonymous, outside the program image): installer {f(mem_ours, 1 / 1024, '{:5.1f}')} MiB,"
      f" 7zr.exe {f(mem_7zr, 1 / 1024, '{:5.1f}')} MiB; medians {statistics.median(mem_ours) / 1024:.1f} /"
      f" {statistics.median(mem_7zr) / 1024:.1f} MiB")
print(f"code (exe minus its resources): {code_size(built)} bytes")
print("installed files identical to 7zr.exe's:", "yes" if sums(install_dir) == sums(sevenzr_out) else "NO")
print("temporary files identical to the resources:",
      "yes" if same(temp / "tovarin.7z", payload) and same(temp / "7z.dll", library) else "NO")
