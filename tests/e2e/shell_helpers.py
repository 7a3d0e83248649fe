"""What the shell scenarios share: settings, window class and state queries."""

from __future__ import annotations

CLASS = "STOBRINDOWNLOADER"
PRODUCT = "Talvoro Plug-in f\u00fcr PowerPoint\u00ae"
TITLE = "Talvoro \u2013 Einrichtung \u00ae"

PBS_MARQUEE = 0x08
PROGRESS_BAR = 130
PROGRESS_TEXT = 131


def settings(source_url: str, **overrides) -> dict:
    """Settings whose download never finishes, so the window stays in its download state."""
    values = {"installationUrl": source_url, "productName": PRODUCT, "windowTitle": TITLE, "windowClassName": CLASS}
    values.update(overrides)
    return values


def visible(state) -> bool:
    return state is not None and state["visible"]


def child(state: dict, control_id: int) -> dict | None:
    """A control of a window state; None while the window has no such control (yet)."""
    return next((c for c in state["children"] if c["id"] == control_id), None)


def progress_text_is(text: str):
    def check(state):
        control = child(state, PROGRESS_TEXT) if state is not None else None
        return control is not None and control["text"] == text
    return check
