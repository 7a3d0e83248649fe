#!/usr/bin/env python3
"""Lists the DLLs a Windows program imports, and fails on a static import
that is not allowed (the program may import only KnownDLLs; everything else
must be delay-loaded). With --functions, every function imported statically
from kernel32, user32 and advapi32 must be on that list, whose entries are
judged against the oldest Windows the program runs on: the loader refuses a
program outright when one such import is missing, so a newer function must be
looked up at run time instead.

Static imports come from `objdump -p`. GNU ld leaves the delay import entry of
the PE header empty, so delay-loaded DLLs are found from their descriptors in
the image (attributes 1, RVAs inside the image, a ".dll" name).

usage: check_imports.py [--objdump x86_64-w64-mingw32-objdump] [--allow a,b,...]
                        [--functions static_imports.txt] program.exe
"""

import argparse
import re
import struct
import subprocess
import sys
from pathlib import Path


# Windows' KnownDLLs on both Windows 7 and 10 (HKLM\SYSTEM\CurrentControlSet\
# Control\Session Manager\KnownDLLs, 32-bit), plus ntdll: the loader takes them
# from the system folder whatever the search order says, so a program may import
# them statically. msvcrt is the C runtime that MinGW's startup code needs.
KNOWN_DLLS = frozenset(f"{name}.dll" for name in """
    advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt
    normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi
    user32 wldap32 ws2_32""".split())


def objdump_for(program) -> str:
    """The MinGW objdump that reads the program's machine (i386 or x86-64)."""
    return "x86_64-w64-mingw32-objdump" if is_64_bit(program) else "i686-w64-mingw32-objdump"


# The DLLs whose functions the allow-list judges one by one.
JUDGED_DLLS = ("kernel32", "user32", "advapi32")


def objdump_text(program, objdump=None) -> str:
    objdump = objdump or objdump_for(program)
    return subprocess.run([objdump, "-p", str(program)], check=True, capture_output=True, text=True).stdout


def static_imports(program, objdump=None):
    return sorted(imported_functions(objdump_text(program, objdump)))


def imported_functions(objdump_output: str) -> dict[str, set[str]]:
    """{dll: {function, ...}} from objdump -p's import tables; an import by
    ordinal shows as "#<ordinal>"."""
    functions: dict[str, set[str]] = {}
    current = None
    for line in objdump_output.splitlines():
        dll = re.match(r"^\s*DLL Name: (\S+)\s*$", line)
        if dll:
            current = functions.setdefault(dll.group(1).lower(), set())
            continue
        if current is None:
            continue
        if not line.strip():
            current = None
            continue
        entry = re.match(r"^\s*[0-9a-fA-F]+\s+(\d+)\s+(\S+)", line)
        ordinal = re.match(r"^\s*[0-9a-fA-F]+\s+<none>\s+([0-9a-fA-F]+)", line)
        if entry:
            current.add(entry.group(2))
        elif ordinal:
            current.add(f"#{int(ordinal.group(1), 16)}")
    return functions


def is_64_bit(program) -> bool:
    data = Path(program).read_bytes()[:4096]
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    (machine,) = struct.unpack_from("<H", data, pe + 4)
    return machine == 0x8664


def read_allow_list(path, x64: bool) -> dict[str, set[str]]:
    """{dll base name: {function, ...}} from lines "<dll> <function> [x64]"; an
    entry marked x64 holds for the 64-bit build only; "#" starts a comment."""
    allowed: dict[str, set[str]] = {}
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        words = line.split("#", 1)[0].split()
        if not words:
            continue
        if len(words) not in (2, 3) or base_name(words[0]) not in JUDGED_DLLS or words[2:] not in ([], ["x64"]):
            raise ValueError(f"{path}:{number}: expected '<kernel32|user32|advapi32> <function> [x64]'")
        if words[2:] and not x64:
            continue
        allowed.setdefault(base_name(words[0]), set()).add(words[1])
    return allowed


