"""The bootstrap's package step against a stand-in apt-get: a mirror whose
index for one architecture stays broken still yields the packages, from the
main suite, and says so; a mirror that is only slow is retried and needs no
fallback."""
import os
import subprocess
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "apt-install"

# update: fails the first N calls; install: refuses unless -t names the suite,
# as apt does when the security suite's amd64 versions have no i386 match.
APT = """#!/bin/sh
echo "apt-get $*" >> "$LOG"
case "$1" in
  update)
    n=$(cat "$STATE" 2>/dev/null || echo 0); echo $((n + 1)) > "$STATE"
    [ "$n" -ge "$UPDATE_FAILS" ] && exit 0
    echo "E: File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2; exit 100;;
  install)
    case " $* " in *" -t bookworm "*) exit 0;; esac
    [ "$INSTALL_NEEDS_MAIN" = 1 ] && { echo "E: Unable to correct problems" >&2; exit 100; }
    exit 0;;
esac
"""


class AptInstall(unittest.TestCase):
    def run_script(self, update_fails, install_needs_main):
        work = Path(tempfile.mkdtemp(prefix="apt-install-"))
        for name, text in (("apt-get", APT), ("sleep", "#!/bin/sh\necho \"sleep $*\" >> \"$LOG\"\n")):
            (work / name).write_text(text)
            (work / name).chmod(0o755)
        env = dict(os.environ, PATH=f"{work}:{os.environ['PATH']}", LOG=str(work / "log"),
                   STATE=str(work / "state"), UPDATE_FAILS=str(update_fails),
                   INSTALL_NEEDS_MAIN="1" if install_needs_main else "0")
        result = subprocess.run(["bash", str(SCRIPT), "--update", "wine32:i386", "xvfb"], env=env,
                                capture_output=True, text=True, timeout=60)
        return result, (work / "log").read_text().splitlines()

    def test_roads(self):
        # (update failures, install refuses the plain road, falls back, sleeps)
        rows = [
            (0, False, False, 0),   # a sound mirror
            (2, False, False, 2),   # a mirror mid-sync: retried, then a plain install
            (99, True, True, 3),    # one index broken for days: the main suite
        ]
        for fails, needs_main, fallback, sleeps in rows:
            with self.subTest(update_fails=fails):
                result, log = self.run_script(fails, needs_main)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                installs = [line for line in log if line.startswith("apt-get install")]
                self.assertIn("wine32:i386", installs[-1])
                self.assertEqual(" -t bookworm " in installs[-1], fallback, log)
                self.assertEqual("main suite" in result.stdout, fallback, result.stdout)
                self.assertEqual(sum(line.startswith("sleep") for line in log), sleeps, log)


if __name__ == "__main__":
    unittest.main()
