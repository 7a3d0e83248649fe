"""Installation through msiexec with the real bootstrapper.exe, real packages
built by wixl, Wine's real Windows Installer and a site on 127.0.0.1."""

from test_install_support import (CAPTION, CURRENT, OLDER, OLDEST, PRODUCT_CODE, addin_folder, install_package,
                                  installed_version, manifest_msi, package, pipeline_boxes, reg_value,
                                  release_notes, run_bootstrapper, site, uninstall_value, UNINSTALL)

__all__ = ["site"]  # the fixture, used by name


def expected_manifest(url):
    return {"installationUrl": url, "language": "1033", "version": "2.2.015", "productCode": PRODUCT_CODE}


def test_a_first_installation_installs_fills_the_manifest_and_records_the_location(scenario, site):
    url = site(scenario)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0
    assert watcher.dialogs() == [], "a successful run shows no box"
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert release_notes(scenario) == "Talvoro Sample Add-in 2.2.15"
    folder = addin_folder(scenario)
    assert manifest_msi(folder) == expected_manifest(url)
    location = uninstall_value(scenario, PRODUCT_CODE, "InstallLocation")
    assert location.rstrip("\\").lower().endswith("\\appdata\\local\\talvoro sample add-in"), location


def test_an_upgrade_removes_the_older_release_and_installs_the_new_one(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert release_notes(scenario) == "Talvoro Sample Add-in 2.2.15"
    assert manifest_msi(addin_folder(scenario)) == expected_manifest(url)


def test_two_older_releases_are_both_removed_and_an_installed_current_one_is_reinstalled(scenario, site):
    install_package(scenario, OLDEST)
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDEST, OLDER])
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []
    assert installed_version(scenario, package(scenario, OLDEST).product_code) is None
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"

    # A program for the same release from another site finds it installed: removed, then installed again.
    (addin_folder(scenario) / "release.txt").write_text("changed since the installation")
    other = site(scenario, older=[OLDEST, OLDER], folder="add-in&more")
    code, watcher = run_bootstrapper(scenario, other)
    assert code == 0 and watcher.dialogs() == []
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert release_notes(scenario) == "Talvoro Sample Add-in 2.2.15", "the package's files came back"
    assert manifest_msi(addin_folder(scenario)) == expected_manifest(other), "the URL with & reads back exactly"


def test_a_refused_package_with_the_ui_hidden_shows_the_exit_code_in_one_box(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, current="talvoro-addin-refused", older=[OLDER])
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0
    assert pipeline_boxes(watcher) == ["The installation failed. Error: 1603. Task name: RunMSI."]
    box = watcher.dialogs()[0]
    assert box["caption"] == CAPTION and box["icon"]
    assert installed_version(scenario, package(scenario, OLDER).product_code) is None, "the removal came first"
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_a_refused_package_with_the_ui_shown_leaves_the_telling_to_the_installer(scenario, site):
    url = site(scenario, current="talvoro-addin-refused", show_install_ui=True)
    code, watcher = run_bootstrapper(scenario, url)  # the watcher presses OK on the installer's own box
    assert code == 0
    assert pipeline_boxes(watcher) == [], "msiexec has shown the failure itself"
    assert any("cannot be installed here" in d["text"] for d in watcher.dialogs()), watcher.dialogs()
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_a_loader_found_through_a_registry_value_gets_its_manifest_updated(scenario, site):
    url = site(scenario, current="talvoro-addin-regpath")
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []
    assert manifest_msi(addin_folder(scenario, "Talvoro Sample Add-in (registry)")) == expected_manifest(url)
    assert not addin_folder(scenario).exists()


def test_a_per_user_product_without_a_per_user_uninstall_key_records_no_location(scenario, site):
    url = site(scenario)
    code, watcher = run_bootstrapper(scenario, url, {"privileges": "user"})
    assert code == 0 and watcher.dialogs() == []
    assert manifest_msi(addin_folder(scenario)) == expected_manifest(url)
    user_key = UNINSTALL.replace("HKLM", "HKCU", 1) + PRODUCT_CODE
    assert reg_value(scenario, user_key, "InstallLocation") is None, "the missing key is not created"
    assert uninstall_value(scenario, PRODUCT_CODE, "InstallLocation") == "", "the machine's key is not touched"
