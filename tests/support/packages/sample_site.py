#!/usr/bin/python3
"""The sample add-in's releases, published on a site on 127.0.0.1.

Used by the end-to-end scenarios, scripts/demo and the benchmark. The packages
are built by CMake (wixl) into <bin>/packages, with packages.json naming each
one's product code and version.

  packages(bin_dir) -> {name: Package}
  write_site(root, bin_dir, current, older=(), ...) -> Path of the add-in folder
  Site(root)        serve.py over root on a free port; .url is the installation
                    URL (http://127.0.0.1:<port>/<folder>/); stop() ends it by its id

Command line (for shell scripts):
  sample_site.py publish --bin BIN --root DIR [--older NAME ...] [--current NAME]
  sample_site.py serve --root DIR --port-file FILE      serves until SIGTERM
"""

from __future__ import annotations

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path
from xml.sax.saxutils import quoteattr

HERE = Path(__file__).resolve().parent
SERVER = HERE.parent / "httpserver" / "serve.py"

# What the shipped settings of the bootstrapper name.
COMPANY = "Talvoro"
LANGUAGE = "1033"
VERSION = "2.2.015"
PRODUCT_CODE = "{58DE7ACE-695E-467E-BBD1-89985E2AB819}"
LOADER_COMPONENT = "{4B6C9D8C-737F-5F9C-E940-16E917592AE1}"
INSTALL_FOLDER = "Talvoro Sample Add-in"            # below the user's local application data
REGISTRY_INSTALL_FOLDER = "Talvoro Sample Add-in (registry)"
REGISTRY_KEY_PATH = r"HKCU\Software\Talvoro\Sample Add-in"


@dataclass
class Package:
    name: str
    product_code: str
    version: str     # the package's own version
    path: Path


def packages(bin_dir: Path) -> dict[str, Package]:
    folder = Path(bin_dir) / "packages"
    listing = folder / "packages.json"
    if not listing.exists():
        raise FileNotFoundError(f"{listing} is missing: build the sample_packages target")
    return {name: Package(name, entry["productCode"], entry["version"], folder / f"{name}.msi")
            for name, entry in json.loads(listing.read_text()).items()}


def version_info(current: Package, older=(), show_install_ui=False, show_uninstall_ui=False,
                 show_warning=True, current_version=VERSION, msi_name=None) -> str:
    """version_info.xml naming the older releases (their product codes only) and the current one."""
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f'<application name={quoteattr(COMPANY)}>',
             f'  <product language="{LANGUAGE}">']
    for package in older:
        lines += [f'    <version name={quoteattr(package.version)} productCode={quoteattr(package.product_code)}>',
                  f'      <preferences><showUninstallUI>{str(show_uninstall_ui).lower()}</showUninstallUI>'
                  f'</preferences>',
                  '    </version>']
    msi = msi_name or current.name
    lines += [f'    <version name={quoteattr(current_version)} productCode={quoteattr(current.product_code)}'
              + ('' if show_warning else ' showRunningApplicationsWarning="false"') + '>',
              f'      <files msi={quoteattr(msi)}><file>{msi}.msi</file></files>',
              f'      <preferences><showInstallUI>{str(show_install_ui).lower()}</showInstallUI>'
              f'<showUninstallUI>{str(show_uninstall_ui).lower()}</showUninstallUI></preferences>',
              '    </version>',
              '  </product>',
              '</application>', '']
    return "\n".join(lines)


def write_site(root: Path, bin_dir: Path, current: str = "talvoro-addin-2.2.15", older=(), folder: str = "addin",
               **options) -> Path:
    """root/<folder>/version_info.xml and root/<folder>/1033/2.2.015/<package>.msi."""
    known = packages(bin_dir)
    package = known[current]
    addin = Path(root) / folder
    release = addin / LANGUAGE / options.get("current_version", VERSION)
    release.mkdir(parents=True, exist_ok=True)
    msi = options.get("msi_name") or package.name
    shutil.copyfile(package.path, release / f"{msi}.msi")
    (addin / "version_info.xml").write_text(
        version_info(package, [known[name] for name in older], **options), encoding="utf-8")
    return addin


class Site:
    """serve.py over root on a free port of 127.0.0.1."""

    def __init__(self, root: Path, log: Path | None = None, folder: str = "addin"):
        root = Path(root)
        port_file = root.parent / f".site-port-{os.getpid()}-{id(self)}"
        port_file.unlink(missing_ok=True)
        command = ["/usr/bin/python3", str(SERVER), "--root", str(root), "--port-file", str(port_file)]
        if log:
            command += ["--log", str(log)]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 20
        while not (port_file.exists() and port_file.read_text().strip()):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("the site's server did not start")
            time.sleep(0.02)
        self.port = int(port_file.read_text().strip())
        port_file.unlink()
        self.url = f"http://127.0.0.1:{self.port}/{folder}/"

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    publish = commands.add_parser("publish")
    publish.add_argument("--bin", required=True, type=Path)
    publish.add_argument("--root", required=True, type=Path)
    publish.add_argument("--current", default="talvoro-addin-2.2.15")
    publish.add_argument("--older", action="append", default=[])
    serve = commands.add_parser("serve")
    serve.add_argument("--root", required=True, type=Path)
    serve.add_argument("--port-file", required=True, type=Path)
    args = parser.parse_args(argv)
    if args.command == "publish":
        print(write_site(args.root, args.bin, args.current, args.older))
        return 0
    os.execv("/usr/bin/python3", ["python3", str(SERVER), "--root", str(args.root), "--port-file", str(args.port_file)])
    return 1


if __name__ == "__main__":
    sys.exit(main())
