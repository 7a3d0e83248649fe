"""A release with a managed custom-action class, installed through the Windows
Installer's function interface with the stand-in runtime's object taking part."""

from harness import windows_path
from test_clrhost_support import (ASSEMBLY, CLASS, FAKE_HOST_CLASS, OLD_CODES, PRODUCT_CODE, VT_ARRAY, VT_BSTR,
                                  VT_I1, VT_I4, VT_I8, VT_UI4, VT_UI8, VT_UINT, WINDOW_CLASS, Standin,
                                  action_messages, assert_released, failure_text, fake_host_starts, installed, preinstall,
                                  publish_release, run_release, start_fake_host, stop_fake_host)

FRAMEWORK = "Korvel.Deployment.KVLStobrinModule"


def cell_array(argument, count):
    assert argument["vt"] == VT_ARRAY and argument["element_vt"] == 12 and argument["lbound"] == 0
    assert argument["count"] == count


def test_module_takes_part_in_removal_and_installation(scenario, tmp_path):
    standin = Standin(scenario, ["read_properties=REMOVE,UPGRADINGPRODUCTCODE,CLIENTUILEVEL,UILevel"])
    preinstall(scenario, "2.0.0", "2.1.0")
    release = publish_release(scenario.session, tmp_path / "rel", config=True)
    watcher = run_release(scenario, release)
    assert failure_text(watcher) == []

    assert not installed(scenario, OLD_CODES["2.0.0"]) and not installed(scenario, OLD_CODES["2.1.0"])
    assert installed(scenario, PRODUCT_CODE)

    # The domain: the download folder as base, its "actions" folder, the assembly's configuration file.
    domain = standin.records("CreateDomainEx")[0]
    assert domain["private_bin_path"] == domain["application_base"] + "\\actions"
    assert domain["configuration_file"] == domain["application_base"] + f"\\actions\\{ASSEMBLY}.dll.config"
    assert domain["name"].upper() == "C:\\E2E\\"

    # The framework module learns the language and goes; the action object is created from the release.
    framework = standin.invokes(FRAMEWORK)
    assert [r["method"] for r in framework] == ["#4097", "Dispose"]
    assert framework[0]["args"] == [{"vt": VT_UI4, "value": 1033}]
    created = standin.records("CreateInstance")
    assert [(c["assembly"], c["type"]) for c in created] == [("Korvel.Deployment", FRAMEWORK), (ASSEMBLY, CLASS)]

    assert standin.methods() == ["SetParentWindowHandle", "DoInitialize", "DoBeforeUninstall", "DoInstallUIAction",
                                 "DoBeforeUninstall", "DoInstallUIAction", "DoBeforeInstall", "DoInstallUIAction",
                                 "DoAfterInstall", "Dispose"]
    assert all(r["tid"] == standin.invokes()[0]["tid"] for r in standin.invokes()), "one worker thread"

    parent = standin.invokes(method="SetParentWindowHandle")[0]["args"]
    assert [a["vt"] for a in parent] == [VT_UI8]

    initialize = standin.invokes(method="DoInitialize")[0]["args"]
    assert [a["vt"] for a in initialize] == [VT_BSTR] * 5 + [VT_I4, VT_BSTR, VT_ARRAY]
    folder = initialize[0]["value"]
    assert folder == domain["application_base"]
    assert [a["value"] for a in initialize[1:7]] == ["Talvoro Plug-in for PowerPoint\u00ae", PRODUCT_CODE,
                                                     windows_path(release), "2.2.015", 1033, "administrator"]
    cell_array(initialize[7], 1)

    removals = standin.invokes(method="DoBeforeUninstall")
    assert [r["args"][0]["value"] for r in removals] == [OLD_CODES["2.0.0"], OLD_CODES["2.1.0"]]
    for removal in removals:
        args = removal["args"]
        assert [a["vt"] for a in args] == [VT_BSTR, VT_BSTR, VT_ARRAY]
        cell_array(args[2], 4)
        assert [e["vt"] for e in args[2]["elements"]] == [VT_I8, VT_I8, VT_I8, VT_BSTR]
        assert args[2]["elements"][3]["value"] == "PowerPoint"
        assert removal["read"] == {"text": "REMOVE=ALL", "text_block_bytes": 22, "level": 2, "cancel": 0}

    # The installer's messages reach the module while each run's properties are set.
    for message in standin.invokes(method="DoInstallUIAction"):
        assert [a["vt"] for a in message["args"]] == [VT_UI8, VT_UINT, VT_UI8, VT_I1, VT_I1, VT_I1, VT_ARRAY]
        assert message["args"][1]["value"] & 0x00FFFFFF == 0
        assert message["args"][0]["value"] != 0
    messages = action_messages(standin)
    assert all(m["record_fields"] >= 0 for m in messages)
    removal_messages = [m for m in messages if m["properties"]["REMOVE"] == "ALL"]
    assert {m["properties"]["UPGRADINGPRODUCTCODE"] for m in removal_messages} == set(OLD_CODES.values())
    assert all(m["properties"]["CLIENTUILEVEL"] == "0" for m in messages)

    before_install = standin.invokes(method="DoBeforeInstall")[0]
    assert [a["vt"] for a in before_install["args"]] == [VT_ARRAY]
    assert before_install["read"] == {"text": None, "level": 5, "cancel": 0}

    after = standin.invokes(method="DoAfterInstall")[0]["args"]
    assert after[0]["vt"] == VT_BSTR
    assert after[0]["value"].lower().rstrip("\\").endswith("\\appdata\\local\\talvoro sample add-in")
    assert standin.invokes(method="Dispose")[0]["argc"] == 0
    assert_released(standin)


