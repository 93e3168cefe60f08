#!/usr/bin/env python3
"""The whole road of one install, click to window gone, phase by phase, for the
same files packed two ways (as scripts/package packs them: BCJ + LZMA2 in
independent blocks; and LZMA + BCJ2), side by side with 7-Zip's own console
extraction of each archive and a silent install by an NSIS installer of the
same files (solid LZMA), in interleaved rounds. Run by bench/run inside the
Wine sandbox's environment.

usage: road.py PROBE SEVENZR LIBRARY ROUNDS BUILT_EXE NSIS_EXE|- INSTALLER PAYLOAD INSTALLER_BCJ2 PAYLOAD_BCJ2
(INSTALLER: BUILT_EXE with PAYLOAD in it; NSIS_EXE: an NSIS installer of the
same files, or - for none)
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

probe, sevenzr, library = map(Path, sys.argv[1:4])
rounds = int(sys.argv[4])
built = Path(sys.argv[5])
nsis = None if sys.argv[6] == "-" else Path(sys.argv[6])
installer, payload, installer_bcj2, payload_bcj2 = map(Path, sys.argv[7:11])
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
        self.cpu = {}  # thread id: CPU seconds so far
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

    def threads(self, pid):
        tick = os.sysconf("SC_CLK_TCK")
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                fields = Path(f"/proc/{pid}/task/{tid}/stat").read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            self.cpu[tid] = max(self.cpu.get(tid, 0.0), (int(fields[11]) + int(fields[12])) / tick)

    def busy(self, share=0.2):
        """Threads that took at least share of the busiest one's CPU time."""
        top = max(self.cpu.values(), default=0.0)
        return sum(1 for t in self.cpu.values() if top and t >= share * top)

    def run(self):
        pid = None
        while not self.stop.is_set():
            try:
                pid = pid or self.find()
                if pid:
                    self.peak = max(self.peak, self.private(pid))
                    self.threads(pid)
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


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["sync"])


def probed(exe, what, *args):
    """The probe's output for one run of exe, and exe's sampler (peak private
    memory, CPU time per thread)."""
    with MemorySampler(exe.name, image_range(exe)) as sampler:
        out = wine(probe, what, winpath(exe), *args, timeout=300)
    if out.returncode != 0:
        raise SystemExit(f"{exe.name} under the probe failed ({out.returncode}): {out.stdout}{out.stderr}")
    return out, sampler


def run_installer(exe, mode):
    out, sampler = probed(exe, mode)
    (exe.parent / "probe-last.txt").write_text(out.stdout)  # every mark and round trip, to look into
    marks, trips = {}, []
    for line in out.stdout.splitlines():
        parts = line.split()
        if parts[0] == "phase":
            marks[parts[1]] = float(parts[2])
        elif parts[0] == "trip":
            trips.append((float(parts[1]), float(parts[2])))
        elif parts[0] in ("started", "first-window", "click", "progress-shown", "gone", "exit"):
            marks[parts[0]] = float(parts[1])
    return marks, trips, sampler


def run_7zr(archive, folder):
    out, sampler = probed(sevenzr, "run", "x", "-y", "-bso0", "-bsp0", "-o" + winpath(folder), winpath(archive))
    _, started, ended, _ = out.stdout.split()
    return float(ended) - float(started), sampler


def run_nsis():
    out, sampler = probed(nsis, "verbatim", "/S", "/D=" + winpath(nsis_dir))
    _, started, ended, _ = out.stdout.split()
    return float(ended) - float(started), sampler


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


def med(values):
    return statistics.median(values) if values else float("nan")


install_dir = prefix / "drive_c/Program Files/Tovarin"
nsis_dir = prefix / "drive_c/Program Files/Tovarin-NSIS"
temp = unix_path(wine(os.environ["TOVARIN_WINTOOL"], "env", "TEMP").stdout.strip())
KINDS = {"lzma2": (installer, payload), "bcj2": (installer_bcj2, payload_bcj2)}
SEVEN_OUT = {kind: prefix / f"drive_c/bench-7zr-{kind}" for kind in KINDS}

