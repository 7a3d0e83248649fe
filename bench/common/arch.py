"""The width a benchmark runs at: BENCH_ARCH, win32 (the shipped program) or
win64; scripts/bench picks win32 where this machine runs 32-bit programs."""

import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts" / "lib"))
from fixed_layout import fix_layout  # noqa: E402

ARCH = os.environ.get("BENCH_ARCH", "win32")
if ARCH not in ("win32", "win64"):
    raise SystemExit(f"BENCH_ARCH is win32 or win64, not {ARCH!r}")
# Wine's loaders by path: /usr/bin/wine picks the 32-bit one whenever wine32 is installed.
WINE = "/usr/lib/wine/wine64" if ARCH == "win64" else "/usr/lib/wine/wine"
# The server the loaders start by themselves; it serves both widths.
WINESERVER = "/usr/lib/wine/wineserver"


# Every Wine program a benchmark starts, also when it is run directly.
fix_layout()


def wine_env() -> dict:
    """What every Wine command of the benchmark gets: the loader and server of its width."""
    return {"WINEARCH": ARCH, "WINELOADER": WINE, "WINESERVER": WINESERVER}


def private_display(prefix: Path) -> dict:
    """DISPLAY of the private Xvfb the Wine scripts started for the prefix, when
    it still runs; otherwise nothing, so that the next wine-run starts one (and
    ends the server whose desktop was on the old one)."""
    if "DISPLAY" in os.environ:
        return {}
    try:
        pid, number = Path(str(prefix) + ".xvfb").read_text().split()[:2]
        os.kill(int(pid), 0)
    except (OSError, ValueError):
        return {}
    return {"DISPLAY": ":" + number}


def build_dir(root: Path) -> Path:
    return Path(os.environ.get("BENCH_BUILD", root / "build" / ARCH)).resolve()


def announce(bench: str):
    """The BENCH line that says which program width the figures are for."""
    print(f"BENCH {bench}_architecture {64 if ARCH == 'win64' else 32} bit", flush=True)
