"""Releases with a custom-action class whose module or runtime cannot take part:
the run ends with the failure's text in one box, nothing is removed or
installed, and whatever the runtime gave out is released."""

import pytest

from test_clrhost_support import (OLD_CODES, PRODUCT_CODE, Standin, WINDOW_CLASS, failure_text, installed,
                                  preinstall, publish_release)
from harness import windows_path

TASK = " Task name: RunMSI."


def run_to_box(scenario, release, text=None, contains=None, timeout=120):
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper({"installationUrl": windows_path(release)})
    try:
        box = watcher.wait_dialog(text=text, contains=contains, timeout=timeout)
        assert process.wait(60) == 0
    finally:
        watcher.process.stop()
    assert len(failure_text(watcher)) == 1
    return box


def test_missing_method_is_named_and_nothing_changes(scenario, tmp_path):
    standin = Standin(scenario, ["missing=DoInstallUIAction"])
    preinstall(scenario, "2.0.0")
    run_to_box(scenario, publish_release(scenario.session, tmp_path / "rel"),
               "Failed to get DISPID of the DoInstallUIAction method (HRESULT = 0x80020006)." + TASK)
    assert installed(scenario, OLD_CODES["2.0.0"]) and not installed(scenario, PRODUCT_CODE)
    # Every id before the missing one was found, so the object is disposed before it goes.
    assert standin.methods() == ["Dispose"]
    assert len(standin.records("UnloadDomain")) == 1
    assert standin.records("Unload")[-1]["live"] == 0


@pytest.mark.parametrize("line,text", [
    ("fail.Start=0x80131022", "Failed to call 'Start' (HRESULT = 0x80131022)."),
    ("fail.CreateDomainEx=0x80131522", "Failed to create the app domain (HRESULT = 0x80131522)."),
    ("fail.CreateInstance.Talvoro.Actions.Setup=0x80070002",
     "Failed to create an instance of the managed module (HRESULT = 0x80070002)."),
])
def test_hosting_failure_shows_its_text_and_releases_the_host(scenario, tmp_path, line, text):
    standin = Standin(scenario, [line])
    run_to_box(scenario, publish_release(scenario.session, tmp_path / "rel"), text + TASK)
    assert not installed(scenario, PRODUCT_CODE)
    assert standin.invokes() == []
    assert "CorRuntimeHost" in [r["object"] for r in standin.records("Destroy")]
    assert standin.records("Unload")[-1]["live"] == 0


@pytest.mark.parametrize("framework,text", [
    # Wine's own mscoree without its Mono runtime cannot load a runtime (CLR_E_SHIM_RUNTIMELOAD).
    (True, "Failed to get 'ICorRuntimeHost' (HRESULT = 0x80131700)."),
    (False, "Failed to detect the root folder of the .NET Framework (HRESULT = 0x80070002)."),
])
def test_wine_runtime_without_standin(scenario, tmp_path, framework, text):
    Standin(scenario, runtime=False, framework=framework)
    preinstall(scenario, "2.0.0")
    run_to_box(scenario, publish_release(scenario.session, tmp_path / "rel"), text + TASK)
    assert installed(scenario, OLD_CODES["2.0.0"]) and not installed(scenario, PRODUCT_CODE)