def test_initialize_cancel_skips_everything_but_the_restart(scenario, tmp_path):
    standin = Standin(scenario, ["DoInitialize.cancel=1"])
    preinstall(scenario, "2.0.0")
    host = start_fake_host(scenario)
    release = publish_release(scenario.session, tmp_path / "rel")
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={"applications running": "yes"})
    process = scenario.start_bootstrapper({"installationUrl": windows_path(release)})
    try:
        watcher.wait_dialog(contains="You have the following applications running", timeout=120)
        assert scenario.close_window(FAKE_HOST_CLASS)
        host.wait(30)
        assert process.wait(120) == 0
    finally:
        watcher.process.stop()
    assert failure_text(watcher) == []
    assert installed(scenario, OLD_CODES["2.0.0"]) and not installed(scenario, PRODUCT_CODE)
    assert standin.methods() == ["SetParentWindowHandle", "DoInitialize", "Dispose"]
    assert standin.invokes(method="DoInitialize")[0]["wrote"]["cancel"] == 1
    # The host the user closed was started again from its own path.
    starts = fake_host_starts(scenario)
    assert len(starts) == 2
    stop_fake_host(scenario, starts[-1])
    assert_released(standin)


def test_one_of_two_removals_cancelled(scenario, tmp_path):
    standin = Standin(scenario, [f"DoBeforeUninstall.when={OLD_CODES['2.0.0']}", "DoBeforeUninstall.cancel=1"])
    preinstall(scenario, "2.0.0", "2.1.0")
    watcher = run_release(scenario, publish_release(scenario.session, tmp_path / "rel"))
    assert failure_text(watcher) == []
    assert installed(scenario, OLD_CODES["2.0.0"])
    assert not installed(scenario, OLD_CODES["2.1.0"])
    assert installed(scenario, PRODUCT_CODE)
    removals = standin.invokes(method="DoBeforeUninstall")
    assert [r.get("wrote", {}).get("cancel") for r in removals] == [1, None]
    assert_released(standin)


def test_before_install_lowers_the_ui_level(scenario, tmp_path):
    standin = Standin(scenario, ["DoBeforeInstall.level=2", "read_properties=UILevel"])
    watcher = run_release(scenario, publish_release(scenario.session, tmp_path / "rel"))
    assert failure_text(watcher) == []
    assert installed(scenario, PRODUCT_CODE)
    before = standin.invokes(method="DoBeforeInstall")[0]
    assert before["read"]["level"] == 5 and before["wrote"]["level"] == 2
    # The level is set before the package is opened, which takes it as its UILevel.
    assert {m["properties"]["UILevel"] for m in action_messages(standin)} == {"2"}


def test_property_text_sets_named_pairs_only(scenario, tmp_path):
    standin = Standin(scenario, ["DoBeforeInstall.text=A=1 B= =C D", "read_properties=A,B,C,D"])
    watcher = run_release(scenario, publish_release(scenario.session, tmp_path / "rel"))
    assert failure_text(watcher) == []
    assert installed(scenario, PRODUCT_CODE)
    properties = action_messages(standin)[0]["properties"]
    assert properties == {"A": "1", "B": "", "C": "", "D": ""}


def test_a_throwing_method_leaves_the_callers_values(scenario, tmp_path):
    standin = Standin(scenario, ["DoBeforeInstall.level=2", "DoBeforeInstall.throw=1", "DoInitialize.cancel=1",
                                 "DoInitialize.throw=1", "read_properties=UILevel"])
    watcher = run_release(scenario, publish_release(scenario.session, tmp_path / "rel"))
    assert failure_text(watcher) == []
    assert installed(scenario, PRODUCT_CODE)
    assert standin.invokes(method="DoBeforeInstall")[0]["hr"] == "0x80020009"
    assert {m["properties"]["UILevel"] for m in action_messages(standin)} == {"5"}
    assert_released(standin)
