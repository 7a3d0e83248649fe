"""A publisher's own product, not the sample: another company, its own loader
component in a folder of its own, per user, for Excel. From wixl's packages to a
running program with publish add, publish settings and stamp alone (the host is
the one value the publisher gives), then what check, repair and the refusals say."""

from __future__ import annotations

import hashlib
import subprocess
from pathlib import Path

from harness import Program, windows_path
from test_install_support import install_package, installed_version, local_app_data, manifest_msi, package
from test_pipeline_support import start_server

OLD = "brindlewick-ledger-3.0.0"
NEW = "brindlewick-ledger-3.1.0"
NO_LOADER = "brindlewick-noloader-3.2.0"
COMPANY = "Brindlewick Softworks"
LOADER = "{9E3B5D7F-1A2C-4E6B-8D0F-3A5C7E9B1D24}"
NEW_COPY = "1033/3.1.0/brindlewick-ledger-3.1.0.msi"


UNSIGNED = "is not signed: the Windows Installer will show an unknown publisher"


def publish(scenario, *args) -> tuple[int, list[str]]:
    """Exit code and output lines; the warning for an unsigned package (these are) left out."""
    code, output = scenario.run("publish.exe", *[windows_path(a) if isinstance(a, Path) else a for a in args])
    return code, [line for line in output.splitlines() if UNSIGNED not in line]


def add(scenario, site: Path, name: str, *options) -> tuple[int, list[str]]:
    return publish(scenario, "add", "--site", site, "--package", package(scenario, name).path, *options)


def ledger_site(scenario, site: Path) -> Path:
    for name in (OLD, NEW):
        code, lines = add(scenario, site, name)
        assert code == 0 and len(lines) == 1 and lines[0].startswith("published version"), lines
    return site


def write_settings(scenario, site: Path, url: str, out: Path, version: str = "3.1.0") -> dict[str, str]:
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", version, "--installation-url", url,
                          "--host", "Excel", "--out", out)
    assert code == 0, lines
    return dict(line.split("=", 1) for line in out.read_text(encoding="utf-8").splitlines()
                if line and not line.startswith("#"))


def stamp(scenario, settings: Path, name: str = "ledger-setup.exe", *flags) -> tuple[int, list[str], Program]:
    target = Program(rf"C:\e2e\{name}", scenario.prefix / "drive_c" / "e2e" / name)
    target.unix.parent.mkdir(parents=True, exist_ok=True)
    code, output = scenario.run("stamp.exe", *flags, windows_path(scenario.session.program("bootstrapper.exe")),
                                windows_path(settings), target.windows)
    return code, output.splitlines(), target


def test_own_product_goes_from_its_packages_to_a_silent_upgrade_with_its_manifest_filled_in(
        scenario, tmp_path, request):
    site = ledger_site(scenario, tmp_path / "www" / "ledger")
    url = start_server(request, tmp_path / "www").url + "/ledger/"
    settings_file = tmp_path / "ledger-settings.txt"
    settings = write_settings(scenario, site, url, settings_file)

    # Every setting is written, and none is the sample's.
    assert list(settings) == ["windowClassName", "loaderComponentCodes", "installationUrl", "language", "privileges",
                              "productName", "productCode", "companyName", "hostApplication", "windowTitle",
                              "version", "showProgressWindow", "releaseDigest", "downloadRetries", "copyright"]
    new_code = package(scenario, NEW).product_code
    assert {k: settings[k] for k in ("loaderComponentCodes", "privileges", "companyName", "hostApplication",
                                     "productCode", "version", "showProgressWindow", "productName")} == {
        "loaderComponentCodes": LOADER, "privileges": "user", "companyName": COMPANY, "hostApplication": "Excel",
        "productCode": new_code, "version": "3.1.0", "showProgressWindow": "true",
        "productName": "Brindlewick Ledger Notes"}
    assert settings["windowClassName"].startswith("BRINDLEWICKSOFTWORKS_") and len(settings["releaseDigest"]) == 64

    code, lines, program = stamp(scenario, settings_file)
    assert code == 0, lines
    code, lines = publish(scenario, "check", "--program", program.unix)
    assert code == 0 and lines[-1].startswith("ok: "), lines

    install_package(scenario, OLD)
    watcher = scenario.watch(track=[settings["windowClassName"]])
    assert scenario.start(program).wait(180) == 0
    assert watcher.dialogs() == [], "a successful run shows no box"
    assert installed_version(scenario, package(scenario, OLD).product_code) is None, "the earlier release is removed"
    assert installed_version(scenario, new_code) == "3.1.0"
    loader_folder = local_app_data(scenario) / "Brindlewick" / "Ledger Notes" / "loader"
    assert manifest_msi(loader_folder) == {"installationUrl": url, "language": "1033", "version": "3.1.0",
                                           "productCode": new_code}


