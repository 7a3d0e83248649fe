"""A release published on an HTTPS site on 127.0.0.1, with the server's
certificate checked by the system: a test certificate authority made for the
module and trusted only inside the scenario's prefix (certtool.exe adds it to
the local machine's Root store there), and certificates the system refuses.

The site is addressed as "localhost": Wine 8's crypt32 matches a host name
against the certificate's DNS names only, never its IP addresses, so an URL
naming 127.0.0.1 would be refused for its name under Wine.

A certificate the system refuses makes WinINet's InternetErrorDlg show the
platform's "Security Warning" (Yes/No), owned by the progress window. Neither
answer makes the request go out: the pipeline reports the failed connection in
its one box and the process ends."""

from __future__ import annotations

import json
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

from harness import REPO, poll, windows_path
from test_install_support import (CAPTION, CURRENT, PRODUCT_CODE, WINDOW_CLASS, addin_folder, installed_version,
                                  manifest_msi, pipeline_boxes, run_bootstrapper, sample_site)

sys.path.insert(0, str(REPO / "tests" / "support" / "certtool"))
import testca  # noqa: E402

SERVER = REPO / "tests" / "support" / "httpserver" / "serve.py"
HOST = "localhost"
CONNECT_FAILURE = "Can't Connect to server. Task name: DownloadVersionInfo."
WARNING_CAPTION = "Security Warning"
YES, NO = 1, 2  # the warning's buttons carry the ids of OK and Cancel
UNKNOWN_ISSUER = "The certificate is issued by an unknown or untrusted publisher."
WRONG_NAME = "The name on the certificate does not match the site."
# A chain that ends at an authority the prefix lacks is reported by Wine 8's
# WinINet as a failed revocation check (12057), which its warning has no text for.
NO_TEXT = ""


@pytest.fixture(scope="module")
def certificates(tmp_path_factory) -> testca.Certificates:
    return testca.make(tmp_path_factory.mktemp("ca"))


class TlsSite:
    """serve.py in its TLS mode over a root folder, with its request log; stopped by its id."""

    def __init__(self, root: Path, cert: Path, key: Path, rules=()):
        self.log = root.parent / "requests.jsonl"
        port_file = root.parent / "port"
        port_file.unlink(missing_ok=True)
        self.process = subprocess.Popen(
            ["/usr/bin/python3", str(SERVER), "--root", str(root), "--port-file", str(port_file),
             "--log", str(self.log), "--tls-cert", str(cert), "--tls-key", str(key),
             *[argument for rule in rules for argument in ("--rule", rule)]],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        poll(lambda: self.process.poll() is not None or (port_file.exists() and port_file.read_text().strip()),
             20, "the server's port")
        if self.process.poll() is not None:
            raise RuntimeError("the TLS site did not start")
        self.url = f"https://{HOST}:{int(port_file.read_text())}/addin/"

    def paths(self) -> list[str]:
        """Every request the server answered, which means it came over TLS."""
        if not self.log.exists():
            return []
        return [json.loads(line)["path"] for line in self.log.read_text().splitlines() if line.strip()]

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()


@pytest.fixture
def tls_site(tmp_path, request):
    """tls_site(scenario, cert, key) -> TlsSite publishing the current sample release."""
    def publish(scenario, cert: Path, key: Path) -> TlsSite:
        root = tmp_path / "www"
        sample_site.write_site(root, scenario.session.bin_dir, CURRENT)
        site = TlsSite(root, cert, key)
        request.addfinalizer(site.stop)
        return site
    return publish


def trust(scenario, authority: Path):
    code, output = scenario.run("certtool.exe", "trust", windows_path(authority))
    assert code == 0, output


def test_a_release_on_an_https_site_whose_authority_the_prefix_trusts_installs(scenario, certificates, tls_site):
    trust(scenario, certificates.ca)
    code, output = scenario.run("certtool.exe", "verify", windows_path(certificates.server_cert), HOST)
    assert code == 0, f"the system accepts the server's certificate: {output}"
    site = tls_site(scenario, certificates.server_cert, certificates.server_key)

    started = time.monotonic()
    code, watcher = run_bootstrapper(scenario, site.url)
    print("HTTPS installation run: %.1f s" % (time.monotonic() - started))
    assert code == 0
    assert watcher.dialogs() == [], "no certificate warning and no failure box"
    assert site.paths() == ["/addin/version_info.xml", f"/addin/1033/2.2.015/{CURRENT}.msi"]
    assert installed_version(scenario, PRODUCT_CODE) == "2.2.15", "the package fetched over TLS installed"
    assert manifest_msi(addin_folder(scenario))["installationUrl"] == site.url


@pytest.mark.parametrize("served, trusted, reason, answer", [
    ("selfsigned", False, UNKNOWN_ISSUER, NO),
    ("server", False, NO_TEXT, NO),
    ("othername", True, WRONG_NAME, NO),
    ("selfsigned", False, UNKNOWN_ISSUER, YES),
], ids=["self-signed", "authority-trusted-elsewhere-only", "name-not-on-the-certificate",
        "continue-anyway-at-the-warning"])
def test_a_certificate_the_system_refuses_ends_the_run_with_one_box_and_installs_nothing(
        scenario, certificates, tls_site, served, trusted, reason, answer):
    if trusted:
        trust(scenario, certificates.ca)
    else:
        code, output = scenario.run("certtool.exe", "trusted", windows_path(certificates.ca))
        assert code == 1, f"the authority is trusted only where a scenario added it: {output}"
    site = tls_site(scenario, getattr(certificates, served + "_cert"), getattr(certificates, served + "_key"))
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={WARNING_CAPTION: answer})
    process = scenario.start_bootstrapper({"installationUrl": site.url})

    warning = watcher.wait_dialog(caption=WARNING_CAPTION, timeout=60)
    assert reason in [child["text"] for child in warning["children"]], warning
    assert warning["owner_class"] == WINDOW_CLASS, "the platform's warning is owned by the progress window"
    box = watcher.wait_dialog(text=CONNECT_FAILURE, timeout=30)
    assert box["caption"] == CAPTION and box["icon"]
    closed = time.monotonic()
    assert process.wait(10) == 0
    print("exit after the failure box: %.2f s" % (time.monotonic() - closed))
    assert pipeline_boxes(watcher) == [CONNECT_FAILURE], "one failure box"
    assert [d["caption"] for d in watcher.dialogs()] == [WARNING_CAPTION, CAPTION]
    assert site.paths() == [], "no request went out over a connection the system refused"
    assert installed_version(scenario, PRODUCT_CODE) is None


