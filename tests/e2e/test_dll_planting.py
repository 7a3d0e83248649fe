"""DLL planting: DLLs named like the system DLLs that bootstrapper.exe uses, put
beside it and in the current folder, are never loaded.

Each DLL the program uses that is not a KnownDLL (its static imports beyond the
KnownDLLs, its delay-loaded DLLs, and mscoree.dll, which the .NET host loads by
full path) is planted as a copy of planted.dll, which writes a marker when it is
loaded. WINEDLLOVERRIDES "name=n,b" makes Wine search as Windows does for
such names, the program's folder first: without the defence the planted DLL is
loaded, as the unprotected program shows.

Wine's own user32 imports version.dll (Windows' does not), so Wine loads a
planted version.dll at every program's start-up, before the program's first
instruction, and then hands it to every user of version.dll. A program that
imports only the same KnownDLLs shows which planted DLLs Wine loads by itself;
those are withdrawn before the program runs. Wine's loader trace then shows that
every DLL the program loaded, those included, came from the system folders.
"""

from __future__ import annotations

import functools
import http.server
import re
import shutil
import sys
import threading
from pathlib import Path

import pytest

from harness import REPO, windows_path

sys.path.insert(0, str(REPO / "cmake" / "delayload"))
import check_imports  # noqa: E402

FOLDER = r"C:\e2e"
WINDOW_CLASS = "STOBRINDOWNLOADER"
PRODUCT_CODE = "{58DE7ACE-695E-467E-BBD1-89985E2AB819}"
# Loaded by the .NET host by full path, never by name: planted all the same.
LOADED_BY_PATH = ("mscoree.dll",)
SYSTEM_FOLDERS = ("c:\\windows\\system32\\", "c:\\windows\\winsxs\\")


def plantable(program: Path) -> list[str]:
    """The non-KnownDLLs the program imports, delay-loads or loads by path."""
    static = [dll for dll in check_imports.static_imports(program) if dll not in check_imports.KNOWN_DLLS]
    return sorted(set(static) | set(check_imports.delay_imports(program)) | set(LOADED_BY_PATH))


class PlantedDlls:
    """Copies of planted.dll under the given names in the program folder C:\\e2e
    and in the current folder of the scenario's programs; Wine prefers them."""

    def __init__(self, scenario, names):
        self.scenario = scenario
        self.names = list(names)
        self.markers = scenario.run_dir / "markers"
        self.markers.mkdir()
        self.folder = scenario.prefix / "drive_c" / FOLDER[3:]
        self.folder.mkdir(parents=True, exist_ok=True)
        planted = scenario.session.program("planted.dll")
        for folder in (self.folder, scenario.run_dir):
            for name in self.names:
                shutil.copyfile(planted, folder / name)
        env = scenario.env
        env["PLANTED_DLL_MARKERS"] = windows_path(self.markers)
        # mscoree stays off for the rest (no runtime install dialogs) but is
        # preferred native where planted.
        others = [part for part in env["WINEDLLOVERRIDES"].split(";") if part]
        others = [part.replace("mscoree,", "") for part in others]
        env["WINEDLLOVERRIDES"] = ";".join(others + [",".join(n[:-4] for n in self.names) + "=n,b"])

    def withdraw(self, names):
        """Removes the given plants and Wine's preference for them."""
        self.names = [n for n in self.names if n not in names]
        for folder in (self.folder, self.scenario.run_dir):
            for name in names:
                (folder / name).unlink()
        parts = self.scenario.env["WINEDLLOVERRIDES"].split(";")
        self.scenario.env["WINEDLLOVERRIDES"] = ";".join(
            parts[:-1] + ([",".join(n[:-4] for n in self.names) + "=n,b"] if self.names else []))

    def copy(self, program: str) -> str:
        shutil.copyfile(self.scenario.session.program(program), self.folder / program)
        return FOLDER + "\\" + program

    def loads(self, program: str) -> dict[str, str]:
        """{DLL name: "start-up" or "dynamic"} of the planted DLLs that program loaded."""
        found = {}
        for marker in self.markers.glob("*.loaded"):
            dll, loader, _ = marker.name.split("--")
            if loader.lower() == program.lower():
                lines = marker.read_text(encoding="utf-8").splitlines()
                found[dll.lower()] = lines[2] if len(lines) > 2 else "unknown"
        return found


def withdraw_what_the_system_loads(scenario, planted: PlantedDlls) -> list[str]:
    """Runs a program that imports only KnownDLLs; withdraws the plants it loaded."""
    code, output = scenario.run(planted.copy("knowndlls.exe"))
    assert code == 0, output
    system_loads = planted.loads("knowndlls.exe")
    assert set(system_loads.values()) <= {"start-up"}, system_loads
    planted.withdraw(list(system_loads))
    return sorted(system_loads)


