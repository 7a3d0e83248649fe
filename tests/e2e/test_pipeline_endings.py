"""How a web run ends when the server misbehaves around it: a redirect loop,
and an answer that comes only after the user closed the window."""

from harness import poll
from test_pipeline_support import (WINDOW_CLASS, download_folders, failure_box, release_root, start_server)

__all__ = ["release_root"]  # the fixture, used by name


def test_a_redirect_loop_ends_after_ten_redirects_with_the_status_box(scenario, release_root, request):
    server = start_server(request, release_root, rules=["/loop/version_info.xml=redirect"])
    url = server.url + "/loop/version_info.xml"
    failure_box(scenario, {"installationUrl": server.url + "/loop/"},
                f"Download error, status code: 302, url: {url}. Task name: DownloadVersionInfo.")
    assert server.paths() == ["/loop/version_info.xml"] * 11, "the first request and ten redirects"


def test_a_404_that_arrives_after_the_close_shows_no_box_and_the_exit_code_is_0(scenario, release_root, request):
    server = start_server(request, release_root, rules=["/late/version_info.xml=status/404?delay=3000"])
    watcher = scenario.watch(track=[WINDOW_CLASS])
    try:
        process = scenario.start_bootstrapper({"installationUrl": server.url + "/late/"})
        watcher.wait_window(WINDOW_CLASS, lambda state: state is not None and state["visible"])
        poll(lambda: "/late/version_info.xml" in server.paths(), 60, "the request that waits for its 404")
        assert scenario.close_window(WINDOW_CLASS)
        assert process.wait(75) == 0
    finally:
        watcher.process.stop()
    assert watcher.dialogs() == [], "a close shows nothing, whatever the request answers later"
    assert download_folders(scenario) == []
