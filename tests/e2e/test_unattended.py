"""Unattended runs: /quiet ends without a window, box or question and tells the
outcome in its exit code (read in full inside the prefix: Wine hands Linux only
the low byte) and the failure in the log; a package that asks for a restart is
installed like any other; /layout writes a release that installs offline."""

from harness import poll, windows_path
from test_install_support import (CAPTION, CURRENT, HOST_CLASS, OLDER, PRODUCT_CODE, WINDOW_CLASS, addin_folder,
                                  host_starts, install_package, installed_version, manifest_msi, place_fake_host,
                                  run_bootstrapper, sample_site, site, standin_calls, unix_path, use_standin_msiexec)

__all__ = ["site"]  # the fixture, used by name

RESTART = "talvoro-addin-restart"
RESTART_TEXT = "Restart Windows to finish the installation."


def run_quiet(scenario, url, *args, program=None, timeout=240):
    """Runs the stamped program with /quiet and the arguments; returns (full exit code, boxes, window states)."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    program = program or scenario.stamp({"installationUrl": url})
    code, output = scenario.run("wintool.exe", "exitcode", program.windows, "/quiet", *args, timeout=timeout)
    assert code == 0, output
    watcher.process.stop()
    return int(output.split()[-1]), watcher.dialogs(), watcher.windows(WINDOW_CLASS)


def log_events(path):
    return [line.split("]  ", 1)[1] for line in path.read_text(encoding="utf-8").splitlines()]


def assert_installed(scenario, url):
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    msi = manifest_msi(addin_folder(scenario))
    assert msi == {"installationUrl": url, "language": "1033", "version": "2.2.015", "productCode": PRODUCT_CODE}


def test_quiet_success_ends_with_0_without_a_window_or_box_and_installs(scenario, site):
    url = site(scenario)
    log = scenario.run_dir / "quiet.log"
    code, boxes, windows = run_quiet(scenario, url, "/log=" + windows_path(log))
    assert (code, boxes) == (0, [])
    assert not any(state and state["visible"] for state in windows), "no progress window under /quiet"
    assert_installed(scenario, url)
    assert log_events(log)[-2:] == ["outcome: success", "end, exit code 0"]


def test_quiet_failure_ends_with_1603_and_the_failure_text_goes_to_the_log(scenario, refusing_source):
    log = scenario.run_dir / "failure.log"
    code, boxes, _ = run_quiet(scenario, refusing_source, "/log=" + windows_path(log))
    assert (code, boxes) == (1603, [])
    events = log_events(log)
    [outcome] = [e for e in events if e.startswith("outcome: ")]
    assert outcome.startswith('outcome: failure, no box "') and "Task name: DownloadVersionInfo." in outcome
    assert events[-1] == "end, exit code 1603"


def test_quiet_neither_asks_about_nor_waits_for_nor_restarts_a_running_host(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    host = place_fake_host(scenario)
    host_process = scenario.start(host)
    poll(lambda: scenario.window(HOST_CLASS), 30, "the host's window")
    code, boxes, _ = run_quiet(scenario, url)
    assert (code, boxes) == (0, [])
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert host_process.running() and len(host_starts(host)) == 1, "left alone, and not started a second time"
    assert scenario.close_window(HOST_CLASS)
    assert host_process.wait(30) == 0


def test_quiet_exit_codes_follow_the_installers_result_and_its_interface_stays_hidden(scenario, site):
    install_package(scenario, CURRENT)  # its loader stays installed: the stand-in installs nothing
    # The release asks for the installer's interface; /quiet hides it all the same.
    url = site(scenario, show_install_ui=True, show_uninstall_ui=True)
    program = scenario.stamp({"installationUrl": url})
    log = use_standin_msiexec(scenario, 0)
    assert run_quiet(scenario, url, program=program)[:2] == (0, [])
    calls = standin_calls(log)
    assert [call.startswith("/x") for call in calls] == [True, False]
    assert all(" /quiet" in call for call in calls), calls
    for installer, expected in ((1618, 1618), (1625, 1625), (1603, 1603), (1620, 1603), (3010, 3010), (1641, 3010),
                                (1602, 1602)):
        (log.parent / "msiexec.exe.exitcode").write_text(str(installer))
        assert run_quiet(scenario, url, program=program)[:2] == (expected, []), installer


def test_without_quiet_the_exit_code_stays_0_after_a_failure(scenario, refusing_source):
    code, watcher = run_bootstrapper(scenario, refusing_source, answers={CAPTION: "ok"})
    watcher.process.stop()
    assert code == 0 and len(watcher.dialogs()) == 1


def test_a_package_asking_for_a_restart_is_installed_with_one_information_box(scenario, site):
    url = site(scenario, current=RESTART)
    code, watcher = run_bootstrapper(scenario, url)
    watcher.process.stop()
    assert code == 0
    assert [(d["caption"], d["text"]) for d in watcher.dialogs()] == [(CAPTION, RESTART_TEXT)]
    assert_installed(scenario, url)


def test_a_package_asking_for_a_restart_ends_a_quiet_run_with_3010(scenario, site):
    url = site(scenario, current=RESTART)
    code, boxes, _ = run_quiet(scenario, url)
    assert (code, boxes) == (3010, [])
    assert_installed(scenario, url)


def test_a_layout_installs_offline_from_the_copy_beside_it(scenario, tmp_path):
    sample_site.write_site(tmp_path / "www", scenario.session.bin_dir, CURRENT)
    unix_path(scenario, r"C:\share").mkdir()  # the layout folder itself is made by the run
    with sample_site.Site(tmp_path / "www") as server:
        log = scenario.run_dir / "layout.log"
        code, boxes, _ = run_quiet(scenario, server.url, r"/layout=C:\share\addin", "/log=" + windows_path(log))
    assert (code, boxes) == (0, []), log.read_text(encoding="utf-8")
    layout = unix_path(scenario, r"C:\share\addin")
    assert sorted(str(p.relative_to(layout)) for p in layout.rglob("*") if p.is_file()) == [
        "1033/2.2.015/talvoro-addin-2.2.15.msi", "bootstrapper.exe", "version_info.xml"]
    assert installed_version(scenario, PRODUCT_CODE) is None, "a layout installs nothing"

    # The site is gone: the copy installs from the folder it sits in.
    watcher = scenario.watch(track=[WINDOW_CLASS])
    code, output = scenario.run("wintool.exe", "exitcode", r"C:\share\addin\bootstrapper.exe", timeout=240)
    watcher.process.stop()
    assert (code, output.split()[-1], watcher.dialogs()) == (0, "0", [])
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert manifest_msi(addin_folder(scenario))["installationUrl"] == "."


def test_a_layout_into_a_folder_that_is_not_empty_or_cannot_be_made_is_refused_and_nothing_is_written(
        scenario, site):
    url = site(scenario)
    busy = unix_path(scenario, r"C:\share\busy")
    busy.mkdir(parents=True)
    (busy / "notes.txt").write_text("mine")
    code, boxes, _ = run_quiet(scenario, url, r"/layout=C:\share\busy")
    assert (code, boxes) == (1603, [])
    assert [p.name for p in busy.iterdir()] == ["notes.txt"]

    program = scenario.stamp({"installationUrl": url})
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={CAPTION: "ok"})
    assert scenario.start(program, r"/layout=C:\missing\parent\addin").wait(120) == 0
    watcher.process.stop()
    assert [d["text"] for d in watcher.dialogs()] == [
        "The layout folder 'C:\\missing\\parent\\addin' is not a new or empty folder. Error code: 0x3."]
    assert not unix_path(scenario, r"C:\missing").exists()


def test_a_failed_layout_leaves_no_folder_behind(scenario, refusing_source):
    unix_path(scenario, r"C:\share").mkdir()
    code, boxes, _ = run_quiet(scenario, refusing_source, r"/layout=C:\share\addin")
    assert (code, boxes) == (1603, [])
    assert not unix_path(scenario, r"C:\share\addin").exists()