def loaded_modules(output: str, program: str) -> list[str]:
    """The files Wine's loader trace (+loaddll) shows the program's process loading."""
    lines = re.findall(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\S+ Loaded L"(.+?)" at ', output, re.M)
    process = next((pid for pid, path in lines if path.lower().endswith("\\" + program.lower())), None)
    assert process is not None, f"no loader trace of {program}"
    return [path.replace("\\\\", "\\") for pid, path in lines if pid == process]


def foreign_modules(modules: list[str], program_path: str) -> list[str]:
    """Loaded modules outside the system folders, but the program itself."""
    return [m for m in modules if not m.lower().startswith(SYSTEM_FOLDERS) and m.lower() != program_path.lower()]


def run_traced(scenario, program, watcher, timeout=120):
    """Runs the program with Wine's loader trace; returns (exit code, trace)."""
    quiet = scenario.env["WINEDEBUG"]
    scenario.env["WINEDEBUG"] = "-all,+pid,+loaddll"
    try:
        process = scenario.start(program)
    finally:
        scenario.env["WINEDEBUG"] = quiet
    code = process.wait(timeout)
    watcher.process.stop()  # a watcher left running would answer later boxes
    return code, process.output()


def test_the_bootstrapper_loads_no_planted_dll_on_a_failing_run(scenario):
    names = plantable(scenario.session.program("bootstrapper.exe"))
    assert {"wininet.dll", "urlmon.dll"} <= set(names), "the import scan sees the delay-loaded DLLs"
    program = scenario.stamp({"installationUrl": "http://127.0.0.1:9/rel/"}, folder=FOLDER)
    planted = PlantedDlls(scenario, names)
    assert set(withdraw_what_the_system_loads(scenario, planted)) <= {"version.dll"}

    watcher = scenario.watch(track=[WINDOW_CLASS])
    code, trace = run_traced(scenario, program, watcher)
    assert planted.loads("bootstrapper.exe") == {}
    assert code == 0
    boxes = [box["text"] for box in watcher.dialogs()]
    assert boxes == ["Can't Connect to server. Task name: DownloadVersionInfo."], "the run behaves as without plants"
    modules = loaded_modules(trace, "bootstrapper.exe")
    assert "c:\\windows\\system32\\wininet.dll" in [m.lower() for m in modules], \
        "wininet.dll was delay-loaded, from the system folder"
    assert foreign_modules(modules, program.windows) == []


def test_the_same_check_catches_a_program_without_the_defence(scenario):
    planted = PlantedDlls(scenario, ["wininet.dll", "msi.dll", "version.dll"])
    assert set(withdraw_what_the_system_loads(scenario, planted)) <= {"version.dll"}
    code, _ = scenario.run(planted.copy("unprotected.exe"))
    assert code == 0
    # Its static import of wininet and its LoadLibrary("msi.dll") both take the planted copies.
    assert planted.loads("unprotected.exe") == {"wininet.dll": "start-up", "msi.dll": "dynamic"}


class _LoggingHandler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        self.server.requests.append(self.path)
        super().do_GET()

    def log_message(self, *args):
        pass


def test_a_run_through_the_installation_step_loads_no_planted_dll(scenario, tmp_path):
    package = scenario.session.bin_dir / "packages" / "talvoro-addin-2.2.15.msi"
    if not package.is_file():
        pytest.skip("the sample packages are not built (wixl missing)")
    root = tmp_path / "www"
    release = root / "rel" / "1033" / "2.2.015"
    release.mkdir(parents=True)
    shutil.copyfile(package, release / "Setup.msi")
    (root / "rel" / "version_info.xml").write_text(
        f'<?xml version="1.0" encoding="utf-8"?>\n<application name="Talvoro"><product language="1033">'
        f'<version name="2.2.015" productCode="{PRODUCT_CODE}"><files msi="Setup"><file>Setup.msi</file>'
        f'</files></version></product></application>\n', encoding="utf-8")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(_LoggingHandler, directory=str(root)))
    server.requests = requests = []
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        names = plantable(scenario.session.program("bootstrapper.exe"))
        url = f"http://127.0.0.1:{server.server_address[1]}/rel/"
        program = scenario.stamp({"installationUrl": url}, folder=FOLDER)
        planted = PlantedDlls(scenario, names)
        withdraw_what_the_system_loads(scenario, planted)

        watcher = scenario.watch(track=[WINDOW_CLASS])
        code, trace = run_traced(scenario, program, watcher, timeout=240)
    finally:
        server.shutdown()
        server.server_close()
        thread.join(10)
    assert planted.loads("bootstrapper.exe") == {}
    assert code == 0
    assert watcher.dialogs() == [], "the run ends as without plants"
    assert requests == ["/rel/version_info.xml", "/rel/1033/2.2.015/Setup.msi"]
    modules = loaded_modules(trace, "bootstrapper.exe")
    lowered = [m.lower() for m in modules]
    assert "c:\\windows\\system32\\msi.dll" in lowered, "msi.dll was delay-loaded, from the system folder"
    assert foreign_modules(modules, program.windows) == []
