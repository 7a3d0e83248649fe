"""A program Windows trusts at first sight. The stamped program's version block and
manifest read back with binutils' windres, as any tool outside Windows reads them;
and the publisher's signing step with a throwaway code-signing authority: osslsigncode
signs the package and the stamped program and verifies both against that authority,
publish add names only the unsigned package, stamp refuses a signed program, and the
signed program installs its release over HTTP."""

from __future__ import annotations

import re
import subprocess
from pathlib import Path

import pytest

from harness import ARCH, Program, windows_path
from test_install_support import CURRENT, OLDER, PRODUCT_CODE, WINDOW_CLASS, installed_version, package
from test_pipeline_support import start_server
from test_publish import VERSION, publish

WINDRES = "i686-w64-mingw32-windres" if ARCH == "win32" else "x86_64-w64-mingw32-windres"
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]
UNSIGNED = "is not signed: the Windows Installer will show an unknown publisher"


def run(*command, cwd: Path | None = None) -> str:
    result = subprocess.run([str(c) for c in command], cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=120)
    assert result.returncode == 0, f"{command[0]} failed: {result.stdout}{result.stderr}"
    return result.stdout


@pytest.fixture(scope="module")
def signer(tmp_path_factory) -> Path:
    """A throwaway authority (ca.pem) and a code-signing certificate it issued (signer.pem, signer.key)."""
    folder = tmp_path_factory.mktemp("codesign")
    (folder / "ca.cnf").write_text("[req]\ndistinguished_name=dn\n[dn]\n[ext]\nbasicConstraints=critical,CA:TRUE\n"
                                   "keyUsage=critical,keyCertSign,cRLSign\nsubjectKeyIdentifier=hash\n")
    (folder / "signer.ext").write_text("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\nauthorityKeyIdentifier=keyid\n")
    key = ["-newkey", "rsa:2048", "-nodes", "-sha256"]
    run("openssl", "req", "-x509", *key, "-days", "30", "-keyout", "ca.key", "-out", "ca.pem", "-subj",
        "/O=Bootstrapper tests/CN=Code Signing Test Authority", "-config", "ca.cnf", "-extensions", "ext", cwd=folder)
    run("openssl", "req", "-new", *key, "-keyout", "signer.key", "-out", "signer.csr", "-subj", "/O=Talvoro/CN=Talvoro",
        cwd=folder)
    run("openssl", "x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-days", "30", "-sha256", "-extfile", "signer.ext", "-out", "signer.pem", cwd=folder)
    return folder


def sign(signer: Path, source: Path, target: Path):
    run("osslsigncode", "sign", "-certs", signer / "signer.pem", "-key", signer / "signer.key", "-h", "sha256",
        "-n", "Talvoro Plug-in", "-in", source, "-out", target)


def verified(signer: Path, path: Path) -> bool:
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", str(signer / "ca.pem"), "-in", str(path)],
                            stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    return result.returncode == 0 and "Signature verification: ok" in result.stdout


def resources(path: Path) -> tuple[dict[str, str], str, str]:
    """windres's reading of a program: the version strings, the VERSIONINFO header and the manifest text."""
    text = run(WINDRES, "-i", path, "-O", "rc")
    header = text[text.index("VERSIONINFO"):text.index("BEGIN", text.index("VERSIONINFO"))]
    values = {name: value.encode("latin-1").decode("unicode_escape")
              for name, value in re.findall(r'VALUE "(\w+)", L?"((?:[^"\\]|\\.)*)"', text)}
    block = text[text.index("RT_MANIFEST */"):]
    block = block[:block.index("\nEND")]
    manifest = "".join(re.findall(r'^\s*"(.*)"$', block, re.M)).replace('""', '"').replace("\\n", "\n")
    return values, header, manifest


