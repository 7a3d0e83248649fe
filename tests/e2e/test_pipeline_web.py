"""The download pipeline over HTTP with the real bootstrapper.exe, the test
server on 127.0.0.1 and the prefix's real folders."""

import time

from harness import poll
from test_pipeline_support import (WINDOW_CLASS, content, download_boxes, download_folders, failure_box, publish,
                                   release_root, run_to_end, start_server, version_info)

__all__ = ["release_root"]  # the fixture, used by name


def test_web_url_with_and_without_its_trailing_slash_runs_to_the_installation_step(scenario, release_root, request):
    publish(release_root / "rel", {"Setup.msi": content(20000, 1)})
    server = start_server(request, release_root)
    for url in (server.url + "/rel", server.url + "/rel/"):
        code, watcher = run_to_end(scenario, {"installationUrl": url})
        assert code == 0
        assert download_boxes(watcher) == [], "the download steps succeed"
        assert download_folders(scenario) == []
    assert server.paths() == ["/rel/version_info.xml", "/rel/1033/2.2.015/Setup.msi"] * 2


def test_a_three_file_release_lands_byte_for_byte_and_closing_mid_download_ends_quietly(
        scenario, release_root, request):
    files = {"Setup.MSI.DEPLOY": content(1_500_000, 1), "lib/Actions.dll": content(70_000, 2),
             "Actions.dll.config": b"<configuration/>"}
    # A fourth file that never ends keeps the run in its download step.
    publish(release_root / "rel", files, version_info(list(files) + ["never.bin"]))
    server = start_server(request, release_root, rules=["/rel/1033/2.2.015/never.bin=slow?interval=20&chunk=8192"])
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper({"installationUrl": server.url + "/rel"})
    poll(lambda: "/rel/1033/2.2.015/never.bin" in server.paths(), 60, "the fourth file's request")

    [folder] = download_folders(scenario)
    assert (folder / "Setup.MSI").read_bytes() == files["Setup.MSI.DEPLOY"]
    assert not (folder / "Setup.MSI.DEPLOY").exists()
    assert (folder / "lib" / "Actions.dll").read_bytes() == files["lib/Actions.dll"]
    assert (folder / "Actions.dll.config").read_bytes() == files["Actions.dll.config"]
    assert (folder / "version_info.xml").exists()
    def counter():
        state = watcher.last_window(WINDOW_CLASS)
        text = next(c["text"] for c in state["children"] if c["id"] == 131) if state else ""
        return float(text[:-2]) if text.endswith("MB") else 0.0

    # The counter passes the three files' bytes: the fourth body is flowing.
    poll(lambda: counter() > 1.7, 30, "the fourth file's body")

    assert scenario.close_window(WINDOW_CLASS)
    closed = time.monotonic()
    assert process.wait(10) == 0
    print("exit after close: %.2f s" % (time.monotonic() - closed))
    assert time.monotonic() - closed < 1.5, "the program ends within about a second of the close"
    assert watcher.dialogs() == [], "closing the window shows no box"
    assert download_folders(scenario) == []


def test_an_unreachable_server_cannot_be_connected(scenario):
    failure_box(scenario, {"installationUrl": "http://127.0.0.1:9/rel/"},
                "Can't Connect to server. Task name: DownloadVersionInfo.")


def test_a_missing_release_file_is_a_404_with_its_url(scenario, release_root, request):
    publish(release_root / "rel", {"Setup.msi": b"x"}, version_info(["Setup.msi", "gone.dll"]))
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel"},
                f"404 error: Not Found: {server.url}/rel/1033/2.2.015/gone.dll. Task name: DownloadFile.")


def test_a_description_without_products_fails_in_parse_xml(scenario, release_root, request):
    publish(release_root / "rel", {}, b'\xef\xbb\xbf<application name="Talvoro"><product language="1031"/>'
                                      b'</application>')
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel/"},
                f"No products found in 'version_info.xml'. Source url: {server.url}/rel/version_info.xml "
                f"Task name: ParseXML.")


def test_server_faults_are_reported_without_a_hang(scenario, release_root, request):
    server = start_server(request, release_root, rules=[
        "/s206/version_info.xml=bytes/100?status=206",
        "/s500/version_info.xml=status/500",
        "/cut/version_info.xml=bytes/100000?cut=5000",
    ])
    failure_box(scenario, {"installationUrl": server.url + "/s206"},
                f"Download error, status code: 206, url: {server.url}/s206/version_info.xml. "
                f"Task name: DownloadVersionInfo.")
    failure_box(scenario, {"installationUrl": server.url + "/s500"},
                f"Download error, status code: 500, url: {server.url}/s500/version_info.xml. "
                f"Task name: DownloadVersionInfo.")
    failure_box(scenario, {"installationUrl": server.url + "/cut"}, "Download error. Task name: DownloadVersionInfo.")


def test_a_tampered_file_name_writes_nothing_outside_the_download_folder(scenario, release_root, request):
    publish(release_root / "rel", {"Setup.msi": b"x"}, version_info(["Setup.msi", "..\\..\\escaped.dll"]))
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel"},
                "XML error: The file name '..\\..\\escaped.dll' points outside the download folder. "
                "Task name: ParseXML.")
    assert not list((scenario.prefix / "drive_c").rglob("escaped.dll"))


def test_a_server_that_never_answers_keeps_the_run_waiting_until_the_window_is_closed(scenario, silent_source):
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper({"installationUrl": silent_source})
    watcher.wait_window(WINDOW_CLASS, lambda s: s is not None and s["visible"])
    poll(lambda: download_folders(scenario), 30, "the download folder")
    assert process.running(), "no time-out: the run waits for the server"
    assert scenario.close_window(WINDOW_CLASS)
    # A send that waits for headers cannot be interrupted under Wine, so the HTTP
    # engine's 3-second shutdown wait for its threads applies here.
    assert process.wait(10) == 0
    assert watcher.dialogs() == []
    assert download_folders(scenario) == []
