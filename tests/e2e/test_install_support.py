"""What the installation scenarios share: the sample add-in's packages and site,
and what a user would look at afterwards (the installed products, the add-in's
folder, its loader manifest, the uninstall key). Holds no tests itself."""

from __future__ import annotations

import shutil
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

from harness import REPO, Program, poll

sys.path.insert(0, str(REPO / "tests" / "support" / "packages"))
import sample_site  # noqa: E402

from sample_site import INSTALL_FOLDER, LOADER_COMPONENT, PRODUCT_CODE, REGISTRY_INSTALL_FOLDER  # noqa: E402,F401

WINDOW_CLASS = "STOBRINDOWNLOADER"
CAPTION = "Talvoro Plug-in for PowerPoint\u00ae"
HOST_CLASS = "FakeHostApplication"
HOST_PATH = r"C:\Program Files\Microsoft Office\Office16\POWERPNT.EXE"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" "\\"
OLDER = "talvoro-addin-2.1.0"
OLDEST = "talvoro-addin-2.0.0"
CURRENT = "talvoro-addin-2.2.15"


def package(scenario, name: str) -> sample_site.Package:
    return sample_site.packages(scenario.session.bin_dir)[name]


@pytest.fixture
def site(tmp_path, request):
    """Publishes a release on 127.0.0.1: site(current=..., older=[...], **preferences) -> installation URL."""
    servers = []

    def publish(scenario, current=CURRENT, older=(), folder="addin", **options):
        root = tmp_path / f"www{len(servers)}"
        sample_site.write_site(root, scenario.session.bin_dir, current, older, folder, **options)
        servers.append(sample_site.Site(root, folder=folder))
        return servers[-1].url

    yield publish
    for server in servers:
        server.stop()


def unix_path(scenario, windows: str) -> Path:
    assert windows[:3].upper() == "C:\\"
    return scenario.prefix / "drive_c" / windows[3:].replace("\\", "/")


def install_package(scenario, name: str):
    """Installs a sample release the way an earlier run would have left it."""
    source = package(scenario, name).path
    target = unix_path(scenario, rf"C:\e2e\packages\{source.name}")
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(source, target)
    code, output = scenario.run("msiexec", "/i", rf"C:\e2e\packages\{source.name}", "/quiet", timeout=120)
    assert code == 0, output
    assert installed_version(scenario, package(scenario, name).product_code) == package(scenario, name).version


def reg_value(scenario, key: str, name: str, view: int | None = None) -> str | None:
    """A value's data as reg prints it; view 32 or 64 names the registry view."""
    code, output = scenario.run("reg", "query", key, "/v", name, *([f"/reg:{view}"] if view else []))
    if code != 0:
        return None
    for line in output.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def uninstall_value(scenario, product_code: str, name: str) -> str | None:
    """A value of the product's uninstall key below HKLM (Wine writes it there even per user), in
    whichever registry view the package registered it: a 32-bit package in the 32-bit one."""
    for view in scenario.registry_views():
        value = reg_value(scenario, UNINSTALL + product_code, name, view)
        if value is not None:
            return value
    return None


def installed_version(scenario, product_code: str) -> str | None:
    """DisplayVersion of the product's uninstall key."""
    return uninstall_value(scenario, product_code, "DisplayVersion")


def local_app_data(scenario) -> Path:
    users = scenario.prefix / "drive_c" / "users"
    user = next(p for p in sorted(users.iterdir()) if p.is_dir() and p.name != "Public")
    return user / "AppData" / "Local"


def addin_folder(scenario, name: str = INSTALL_FOLDER) -> Path:
    return local_app_data(scenario) / name


def release_notes(scenario, name: str = INSTALL_FOLDER) -> str | None:
    notes = addin_folder(scenario, name) / "release.txt"
    return notes.read_text().strip() if notes.exists() else None


def manifest_msi(folder: Path) -> dict | None:
    """The msi section of the loader manifest as the loader reads it."""
    root = ElementTree.parse(folder / "kvlloader.dll.manifest").getroot()
    msi = root.find("msi")
    return None if msi is None else {child.tag: child.text or "" for child in msi}


def run_bootstrapper(scenario, url: str, settings: dict | None = None, answers=None, timeout: float = 180):
    """Runs the stamped bootstrapper against the site to its end; returns (exit code, watcher)."""
    watcher = scenario.watch(track=[WINDOW_CLASS], answers=answers)
    process = scenario.start_bootstrapper(dict({"installationUrl": url}, **(settings or {})))
    code = process.wait(timeout)
    return code, watcher


def pipeline_boxes(watcher) -> list[str]:
    """The texts of the boxes the bootstrapper showed for a failed run."""
    return [d["text"] for d in watcher.dialogs() if d["caption"] == CAPTION and "Task name: " in d["text"]]


def place_fake_host(scenario, path: str = HOST_PATH) -> Program:
    target = unix_path(scenario, path)
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(scenario.session.program("fakehost.exe"), target)
    return Program(path, target)


def host_starts(program: Program) -> list[int]:
    """Process ids of the fake host's starts, from its own log."""
    log = Path(str(program.unix) + ".log")
    if not log.exists():
        return []
    return [int(line.split()[0]) for line in log.read_text(encoding="utf-8").splitlines() if line.strip()]


def use_standin_msiexec(scenario, exit_code: int) -> Path:
    """Puts the stand-in msiexec.exe in the prefix's system folder; returns its command-line log."""
    system = scenario.prefix / "drive_c" / "windows" / "system32"
    target = system / "msiexec.exe"
    target.unlink()  # the prefix shares its files with the template: never write through
    shutil.copyfile(scenario.session.program("standin_msiexec.exe"), target)
    (system / "msiexec.exe.exitcode").write_text(str(exit_code))
    # Wine prefers its built-in msiexec unless told to load the file.
    scenario.reg_add(r"HKCU\Software\Wine\DllOverrides", "msiexec.exe", "native")
    return system / "msiexec.exe.log"


def standin_calls(log: Path) -> list[str]:
    """The arguments each msiexec start got, after the program's own quoted path."""
    if not log.exists():
        return []
    calls = []
    for line in log.read_text(encoding="utf-8").splitlines():
        assert line.startswith('"C:\\windows\\system32\\msiexec.exe" '), line
        calls.append(line[len('"C:\\windows\\system32\\msiexec.exe" '):])
    return calls


def wait_gone(scenario, cls: str, timeout: float = 30):
    poll(lambda: scenario.window(cls) is None, timeout, f"no window of class {cls}")