def test_the_stamped_program_reads_back_with_windres(scenario):
    built = resources(scenario.session.program("bootstrapper.exe"))[0]
    assert built["FileDescription"] == "Web bootstrapper (not stamped)" and built["CompanyName"] == "", built
    program = scenario.stamp({"productName": "Talvoro Plug-in", "version": "2.2.015",
                              "copyright": "\u00a9 2026 Talvoro"}, name="TalvoroSetup.exe")
    values, header, manifest = resources(program.unix)
    assert values == {"CompanyName": "Talvoro", "FileDescription": "Talvoro Plug-in Setup", "FileVersion": "2.2.15.0",
                      "LegalCopyright": "\u00a9 2026 Talvoro", "OriginalFilename": "TalvoroSetup.exe",
                      "ProductName": "Talvoro Plug-in", "ProductVersion": "2.2.015"}, values
    assert "FILEVERSION 2, 2, 15, 0" in header and "PRODUCTVERSION 2, 2, 15, 0" in header, header
    assert re.findall(r'supportedOS Id="(\{[^}]+\})"', manifest) == SUPPORTED_OS
    assert "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>" in manifest
    assert ">PerMonitorV2, PerMonitor</dpiAwareness>" in manifest
    assert 'level="asInvoker"' in manifest and "Microsoft.Windows.Common-Controls" in manifest


def test_signed_package_and_program_verify_and_the_signed_program_installs(scenario, signer, tmp_path, request):
    # Signed before publish add, so the site's digest is the signed file's.
    signed_package = tmp_path / f"{CURRENT}.msi"
    sign(signer, package(scenario, CURRENT).path, signed_package)
    assert verified(signer, signed_package)
    site = tmp_path / "www" / "addin"
    code, lines = publish(scenario, "add", "--site", site, "--package", signed_package, "--show-install-ui", "false",
                          "--version-text", VERSION)
    assert code == 0 and not any(UNSIGNED in line for line in lines), lines
    code, lines = publish(scenario, "add", "--site", site, "--package", package(scenario, OLDER).path,
                          "--show-install-ui", "false")
    assert code == 0, lines
    assert [line for line in lines if UNSIGNED in line] == [
        f"publish: warning: package '{windows_path(package(scenario, OLDER).path)}' {UNSIGNED}"], lines
    assert (site / "1033" / "2.1.0").is_dir(), "an unsigned release is still published"

    url = start_server(request, tmp_path / "www").url + "/addin/"
    settings = scenario.run_dir / "publish-settings.txt"
    code, lines = publish(scenario, "settings", "--site", site, "--version-text", VERSION, "--installation-url", url,
                          "--host", "PowerPoint", "--out", settings)
    assert code == 0, lines
    folder = scenario.prefix / "drive_c" / "e2e"
    (folder / "unsigned").mkdir(parents=True, exist_ok=True)
    unsigned = Program(r"C:\e2e\unsigned\TalvoroSetup.exe", folder / "unsigned" / "TalvoroSetup.exe")
    code, output = scenario.run("stamp.exe", windows_path(scenario.session.program("bootstrapper.exe")),
                                windows_path(settings), unsigned.windows)
    assert code == 0, output
    program = Program(r"C:\e2e\TalvoroSetup.exe", folder / "TalvoroSetup.exe")
    sign(signer, unsigned.unix, program.unix)
    assert verified(signer, program.unix)
    assert not verified(signer, unsigned.unix)

    # Stamping the signed program would break its signature: refused, nothing written.
    code, output = scenario.run("stamp.exe", program.windows, windows_path(settings), r"C:\e2e\restamped.exe")
    assert code == 1 and output.splitlines() == [
        f"stamp: the program '{program.windows}' is already signed: stamp the unsigned program, then sign"], output
    assert not (folder / "restamped.exe").exists()
    assert verified(signer, program.unix), "the signed program is left as it was"

    watcher = scenario.watch(track=[WINDOW_CLASS])
    assert scenario.start(program).wait(180) == 0
    assert watcher.dialogs() == [], "a successful run shows no box"
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15"
    values = resources(program.unix)[0]
    assert values["LegalCopyright"].startswith("\u00a9 2") and values["LegalCopyright"].endswith(" Talvoro")
    assert values["OriginalFilename"] == "TalvoroSetup.exe"
