#!/usr/bin/python3
"""A throw-away certificate authority for the HTTPS tests, made with openssl.

  make(folder) -> Certificates    writes into folder:
      ca.pem                      the authority (CA:TRUE), to be trusted in a test prefix
      server.pem, server.key      a server certificate for 127.0.0.1 and localhost
                                  (subjectAltName IP:127.0.0.1, DNS:localhost), signed
                                  by the authority
      selfsigned.pem, .key        a self-signed certificate for the same names, which
                                  nothing trusts
      othername.pem, .key         a certificate for another name only (other.invalid),
                                  signed by the authority

Command line: testca.py FOLDER  (prints the folder's files)
"""

from __future__ import annotations

import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

SUBJECT_NAMES = "IP:127.0.0.1,DNS:localhost"
DAYS = "30"


@dataclass
class Certificates:
    ca: Path
    server_cert: Path
    server_key: Path
    selfsigned_cert: Path
    selfsigned_key: Path
    othername_cert: Path
    othername_key: Path


def _openssl(*args, cwd: Path):
    result = subprocess.run(["openssl", *args], cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"openssl {args[0]} failed: {result.stderr.strip()}")


CA_EXTENSIONS = ("basicConstraints=critical,CA:TRUE\n"
                 "keyUsage=critical,keyCertSign,cRLSign\n"
                 "subjectKeyIdentifier=hash\n")
OTHER_NAME = "other.invalid"


def server_extensions(names: str) -> str:
    return ("basicConstraints=critical,CA:FALSE\n"
            "keyUsage=critical,digitalSignature,keyEncipherment\n"
            "extendedKeyUsage=serverAuth\n"
            f"subjectAltName={names}\n")


def make(folder: Path) -> Certificates:
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    # openssl req takes extensions from a configuration file; x509 -req from a plain list.
    (folder / "ca.cnf").write_text("[req]\ndistinguished_name=dn\n[dn]\n[ext]\n" + CA_EXTENSIONS)
    (folder / "selfsigned.cnf").write_text("[req]\ndistinguished_name=dn\n[dn]\n[ext]\n"
                                           + server_extensions(SUBJECT_NAMES))
    (folder / "server.ext").write_text(server_extensions(SUBJECT_NAMES) + "authorityKeyIdentifier=keyid\n")
    (folder / "othername.ext").write_text(server_extensions("DNS:" + OTHER_NAME) + "authorityKeyIdentifier=keyid\n")
    key = ["-newkey", "rsa:2048", "-nodes", "-sha256"]
    subject = "/O=Bootstrapper tests/CN="
    _openssl("req", "-x509", *key, "-days", DAYS, "-keyout", "ca.key", "-out", "ca.pem",
             "-subj", subject + "Bootstrapper Test Authority", "-config", "ca.cnf", "-extensions", "ext", cwd=folder)
    for name, common_name in (("server", "127.0.0.1"), ("othername", OTHER_NAME)):
        _openssl("req", "-new", *key, "-keyout", f"{name}.key", "-out", f"{name}.csr",
                 "-subj", subject + common_name, cwd=folder)
        _openssl("x509", "-req", "-in", f"{name}.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                 "-days", DAYS, "-sha256", "-extfile", f"{name}.ext", "-out", f"{name}.pem", cwd=folder)
    _openssl("req", "-x509", *key, "-days", DAYS, "-keyout", "selfsigned.key", "-out", "selfsigned.pem",
             "-subj", subject + "127.0.0.1", "-config", "selfsigned.cnf", "-extensions", "ext", cwd=folder)
    return Certificates(folder / "ca.pem", folder / "server.pem", folder / "server.key",
                        folder / "selfsigned.pem", folder / "selfsigned.key",
                        folder / "othername.pem", folder / "othername.key")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    made = make(Path(sys.argv[1]))
    for path in vars(made).values():
        print(path)
