"""Installation sources that are folders, the installation URL's forms and the
download folder's life in the prefix, with the real bootstrapper.exe."""

from harness import windows_path
from test_pipeline_support import (content, download_boxes, download_folders, failure_box, inet_cache, publish,
                                   release_root, run_to_end, start_server)

__all__ = ["release_root"]

MALFORMED = "The 'Installation Url' parameter is not correctly formed."


def test_ftp_urls_and_absolute_paths_that_are_no_folder_are_refused(scenario, release_root):
    publish(release_root / "rel", {"Setup.msi": b"x"})
    for url in ("ftp://127.0.0.1/rel", "SFTP://127.0.0.1/rel", windows_path(release_root / "rel" / "version_info.xml"),
                r"C:\no\such\folder"):
        failure_box(scenario, {"installationUrl": url}, MALFORMED, unchecked=True)


def test_a_release_copied_from_a_folder_runs_to_the_installation_step(scenario, release_root):
    publish(release_root / "rel", {"Setup.msi.deploy": content(300_000, 5), "sub/a.txt": b"a"})
    code, watcher = run_to_end(scenario, {"installationUrl": windows_path(release_root / "rel")}, timeout=30)
    assert code == 0
    assert download_boxes(watcher) == []
    assert download_folders(scenario) == []


def test_a_relative_folder_is_taken_beside_the_program(scenario):
    # The stamped program lives in C:\e2e; its release in C:\e2e\rel.
    publish(scenario.prefix / "drive_c" / "e2e" / "rel", {"Setup.msi": b"msi"})
    code, watcher = run_to_end(scenario, {"installationUrl": "rel"}, timeout=30)
    assert code == 0
    assert download_boxes(watcher) == []


def test_a_missing_relative_folder_fails_on_the_version_file_copy(scenario):
    failure_box(scenario, {"installationUrl": "nothing_here"},
                "Failed to copy 'version_info.xml' file. Error: 3. Task name: DownloadVersionInfo.")


def test_earlier_download_folders_are_purged_but_same_named_files_stay(scenario, release_root, request):
    cache = inet_cache(scenario)
    old = cache / "Talvoro_20011231235"
    (old / "inner").mkdir(parents=True)
    locked = old / "inner" / "old.msi"
    locked.write_bytes(b"old")
    # Read-only for Windows: Wine maps the attribute to the missing write bit.
    locked.chmod(0o444)
    (cache / "Talvoro_notes").write_bytes(b"kept")
    publish(release_root / "rel", {"Setup.msi": b"x"})
    server = start_server(request, release_root)
    code, watcher = run_to_end(scenario, {"installationUrl": server.url + "/rel"})
    assert code == 0 and download_boxes(watcher) == []
    assert not old.exists()
    assert (cache / "Talvoro_notes").read_bytes() == b"kept"
