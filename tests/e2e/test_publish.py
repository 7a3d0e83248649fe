"""publish.exe, the publisher's tool, with the real bootstrapper.exe and stamp.exe,
the sample add-in's packages, the test server on 127.0.0.1 and Wine's Windows
Installer: what it publishes installs, what it checks is what a run meets, and
what it refuses leaves the site as it was."""

from __future__ import annotations

import hashlib
import shutil
from pathlib import Path

from harness import Program, windows_path
from test_install_support import (CURRENT, OLDER, OLDEST, PRODUCT_CODE, WINDOW_CLASS, addin_folder, install_package,
                                  installed_version, manifest_msi, package)
from test_https import TlsSite, certificates, trust
from test_pipeline_support import start_server

__all__ = ["certificates"]  # the fixture, used by name

VERSION = "2.2.015"  # what the sample bootstrapper is stamped with; the package says 2.2.15


def publish(scenario, *args) -> tuple[int, list[str]]:
    code, output = scenario.run("publish.exe", *[windows_path(a) if isinstance(a, Path) else a for a in args])
    return code, output.splitlines()


def add(scenario, site: Path, name: str, *options) -> tuple[int, list[str]]:
    return publish(scenario, "add", "--site", site, "--package", package(scenario, name).path,
                   "--show-install-ui", "false", *options)


def sample_site(scenario, site: Path) -> Path:
    """2.1.0 under its own version, then the current package as 2.2.015."""
    for name, options in ((OLDER, ()), (CURRENT, ("--version-text", VERSION))):
        code, lines = add(scenario, site, name, *options)
        assert code == 0, lines
    return site


def check(scenario, url: str, version: str = VERSION, company: str = "Talvoro") -> tuple[int, list[str]]:
    return publish(scenario, "check", "--installation-url", url, "--company", company, "--language", "1033",
                   "--version-text", version)


def stamp_for_site(scenario, site: Path, url: str) -> Program:
    settings = scenario.run_dir / "publish-settings.txt"
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", VERSION, "--installation-url", url,
                          "--host", "PowerPoint", "--out", settings)
    assert code == 0, lines
    target = Program(r"C:\e2e\setup.exe", scenario.prefix / "drive_c" / "e2e" / "setup.exe")
    target.unix.parent.mkdir(parents=True, exist_ok=True)
    code, output = scenario.run("stamp.exe", windows_path(scenario.session.program("bootstrapper.exe")),
                                windows_path(settings), target.windows)
    assert code == 0, output
    return target


def box_line(lines: list[str]) -> str | None:
    """check's box line; problems come before it and details after it."""
    return next((line for line in lines if line.startswith("box: ")), None)


def snapshot(folder: Path) -> dict[str, bytes]:
    return {str(p.relative_to(folder)): p.read_bytes() if p.is_file() else b"<folder>" for p in folder.rglob("*")}


def test_published_releases_and_their_settings_make_a_bootstrapper_that_upgrades_over_http(
        scenario, tmp_path, request):
    site = sample_site(scenario, tmp_path / "www" / "addin")
    install_package(scenario, OLDER)
    url = start_server(request, tmp_path / "www").url + "/addin/"
    program = stamp_for_site(scenario, site, url)

    watcher = scenario.watch(track=[WINDOW_CLASS])
    assert scenario.start(program).wait(180) == 0
    assert watcher.dialogs() == [], "a successful run shows no box"
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None, "the earlier release is removed"
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert manifest_msi(addin_folder(scenario)) == {"installationUrl": url, "language": "1033", "version": VERSION,
                                                    "productCode": PRODUCT_CODE}


