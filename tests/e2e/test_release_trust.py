"""A program that trusts its release, not the network: stamped with the pin that
publish settings writes (releaseDigest), run against a site that turns hostile,
with the sample add-in's packages and Wine's Windows Installer. Each refusal is
one box, and nothing is removed or installed."""

from __future__ import annotations

import re
import time

from harness import windows_path
from test_https import HOST, TlsSite, certificates, trust
from test_install_support import (CURRENT, OLDER, OLDEST, PRODUCT_CODE, WINDOW_CLASS, install_package,
                                  installed_version, package)
from test_pipeline_support import download_folders, start_server
from test_pipeline_sha256 import one_byte_changed, sha256
from test_publish import VERSION, box_line, publish, sample_site, stamp_for_site

__all__ = ["certificates"]  # the fixture, used by name

PACKAGE = f"{CURRENT}.msi"
PACKAGE_PATH = f"1033/{VERSION}/{PACKAGE}"
NOT_THE_RELEASE = ("The files listed in 'version_info.xml' are not the release this program was made for. "
                   "Task name: ParseXML.")


def run_to_end(scenario, program, box: str | None = None, timeout=180) -> tuple[int, list[str]]:
    """Runs the program to its end; box: the failure box to wait for (the watcher logs a box after its click)."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    try:
        process = scenario.start(program)
        if box is not None:
            watcher.wait_dialog(text=box, timeout=timeout)
        code = process.wait(timeout)
        # Whatever its caption (publish settings names the package's product).
        return code, [d["text"] for d in watcher.dialogs() if "Task name: " in d["text"]]
    finally:
        watcher.process.stop()


def pinned_site(scenario, tmp_path, request, rules=()):
    """2.1.0 installed; 2.1.0 and 2.2.015 published; a program pinned to 2.2.015."""
    site = sample_site(scenario, tmp_path / "www" / "addin")
    install_package(scenario, OLDER)
    server = start_server(request, tmp_path / "www", rules)
    program = stamp_for_site(scenario, site, server.url + "/addin/")
    return site, server, program


def test_a_pinned_program_installs_its_release_and_refuses_changed_bytes_or_a_substituted_package(
        scenario, tmp_path, request):
    site, server, program = pinned_site(scenario, tmp_path, request)
    settings = scenario.run_dir / "publish-settings.txt"
    assert re.search(r"^releaseDigest=[0-9a-f]{64}\r?$", settings.read_text(), re.M), "publish settings pins it"

    assert run_to_end(scenario, program) == (0, [])
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"

    # Same size, one byte changed on the server: refused once it is in, before anything is removed.
    stored = site / PACKAGE_PATH
    stored.write_bytes(one_byte_changed(stored.read_bytes()))
    changed = f"The file '{PACKAGE}' does not match the release this program was made for. Task name: DownloadFile."
    assert run_to_end(scenario, program, changed) == (0, [changed])
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15", "nothing removed"

    # Another package, with its digest and size written into the description: refused before any file is fetched.
    other = package(scenario, OLDEST).path.read_bytes()
    stored.write_bytes(other)
    description = site / "version_info.xml"
    description.write_text(re.sub(r'<file sha256="[0-9a-f]+" size="\d+">' + re.escape(PACKAGE),
                                  f'<file sha256="{sha256(other)}" size="{len(other)}">{PACKAGE}',
                                  description.read_text(encoding="utf-8")), encoding="utf-8")
    before = len(server.paths())
    assert run_to_end(scenario, program, NOT_THE_RELEASE) == (0, [NOT_THE_RELEASE])
    assert server.paths()[before:] == ["/addin/version_info.xml"]
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert installed_version(scenario, package(scenario, OLDEST).product_code) is None, "the substitute never ran"
    assert download_folders(scenario) == []

    # The publisher sees it first, from the same settings file.
    code, lines = publish(scenario, "check", "--settings", settings)
    assert code == 1 and box_line(lines) == "box: " + NOT_THE_RELEASE, lines


def test_an_endless_package_body_is_cut_off_just_past_its_pinned_size(scenario, tmp_path, request):
    _, _, program = pinned_site(scenario, tmp_path, request,
                                rules=[f"/addin/{PACKAGE_PATH}=bytes/3000000000?nolength=1"])
    started = time.monotonic()
    too_large = f"The file '{PACKAGE}' is larger than the release this program was made for. Task name: DownloadFile."
    assert run_to_end(scenario, program, too_large, timeout=120) == (0, [too_large])
    assert time.monotonic() - started < 60, "a few megabytes, not gigabytes"
    assert installed_version(scenario, package(scenario, OLDER).product_code) == "2.1.0", "nothing removed"
    assert download_folders(scenario) == []


def test_an_https_site_that_redirects_to_plain_http_is_refused_and_no_plain_request_is_made(
        scenario, certificates, tmp_path, request):
    trust(scenario, certificates.ca)
    # Each server keeps its port file and request log beside its root: two folders apart.
    (tmp_path / "plain" / "www").mkdir(parents=True)
    plain = start_server(request, tmp_path / "plain" / "www")
    (tmp_path / "www").mkdir()
    downgrade = f"redirect?location={plain.url}/addin/version_info.xml"
    site = TlsSite(tmp_path / "www", certificates.server_cert, certificates.server_key,
                   rules=[f"/addin/version_info.xml={downgrade}"])
    request.addfinalizer(site.stop)
    assert site.url.startswith(f"https://{HOST}:")
    refused = f"Download error, status code: 302, url: {site.url}version_info.xml. Task name: DownloadVersionInfo."
    assert run_to_end(scenario, scenario.stamp({"installationUrl": site.url}), refused, timeout=60) == (0, [refused])
    assert plain.paths() == [], "nothing went out in plain text"


def test_a_server_that_accepts_and_never_answers_ends_the_run_with_one_box(scenario, silent_source):
    program = scenario.stamp({"installationUrl": silent_source})
    stalled = (f"Download error, the server stopped sending, url: {silent_source}version_info.xml. "
               "Task name: DownloadVersionInfo.")
    started = time.monotonic()
    assert run_to_end(scenario, program, stalled, timeout=200) == (0, [stalled])
    print("silent server: ended after %.0f s" % (time.monotonic() - started))
    assert 115 < time.monotonic() - started < 180, "ended by the 120 s rule, not sooner or much later"


def test_a_package_on_a_share_or_folder_larger_than_its_pin_is_not_copied(scenario, tmp_path):
    site = sample_site(scenario, tmp_path / "www" / "addin")
    program = stamp_for_site(scenario, site, windows_path(site))
    stored = site / PACKAGE_PATH
    stored.write_bytes(stored.read_bytes() + b"\0" * 4096)
    too_large = f"The file '{PACKAGE}' is larger than the release this program was made for. Task name: DownloadFile."
    assert run_to_end(scenario, program, too_large) == (0, [too_large])
    assert installed_version(scenario, PRODUCT_CODE) is None
    assert download_folders(scenario) == []
