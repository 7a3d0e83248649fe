"""The harness itself, on wintool's stand-in windows and boxes."""

import pytest

from harness import poll

STAND_IN = "E2ESTANDIN"


def test_exit_code_of_a_windows_program_reaches_the_test(scenario):
    assert scenario.run("wintool.exe", "exit", "3") == (3, "")


def test_watcher_reads_a_box_and_presses_the_button_its_rule_names(scenario):
    watcher = scenario.watch(answers={"Proceed": "no"})
    box_process = scenario.start("wintool.exe", "msgbox", "Caption \u00ae", "Proceed with \u00fcber?", "0x14", "hidden")
    box = watcher.wait_dialog(text="Proceed with \u00fcber?")
    assert box["caption"] == "Caption \u00ae"
    assert box["buttons"] == [6, 7] and box["icon"] is True
    assert box["owner"] != 0 and box["owner_visible"] is False
    assert box["answer"] == 7
    assert box_process.wait() == 7


def test_a_box_in_the_log_has_had_its_click_even_when_the_watcher_stops_at_once(scenario):
    for round in range(3):
        watcher = scenario.watch()
        box_process = scenario.start("wintool.exe", "msgbox", "Quick", f"Round {round}")
        box = watcher.wait_dialog(text=f"Round {round}")
        watcher.process.stop()
        assert (box["answer"], box["posted"]) == (1, True)
        assert box_process.wait() == 1


def test_watcher_presses_ok_by_default_and_sees_no_owner(scenario):
    watcher = scenario.watch()
    box_process = scenario.start("wintool.exe", "msgbox", "Plain", "Just OK")
    box = watcher.wait_dialog(caption="Plain")
    assert (box["owner"], box["icon"], box["answer"]) == (0, False, 1)
    assert box_process.wait() == 1


def test_windows_version_of_the_prefix_reaches_GetVersionExW(scenario):
    scenario.set_windows_version("nt40")
    assert scenario.windows_version()["major"] == 4


def test_window_state_screenshots_and_closing(scenario):
    watcher = scenario.watch(track=[STAND_IN])
    window_process = scenario.start("wintool.exe", "window", STAND_IN, "Stand-in \u00ae")
    state = watcher.wait_window(STAND_IN, lambda s: s is not None and s["visible"])
    assert state["caption"] == "Stand-in \u00ae"
    bar = next(c for c in state["children"] if c["id"] == 130)
    assert bar["class"].endswith("msctls_progress32")
    first = scenario.grab(bar["rect"])
    poll(lambda: scenario.grab(bar["rect"]) != first, 10, "the marquee to move")
    assert scenario.screenshot("stand-in").stat().st_size > 0
    assert scenario.close_window(STAND_IN)
    assert window_process.wait() == 0
    watcher.wait_window(STAND_IN, lambda s: s is None)


def test_a_program_past_its_deadline_leaves_its_windows_and_thread_backtraces(scenario):
    box_process = scenario.start("wintool.exe", "msgbox", "Stuck", "Nobody answers")
    poll(lambda: scenario.window("#32770"), 30, "the box")
    with pytest.raises(TimeoutError, match="diagnostics: ") as raised:
        box_process.wait(1)
    assert box_process.diagnostics is not None and str(box_process.diagnostics) in str(raised.value)
    report = box_process.diagnostics.read_text(encoding="utf-8")
    assert '"caption":"Stuck"' in report and "Nobody answers" in report, "the open box is listed"
    assert "MessageBoxW" in report, "the main thread's backtrace shows where it waits"
    assert box_process.running(), "diagnosing does not end the program"