def test_check_names_both_sides_of_what_a_stamped_program_and_the_site_disagree_on(scenario, tmp_path, request):
    site = ledger_site(scenario, tmp_path / "www" / "ledger")
    server = start_server(request, tmp_path / "www")
    url = server.url + "/ledger/"
    settings_file = tmp_path / "settings.txt"
    write_settings(scenario, site, url, settings_file)
    text = settings_file.read_text(encoding="utf-8")

    def stamped_with(old: str, new: str, name: str) -> Program:
        changed = tmp_path / f"{name}.txt"
        changed.write_text(text.replace(old, new), encoding="utf-8")
        code, lines, program = stamp(scenario, changed, f"{name}.exe")
        assert code == 0, lines
        return program

    other_company = stamped_with(f"companyName={COMPANY}", "companyName=Brindlewick", "company")
    code, lines = publish(scenario, "check", "--program", other_company.unix)
    assert code == 1 and lines[-2:] == [
        "box: XML error: Wrong product name. Task name: ParseXML.",
        f"detail: version_info.xml names the company '{COMPANY}'; the program is stamped for 'Brindlewick'"], lines

    other_version = stamped_with("version=3.1.0", "version=3.1.1", "version")
    code, lines = publish(scenario, "check", "--program", other_version.unix)
    assert code == 1 and lines[-1] == ("detail: version_info.xml lists the versions '3.0.0', '3.1.0' for language "
                                       "1033; the program is stamped for version '3.1.1'"), lines
    code, lines = publish(scenario, "check", "--settings", tmp_path / "version.txt")
    assert code == 1 and lines[-1].endswith("; the settings file gives version '3.1.1'"), lines

    # A hand-broken description: the place in the site's file, not in a temporary copy.
    description = site / "version_info.xml"
    original = description.read_bytes()
    description.write_bytes(original.replace(b"</files>", b"</file>", 1))
    code, lines = publish(scenario, "check", "--program", other_company.unix)
    assert code == 1 and lines[-2].startswith("box: Failed to load 'version_info.xml' file ("), lines
    place = next(i + 1 for i, line in enumerate(original.decode("utf-8").splitlines()) if "</files>" in line)
    assert lines[-1].startswith(f"detail: {url}version_info.xml: line {place}, column "), lines
    assert "No start tag for end tag 'file'" in lines[-1] and "publish-check-" not in lines[-1], lines
    description.write_bytes(original)

    # A file that is no stamped bootstrapper is refused in one line.
    code, lines = publish(scenario, "check", "--program", scenario.session.program("stamp.exe"))
    assert code == 1 and len(lines) == 1 and "is not a stamped bootstrapper" in lines[0], lines