def test_check_names_each_planted_fault_with_the_box_a_run_would_show(scenario, tmp_path, request):
    www = tmp_path / "www"
    clean = sample_site(scenario, www / "clean")
    server = start_server(request, www)
    current = "1033/2.2.015/talvoro-addin-2.2.15.msi"
    digest = hashlib.sha256((clean / current).read_bytes()).hexdigest()

    # Wine serves \\server\share from the prefix's dosdevices/unc/server/share.
    share = scenario.prefix / "dosdevices" / "unc" / "fileserver"
    share.mkdir(parents=True)
    (share / "releases").symlink_to(www)

    # A clean site passes over HTTP, from a share and as a folder, and the temporary folder goes.
    for url in (server.url + "/clean/", r"\\fileserver\releases\clean", windows_path(clean)):
        code, lines = check(scenario, url)
        assert code == 0 and lines[-1].startswith("ok: "), lines
    assert not list((scenario.prefix / "drive_c").rglob("publish-check-*"))

    def planted(name, change):
        shutil.copytree(clean, www / name)
        change(www / name)
        return server.url + f"/{name}/"

    def change_byte(site):
        data = bytearray((site / current).read_bytes())
        data[len(data) // 2] ^= 1
        (site / current).write_bytes(bytes(data))

    def edit_description(old, new):
        def edit(site):
            text = (site / "version_info.xml").read_text(encoding="utf-8")
            (site / "version_info.xml").write_text(text.replace(old, new, 1), encoding="utf-8")
        return edit

    changed = planted("changed", change_byte)
    faults = [
        (planted("missing", lambda site: (site / current).unlink()), VERSION,
         f"404 error: Not Found: {server.url}/missing/{current}.", "DownloadFile"),
        (r"\\fileserver\releases\missing", VERSION, "Failed to copy 'talvoro-addin-2.2.15.msi' file. Error: 2.",
         "DownloadFile"),
        (changed, VERSION, "The file 'talvoro-addin-2.2.15.msi' does not match its SHA-256 digest.", "DownloadFile"),
        (planted("company", edit_description('name="Talvoro"', 'name="Talvoro Ltd"')), VERSION,
         "XML error: Wrong product name.", "ParseXML"),
        (server.url + "/clean/", "2.2.016",
         f"The 'files' section of 'version_info.xml' has no files. Source url: {server.url}/clean/version_info.xml.",
         "DownloadFile"),
        (planted("digest", edit_description(digest, digest[1:])), VERSION,
         "XML error: Wrong SHA-256 digest for the file 'talvoro-addin-2.2.15.msi'.", "ParseXML"),
        ("http://127.0.0.1:9/addin/", VERSION, "Can't Connect to server.", "DownloadVersionInfo"),
    ]
    for url, version, text, task in faults:
        code, lines = check(scenario, url, version)
        assert code == 1, (url, lines)
        assert f"problem: {text}" in lines, (url, lines)
        assert box_line(lines) == f"box: {text} Task name: {task}.", (url, lines)

    # The box is the one the bootstrapper itself shows for that site; a program made
    # with publish settings carries the release's pin, and check reads it from the same file.
    program = stamp_for_site(scenario, clean, changed)
    pinned = "The file 'talvoro-addin-2.2.15.msi' does not match the release this program was made for."
    code, lines = publish(scenario, "check", "--settings", scenario.run_dir / "publish-settings.txt")
    assert code == 1 and box_line(lines) == f"box: {pinned} Task name: DownloadFile.", lines
    watcher = scenario.watch(track=[WINDOW_CLASS])
    assert scenario.start(program).wait(120) == 0
    assert [(d["caption"], d["text"]) for d in watcher.dialogs()] == [
        ("Talvoro Sample Add-in", f"{pinned} Task name: DownloadFile.")]


def test_check_passes_a_clean_site_over_https_that_the_prefix_trusts(scenario, certificates, tmp_path, request):
    trust(scenario, certificates.ca)
    sample_site(scenario, tmp_path / "www" / "addin")
    site = TlsSite(tmp_path / "www", certificates.server_cert, certificates.server_key)
    request.addfinalizer(site.stop)
    code, lines = check(scenario, site.url)
    assert code == 0, lines
    assert site.paths() == ["/addin/version_info.xml", "/addin/1033/2.2.015/talvoro-addin-2.2.15.msi"]


def test_adding_to_a_hand_written_description_keeps_its_comments_and_layout(scenario, tmp_path):
    site = tmp_path / "site"
    site.mkdir()
    head = ('\ufeff<?xml version="1.0" encoding="utf-8"?>\r\n'
            '<!-- Talvoro releases: edit with care -->\r\n'
            '<application name="Talvoro">\r\n'
            '\t<product   language="1033">\r\n'
            '\t     <!-- 2.0.0 was withdrawn; listed so that an upgrade removes it -->\r\n'
            f'\t     <version name="2.0.0" productCode="{package(scenario, OLDEST).product_code}"/>')
    tail = '\r\n\t</product>\r\n<!-- end -->\r\n</application>\r\n'
    (site / "version_info.xml").write_bytes((head + tail).encode("utf-8"))

    code, lines = add(scenario, site, CURRENT, "--version-text", VERSION)
    assert code == 0, lines
    text = (site / "version_info.xml").read_bytes().decode("utf-8")
    assert text.startswith(head) and text.endswith(tail), text
    added = text[len(head):-len(tail)]
    assert added.startswith(f'\r\n\t     <version name="{VERSION}" productCode="{PRODUCT_CODE}">\r\n'), added
    assert added.endswith("\r\n\t     </version>"), added
    code, lines = check(scenario, windows_path(site))
    assert code == 0, lines


def test_refused_adds_say_why_in_one_line_and_leave_the_site_byte_identical(scenario, tmp_path):
    site = sample_site(scenario, tmp_path / "site")
    # 2.0.0 in another language, under the product code of the 1033 package of 2.0.0.
    oldest = package(scenario, OLDEST).product_code
    description = (site / "version_info.xml").read_text(encoding="utf-8")
    (site / "version_info.xml").write_text(description.replace(
        "</application>", f'  <product language="1031"><version name="2.0.0" productCode="{oldest}"/>'
                          "</product>\r\n</application>"), encoding="utf-8", newline="")
    before = snapshot(site)
    text_file = tmp_path / "notes.msi"
    text_file.write_text("not a package")

    refusals = [
        ((OLDEST, "--version-text", VERSION), "version '2.2.015' of language 1033 is already published with other files"),
        ((CURRENT, "--version-text", "2.2.016"), f"product code {PRODUCT_CODE} already belongs to version '2.2.015'"),
        ((OLDEST,), f"product code {oldest} already belongs to version '2.0.0' of language 1031"),
        ((OLDEST, "--file", tmp_path / "absent.dll"), "absent.dll': it does not exist"),
    ]
    for (name, *options), reason in refusals:
        code, lines = add(scenario, site, name, *options)
        assert code == 1 and len(lines) == 1 and reason in lines[0], lines
    # The same files with other preferences are a change too.
    code, lines = publish(scenario, "add", "--site", site, "--package", package(scenario, CURRENT).path,
                          "--version-text", VERSION, "--show-install-ui", "true")
    assert code == 1 and len(lines) == 1 and lines[0].endswith(
        "version '2.2.015' of language 1033 is already published with other preferences "
        "(showInstallUI false, asked true); publish the change under a new version"), lines
    code, lines = publish(scenario, "add", "--site", site, "--package", text_file)
    assert code == 1 and len(lines) == 1 and "notes.msi': cannot be opened as a Windows Installer package" in lines[0]
    code, lines = publish(scenario, "add", "--site", site)
    assert code == 2 and "usage: " in lines[1], lines
    assert snapshot(site) == before

    # The same bytes under the same version again change nothing and succeed.
    assert add(scenario, site, CURRENT, "--version-text", VERSION)[0] == 0
    assert snapshot(site) == before


def test_adds_at_once_take_turns_so_every_release_that_says_published_is_listed(scenario, tmp_path):
    site = tmp_path / "new-site"
    # A large extra file keeps each run in its edit long enough for the others to start theirs.
    bulk = tmp_path / "bulk.bin"
    bulk.write_bytes(bytes(range(256)) * (48 * 4096))
    runs = [scenario.start("publish.exe", "add", "--site", windows_path(site), "--package",
                           windows_path(package(scenario, name).path), "--file", windows_path(bulk))
            for name in (OLDEST, OLDER, CURRENT)]
    outputs = [(run.wait(180), run.output().splitlines()) for run in runs]

    description = (site / "version_info.xml").read_text(encoding="utf-8")
    published = [line.split("'")[1] for _, lines in outputs for line in lines if line.startswith("published version")]
    assert [code for code, _ in outputs] == [0, 0, 0], outputs
    assert sorted(published) == ["2.0.0", "2.1.0", "2.2.15"], outputs
    for version in published:
        assert f'<version name="{version}" ' in description, (version, description)
    assert not (site / "version_info.xml.lock").exists()
    assert sorted(p.name for p in (site / "1033").iterdir()) == ["2.0.0", "2.1.0", "2.2.15"]


def test_scratch_files_are_new_files_that_no_planted_link_can_redirect(scenario, tmp_path):
    site = sample_site(scenario, tmp_path / "site")
    victim = tmp_path / "victim.txt"
    victim.write_text("keep me")
    out = tmp_path / "settings.txt"
    # A link under every name a scratch file of one process id could have had.
    for folder, name in ((site, "version_info.xml"), (tmp_path, out.name)):
        for pid in range(0, 0x4000, 4):
            (folder / f"{name}.publish-{pid}.tmp").symlink_to(victim)

    code, lines = add(scenario, site, OLDEST, "--version-text", "2.0.0")
    assert code == 0, lines
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", VERSION, "--installation-url",
                          "http://127.0.0.1/addin/", "--host", "PowerPoint", "--out", out)
    assert code == 0, lines

    assert victim.read_text() == "keep me"
    assert not (site / "version_info.xml").is_symlink() and '<version name="2.0.0" ' in (
        site / "version_info.xml").read_text(encoding="utf-8")
    assert not out.is_symlink() and out.read_text(encoding="utf-8").startswith("# Stamp settings for version")
    assert not [p for p in site.glob("*.tmp") if not p.is_symlink()], "no scratch file is left behind"
