"""Registry views: on 64-bit Windows a 32-bit package registers its uninstall key
in the 32-bit view and a 64-bit one in the 64-bit view, whatever the width of the
program that installs it. The program finds the key, and records the install
location, in the view the package chose."""

import pytest

from harness import ARCH, wow64_program
from test_install_support import (CURRENT, PRODUCT_CODE, UNINSTALL, WINDOW_CLASS, manifest_msi, reg_value,
                                  run_bootstrapper, site, unix_path)

__all__ = ["site"]  # the fixture, used by name

X64 = "talvoro-addin-2.2.15-x64"
X64_FOLDER = r"C:\Program Files\Talvoro Sample Add-in"


def location_by_view(scenario) -> dict:
    return {view: reg_value(scenario, UNINSTALL + PRODUCT_CODE, "InstallLocation", view) for view in (64, 32)}


@pytest.mark.skipif(ARCH != "win64", reason="a 64-bit package installs on 64-bit Windows only")
def test_a_64_bit_package_is_found_and_recorded_in_the_64_bit_view(scenario, site):
    url = site(scenario, current=X64)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []
    folder = unix_path(scenario, X64_FOLDER)
    assert manifest_msi(folder)["productCode"] == PRODUCT_CODE, "the loader below the 64-bit program files"
    location = location_by_view(scenario)
    assert location[64].rstrip("\\").lower() == X64_FOLDER.lower(), location
    assert location[32] is None, "nothing written in the 32-bit view"


@pytest.mark.skipif(ARCH != "win64", reason="one registry view in a 32-bit prefix")
def test_a_32_bit_package_is_recorded_in_the_32_bit_view_by_the_64_bit_program(scenario, site):
    url = site(scenario, current=CURRENT)
    code, watcher = run_bootstrapper(scenario, url)
    assert code == 0 and watcher.dialogs() == []
    location = location_by_view(scenario)
    assert location[32].rstrip("\\").lower().endswith("\\appdata\\local\\talvoro sample add-in"), location
    assert location[64] is None, "nothing written in the 64-bit view"


BOOTSTRAPPER32 = wow64_program("bootstrapper.exe")


@pytest.mark.skipif(BOOTSTRAPPER32 is None, reason="needs a 64-bit prefix that can run the 32-bit program")
@pytest.mark.parametrize("package, view", [(X64, 64), (CURRENT, 32)])
def test_the_32_bit_program_on_64_bit_windows_records_the_location_in_the_package_s_view(scenario, site, package,
                                                                                           view):
    url = site(scenario, current=package)
    watcher = scenario.watch(track=[WINDOW_CLASS])
    program = scenario.stamp({"installationUrl": url}, source=BOOTSTRAPPER32)
    assert scenario.start(program).wait(180) == 0
    assert watcher.dialogs() == []
    location = location_by_view(scenario)
    assert location[view], location
    other = 32 if view == 64 else 64
    assert location[other] is None, location