def test_a_damaged_or_missing_site_copy_is_named_and_repaired_with_nothing_else_changed(scenario, tmp_path):
    site = ledger_site(scenario, tmp_path / "site")
    copy = site / NEW_COPY
    good = copy.read_bytes()
    description = (site / "version_info.xml").read_bytes()
    damaged = bytearray(good)
    damaged[len(damaged) // 2] ^= 1

    for harm, says in ((lambda: copy.write_bytes(bytes(damaged)), "differs"), (copy.unlink, "is missing")):
        harm()
        code, lines = add(scenario, site, NEW)
        assert code == 1 and len(lines) == 1, lines
        assert lines[0].endswith(f"the site's copy of 'brindlewick-ledger-3.1.0.msi' {says}; "
                                 "publish add --repair restores it"), lines
        code, lines = add(scenario, site, NEW, "--repair")
        assert code == 0 and lines[0].startswith("repaired version '3.1.0' of language 1033: 1 site copy restored"), lines
        assert copy.read_bytes() == good
        assert (site / "version_info.xml").read_bytes() == description
    assert not list(site.rglob("*.tmp")), "no scratch file is left behind"

    # Files that do not match the recorded digests repair nothing.
    copy.write_bytes(bytes(damaged))
    code, lines = add(scenario, site, NO_LOADER, "--version-text", "3.1.0", "--repair")
    assert code == 1 and len(lines) == 1 and "do not match the digests recorded" in lines[0], lines
    assert copy.read_bytes() == bytes(damaged)
    code, lines = add(scenario, site, NEW, "--repair")
    assert code == 0 and hashlib.sha256(copy.read_bytes()).digest() == hashlib.sha256(good).digest()


def test_what_a_package_and_a_settings_file_must_hold_is_refused_in_one_line(scenario, tmp_path):
    site = ledger_site(scenario, tmp_path / "site")
    before = {p: p.read_bytes() for p in site.rglob("*") if p.is_file()}
    out = tmp_path / "settings.txt"

    code, lines = publish(scenario, "settings", "--site", site, "--version-text", "3.1.0", "--installation-url",
                          "http://127.0.0.1/ledger/", "--host", "Notepad", "--out", out)
    assert code == 1 and len(lines) == 1 and lines[0].startswith(
        "publish: --host: 'Notepad' is not a host the program knows (Excel, Word,"), lines
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", "3.1.0", "--installation-url",
                          "http://127.0.0.1/ledger/", "--out", out)
    assert code == 2 and lines[0] == "publish: --host is required", lines
    assert not out.exists()

    # A package that the installer cannot open for installing: a platform no machine has.
    unusable = tmp_path / "unusable.msi"
    unusable.write_bytes(package(scenario, NO_LOADER).path.read_bytes())
    subprocess.run(["msibuild", str(unusable), "-s", "Brindlewick Ledger Notes", "Brindlewick Softworks",
                    "Alpha;1033", "{D3A1C5E7-9B2F-4D6A-8C0E-2F4A6C8E0B13}"], check=True)
    code, lines = publish(scenario, "add", "--site", site, "--package", unusable)
    assert code == 1 and len(lines) == 1 and "msiexec cannot open it to install" in lines[0], lines
    assert {p: p.read_bytes() for p in site.rglob("*") if p.is_file()} == before

    # A package without the loader is published with a warning; its settings are refused.
    code, lines = add(scenario, site, NO_LOADER)
    assert code == 0 and lines[0] == (f"publish: warning: package '{windows_path(package(scenario, NO_LOADER).path)}': "
                                      "installs no kvlloader.dll.manifest; the bootstrapper will find no add-in loader "
                                      "to configure"), lines
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", "3.2.0", "--installation-url",
                          "http://127.0.0.1/ledger/", "--host", "Excel", "--out", out)
    assert code == 1 and len(lines) == 1 and "installs no kvlloader.dll.manifest" in lines[0], lines
    assert not out.exists()

    # stamp names the settings a hand-written file leaves out.
    out.write_text(f"companyName={COMPANY}\nversion=3.1.0\n", encoding="utf-8")
    code, lines, target = stamp(scenario, out)
    assert code == 1 and len(lines) == 1 and "leaves out windowClassName, loaderComponentCodes," in lines[0], lines
    assert not target.unix.exists()

    for command in ("add", "settings", "check"):
        code, lines = publish(scenario, command, "--help")
        assert code == 0 and lines[0].startswith(f"publish.exe {command} "), (command, lines)
    code, lines = publish(scenario, "--help")
    assert code == 0 and lines[0].startswith("usage: publish.exe add "), lines
