"""The outcome a user sees agrees with what was done: a run that installed the
package and updated a loader manifest shows no box, although another loader
component's manifest could not be updated; a run after which no loader is
installed at all says so in one box; and a release whose package is not among
its files fails before anything is fetched."""

import subprocess

from harness import REPO, poll, windows_path
from test_clrhost_support import (PRODUCT_CODE as MODULE_PRODUCT_CODE, Standin, failure_text, installed,
                                  publish_release, run_release)
from test_install_support import (CAPTION, HOST_CLASS, LOADER_COMPONENT, OLDER, PRODUCT_CODE, addin_folder,
                                  host_starts, install_package, installed_version, manifest_msi, pipeline_boxes,
                                  place_fake_host, run_bootstrapper, site, wait_gone, WINDOW_CLASS)
from test_pipeline_support import failure_box, publish, release_root, start_server, version_info

__all__ = ["site", "release_root"]  # the fixtures, used by name

# A loader of another product, left behind in its own folder without a manifest.
STRAY_LOADER = "{3C5E7A91-2B4D-4F60-8A1C-9E0D2F4B6A83}"
STRAY_FOLDER = "Talvoro Stray Loader"
STRAY_WXS = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{{D4E6F8A0-1B3C-4D5E-8F70-A1B2C3D4E5F6}}" Name="Talvoro Stray Loader" Language="1033"
           Version="1.0.0" Manufacturer="Talvoro" UpgradeCode="{{E5F7A9B1-2C4D-4E6F-9081-B2C3D4E5F607}}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perUser" />
    <Media Id="1" Cabinet="stray.cab" EmbedCab="yes" />
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="LocalAppDataFolder">
        <Directory Id="INSTALLFOLDER" Name="{STRAY_FOLDER}">
          <Component Id="Loader" Guid="{STRAY_LOADER}">
            <File Id="LoaderDll" Name="kvlloader.dll" Source="kvlloader.dll" KeyPath="yes" />
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Loader" /></Feature>
  </Product>
</Wix>
"""


def install_stray_loader(scenario, tmp_path):
    """Builds and installs the stray loader's package; its component is installed locally."""
    stage = tmp_path / "stray"
    stage.mkdir()
    (stage / "stray.wxs").write_text(STRAY_WXS, encoding="utf-8")
    (stage / "kvlloader.dll").write_bytes((REPO / "tests" / "support" / "packages" / "kvlloader.dll").read_bytes())
    subprocess.run(["wixl", "-o", "stray.msi", "stray.wxs"], cwd=stage, check=True, capture_output=True, timeout=120)
    code, output = scenario.run("msiexec", "/i", windows_path(stage / "stray.msi"), "/quiet", timeout=120)
    assert code == 0, output
    assert (addin_folder(scenario, STRAY_FOLDER) / "kvlloader.dll").exists()


def test_msiexec_run_with_one_updated_manifest_ends_without_a_box(scenario, site, tmp_path):
    install_stray_loader(scenario, tmp_path)
    url = site(scenario)
    code, watcher = run_bootstrapper(scenario, url, {"loaderComponentCodes": f"{STRAY_LOADER};{LOADER_COMPONENT}"})
    watcher.process.stop()
    assert code == 0
    assert pipeline_boxes(watcher) == [], "the stray loader's missing manifest is no failure of this run"
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert manifest_msi(addin_folder(scenario))["productCode"] == PRODUCT_CODE
    assert not (addin_folder(scenario, STRAY_FOLDER) / "kvlloader.dll.manifest").exists()


def test_module_run_whose_manifest_update_fails_ends_without_a_box(scenario, tmp_path):
    standin = Standin(scenario)
    install_stray_loader(scenario, tmp_path)
    release = publish_release(scenario.session, tmp_path / "rel")
    watcher = run_release(scenario, release, settings={"loaderComponentCodes": STRAY_LOADER})
    assert failure_text(watcher) == [], "the module drove a good installation"
    assert installed(scenario, MODULE_PRODUCT_CODE)
    assert standin.invokes(method="DoAfterInstall")[0]["args"][0]["value"] == "", "no manifest folder to name"


NO_LOADER = "The product was installed, but its add-in loader was not found, so the add-in will not start."


def test_an_installation_without_its_loader_says_so_in_one_box_and_restarts_the_host(scenario, site):
    install_package(scenario, OLDER)
    url = site(scenario, older=[OLDER])
    host = place_fake_host(scenario)
    host_process = scenario.start(host)
    poll(lambda: scenario.window(HOST_CLASS), 30, "the host's window")
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={"Microsoft PowerPoint": "yes"})
    log_path = scenario.run_dir / "noloader.log"
    app = scenario.start_bootstrapper({"installationUrl": url, "loaderComponentCodes": STRAY_LOADER},
                                      args=["/log=" + windows_path(log_path)])
    watcher.wait_dialog(contains="Microsoft PowerPoint", timeout=60)
    assert scenario.close_window(HOST_CLASS)
    assert host_process.wait(30) == 0
    try:
        assert app.wait(180) == 0
    finally:
        watcher.process.stop()
    [box] = [d for d in watcher.dialogs() if "Microsoft PowerPoint" not in d["text"]]
    assert (box["caption"], box["text"], box["buttons"]) == (CAPTION, NO_LOADER, [1])
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    assert len(host_starts(host)) == 2, "the host the user closed is started again"
    assert scenario.close_window(HOST_CLASS)
    wait_gone(scenario, HOST_CLASS)
    lines = log_path.read_text(encoding="utf-8").splitlines()
    assert lines[-2].endswith(f'  outcome: installed without its add-in loader, box "{NO_LOADER}"'), lines[-2]


def test_a_module_installation_without_its_loader_says_so_in_one_box(scenario, tmp_path):
    Standin(scenario)
    release = publish_release(scenario.session, tmp_path / "rel")
    watcher = run_release(scenario, release, settings={"loaderComponentCodes": STRAY_LOADER})
    assert [d["text"] for d in watcher.dialogs()] == [NO_LOADER]
    assert installed(scenario, MODULE_PRODUCT_CODE)


def test_a_package_that_is_not_among_the_files_fails_parse_xml_before_any_fetch(scenario, release_root, request):
    publish(release_root / "rel", {"b.msi": b"x"}, version_info(["b.msi"], msi="a"))
    server = start_server(request, release_root)
    failure_box(scenario, {"installationUrl": server.url + "/rel/"},
                "XML error: The package 'a.msi' is not among the release's files. Task name: ParseXML.")
    assert server.paths() == ["/rel/version_info.xml"]
