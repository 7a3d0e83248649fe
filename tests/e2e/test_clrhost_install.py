"""A release with a managed custom-action class, installed through the Windows
Installer's function interface with the stand-in runtime's object taking part."""

from harness import windows_path
from test_clrhost_support import (ASSEMBLY, CLASS, OLD_CODES, PRODUCT_CODE, VT_ARRAY, VT_BSTR, VT_I1, VT_I4, VT_I8,
                                  VT_UI4, VT_UI8, VT_UINT, Standin, assert_released, failure_text, installed,
                                  preinstall, publish_release, run_release)

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
    messages = standin.invokes(method="DoInstallUIAction")
    for message in messages:
        assert [a["vt"] for a in message["args"]] == [VT_UI8, VT_UINT, VT_UI8, VT_I1, VT_I1, VT_I1, VT_ARRAY]
        assert message["args"][1]["value"] & 0x00FFFFFF == 0
        assert message["args"][0]["value"] != 0 and message["record_fields"] >= 0
    removal_messages = [m for m in messages if m["properties"]["REMOVE"] == "ALL"]
    assert {m["properties"]["UPGRADINGPRODUCTCODE"] for m in removal_messages} == set(OLD_CODES.values())
    assert all(m["properties"]["CLIENTUILEVEL"] == "0" for m in messages)

    before_install = standin.invokes(method="DoBeforeInstall")[0]
    assert [a["vt"] for a in before_install["args"]] == [VT_ARRAY]
    assert before_install["read"] == {"text": None, "level": 5, "cancel": 0}

    after = standin.invokes(method="DoAfterInstall")[0]["args"]
    assert after[0]["vt"] == VT_BSTR and after[0]["value"].lower().endswith("\\talvoro sample add-in\\")
    assert standin.invokes(method="Dispose")[0]["argc"] == 0
    assert_released(standin)
