"""The harness itself, on wintool's stand-in windows and boxes."""

from pathlib import Path

import pytest

from harness import ARCH, poll, windows_path

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


def _heap_start(pid: int) -> int:
    line = next(l for l in Path(f"/proc/{pid}/maps").read_text().splitlines() if l.endswith("[heap]"))
    return int(line.split("-")[0], 16)


def _pids_of(command_part: str) -> list[int]:
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if command_part in command:
            pids.append(int(entry.name))
    return pids


@pytest.mark.skipif(ARCH != "win64", reason="the 32-bit loader starts through Wine's preloader")
def test_programs_and_the_ones_they_start_keep_their_heap_below_wines_shared_data(scenario):
    # Debian's 64-bit Wine has no preloader: a heap placed at random over
    # 0x7ff00000-0x7fff0000 would, now and then, end a program at its start.
    child_class = "E2ECHILDHEAP"
    wintool = windows_path(scenario.session.program("wintool.exe"))
    parent = scenario.start("wintool.exe", "exitcode", wintool, "window", child_class, "Child", "hidden")
    poll(lambda: scenario.window(child_class), 30, "the child's window")
    [child] = [pid for pid in _pids_of(f"window {child_class}") if pid != parent.pid]
    for pid in (parent.pid, child):
        assert _heap_start(pid) < 0x7FF00000
    assert scenario.close_window(child_class)
    assert parent.wait() == 0 and parent.output().strip() == "0"
