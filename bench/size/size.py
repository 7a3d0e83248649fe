#!/usr/bin/env python3
"""Size of a program as users download it: stripped. Prints
`BENCH <name> <bytes> bytes` and the ratio to the budget; with --fail-over,
exits 1 when the size is over the budget."""

import argparse
import os
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("program")
parser.add_argument("--name", default="bootstrapper_size_bytes")
parser.add_argument("--budget", type=int, default=524288)
parser.add_argument("--strip", default="i686-w64-mingw32-strip")
parser.add_argument("--fail-over", action="store_true")
parser.add_argument("--no-budget", action="store_true", help="print the size only (the 64-bit build has no budget)")
args = parser.parse_args()

# The link strips already; a stripped copy makes sure of it without touching the build.
with tempfile.TemporaryDirectory() as work:
    copy = os.path.join(work, os.path.basename(args.program))
    subprocess.run([args.strip, "-o", copy, args.program], check=True)
    size = os.path.getsize(copy)

print(f"BENCH {args.name} {size} bytes")
if args.no_budget:
    sys.exit(0)
print(f"RATIO {args.name.replace('_bytes', '')}_to_budget {size / args.budget:.3f}")
if size > args.budget:
    print(f"{os.path.basename(args.program)} is {size - args.budget} bytes over the budget of {args.budget}")
    sys.exit(1 if args.fail_over else 0)
