"""The diagnostic log that /log=<file> asks for, written by the real
bootstrapper.exe against the test server and Wine's real Windows Installer."""

import re

from harness import windows_path
from test_clrhost_support import Standin, preinstall, publish_release
from test_install_support import OLDER, PRODUCT_CODE, install_package, installed_version, package, site
from test_pipeline_support import WINDOW_CLASS, publish, release_root, start_server, version_info

__all__ = ["release_root", "site"]  # the fixtures, used by name

# "<ms> ms  [<thread id>]  <event>"
LINE = re.compile(r"^ *\d+\.\d ms  \[ *\d+\]  (.*)$")


def run_with_log(scenario, settings, args, timeout=180):
    """Runs to the end, OK pressed on any box; returns the texts of the boxes shown."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper(settings, args=args)
    try:
        assert process.wait(timeout) == 0
    finally:
        watcher.process.stop()
    return [d["text"] for d in watcher.dialogs()]


def events(path):
    """The log's events, every line checked for its time and thread."""
    text = path.read_bytes().decode("utf-8")
    lines = text.splitlines()
    assert all(LINE.match(line) for line in lines), text
    return [LINE.match(line).group(1) for line in lines]


def http_status(log, url):
    [line] = [e for e in log if e.startswith(f"http GET {url} ")]
    return int(re.search(r"status (\d+)", line).group(1))


def test_a_missing_third_file_leaves_each_url_its_status_and_the_exact_box(scenario, release_root, request):
    publish(release_root / "rel", {"Setup.msi": b"package", "Actions.dll": b"module" * 1000},
            version_info(["Setup.msi", "Actions.dll", "gone.dll"]))
    server = start_server(request, release_root)
    files = f"{server.url}/rel/1033/2.2.015/"
    (scenario.run_dir / "logs").mkdir()
    # A relative path is taken from the current folder (the scenario's folder).
    boxes = run_with_log(scenario, {"installationUrl": server.url + "/rel"}, ["/log=logs\\run.log"])
    expected = f"404 error: Not Found: {files}gone.dll. Task name: DownloadFile."
    assert boxes == [expected]

    log = events(scenario.run_dir / "logs" / "run.log")
    assert [http_status(log, files + name) for name in ("Setup.msi", "Actions.dll", "gone.dll")] == [200, 200, 404]
    assert any(e.startswith(f"http GET {files}Actions.dll finished: status 200, content length 6000, "
                            f"received 6000 bytes in ") for e in log), log
    assert f'outcome: failure, box "{expected}"' in log
    assert "release file 3: " + files + "gone.dll" in " ".join(log)
    assert any(e.startswith("task DownloadFile (file 3) starts") for e in log), log
    assert log[-1] == "end"


def msiexec_commands(log, log_path, numbers):
    """The log's msiexec commands, each naming its own installer log, which the installer wrote."""
    commands = [e for e in log if e.startswith("msiexec starts: ")]
    assert len(commands) == len(numbers), log
    for number, command in zip(numbers, commands):
        installer_log = log_path.parent / f"{log_path.name}.msiexec-{number}.log"
        assert command.endswith(f'/l*v "{windows_path(installer_log)}"'), command
        assert installer_log.stat().st_size > 0, installer_log
    return commands


