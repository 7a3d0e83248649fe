#!/usr/bin/env python3
"""Lists the DLLs a Windows program imports, and fails on a static import
that is not allowed (the program may import only KnownDLLs; everything else
must be delay-loaded).

Static imports come from `objdump -p`. GNU ld leaves the delay import entry of
the PE header empty, so delay-loaded DLLs are found from their descriptors in
the image (attributes 1, RVAs inside the image, a ".dll" name).

usage: check_imports.py [--objdump x86_64-w64-mingw32-objdump] [--allow a,b,...] program.exe
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
    data = Path(program).read_bytes()[:4096]
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    (machine,) = struct.unpack_from("<H", data, pe + 4)
    return "x86_64-w64-mingw32-objdump" if machine == 0x8664 else "i686-w64-mingw32-objdump"


def static_imports(program, objdump=None):
    objdump = objdump or objdump_for(program)
    output = subprocess.run([objdump, "-p", str(program)], check=True, capture_output=True, text=True).stdout
    return sorted({m.group(1).lower() for m in re.finditer(r"^\s*DLL Name: (\S+)\s*$", output, re.M)})


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
    parser.add_argument("program")
    args = parser.parse_args()

    allowed = {base_name(a) for a in args.allow.split(",") if a} | {base_name(k) for k in KNOWN_DLLS}
    imported = static_imports(args.program, args.objdump)
    delayed = delay_imports(args.program)
    print(f"{Path(args.program).name} imports: {', '.join(imported)}")
    print(f"{Path(args.program).name} delay-loads: {', '.join(delayed) or '(none)'}")
    refused = [dll for dll in imported if base_name(dll) not in allowed]
    if refused:
        print(f"FAIL: imported statically but not a KnownDLL: {', '.join(refused)}; "
              f"delay-load them (bootstrap_delay_load in src/app/CMakeLists.txt)")
        return 1
    print("OK: every static import is a KnownDLL")
    return 0


if __name__ == "__main__":
    sys.exit(main())