def test_a_close_request_while_the_certificate_warning_waits_ends_the_program_within_seconds(
        scenario, certificates, tls_site):
    site = tls_site(scenario, certificates.selfsigned_cert, certificates.selfsigned_key)
    watcher = scenario.watch(track=[WINDOW_CLASS], answers={WARNING_CAPTION: "none"})
    process = scenario.start_bootstrapper({"installationUrl": site.url})
    watcher.wait_dialog(caption=WARNING_CAPTION, timeout=60)
    # The warning disables its owner, so this comes from outside, as WM_CLOSE.
    assert scenario.close_window(WINDOW_CLASS)
    closed = time.monotonic()
    assert process.wait(15) == 0
    print("exit after the close request: %.2f s" % (time.monotonic() - closed))
    assert time.monotonic() - closed < 8, "the HTTP engine waits a few seconds for a blocked thread, no more"
    assert [d["caption"] for d in watcher.dialogs()] == [WARNING_CAPTION], "closing shows no failure box"
    assert site.paths() == []


def test_a_quiet_run_asks_nothing_about_a_refused_certificate_and_ends_with_1603(scenario, certificates, tls_site):
    site = tls_site(scenario, certificates.selfsigned_cert, certificates.selfsigned_key)
    watcher = scenario.watch(track=[WINDOW_CLASS])
    program = scenario.stamp({"installationUrl": site.url})
    log = scenario.run_dir / "quiet.log"
    code, output = scenario.run("wintool.exe", "exitcode", program.windows, "/quiet", "/log=" + windows_path(log),
                                timeout=120)
    watcher.process.stop()
    assert code == 0, output
    assert int(output.split()[-1]) == 1603
    assert watcher.dialogs() == [], "no certificate warning waits for someone who is not there"
    assert f'no box "{CONNECT_FAILURE}"' in log.read_text(encoding="utf-8")
    assert site.paths() == [] and installed_version(scenario, PRODUCT_CODE) is None