def unlisted_functions(functions: dict[str, set[str]], allowed: dict[str, set[str]]) -> list[str]:
    """"dll!function" for every judged import that the allow-list does not hold."""
    return sorted(f"{base_name(dll)}!{name}" for dll, names in functions.items() if base_name(dll) in JUDGED_DLLS
                  for name in names if name not in allowed.get(base_name(dll), set()))


class Image:
    def __init__(self, data: bytes):
        self.data = data
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic, = struct.unpack_from("<H", data, optional)
        self.size_of_image, = struct.unpack_from("<I", data, optional + 56)
        directories = optional + (96 if magic == 0x10B else 112)
        self.delay_directory = struct.unpack_from("<II", data, directories + 13 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw, raw_size))

    def offset(self, rva):
        for va, size, raw, raw_size in self.sections:
            if va <= rva < va + size and rva - va < raw_size:
                return raw + rva - va
        return None

    def ascii_at(self, rva, limit=64):
        start = self.offset(rva)
        if start is None:
            return None
        end = self.data.find(b"\0", start, start + limit)
        if end < 0:
            return None
        text = self.data[start:end]
        return text.decode("ascii") if re.fullmatch(rb"[A-Za-z0-9_.\-]+", text) else None

    def descriptor_name(self, position):
        attrs, name, handle, iat, int_, bound, unload, stamp = struct.unpack_from("<8I", self.data, position)
        if attrs != 1 or bound or unload or stamp:
            return None
        if not all(0 < rva < self.size_of_image for rva in (name, handle, iat, int_)):
            return None
        dll = self.ascii_at(name)
        return dll if dll and dll.lower().endswith(".dll") else None

    def delay_imports(self):
        names = set()
        rva, size = self.delay_directory
        if rva:
            position = self.offset(rva)
            while position is not None and any(self.data[position:position + 32]):
                name = self.descriptor_name(position)
                if name:
                    names.add(name.lower())
                position += 32
            return sorted(names)
        for va, _, raw, raw_size in self.sections:
            for position in range(raw, raw + raw_size - 31, 4):
                name = self.descriptor_name(position)
                if name:
                    names.add(name.lower())
        return sorted(names)


def delay_imports(program):
    return Image(Path(program).read_bytes()).delay_imports()


def base_name(dll):
    return dll.lower()[:-4] if dll.lower().endswith(".dll") else dll.lower()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", default=None, help="default: the one for the program's machine")
    parser.add_argument("--allow", default="", help="more DLL names to allow, comma-separated")
    parser.add_argument("--functions", default=None,
                        help="the kernel32, user32 and advapi32 functions the program may import statically")
    parser.add_argument("program")
    args = parser.parse_args()

    allowed = {base_name(a) for a in args.allow.split(",") if a} | {base_name(k) for k in KNOWN_DLLS}
    functions = imported_functions(objdump_text(args.program, args.objdump))
    imported = sorted(functions)
    delayed = delay_imports(args.program)
    print(f"{Path(args.program).name} imports: {', '.join(imported)}")
    print(f"{Path(args.program).name} delay-loads: {', '.join(delayed) or '(none)'}")
    refused = [dll for dll in imported if base_name(dll) not in allowed]
    if refused:
        print(f"FAIL: imported statically but not a KnownDLL: {', '.join(refused)}; "
              f"delay-load them (bootstrap_delay_load in src/app/CMakeLists.txt)")
        return 1
    print("OK: every static import is a KnownDLL")
    if args.functions:
        unlisted = unlisted_functions(functions, read_allow_list(args.functions, is_64_bit(args.program)))
        if unlisted:
            print(f"FAIL: imported statically but not in {Path(args.functions).name}: {', '.join(unlisted)}; "
                  f"look a function newer than the oldest supported Windows up at run time (GetProcAddress), "
                  f"or add an older one to the list with its documented minimum version")
            return 1
        print(f"OK: every kernel32, user32 and advapi32 import is in {Path(args.functions).name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
