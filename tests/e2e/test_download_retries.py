"""Broken transfers with the real bootstrapper.exe, the test server's faults and
the real Windows Installer: downloadRetries resumes a release file from the
bytes it holds, and without it (or for what a retry cannot mend) the run ends
with the one box it always showed."""

import json
import shutil
import urllib.request

from harness import poll
from test_install_support import CURRENT, PRODUCT_CODE, installed_version, package
from test_pipeline_support import (download_folders, failure_box, inet_cache, publish, release_root, run_to_end,
                                   start_server)

__all__ = ["release_root"]  # the fixture, used by name

PACKAGE = f"{CURRENT}.msi"
RUNTIME = "runtime.bin"
RUNTIME_SIZE = 6 * 1024 * 1024
FILES = "/rel/1033/2.2.015/"


def description(names, elements=None) -> bytes:
    elements = elements or "".join(f"<file>{name}</file>" for name in names)
    return (f'<?xml version="1.0" encoding="utf-8"?>\n<application name="Talvoro"><product language="1033">'
            f'<version name="2.2.015" productCode="{PRODUCT_CODE}"><files msi="{CURRENT}">{elements}</files>'
            f'<preferences><showInstallUI>false</showInstallUI></preferences></version></product>'
            f'</application>\n').encode()


def release(scenario, root, runtime=bytes(range(256)) * (RUNTIME_SIZE // 256)):
    publish(root / "rel", {PACKAGE: package(scenario, CURRENT).path.read_bytes(), RUNTIME: runtime},
            description([RUNTIME, PACKAGE]))


def faulty(path, spec):
    """A rule that serves the file at path with the test server's faults."""
    return f"{path}=file{path}?{spec}"


def sent(server, path) -> int:
    with urllib.request.urlopen(f"{server.url}/_/sent?path={path}", timeout=10) as answer:
        return json.loads(answer.read())


def test_two_resets_and_a_503_are_resumed_and_the_release_installs_sending_the_file_about_once(
        scenario, release_root, request):
    release(scenario, release_root)
    server = start_server(request, release_root, [faulty(FILES + RUNTIME, "resets=2&at=40"),
                                                  faulty("/rel/version_info.xml", "fail=1")])
    (scenario.run_dir / "logs").mkdir()
    code, watcher = run_to_end(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "3"},
                               timeout=180)
    assert code == 0
    assert [d["text"] for d in watcher.dialogs() if "Task name" in d["text"]] == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    ranges = [h for e in map(json.loads, server.log.read_text().splitlines()) if e["path"] == FILES + RUNTIME
              for name, h in e["headers"] if name.lower() == "range"]
    assert sent(server, FILES + RUNTIME) <= 1.2 * RUNTIME_SIZE, f"each try goes on from the bytes held: {ranges}"
    assert len(ranges) == 2 and all(r.startswith("bytes=") and r != "bytes=0-" for r in ranges), ranges
    assert download_folders(scenario) == []


def test_a_range_answered_with_the_whole_file_starts_it_over_and_installs(scenario, release_root, request):
    release(scenario, release_root)
    server = start_server(request, release_root, [faulty(FILES + RUNTIME, "resets=1&at=40&range=ignore")])
    code, watcher = run_to_end(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "1"},
                               timeout=180)
    assert code == 0
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert sent(server, FILES + RUNTIME) == RUNTIME_SIZE + RUNTIME_SIZE * 40 // 100


def test_without_retries_one_reset_is_one_box_and_nothing_is_installed(scenario, release_root, request):
    release(scenario, release_root)
    server = start_server(request, release_root, [faulty(FILES + RUNTIME, "resets=2&at=40")])
    failure_box(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "0"},
                "Download error. Task name: DownloadFile.", timeout=120)
    assert server.paths().count(FILES + RUNTIME) == 1
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_retries_that_run_out_end_with_the_same_box_and_a_404_is_never_retried(scenario, release_root, request):
    release(scenario, release_root)
    server = start_server(request, release_root, [faulty(FILES + RUNTIME, "resets=3&at=40")])
    failure_box(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "2"},
                "Download error. Task name: DownloadFile.", timeout=120)
    assert server.paths().count(FILES + RUNTIME) == 3

    gone = f"{server.url}{FILES}gone.dll"
    publish(release_root / "rel", {}, description([RUNTIME, "gone.dll", PACKAGE]))
    failure_box(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "3"},
                f"404 error: Not Found: {gone}. Task name: DownloadFile.", timeout=120)
    assert server.paths().count(FILES + "gone.dll") == 1


def test_a_body_longer_than_announced_is_one_download_error_and_is_not_retried(scenario, release_root, request):
    release(scenario, release_root)
    server = start_server(request, release_root, [f"{FILES}{RUNTIME}=bytes/4000?length=2000"])
    failure_box(scenario, {"installationUrl": server.url + "/rel/", "downloadRetries": "3"},
                "Download error. Task name: DownloadFile.", timeout=120)
    assert server.paths().count(FILES + RUNTIME) == 1
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_a_download_folder_removed_while_a_file_arrives_is_one_box_and_nothing_is_left(
        scenario, release_root, request):
    release(scenario, release_root)
    # About 3 s for this file: time to take its folder away while it arrives.
    server = start_server(request, release_root, [f"{FILES}{RUNTIME}=bytes/1048576?delay=200"])
    watcher = scenario.watch(track=["STOBRINDOWNLOADER"])
    process = scenario.start_bootstrapper({"installationUrl": server.url + "/rel/"})
    try:
        stored = poll(lambda: next(iter(inet_cache(scenario).glob(f"Talvoro_*/**/{RUNTIME}")), None)
                      if inet_cache(scenario).exists() else None, 60, "the release file to be stored")
        folder = next(p for p in stored.parents if p.name.startswith("Talvoro_"))
        shutil.rmtree(folder)
        box = watcher.wait_dialog(text=f"Failed to create '{RUNTIME}' file. Error: 3. Task name: DownloadFile.",
                                  timeout=60)
        assert process.wait(30) == 0
    finally:
        watcher.process.stop()
    assert box["text"].startswith("Failed to create")
    assert installed_version(scenario, PRODUCT_CODE) is None
    assert download_folders(scenario) == []
