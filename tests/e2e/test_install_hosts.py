"""The running host application: a stand-in PowerPoint (fakehost.exe copied as
POWERPNT.EXE below a folder with blanks) while the bootstrapper updates the add-in."""

import time

from harness import poll
from test_install_support import (CAPTION, HOST_CLASS, OLDER, PRODUCT_CODE, host_starts, install_package,
                                  installed_version, package, place_fake_host, site, wait_gone, WINDOW_CLASS)

__all__ = ["site"]  # the fixture, used by name

QUESTION = ("You have the following applications running on your machine:\r\n  Microsoft PowerPoint\r\n\r\n"
            "Please close the above application(s) for the update process to complete.\r\n"
            "Do you want the application(s) to start automatically after the update is installed?")


def start_host(scenario):
    host = place_fake_host(scenario)
    process = scenario.start(host)
    poll(lambda: scenario.window(HOST_CLASS), 30, "the host's window")
    return host, process


def update_with_host_running(scenario, site, answer):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    host, host_process = start_host(scenario)
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={"Microsoft PowerPoint": answer})
    app = scenario.start_bootstrapper({"installationUrl": url})

    box = watcher.wait_dialog(text=QUESTION, timeout=60)
    assert box["caption"] == CAPTION
    assert box["buttons"] == [6, 7] and box["icon"]
    # The box's style: Yes/No, warning icon, No as the default button.
    assert [c for c in box["children"] if c["id"] == 7][0]["style"] & 0x1, "No is the default button"

    # Answered, the run waits for the host to close: a few one-second passes go by unchanged.
    time.sleep(2.5)
    assert app.running()
    assert installed_version(scenario, package(scenario, OLDER).product_code) == "2.1.0"
    assert len(watcher.dialogs()) == 1, "asked once only"

    assert scenario.close_window(HOST_CLASS)
    assert host_process.wait(30) == 0
    assert app.wait(120) == 0
    assert len(watcher.dialogs()) == 1
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    return host


def test_yes_waits_for_the_host_to_close_and_starts_it_again_after_the_update(scenario, site):
    host = update_with_host_running(scenario, site, "yes")
    poll(lambda: len(host_starts(host)) == 2, 30, "the host to be started again")
    assert scenario.close_window(HOST_CLASS), "the restarted host shows its window"
    wait_gone(scenario, HOST_CLASS)


def test_no_waits_for_the_host_to_close_but_does_not_start_it_again(scenario, site):
    host = update_with_host_running(scenario, site, "no")
    assert scenario.window(HOST_CLASS) is None
    assert len(host_starts(host)) == 1


def test_a_first_installation_never_asks_even_with_the_host_running(scenario, site):
    url = site(scenario)
    host, host_process = start_host(scenario)
    watcher = scenario.watch(track=[WINDOW_CLASS])
    app = scenario.start_bootstrapper({"installationUrl": url})
    assert app.wait(120) == 0
    assert watcher.dialogs() == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert host_process.running(), "the host was left alone"
    assert len(host_starts(host)) == 1
