#!/usr/bin/env python3
"""Builds a delay-import library from a MinGW import library.

GNU ld has no /DELAYLOAD, and the libraries that `dlltool --output-delaylib`
makes put their tables in .idata$ sections, where ld drops the load thunks that
the address table points at (a call through a dllimport declaration then jumps
to 0). This script writes the tables itself, in ordinary sections that ld sorts
by name, and hands them to the CRT's __delayLoadHelper2:

  .data$dlyiat_<tag>_a/_b/_c     address table: start label, one entry per
                                 function (the load thunk's address, replaced
                                 by the helper), terminator
  .rdata$dlyint_<tag>_a/_b/_c    name table, the same order (each member adds
                                 one entry to both, so index i matches)
  .rdata$dlydesc_<tag>           the delay import descriptor

One archive member per function, so the link takes only what the program
calls. Every table entry is reachable by relocations from the address table
entry that the caller uses, so --gc-sections keeps exactly those.

usage: make_delay_lib.py --dll wininet.dll --import-lib libwininet.a
                         --output out/libwininet.a --tool-prefix i686-w64-mingw32-
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile


def run(command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def read_functions(tools, import_lib):
    """[(C symbol, import name or None, ordinal or None)] of the library's functions."""
    symbols = {}  # member -> {"imp": "__imp__X@8", "thunk": "_X@8"}
    for line in run([tools + "nm", "-A", "--defined-only", import_lib]).splitlines():
        match = re.match(r"^.*?:([^:]+):[0-9a-fA-F]+ (\w) (\S+)$", line)
        if not match:
            continue
        member, kind, name = match.groups()
        if kind == "I" and name.startswith("__imp_"):
            symbols.setdefault(member, {})["imp"] = name
        elif kind == "T":
            symbols.setdefault(member, {})["thunk"] = name

    # The hint/name (.idata$6) or the ordinal (.idata$5) of each member.
    contents = {}
    member = section = None
    for line in run([tools + "objdump", "-s", "-j", ".idata$5", "-j", ".idata$6", import_lib]).splitlines():
        header = re.match(r"^(\S+\.o):\s+file format", line)
        if header:
            member = header.group(1)
            continue
        sect = re.match(r"^Contents of section (\S+):", line)
        if sect:
            section = sect.group(1)
            continue
        data = re.match(r"^ [0-9a-f]{4,} ((?:[0-9a-f]{2,8} ?)+)", line)
        if data and member:
            raw = bytes.fromhex(data.group(1).replace(" ", ""))
            contents.setdefault((member, section), bytearray()).extend(raw)

    functions = []
    for member, syms in symbols.items():
        imp, thunk = syms.get("imp"), syms.get("thunk")
        if not imp or not thunk or imp != "__imp_" + thunk:
            continue  # data exports cannot be delay-loaded
        hint_name = contents.get((member, ".idata$6"))
        if hint_name:
            name = bytes(hint_name[2:]).split(b"\0", 1)[0].decode("ascii")
            functions.append((thunk, name, None))
            continue
        slot = contents.get((member, ".idata$5"))
        # An ordinal import sets the slot's top bit: byte 3 on i686, byte 7 on x86_64.
        if slot and len(slot) in (4, 8) and slot[len(slot) - 1] & 0x80:
            functions.append((thunk, None, int.from_bytes(slot[:2], "little")))
    functions.sort()
    return functions


def q(symbol):
    return '"' + symbol + '"'


# What differs between the two machines: pointer size, the C symbol prefix and
# the code of the two stubs.
I386 = {
    "as": "--32", "ptr": ".long", "align": 2, "c": "_",
    "ordinal": "\t.long 0x80000000 + {ordinal}\n",
    "name_entry": "\t.rva __dly_hint_name\n",
    # eax holds the address table entry; the helper is stdcall and keeps
    # everything but eax, ecx and edx, and the callee's arguments are on the stack.
    "tailmerge": """
	pushl %ecx
	pushl %edx
	pushl %eax              /* the address table entry */
	pushl $___DELAY_IMPORT_DESCRIPTOR_{tag}
	call ___delayLoadHelper2@8
	popl %edx
	popl %ecx
	jmp *%eax
""",
    "thunk": """
	jmp *{imp}
__dly_load:
	movl ${imp}, %eax
	jmp ___dly_tailmerge_{tag}
""",
}

