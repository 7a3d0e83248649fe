"""What the pipeline scenarios share: a release server on 127.0.0.1 and the
download folders inside a scenario's prefix. Holds no tests itself."""

from __future__ import annotations

import json
import os
import signal
import subprocess
import sys
from pathlib import Path

import pytest

from harness import REPO, poll

SERVER = REPO / "tests" / "support" / "httpserver" / "serve.py"
PRODUCT_CODE = "{58DE7ACE-695E-467E-BBD1-89985E2AB819}"
WINDOW_CLASS = "STOBRINDOWNLOADER"
CAPTION = "Talvoro Plug-in for PowerPoint\u00ae"


def content(size: int, seed: int) -> bytes:
    """Distinct bytes per file, so a mixed-up file is caught."""
    return bytes((i * 7 + seed) % 253 for i in range(size))


def version_info(files, msi="Setup", version="2.2.015", language="1033", company="Talvoro") -> bytes:
    names = "".join(f"<file>{name}</file>" for name in files)
    return (f'<?xml version="1.0" encoding="utf-8"?>\n<application name="{company}">'
            f'<product language="{language}"><version name="{version}" productCode="{PRODUCT_CODE}">'
            f'<files msi="{msi}">{names}</files></version></product></application>\n').encode()


def publish(folder: Path, files: dict[str, bytes], description: bytes | None = None) -> Path:
    """A release folder: version_info.xml and the files below 1033/2.2.015."""
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "version_info.xml").write_bytes(description if description is not None
                                              else version_info(list(files)))
    for name, data in files.items():
        path = folder / "1033" / "2.2.015" / name.replace("\\", "/")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return folder


class ReleaseServer:
    """serve.py over a root folder, with its request log; stopped by its id."""

    def __init__(self, root: Path, rules=()):
        self.root = root
        self.log = root.parent / "requests.jsonl"
        port_file = root.parent / "port"
        port_file.unlink(missing_ok=True)
        command = [sys.executable if sys.executable.startswith("/usr/bin/") else "/usr/bin/python3", str(SERVER),
                   "--root", str(root), "--port-file", str(port_file), "--log", str(self.log)]
        for rule in rules:
            command += ["--rule", rule]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        self.port = int(poll(lambda: port_file.exists() and port_file.read_text().strip(), 20, "the server's port"))
        self.url = f"http://127.0.0.1:{self.port}"

    def paths(self) -> list[str]:
        if not self.log.exists():
            return []
        return [json.loads(line)["path"] for line in self.log.read_text().splitlines() if line.strip()]

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()


@pytest.fixture
def release_root(tmp_path):
    root = tmp_path / "www"
    root.mkdir()
    return root


def start_server(request, root: Path, rules=()) -> ReleaseServer:
    server = ReleaseServer(root, rules)
    request.addfinalizer(server.stop)
    return server


def inet_cache(scenario) -> Path:
    """The prefix's Temporary Internet Files folder (where download folders go)."""
    users = scenario.prefix / "drive_c" / "users"
    user = next(p for p in users.iterdir() if p.is_dir() and p.name != "Public")
    return user / "AppData" / "Local" / "Microsoft" / "Windows" / "INetCache"


def download_folders(scenario) -> list[Path]:
    cache = inet_cache(scenario)
    return sorted(p for p in cache.glob("Talvoro_*") if p.is_dir()) if cache.exists() else []


def download_boxes(watcher) -> list[str]:
    """Failure boxes of the download steps; what the installation step shows of a
    package is its own business and not judged here."""
    return [d["text"] for d in watcher.dialogs()
            if "Task name: " in d["text"] and not d["text"].endswith("Task name: RunMSI.")]


def run_to_end(scenario, settings, timeout=60):
    """Runs a stamped bootstrapper to its end; returns (exit code, watcher)."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper(settings)
    code = process.wait(timeout)
    watcher.process.stop()  # a watcher left running would answer the next run's boxes
    return code, watcher


def failure_box(scenario, settings, text, timeout=60, unchecked=False):
    """Runs until the failure box with exactly this text shows; presses OK; checks the end.
    unchecked: stamp settings that stamp.exe refuses (the program's own refusal is tested)."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper(settings, unchecked=unchecked)
    try:
        box = watcher.wait_dialog(text=text, timeout=timeout)
        # Stopped only after the program's end: until then the watcher repeats a click that got lost.
        code = process.wait(30)
    finally:
        watcher.process.stop()  # a watcher left running would answer the next run's boxes
    assert box["caption"] == CAPTION
    assert box["icon"] is True
    assert code == 0
    assert [d["text"] for d in watcher.dialogs()] == [text], "one failure, one box"
    assert download_folders(scenario) == [], "the download folder is deleted at exit"
    return box
