"""A window kept open in the bench's prefix for the whole measurement.

Wine starts its desktop process with the first window of a prefix and ends it
soon after the last one closes, so without this every measured GUI run would
pay for a cold desktop start (about 0.25 s here) that a Windows user never pays:
there the desktop always runs. The bare reference programs create no window and
are unaffected either way.
"""

import os
import signal
import subprocess
from pathlib import Path


class WarmDesktop:
    def __init__(self, wine_command: list, env: dict):
        self.process = subprocess.Popen([*wine_command, "window", "BENCHDESKTOP", "desktop", "hidden"], env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


def wintool(bin_dir: Path) -> Path:
    return bin_dir / "wintool.exe"
