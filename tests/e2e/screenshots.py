#!/usr/bin/env python3
"""Takes the pictures the publishers' guide shows, with the real program under
Wine on the session's Xvfb display: the progress window while a release file
arrives, and the box a run ends with when version_info.xml names another company.

    BOOTSTRAP_ARCH=win64 python3 tests/e2e/screenshots.py docs/images

Writes progress-window.png and failure-box.png into the folder given, taken at
96 DPI, and the same two at 192 DPI (Wine's LogPixels) with "-192" in their names.
"""
from __future__ import annotations

import subprocess
import sys
from pathlib import Path

import harness
from test_pipeline_support import CAPTION, WINDOW_CLASS, ReleaseServer, content, publish, version_info

RELEASE = "/1033/2.2.015/"


def crop(scenario, state: dict, path: Path):
    """The window as it is on the screen. Without its symbol font Wine draws the
    caption buttons as letters, so the picture shows the caption bar without them."""
    left, top, right, bottom = state["rect"]
    width, height = right - left, bottom - top
    border, caption_end = state["client"][0] - left, state["client"][1] - top
    pixels = scenario.grab(state["rect"])

    def at(x, y):
        return pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]

    bar = at(width - border - 2, border)  # the bar's own colour, above the buttons
    row, x = (border + caption_end) // 2, width - border - 1
    while x > width // 2 and not all(at(x - i, row) == bar for i in range(12)):
        x -= 1
    subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "rgb:-",
                    "-fill", "#" + bar.hex(), "-draw", f"rectangle {x},{border} {width - border - 1},{caption_end - 1}",
                    str(path)], input=pixels, check=True, timeout=60)


def set_dpi(scenario, dpi: int):
    """The screen's DPI as Wine reads it when a program starts."""
    scenario.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", dpi, "REG_DWORD")
    scenario.reg_add(r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts", "LogPixels",
                     dpi, "REG_DWORD")


def shoot(scenario, root: Path, rules, company: str, out: Path, name: str):
    """Runs the program over the site and crops the window or box that shows."""
    publish(root, {"Setup.msi": content(4096, 1)}, version_info(["Setup.msi"], msi="Setup.msi", company=company))
    server = ReleaseServer(root, rules)
    try:
        # The box stays until it is in the picture.
        watcher = scenario.watch(track=[WINDOW_CLASS], answers={CAPTION: "none"})
        app = scenario.start_bootstrapper({"installationUrl": server.url + "/"})
        if company == "Talvoro":
            def arriving(state):
                text = next((c["text"] for c in (state or {}).get("children", []) if c["id"] == 131), "")
                return state is not None and state["visible"] and text.endswith("MB")
            state = watcher.wait_window(WINDOW_CLASS, arriving, timeout=60)
            crop(scenario, state, out / name)
            scenario.close_window(WINDOW_CLASS)
        else:
            box = watcher.wait_dialog(caption=CAPTION, timeout=60)
            crop(scenario, box, out / name)
            scenario.press(box["text"], "ok")
        app.wait(60)
    finally:
        server.stop()


def main() -> int:
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "docs/images").resolve()
    out.mkdir(parents=True, exist_ok=True)
    session = harness.WineSession()
    session.start()
    try:
        pictures = [(dpi, name + ("" if dpi == 96 else f"-{dpi}") + ".png", company, rules)
                    for dpi in (96, 192)
                    for name, company, rules in (
                        ("progress-window", "Talvoro", [f"{RELEASE}Setup.msi=slow?interval=20&chunk=262144"]),
                        ("failure-box", "Korvant", []))]
        for dpi, name, company, rules in pictures:
            scenario = harness.Scenario(session, Path(name).stem)
            try:
                set_dpi(scenario, dpi)
                shoot(scenario, scenario.run_dir / "www", rules, company, out, name)
            finally:
                scenario.stop()
                scenario.remove()
            print(out / name)
    finally:
        session.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
