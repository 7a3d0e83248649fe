"""Start-up: single instance, options that end early, the operating-system check."""

import pytest

import harness

from shell_helpers import CLASS, PRODUCT, settings, visible


def test_second_copy_ends_at_once_with_0_while_the_first_runs(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    program = scenario.stamp(settings(silent_source))
    first = scenario.start(program)
    watcher.wait_window(CLASS, visible)
    second = scenario.start(program)
    assert second.wait(30) == 0
    assert first.running()
    assert max(watcher.counts(CLASS)) == 1
    assert watcher.dialogs() == []
    assert scenario.close_window(CLASS)
    assert first.wait(75) == 0


def test_stale_atom_is_cleared_and_the_start_proceeds(scenario, silent_source):
    program = scenario.stamp(settings(silent_source))
    assert scenario.atom("add", program.name)  # left behind by a copy that died
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start(program)
    watcher.wait_window(CLASS, visible)
    assert scenario.close_window(CLASS)
    assert app.wait(75) == 0
    # Added once and deleted once by the program: only the stale reference's
    # removal leaves no atom behind.
    assert not scenario.atom("find", program.name)


@pytest.mark.parametrize("args", [["/?"], ["/HELP"], ["/h=x"], ["help"], ["/debugdirectory=a", "/debugversion=b"]],
                         ids=["question-mark", "HELP", "h-with-value", "bare-help", "both-debug-options"])
def test_early_ending_options_end_at_once_with_0_and_no_window(scenario, silent_source, args):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source), args=args)
    assert app.wait(30) == 0
    assert not watcher.saw_window(CLASS)
    assert watcher.dialogs() == []


def test_one_debug_option_alone_changes_nothing(scenario, silent_source):
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper(settings(silent_source), args=["/debugdirectory=a"])
    watcher.wait_window(CLASS, visible)
    assert app.running()


def test_windows_below_version_5_is_refused_with_one_ownerless_box(scenario):
    scenario.set_windows_version("nt40")
    watcher = scenario.watch(track=[CLASS])
    app = scenario.start_bootstrapper({"productName": PRODUCT})
    box = watcher.wait_dialog(text="Unsupported operating system.")
    assert box["caption"] == PRODUCT
    assert box["owner"] == 0
    assert box["buttons"] == [1] and box["icon"]
    assert app.wait(30) == 0
    assert len(watcher.dialogs()) == 1
    assert not watcher.saw_window(CLASS)


def test_windows_version_5_is_accepted(scenario, silent_source):
    scenario.set_windows_version("win2k")
    assert scenario.windows_version()["major"] == 5
    watcher = scenario.watch(track=[CLASS])
    log = scenario.run_dir / "run.log"
    app = scenario.start_bootstrapper(settings(silent_source), args=["/log=" + harness.windows_path(log)])
    watcher.wait_window(CLASS, visible)
    assert app.running() and watcher.dialogs() == []
    # Below version 6 the program asks whether the token is in BUILTIN\Administrators (Wine's is).
    assert "elevated: yes" in log.read_bytes().decode("utf-8")


@pytest.mark.parametrize("length", [0, 5000], ids=["empty", "long"])
def test_empty_or_very_long_settings_end_in_a_box_not_a_crash(scenario, length):
    values = {key: "x" * length for key in harness.DEFAULT_SETTINGS}
    values["windowClassName"] = CLASS[:1] * length
    watcher = scenario.watch()
    app = scenario.start_bootstrapper(values, unchecked=True)
    assert app.wait(60) == 0
    # A run that cannot download says so, once, under the product name.
    [box] = watcher.dialogs()
    assert box["caption"] == "x" * length and box["text"].endswith(".")
