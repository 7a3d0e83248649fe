"""What the shell scenarios share: settings, window class and state queries."""

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


def child(state: dict, control_id: int) -> dict:
    return next(c for c in state["children"] if c["id"] == control_id)


def progress_text_is(text: str):
    return lambda state: state is not None and child(state, PROGRESS_TEXT)["text"] == text