def test_an_upgrade_logs_both_msiexec_runs_and_a_second_run_keeps_the_first_runs_logs(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    log_path = scenario.run_dir / "upgrade.log"
    assert run_with_log(scenario, {"installationUrl": url}, ["/log=" + windows_path(log_path)]) == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"

    log = events(log_path)
    removal, installation = msiexec_commands(log, log_path, [1, 2])
    assert f"/x{package(scenario, OLDER).product_code} /quiet" in removal
    assert '/i "' in installation
    endings = [e for e in log if e.startswith("msiexec ended")]
    assert [e.split(" after ")[0] for e in endings] == ["msiexec ended with exit code 0"] * 2, log
    assert any(e.startswith("loader component ") and "manifest updated in " in e for e in log), log
    assert log[-2:] == ["outcome: success", "end"]

    # The same log again: its lines follow the first run's, its installer logs come after theirs.
    first = {n: (log_path.parent / f"{log_path.name}.msiexec-{n}.log").read_bytes() for n in (1, 2)}
    assert run_with_log(scenario, {"installationUrl": url}, ["/log=" + windows_path(log_path)]) == []
    msiexec_commands(events(log_path)[len(log):], log_path, [3, 4])
    for number, text in first.items():
        assert (log_path.parent / f"{log_path.name}.msiexec-{number}.log").read_bytes() == text, number


def test_a_log_in_a_missing_folder_changes_nothing_of_the_run(scenario):
    settings = {"installationUrl": "http://127.0.0.1:9/rel/"}
    expected = ["Can't Connect to server. Task name: DownloadVersionInfo."]
    assert run_with_log(scenario, settings, []) == expected
    assert run_with_log(scenario, settings, ["/log=C:\\no such folder\\run.log"]) == expected
    assert not (scenario.prefix / "drive_c" / "no such folder").exists()


def test_a_url_with_a_user_and_password_is_logged_without_them(scenario, release_root, request):
    publish(release_root / "rel", {"Setup.msi": b"package"}, version_info(["Setup.msi", "gone.dll"]))
    server = start_server(request, release_root)
    secret_url = server.url.replace("http://", "http://talvoro-user:s3cret%40pw@") + "/rel"
    log_path = scenario.run_dir / "secret.log"
    run_with_log(scenario, {"installationUrl": secret_url}, ["/log=" + windows_path(log_path)])

    text = log_path.read_text(encoding="utf-8")
    assert "talvoro-user" not in text and "s3cret" not in text, text
    log = events(log_path)
    assert http_status(log, f"{server.url}/rel/version_info.xml") == 200
    assert f'setting installationUrl (133) = "{server.url}/rel"' in log


def test_a_managed_installation_logs_its_copies_module_calls_and_installer_calls(scenario, tmp_path):
    # What the module hands back may be licence keys or passwords: the log names the properties only.
    Standin(scenario, ["DoBeforeUninstall.text=REMOVE=ALL PASSWORD=hunter2",
                       "DoBeforeInstall.text=LICENSEKEY=K3Y-s3cret"])
    preinstall(scenario, "2.1.0")
    release = publish_release(scenario.session, tmp_path / "rel")
    log_path = scenario.run_dir / "managed.log"
    assert run_with_log(scenario, {"installationUrl": windows_path(release)}, ["/log=" + windows_path(log_path)]) == []

    log = events(log_path)
    assert any(e.startswith("copy " + windows_path(release / "version_info.xml") + " -> ") and ": done in " in e
               for e in log), log
    module = [e for e in log if e.startswith("managed module ")]
    for call in ("CreateActionModule", "DoInitialize", "DoBeforeUninstall", "DoBeforeInstall", "DoAfterInstall",
                 "Dispose"):
        assert f"managed module {call}: done" in module, module
    actions = [e for e in log if e.startswith("msi.dll MsiDoActionW(")]
    assert actions == ["msi.dll MsiDoActionW(INSTALL) = 0"] * 2, log
    for number in (1, 2):
        installer_log = log_path.parent / f"{log_path.name}.msiexec-{number}.log"
        assert f"msi.dll MsiEnableLogW({windows_path(installer_log)}) = 0" in log
        assert installer_log.stat().st_size > 0
    assert log[-2:] == ["outcome: success", "end"]

    properties = [e for e in log if e.startswith("msi.dll MsiSetPropertyW(")]
    assert properties == ["msi.dll MsiSetPropertyW(CLIENTUILEVEL=0) = 0",
                          "msi.dll MsiSetPropertyW(UPGRADINGPRODUCTCODE={B2F6E1D3-8C4A-4D9F-AE2B-3C4D5E6F7081}) = 0",
                          "msi.dll MsiSetPropertyW(REMOVE) = 0", "msi.dll MsiSetPropertyW(PASSWORD) = 0",
                          "msi.dll MsiSetPropertyW(CLIENTUILEVEL=0) = 0", "msi.dll MsiSetPropertyW(LICENSEKEY) = 0"]
    text = log_path.read_text(encoding="utf-8")
    assert "hunter2" not in text and "K3Y-s3cret" not in text, text


def test_an_installation_the_installer_reports_itself_is_not_logged_as_a_success(scenario, release_root, request):
    # The installer's interface is wanted, so a package it cannot open is its own
    # message to show, and the program ends without a box of its own.
    description = version_info(["Setup.msi"]).replace(
        b"</files>", b"</files><preferences><showInstallUI>true</showInstallUI></preferences>")
    publish(release_root / "rel", {"Setup.msi": b"not a package"}, description)
    server = start_server(request, release_root)
    log_path = scenario.run_dir / "broken.log"
    run_with_log(scenario, {"installationUrl": server.url + "/rel"}, ["/log=" + windows_path(log_path)])

    log = events(log_path)
    [ended] = [e for e in log if e.startswith("msiexec ended")]
    assert not ended.startswith("msiexec ended with exit code 0 "), ended
    assert log[-2:] == ["outcome: not installed, no box: the installer showed its own message, "
                        "or the installation was cancelled", "end"]


def test_a_cancel_by_the_module_is_logged_as_one_and_shows_no_box(scenario, tmp_path):
    for hook in ("DoInitialize", "DoBeforeInstall"):
        Standin(scenario, [f"{hook}.cancel=1"])
        release = publish_release(scenario.session, tmp_path / hook)
        log_path = scenario.run_dir / f"{hook}.log"
        assert run_with_log(scenario, {"installationUrl": windows_path(release)},
                            ["/log=" + windows_path(log_path)]) == [], hook
        assert events(log_path)[-2:] == ["outcome: cancelled by the custom-action module, nothing installed, "
                                         "no box", "end"], hook
        assert not [e for e in events(log_path) if e.startswith("msi.dll MsiDoActionW(")], hook
