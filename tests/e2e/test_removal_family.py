"""Only releases of the product's own family are removed: a product that
version_info.xml lists but that shares neither the package's UpgradeCode nor
its Manufacturer stays installed and does not count as an earlier release, on
the msiexec path and on the managed module's path alike."""

from harness import windows_path
from test_clrhost_support import CLASS, Standin, installed, publish_release, version_info
from test_install_support import (OLDER, PRODUCT_CODE, WINDOW_CLASS, install_package, installed_version,
                                  local_app_data, package, site)

__all__ = ["site"]  # the fixture, used by name

FOREIGN = "orvanel-notes-1.0.0"
ADDIN_UPGRADE_CODE = "{6E0C2B1A-3D4F-4E5A-9B6C-7D8E9F0A1B2C}"


def skip_line(product_code):
    return (f"removal skipped: {product_code} is not of this product's family (package UpgradeCode "
            f"{ADDIN_UPGRADE_CODE}, Manufacturer 'Talvoro'; product Publisher 'Orvanel')")


def run_logged(scenario, url, log_path, timeout=180):
    """Runs to the end with /log; returns the texts of the boxes shown and the log's lines."""
    watcher = scenario.watch(track=[WINDOW_CLASS])
    process = scenario.start_bootstrapper({"installationUrl": url}, args=["/log=" + windows_path(log_path)])
    try:
        assert process.wait(timeout) == 0
    finally:
        watcher.process.stop()
    return [d["text"] for d in watcher.dialogs()], log_path.read_text(encoding="utf-8").splitlines()


def foreign_files_remain(scenario):
    return (local_app_data(scenario) / "Orvanel Notes" / "notes.txt").is_file()


def test_msiexec_removes_the_earlier_release_and_leaves_another_makers_product(scenario, site):
    foreign = package(scenario, FOREIGN)
    older = package(scenario, OLDER)
    install_package(scenario, FOREIGN)
    install_package(scenario, OLDER)
    url = site(scenario, older=[FOREIGN, OLDER])
    boxes, log = run_logged(scenario, url, scenario.run_dir / "family.log")
    assert boxes == []

    assert installed_version(scenario, older.product_code) is None
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert installed_version(scenario, foreign.product_code) == "1.0.0"
    assert foreign_files_remain(scenario)

    assert any(line.endswith(skip_line(foreign.product_code)) for line in log), log
    removals = [line for line in log if "msiexec starts: " in line and " /x" in line]
    assert len(removals) == 1 and f"/x{older.product_code} " in removals[0], removals


def test_the_managed_path_offers_another_makers_product_to_no_one(scenario, tmp_path):
    standin = Standin(scenario)
    foreign = package(scenario, FOREIGN)
    code, output = scenario.run("msiexec", "/i", windows_path(foreign.path), "/quiet", timeout=120)
    assert code == 0, output
    listed = f'<version name="1.0.0" productCode="{foreign.product_code}"><files msi="Setup"><file>Setup.msi</file>' \
             '</files></version>'
    description = version_info().replace(b'<product language="1033">',
                                         b'<product language="1033">' + listed.encode())
    release = publish_release(scenario.session, tmp_path / "rel", description)
    boxes, log = run_logged(scenario, windows_path(release), scenario.run_dir / "managed.log")
    assert boxes == []

    assert installed(scenario, foreign.product_code) and foreign_files_remain(scenario)
    assert installed(scenario, PRODUCT_CODE)
    assert standin.invokes(CLASS, "DoBeforeUninstall") == [], "the module is never asked to remove it"
    assert not any("MsiOpenProductW" in line for line in log), log
    assert any(line.endswith(skip_line(foreign.product_code)) for line in log), log
    # It is no earlier release: nobody would have been asked to close the hosts for it.
    assert any(line.endswith("earlier release installed no") for line in log), log
