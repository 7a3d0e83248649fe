"""What the custom-action scenarios share: the stand-in runtime in a scenario's
prefix, its call log, a release whose description names a custom-action class,
and the sample add-in packages. Holds no tests itself."""

from __future__ import annotations

import json
import shutil
import sys
from pathlib import Path

from harness import REPO, poll, windows_path

sys.path.insert(0, str(REPO / "tests" / "support" / "standin_runtime"))
import standin_prefix  # noqa: E402

PRODUCT_CODE = "{58DE7ACE-695E-467E-BBD1-89985E2AB819}"
OLD_CODES = {"2.0.0": "{A1E5D0C2-7B3F-4C8E-9D1A-2B3C4D5E6F70}", "2.1.0": "{B2F6E1D3-8C4A-4D9F-AE2B-3C4D5E6F7081}"}
ASSEMBLY = "Talvoro.Actions"
CLASS = "Talvoro.Actions.Setup"
CAPTION = "Talvoro Plug-in for PowerPoint\u00ae"
WINDOW_CLASS = "STOBRINDOWNLOADER"
FAKE_HOST_CLASS = "FakeHostApplication"
FAKE_HOST = r"C:\Program Files\Microsoft Office\POWERPNT.EXE"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"

VT_I1, VT_I4, VT_BSTR, VT_UI4, VT_I8, VT_UI8, VT_UINT, VT_ARRAY = 16, 3, 8, 19, 20, 21, 23, 0x2000


def package(session, name: str) -> Path:
    path = session.bin_dir / "packages" / f"{name}.msi"
    if not path.is_file():
        raise FileNotFoundError(f"{path} is missing: build the sample_packages target")
    return path


class Standin:
    """The stand-in runtime of one scenario: its scenario file and its call log."""

    def __init__(self, scenario, lines=(), runtime: bool = True, framework: bool = True):
        self.scenario = scenario
        self.file = scenario.run_dir / "standin-scenario.txt"
        self.log = scenario.run_dir / "standin-calls.jsonl"
        if runtime:
            dll = scenario.session.bin_dir / "standin" / "mscoree.dll"
            if not dll.is_file():
                raise FileNotFoundError(f"{dll} is missing: build the standin_runtime target")
            standin_prefix.install(scenario.prefix, dll)
        elif framework:
            standin_prefix.install_framework(scenario.prefix)
        # The environment names mscoree nowhere, so the prefix's own load order decides.
        scenario.env["WINEDLLOVERRIDES"] = "mshtml=;winemenubuilder.exe=d"
        scenario.env["STANDIN_RUNTIME_SCENARIO"] = windows_path(self.file)
        self.script(lines)

    def script(self, lines):
        self.file.write_text("".join(f"{line}\n" for line in [f"log={windows_path(self.log)}", *lines]),
                             encoding="utf-8")

    def records(self, call: str | None = None) -> list[dict]:
        if not self.log.exists():
            return []
        records = [json.loads(line) for line in self.log.read_text(encoding="utf-8").splitlines() if line.strip()]
        return [r for r in records if call is None or r["call"] == call]

    def invokes(self, type_name: str = CLASS, method: str | None = None) -> list[dict]:
        return [r for r in self.records("Invoke")
                if r["type"] == type_name and (method is None or r["method"] == method)]

    def methods(self, type_name: str = CLASS) -> list[str]:
        """The action object's methods in call order, repeats of a method folded."""
        names = []
        for record in self.invokes(type_name):
            if not names or names[-1] != record["method"]:
                names.append(record["method"])
        return names


def version_info(module: bool = True, preferences: str = "", old_versions=("2.0.0", "2.1.0"),
                 assembly: str = ASSEMBLY, class_name: str = CLASS, config: bool = False) -> bytes:
    attributes = f' customActionAssembly="{assembly}" customActionClass="{class_name}"' if module else ""
    files = f"<file>Setup.msi</file><file>actions/{ASSEMBLY}.dll</file>"
    if config:
        files += f"<file>actions/{ASSEMBLY}.dll.config</file>"
    old = "".join(f'<version name="{v}" productCode="{OLD_CODES[v]}"><files msi="Setup"><file>Setup.msi</file>'
                  f'</files></version>' for v in old_versions)
    return ('<?xml version="1.0" encoding="utf-8"?>\n<application name="Talvoro"><product language="1033">'
            f'{old}<version name="2.2.015" productCode="{PRODUCT_CODE}"><files msi="Setup"{attributes}>'
            f'{files}</files>{preferences}</version>'
            '</product></application>\n').encode()