X86_64 = {
    "as": "--64", "ptr": ".quad", "align": 3, "c": "",
    "ordinal": "\t.quad 0x8000000000000000 + {ordinal}\n",
    "name_entry": "\t.rva __dly_hint_name\n\t.long 0\n",
    # rax holds the address table entry. The callee's arguments are in rcx,
    # rdx, r8, r9 and xmm0-3: kept across the helper, which gets 32 bytes of
    # shadow space and a stack aligned to 16 (8 on entry, 4 pushes, 0x68).
    "tailmerge": """
	pushq %rcx
	pushq %rdx
	pushq %r8
	pushq %r9
	subq $0x68, %rsp
	movdqa %xmm0, 0x20(%rsp)
	movdqa %xmm1, 0x30(%rsp)
	movdqa %xmm2, 0x40(%rsp)
	movdqa %xmm3, 0x50(%rsp)
	movq %rax, %rdx         /* the address table entry */
	leaq __DELAY_IMPORT_DESCRIPTOR_{tag}(%rip), %rcx
	call __delayLoadHelper2
	movdqa 0x20(%rsp), %xmm0
	movdqa 0x30(%rsp), %xmm1
	movdqa 0x40(%rsp), %xmm2
	movdqa 0x50(%rsp), %xmm3
	addq $0x68, %rsp
	popq %r9
	popq %r8
	popq %rdx
	popq %rcx
	jmp *%rax
""",
    "thunk": """
	jmp *{imp}(%rip)
__dly_load:
	leaq {imp}(%rip), %rax
	jmp __dly_tailmerge_{tag}
""",
}


def machine_of(tool_prefix):
    return X86_64 if tool_prefix.startswith("x86_64") else I386


def head_source(m, tag, dll):
    c, ptr, align = m["c"], m["ptr"], m["align"]
    return f"""
	.section .rdata$dlyname_{tag},"dr"
__dly_name:
	.asciz "{dll}"
	.section .data$dlyhnd_{tag},"dw"
	.p2align {align}
__dly_handle:
	{ptr} 0
	.section .data$dlyiat_{tag}_a,"dw"
	.p2align {align}
__dly_iat:
	.section .data$dlyiat_{tag}_c,"dw"
	.p2align {align}
__dly_iat_end:
	{ptr} 0
	.section .rdata$dlyint_{tag}_a,"dr"
	.p2align {align}
__dly_int:
	.section .rdata$dlyint_{tag}_c,"dr"
	.p2align {align}
__dly_int_end:
	{ptr} 0
	.section .rdata$dlydesc_{tag},"dr"
	.p2align 2
	.globl {c}__DELAY_IMPORT_DESCRIPTOR_{tag}
{c}__DELAY_IMPORT_DESCRIPTOR_{tag}:
	.long 1                 /* dlattrRva */
	.rva __dly_name
	.rva __dly_handle
	.rva __dly_iat
	.rva __dly_int
	.long 0, 0, 0
	.section .text$dly_{tag},"xr"
	.globl {c}__dly_tailmerge_{tag}
{c}__dly_tailmerge_{tag}:{m["tailmerge"].format(tag=tag)}
	/* never executed: keeps the terminators through --gc-sections */
	{ptr} __dly_iat_end, __dly_int_end
"""


def function_source(m, tag, thunk, name, ordinal):
    imp = "__imp_" + thunk
    ptr, align = m["ptr"], m["align"]
    if name is not None:
        entry = m["name_entry"]
        hint_name = f"""
	.section .rdata$dlyhn_{tag},"dr"
	.p2align 1
__dly_hint_name:
	.short 0
	.asciz "{name}"
"""
    else:
        entry = m["ordinal"].format(ordinal=ordinal)
        hint_name = ""
    return f"""
	.section .text$dly_{tag},"xr"
	.globl {q(thunk)}
{q(thunk)}:{m["thunk"].format(imp=q(imp), tag=tag)}
	/* never executed: keeps the name table entry through --gc-sections */
	{ptr} __dly_int_entry
	.section .data$dlyiat_{tag}_b,"dw"
	.p2align {align}
	.globl {q(imp)}
{q(imp)}:
	{ptr} __dly_load
	.section .rdata$dlyint_{tag}_b,"dr"
	.p2align {align}
__dly_int_entry:
{entry}{hint_name}"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--import-lib", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--tool-prefix", default="i686-w64-mingw32-")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    tools = args.tool_prefix
    tag = re.sub(r"[^0-9A-Za-z]", "_", os.path.splitext(args.dll)[0].lower())
    functions = read_functions(tools, args.import_lib)
    if not functions:
        sys.exit(f"no functions found in {args.import_lib}")

    work = tempfile.mkdtemp(prefix=f"delay-{tag}-", dir=os.path.dirname(os.path.abspath(args.output)))
    try:
        machine = machine_of(tools)
        sources = [(f"{tag}_h", head_source(machine, tag, args.dll))]
        sources += [(f"{tag}_s{i:05d}", function_source(machine, tag, *f)) for i, f in enumerate(functions)]

        def assemble(item):
            stem, text = item
            source, obj = os.path.join(work, stem + ".s"), os.path.join(work, stem + ".o")
            with open(source, "w") as f:
                f.write(text)
            subprocess.run([tools + "as", machine["as"], "-o", obj, source], check=True)
            return obj

        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            objects = list(pool.map(assemble, sources))

        partial = args.output + ".tmp"
        if os.path.exists(partial):
            os.remove(partial)
        for start in range(0, len(objects), 400):
            subprocess.run([tools + "ar", "qcD", partial] + objects[start:start + 400], check=True)
        subprocess.run([tools + "ranlib", "-D", partial], check=True)
        os.replace(partial, args.output)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{args.output}: {len(functions)} functions of {args.dll}, delay-loaded")


if __name__ == "__main__":
    main()
