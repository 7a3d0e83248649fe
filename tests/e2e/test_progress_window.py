"""The progress window: caption, marquee, hidden mode, About box, closing."""

from harness import poll
from shell_helpers import (CLASS, PBS_MARQUEE, PRODUCT, PROGRESS_BAR, TITLE, child, progress_text_is, settings,
                           visible)

WM_BYTES_RECEIVED = 7024


def test_window_shows_the_title_and_a_running_marquee(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source))
    state = watcher.wait_window(CLASS, visible)
    assert state["caption"] == TITLE
    assert state["owner"] == 0
    bar = child(state, PROGRESS_BAR)
    assert bar["class"].endswith("msctls_progress32") and bar["style"] & PBS_MARQUEE
    first = scenario.grab(bar["rect"])
    poll(lambda: scenario.grab(bar["rect"]) != first, 20, "the marquee to move")
    scenario.screenshot("progress-window")
    assert app.running() and watcher.dialogs() == []


def test_show_progress_window_false_keeps_the_window_hidden(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source, showProgressWindow="FALSE"))
    # The worker's first byte count shows the run is under way.
    watcher.wait_window(CLASS, progress_text_is("0.00B"))
    assert app.running()
    assert not any(visible(state) for state in watcher.windows(CLASS))
    # Nothing of it on the screen either (the empty display is black).
    assert set(scenario.grab(watcher.last_window(CLASS)["rect"])) == {0}
    assert scenario.close_window(CLASS)
    assert app.wait(75) == 0
    assert watcher.dialogs() == []


def test_hidden_window_still_reports_a_failure_in_a_box_it_owns(scenario, refusing_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(refusing_source, showProgressWindow="false"))
    box = watcher.wait_dialog(contains="Task name: DownloadVersionInfo.")
    assert box["caption"] == PRODUCT
    assert box["owner_class"] == CLASS and box["owner_visible"] is False
    assert box["buttons"] == [1] and box["icon"]
    assert app.wait(30) == 0
    assert not any(visible(state) for state in watcher.windows(CLASS))


def test_byte_counts_are_shown_with_units(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source))
    watcher.wait_window(CLASS, progress_text_is("0.00B"))
    for count, text in ((999, "999.00B"), (1500, "1.50kB"), (4294967295, "4.29GB")):
        assert scenario.post(CLASS, WM_BYTES_RECEIVED, count)
        watcher.wait_window(CLASS, progress_text_is(text))
    assert app.running()


def test_alt_question_mark_and_alt_slash_open_the_modal_about_box(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS], answers={"About": "none"})
    app = scenario.start_bootstrapper(settings(silent_source))
    window = watcher.wait_window(CLASS, visible)
    for keys in ("alt+?", "alt+/"):
        mark = watcher.mark()
        assert scenario.type_keys(CLASS, keys)
        about = watcher.wait_dialog(caption="About", since=mark)
        assert about["text"] == "" and about["buttons"] == [1]
        assert about["owner"] == window["hwnd"] and about["owner_visible"]
        watcher.wait_window(CLASS, lambda state: not state["enabled"], since=mark)  # modal
        mark = watcher.mark()
        assert scenario.press("About", "ok")
        watcher.wait_window(CLASS, lambda state: state["enabled"], since=mark)
    assert len(watcher.dialogs()) == 2
    assert app.running()


def test_closing_the_window_ends_the_process_with_0(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source))
    watcher.wait_window(CLASS, visible)
    assert scenario.close_window(CLASS)
    assert app.wait(75) == 0
    assert watcher.dialogs() == []
    watcher.wait_window(CLASS, lambda state: state is None)