def publish_release(session, folder: Path, description: bytes | None = None, config: bool = False) -> Path:
    """A release folder: the 2.2.15 package as Setup.msi and a custom-action assembly."""
    release = folder / "1033" / "2.2.015"
    (release / "actions").mkdir(parents=True, exist_ok=True)
    shutil.copyfile(package(session, "talvoro-addin-2.2.15"), release / "Setup.msi")
    (release / "actions" / f"{ASSEMBLY}.dll").write_bytes(b"MZ stand-in assembly\n")
    if config:
        (release / "actions" / f"{ASSEMBLY}.dll.config").write_text("<configuration/>\n")
    (folder / "version_info.xml").write_bytes(description if description is not None
                                              else version_info(config=config))
    return folder


def preinstall(scenario, *versions: str):
    """Installs older releases of the sample add-in with the prefix's msiexec."""
    for version in versions:
        code, output = scenario.run("msiexec", "/i", windows_path(package(scenario.session, f"talvoro-addin-{version}")),
                                    "/quiet", timeout=120)
        assert code == 0, f"msiexec /i {version}: {code} {output}"
        assert installed(scenario, OLD_CODES[version])


def installed(scenario, product_code: str) -> bool:
    """Whether the product's uninstall key is there, in either registry view."""
    return any(scenario.run("reg", "query", f"{UNINSTALL_KEY}\\{product_code}", *([f"/reg:{view}"] if view else []))[0]
               == 0 for view in scenario.registry_views())


def run_release(scenario, folder: Path, settings=None, answers=None, timeout=120):
    """Runs a stamped bootstrapper on the release folder to its end; returns the watcher."""
    watcher = scenario.watch(track=[WINDOW_CLASS], answers=answers)
    process = scenario.start_bootstrapper(dict({"installationUrl": windows_path(folder)}, **(settings or {})))
    try:
        assert process.wait(timeout) == 0
    finally:
        watcher.process.stop()  # a watcher left running would answer the next run's boxes
    return watcher


def failure_text(watcher) -> list[str]:
    """The run's failure boxes (the running-applications question is none)."""
    return [d["text"] for d in watcher.dialogs() if d["caption"] == CAPTION and "Task name: " in d["text"]]


INSTALLMESSAGE_TERMINATE = 0x0D000000


def action_messages(standin: Standin) -> list[dict]:
    """DoInstallUIAction calls while an action runs; the terminate message comes
    while the handle is being closed, when neither it nor its record can be read."""
    return [m for m in standin.invokes(method="DoInstallUIAction") if m["args"][1]["value"] != INSTALLMESSAGE_TERMINATE]


def assert_released(standin: Standin):
    """The module disposed, the domain unloaded and every stand-in object released
    before the process ended."""
    calls = [r["call"] if r["call"] != "Invoke" else f'Invoke {r["method"]}' for r in standin.records()]
    unloads = standin.records("UnloadDomain")
    assert len(unloads) == 1 and unloads[0]["ours"] is True
    assert standin.records("Destroy")[-1]["object"] == "CorRuntimeHost"
    assert calls.index("UnloadDomain") < len(calls) - 1 - calls[::-1].index("Destroy")
    end = standin.records("Unload")
    assert end and end[-1]["process_exit"] is True and end[-1]["live"] == 0, "stand-in objects left alive"


def start_fake_host(scenario):
    """The fake host application running as PowerPoint; its window must be up."""
    unix = scenario.prefix / "drive_c" / "Program Files" / "Microsoft Office" / "POWERPNT.EXE"
    unix.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(scenario.session.program("fakehost.exe"), unix)
    process = scenario.start(FAKE_HOST)
    poll(lambda: scenario.window(FAKE_HOST_CLASS), 60, "the fake host's window")
    return process


def fake_host_starts(scenario) -> list[int]:
    """Windows process ids of every start of the fake host, from its log."""
    log = scenario.prefix / "drive_c" / "Program Files" / "Microsoft Office" / "POWERPNT.EXE.log"
    return [int(line.split()[0]) for line in log.read_text(encoding="utf-8").splitlines() if line.strip()]


def stop_fake_host(scenario, windows_pid: int):
    """Stops a fake host the program started, by its id."""
    code, output = scenario.run("taskkill", "/f", "/pid", str(windows_pid))
    assert code == 0, output
