#!/usr/bin/python3
"""Puts the stand-in runtime into a Wine prefix, or only the .NET Framework traces.

Edits the prefix's registry files directly, so the prefix's wineserver must not
be running (it would write its own copy back when it ends).

  install(prefix, dll)     the DLL as system32\\mscoree.dll (replacing the file,
                           never writing through a hard link), the override
                           mscoree=native, and the framework traces below
  install_framework(prefix, versions)
                           HKLM\\SOFTWARE\\Microsoft\\.NETFramework "InstallRoot" =
                           C:\\windows\\Microsoft.NET\\Framework\\ and one folder per
                           version; a version ending in "!" gets no mscorlib.dll.
                           In a 64-bit prefix, as on 64-bit Windows: the 64-bit
                           view names ...\\Framework64\\, the 32-bit view
                           (Wow6432Node) ...\\Framework\\, each with the folders

The DLL goes to system32, which holds DLLs of the prefix's own width: the DLL
must be built for that width.

Whatever runs with the prefix must not disable mscoree in WINEDLLOVERRIDES (the
environment wins over the registry); mshtml= alone is fine.

Command line: standin_prefix.py PREFIX [DLL | --framework-only]
"""

import shutil
import sys
import time
from pathlib import Path

FRAMEWORK_KEY = "Software\\Microsoft\\.NETFramework"
FRAMEWORK_KEY_32 = "Software\\Wow6432Node\\Microsoft\\.NETFramework"  # the 32-bit view of a 64-bit prefix
DEFAULT_VERSIONS = ("v2.0.50727", "v3.5!", "v4.0.30319")


def _escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


def set_reg_value(reg_file: Path, key: str, name: str, value: str):
    """Sets a REG_SZ value in a Wine .reg file (key relative to the file's root)."""
    lines = reg_file.read_text(encoding="utf-8").split("\n")
    header = "[" + _escape(key) + "]"
    value_line = f'"{_escape(name)}"="{_escape(value)}"'
    start = next((i for i, line in enumerate(lines)
                  if line.lower().startswith(header.lower() + " ") or line.lower() == header.lower()), None)
    if start is None:
        lines += [f"{header} {int(time.time())}", value_line, ""]
    else:
        end = start + 1
        while end < len(lines) and lines[end].strip() and not lines[end].startswith("["):
            end += 1
        prefix = f'"{_escape(name)}"='.lower()
        existing = next((i for i in range(start + 1, end) if lines[i].lower().startswith(prefix)), None)
        if existing is not None:
            lines[existing] = value_line
        else:
            insert = start + 1
            while insert < end and lines[insert].startswith("#"):
                insert += 1
            lines.insert(insert, value_line)
    reg_file.write_text("\n".join(lines), encoding="utf-8")


def _replace_file(source: Path, target: Path):
    # Unlink first: in a hard-linked prefix clone, writing in place would change the original too.
    if target.exists() or target.is_symlink():
        target.unlink()
    shutil.copyfile(source, target)


def is_64bit_prefix(prefix: Path) -> bool:
    """Whether system.reg says the prefix is a 64-bit one ("#arch=win64")."""
    with open(Path(prefix) / "system.reg", encoding="utf-8") as reg:
        for line in reg:
            if line.startswith("#arch="):
                return line.strip() == "#arch=win64"
            if line.startswith("["):
                break
    return False


def _framework_folders(prefix: Path, name: str, versions):
    root = prefix / "drive_c" / "windows" / "Microsoft.NET" / name
    for version in versions:
        folder = root / version.rstrip("!")
        folder.mkdir(parents=True, exist_ok=True)
        if not version.endswith("!"):
            (folder / "mscorlib.dll").write_bytes(b"stand-in mscorlib\n")
    return f"C:\\windows\\Microsoft.NET\\{name}\\"


def install_framework(prefix: Path, versions=DEFAULT_VERSIONS):
    prefix = Path(prefix)
    system = prefix / "system.reg"
    framework = _framework_folders(prefix, "Framework", versions)
    if is_64bit_prefix(prefix):
        set_reg_value(system, FRAMEWORK_KEY, "InstallRoot", _framework_folders(prefix, "Framework64", versions))
        set_reg_value(system, FRAMEWORK_KEY_32, "InstallRoot", framework)
    else:
        set_reg_value(system, FRAMEWORK_KEY, "InstallRoot", framework)


def install(prefix: Path, dll: Path, versions=DEFAULT_VERSIONS):
    prefix = Path(prefix)
    _replace_file(Path(dll), prefix / "drive_c" / "windows" / "system32" / "mscoree.dll")
    set_reg_value(prefix / "user.reg", "Software\\Wine\\DllOverrides", "mscoree", "native")
    install_framework(prefix, versions)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    if argv[2] == "--framework-only":
        install_framework(Path(argv[1]))
    else:
        install(Path(argv[1]), Path(argv[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