rows = {kind: {name: [] for name, _, _ in PHASES} for kind in KINDS}
road = {kind: [] for kind in KINDS}
seven = {kind: [] for kind in KINDS}
mem = {who: [] for who in (*KINDS, "7zr lzma2", "7zr bcj2", "nsis")}
busy = {who: [] for who in (*KINDS, "7zr lzma2", "7zr bcj2")}
nsis_runs, first_windows, nsis_windows, ui_extract, ui_road, slow = [], [], [], [], [], []
installed = {}
for r in range(rounds):
    runs = ["lzma2", "bcj2", "7zr lzma2", "7zr bcj2"] + (["nsis"] if nsis else [])
    runs = runs[r % len(runs):] + runs[:r % len(runs)]  # each goes first in turn
    for who in runs:
        if who in KINDS:
            fresh(install_dir)
            marks, _, sampler = run_installer(KINDS[who][0], "install")
            missing = [m for _, a, b in PHASES for m in (a, b) if m not in marks]
            if missing:
                raise SystemExit(f"{who}: marks missing: {missing}")
            for name, a, b in PHASES:
                rows[who][name].append(marks[b] - marks[a])
            road[who].append(marks["gone"] - marks["click"])
            if who == "lzma2":
                first_windows.append(marks["first-window"] - marks["started"])
            if r == rounds - 1:
                installed[who] = sums(install_dir)
        elif who == "nsis":
            fresh(nsis_dir)
            took, sampler = run_nsis()
            nsis_runs.append(took)
        else:
            kind = who.split()[1]
            fresh(SEVEN_OUT[kind])
            took, sampler = run_7zr(KINDS[kind][1], SEVEN_OUT[kind])
            seven[kind].append(took)
        mem[who].append(sampler.peak)
        if who in busy:
            busy[who].append(sampler.busy())
    # The round trips load the machine, so they get an install of their own,
    # outside the timed runs.
    fresh(install_dir)
    marks, trips, _ = run_installer(installer, "latency")
    during = [t for s, t in trips if marks["opened"] <= s <= marks["extracted"]]
    ui_extract.append(max(during, default=0.0))
    slow.append(sum(1 for t in during if t > 0.050))
    ui_road.append(max((t for s, t in trips if s < marks["finish"]), default=0.0))
    if nsis:
        # NSIS's first window is its dialog, shown once it has checked its data.
        _, started, shown = probed(nsis, "window", "#32770")[0].stdout.split()
        nsis_windows.append(float(shown) - float(started))

W = 8 * rounds
load = os.getloadavg()
print(f"{rounds} interleaved rounds; load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} on {os.cpu_count()} cores")
print(f"packages: BCJ + LZMA2 blocks {payload.stat().st_size:,} bytes, LZMA + BCJ2 {payload_bcj2.stat().st_size:,} bytes"
      f" ({payload.stat().st_size / payload_bcj2.stat().st_size:.3f}x)")
for kind in KINDS:
    print()
    print(f"{'phase, ' + kind + ' (seconds)':40} {'per round':>{W}}   median")
    for name, _, _ in PHASES:
        print(f"{name:40} {f(rows[kind][name]):>{W}}  {med(rows[kind][name]):7.3f}")
    print(f"{'7zr.exe x, same archive':40} {f(seven[kind]):>{W}}  {med(seven[kind]):7.3f}")
if nsis_runs:
    print(f"{'NSIS silent install, same files':40} {f(nsis_runs):>{W}}  {med(nsis_runs):7.3f}")
print()
ratios = {
    "lzma2 / bcj2 (click to gone)": [a / b for a, b in zip(road["lzma2"], road["bcj2"])],
    "lzma2 / NSIS silent install": [a / b for a, b in zip(road["lzma2"], nsis_runs)],
    "lzma2 / 7zr.exe x (lzma2)": [a / b for a, b in zip(road["lzma2"], seven["lzma2"])],
    "bcj2 / 7zr.exe x (bcj2)": [a / b for a, b in zip(road["bcj2"], seven["bcj2"])],
    "7zr.exe lzma2 / 7zr.exe bcj2": [a / b for a, b in zip(seven["lzma2"], seven["bcj2"])],
}
for name, values in ratios.items():
    if values:
        print(f"ratio {name:32} per round: {f(values)}   median {med(values):.3f}")
print(f"start to first window: {f(first_windows)}  median {med(first_windows):.3f} s")
if nsis_windows:
    shares = [a / b for a, b in zip(first_windows, nsis_windows)]
    print(f"NSIS installer of the same files, start to first window: {f(nsis_windows)}  median"
          f" {med(nsis_windows):.3f} s; ours / NSIS per round: {f(shares)}  median {med(shares):.3f}")
print(f"longest unanswered message round trip (an install of its own each round, lzma2), during extraction:"
      f" {f(ui_extract, 1000, '{:5.0f}')} ms; click to completion: {f(ui_road, 1000, '{:5.0f}')} ms;"
      f" trips over 50 ms during extraction: {slow}")
print("peak private memory (anonymous, outside the program image), MiB: " +
      "; ".join(f"{who} {f(v, 1 / 1024, '{:5.1f}')} (median {med(v) / 1024:.1f})" for who, v in mem.items() if v))
print("busy threads (at least a fifth of the busiest one's CPU time): " +
      "; ".join(f"{who} {v}" for who, v in busy.items() if v))
print(f"code (exe minus its resources): {code_size(built)} bytes")
for kind in KINDS:
    print(f"installed files ({kind}) identical to 7zr.exe's:",
          "yes" if installed.get(kind) == sums(SEVEN_OUT[kind]) and installed.get(kind) else "NO")
print("temporary files identical to the resources:",
      "yes" if same(temp / "tovarin.7z", payload) and same(temp / "7z.dll", library) else "NO")
lz = ratios["lzma2 / bcj2 (click to gone)"]
ns = ratios["lzma2 / NSIS silent install"]
print(f"closing: click to gone lzma2/bcj2 {med(lz):.3f}x (goal <= 0.30), lzma2/NSIS "
      f"{med(ns) if ns else float('nan'):.3f}x (goal <= 0.20), peak private {med(mem['lzma2']) / 1024:.1f} MiB "
      f"(goal <= 128), longest UI silence {max(ui_extract, default=0) * 1000:.0f} ms (goal <= 50), package "
      f"{payload.stat().st_size / payload_bcj2.stat().st_size:.3f}x BCJ2 (goal <= 1.05)")
