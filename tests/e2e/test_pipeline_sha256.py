"""SHA-256 digests of release files (the sha256 attribute of a file element) with
the real bootstrapper.exe, the test server or a folder, and the real Windows
Installer of the prefix."""

import hashlib

from harness import windows_path
from test_install_support import (CURRENT, PRODUCT_CODE, WINDOW_CLASS, installed_version, package, pipeline_boxes,
                                  run_bootstrapper)
from test_pipeline_support import download_folders, failure_box, publish, release_root, start_server

__all__ = ["release_root"]  # the fixture, used by name

PACKAGE = f"{CURRENT}.msi"
NOTES = b"Talvoro Sample Add-in: notes shipped beside the package.\r\n"


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def description(files) -> bytes:
    """version_info.xml for the current release; files: (name, sha256 value or None for no attribute)."""
    elements = "".join(f'<file sha256="{digest}">{name}</file>' if digest is not None else f"<file>{name}</file>"
                       for name, digest in files)
    return (f'<?xml version="1.0" encoding="utf-8"?>\n<application name="Talvoro"><product language="1033">'
            f'<version name="2.2.015" productCode="{PRODUCT_CODE}"><files msi="{CURRENT}">{elements}</files>'
            f'<preferences><showInstallUI>false</showInstallUI></preferences></version></product>'
            f'</application>\n').encode()


def one_byte_changed(data: bytes) -> bytes:
    middle = len(data) // 2
    return data[:middle] + bytes([data[middle] ^ 0x01]) + data[middle + 1:]


def test_correct_digests_in_either_case_and_a_file_without_one_install(scenario, release_root, request):
    msi = package(scenario, CURRENT).path.read_bytes()
    files = {PACKAGE: msi, "notes.txt": NOTES, "readme.txt": b"no digest given"}
    publish(release_root / "rel", files, description(
        [(PACKAGE, sha256(msi)), ("notes.txt", sha256(NOTES).upper()), ("readme.txt", None)]))
    server = start_server(request, release_root)
    code, watcher = run_bootstrapper(scenario, server.url + "/rel/")
    watcher.process.stop()
    assert code == 0
    assert pipeline_boxes(watcher) == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert download_folders(scenario) == [], "the held files are let go before the folder is deleted"


def test_a_package_changed_by_one_byte_on_the_server_fails_before_the_next_file_and_installs_nothing(
        scenario, release_root, request):
    msi = package(scenario, CURRENT).path.read_bytes()
    publish(release_root / "rel", {PACKAGE: one_byte_changed(msi), "notes.txt": NOTES},
            description([(PACKAGE, sha256(msi)), ("notes.txt", sha256(NOTES))]))
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel/"},
                f"The file '{PACKAGE}' does not match its SHA-256 digest. Task name: DownloadFile.")
    assert server.paths() == ["/rel/version_info.xml", f"/rel/1033/2.2.015/{PACKAGE}"], "notes.txt never fetched"
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_a_63_digit_digest_fails_parse_xml_before_any_file_is_fetched(scenario, release_root, request):
    msi = package(scenario, CURRENT).path.read_bytes()
    publish(release_root / "rel", {PACKAGE: msi}, description([(PACKAGE, sha256(msi)[:63])]))
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel/"},
                f"XML error: Wrong SHA-256 digest for the file '{PACKAGE}'. Task name: ParseXML.")
    assert server.paths() == ["/rel/version_info.xml"]


def test_files_copied_from_a_folder_are_checked_too_and_a_deploy_file_by_its_stored_name(scenario, release_root):
    good = b"checked and matching"
    changed = b"what the publisher hashed"
    publish(release_root / "rel", {"first.txt": good, "lib/Actions.dll.deploy": one_byte_changed(changed),
                                   PACKAGE: b"never copied"},
            description([("first.txt", sha256(good)), ("lib/Actions.dll.deploy", sha256(changed).upper()),
                         (PACKAGE, None)]))
    failure_box(scenario, {"installationUrl": windows_path(release_root / "rel")},
                "The file 'Actions.dll' does not match its SHA-256 digest. Task name: DownloadFile.")


def test_the_digest_check_loads_the_systems_crypto_provider_never_a_planted_one(scenario, release_root, request):
    from test_dll_planting import FOLDER, PlantedDlls, foreign_modules, loaded_modules, run_traced
    msi = package(scenario, CURRENT).path.read_bytes()
    publish(release_root / "rel", {PACKAGE: msi}, description([(PACKAGE, sha256(msi))]))
    server = start_server(request, release_root)
    program = scenario.stamp({"installationUrl": server.url + "/rel/"}, folder=FOLDER)
    planted = PlantedDlls(scenario, ["rsaenh.dll"])
    watcher = scenario.watch(track=[WINDOW_CLASS])
    code, trace = run_traced(scenario, program, watcher)
    assert code == 0
    assert pipeline_boxes(watcher) == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert planted.loads("bootstrapper.exe") == {}
    modules = [m.lower() for m in loaded_modules(trace, "bootstrapper.exe")]
    assert "c:\\windows\\system32\\rsaenh.dll" in modules, "the provider hashed, from the system folder"
    assert foreign_modules(modules, program.windows) == []
