"""Release files are held from their storing until the installation ends: while
the run waits for a running PowerPoint (fakehost.exe) to close, another process
of the prefix (Wine's cmd.exe) cannot overwrite, rename or delete the package,
nor rename the download folder, and the Windows Installer still installs it."""

import shutil

from harness import poll
from test_install_support import (CURRENT, HOST_CLASS, OLDER, OLDEST, PRODUCT_CODE, WINDOW_CLASS, install_package,
                                  installed_version, package, pipeline_boxes, place_fake_host, release_notes, site)
from test_pipeline_support import download_folders, publish, release_root, start_server, version_info

__all__ = ["release_root", "site"]  # the fixtures, used by name

PACKAGE = f"{CURRENT}.msi"


def windows(scenario, path) -> str:
    return "C:\\" + str(path.relative_to(scenario.prefix / "drive_c")).replace("/", "\\")


def attack(scenario, target, planted) -> tuple[dict, list[str]]:
    """Overwrite, rename and delete target from another Windows process; which of
    them took effect, and what cmd said."""
    folder = target.parent
    outputs = [scenario.run("cmd", "/c", "copy", "/y", windows(scenario, planted), windows(scenario, target))[1]]
    overwritten = target.read_bytes() == planted.read_bytes()
    outputs.append(scenario.run("cmd", "/c", "ren", windows(scenario, target), "moved.msi")[1])
    renamed = (folder / "moved.msi").exists()
    victim = folder / "moved.msi" if renamed else target
    outputs.append(scenario.run("cmd", "/c", "del", windows(scenario, victim))[1])
    return {"overwritten": overwritten, "renamed": renamed, "deleted": not victim.exists()}, outputs


def test_while_the_run_waits_for_the_host_the_package_cannot_be_changed_and_installs_unchanged(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    host = place_fake_host(scenario)
    host_process = scenario.start(host)
    poll(lambda: scenario.window(HOST_CLASS), 30, "the host's window")
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={"Microsoft PowerPoint": "no"})
    app = scenario.start_bootstrapper({"installationUrl": url})
    watcher.wait_dialog(contains="Please close the above application(s)", timeout=60)

    [folder] = download_folders(scenario)
    held = folder / PACKAGE
    genuine = package(scenario, CURRENT).path.read_bytes()
    assert held.read_bytes() == genuine
    planted = scenario.prefix / "drive_c" / "e2e" / "planted.msi"
    shutil.copyfile(package(scenario, OLDEST).path, planted)

    # The same three changes on a file nobody holds, in the same folder, all work.
    control = folder / "control.msi"
    control.write_bytes(genuine)
    effects, outputs = attack(scenario, control, planted)
    assert effects == {"overwritten": True, "renamed": True, "deleted": True}, outputs

    effects, outputs = attack(scenario, held, planted)
    assert effects == {"overwritten": False, "renamed": False, "deleted": False}, outputs
    assert held.read_bytes() == genuine
    scenario.run("cmd", "/c", "ren", windows(scenario, folder), folder.name + "_moved")
    assert folder.is_dir() and not folder.with_name(folder.name + "_moved").exists(), "the folder keeps its name"
    assert app.running(), "still waiting for the host"

    assert scenario.close_window(HOST_CLASS)
    assert host_process.wait(30) == 0
    assert app.wait(120) == 0
    assert pipeline_boxes(watcher) == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None
    assert installed_version(scenario, package(scenario, OLDEST).product_code) is None, "the planted one is not"
    assert release_notes(scenario) == "Talvoro Sample Add-in 2.2.15"
    assert download_folders(scenario) == [], "the package is let go before the folder is deleted"



def test_a_later_file_of_the_same_name_in_another_case_replaces_the_held_one_and_is_held_itself(
        scenario, release_root, request):
    # The server tells the names apart, Windows does not: both land on one file.
    publish(release_root / "rel", {"Setup.msi": b"package", "notes.txt": b"first", "NOTES.TXT": b"second"},
            version_info(["Setup.msi", "notes.txt", "NOTES.TXT", "never.bin"]))
    server = start_server(request, release_root, rules=["/rel/1033/2.2.015/never.bin=slow?interval=20&chunk=8192"])
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper({"installationUrl": server.url + "/rel"})
    poll(lambda: "/rel/1033/2.2.015/never.bin" in server.paths(), 60, "the third file's request")

    [folder] = download_folders(scenario)
    [stored] = [p for p in folder.iterdir() if p.name.lower() == "notes.txt"]
    assert stored.read_bytes() == b"second"
    scenario.run("cmd", "/c", "del", windows(scenario, stored))
    assert stored.exists(), "the replacing file is held as well"

    assert scenario.close_window(WINDOW_CLASS)
    assert process.wait(10) == 0
    assert watcher.dialogs() == []
    assert download_folders(scenario) == [], "a run closed while downloading lets go of its files too"
