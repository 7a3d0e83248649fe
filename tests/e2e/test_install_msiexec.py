"""What the bootstrapper hands msiexec.exe and how it judges the exit code, with a
stand-in msiexec.exe in the prefix's system folder where the real one will not
give the outcome on demand (the user's cancel, a restart request)."""

import pytest

from test_install_support import (CAPTION, CURRENT, OLDER, OLDEST, PRODUCT_CODE, install_package, package,
                                  run_bootstrapper, site, standin_calls, use_standin_msiexec)

__all__ = ["site"]  # the fixture, used by name


@pytest.mark.parametrize("ui", [False, True], ids=["ui-hidden", "ui-shown"])
def test_each_installed_release_is_removed_in_list_order_then_the_package_is_installed(scenario, site, ui):
    install_package(scenario, OLDEST)
    install_package(scenario, OLDER)
    install_package(scenario, CURRENT)
    url = site(scenario, older=[OLDEST, OLDER], show_install_ui=ui, show_uninstall_ui=ui)
    log = use_standin_msiexec(scenario, 0)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []

    quiet = "" if ui else " /quiet"
    removals = [f"/x{code}{quiet} UPGRADINGPRODUCTCODE={code}"
                for code in (package(scenario, OLDEST).product_code, package(scenario, OLDER).product_code,
                             PRODUCT_CODE)]
    calls = standin_calls(log)
    assert calls[:3] == removals, "the listed order, the current release's own code last"
    assert len(calls) == 4
    assert calls[3].startswith('/i "C:\\users\\') and calls[3].endswith(f'\\{CURRENT}.msi"{quiet}'), calls[3]


def test_a_cancelled_removal_ends_the_run_quietly_and_installs_nothing(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    log = use_standin_msiexec(scenario, 1602)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0
    assert watcher.dialogs() == [], "the user cancelled: nothing to tell"
    assert len(standin_calls(log)) == 1, "nothing is installed after a failed removal"


@pytest.mark.parametrize("restart", [3010, 1641])
def test_a_restart_request_counts_as_an_installation_with_one_information_box(scenario, site, restart):
    install_package(scenario, CURRENT)  # its loader stays installed: the stand-in installs nothing
    url = site(scenario)
    log = use_standin_msiexec(scenario, restart)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0
    assert [(d["caption"], d["text"], d["icon"]) for d in watcher.dialogs()] == [
        (CAPTION, "Restart Windows to finish the installation.", True)]
    assert len(standin_calls(log)) == 2, "the removal's restart request did not stop the run"
