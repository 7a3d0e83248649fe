"""The company name starts the download folder's name and the purge of earlier
ones: only the program's own folders go, and a name that could reach others
stops the program before it deletes or creates anything."""

import pytest

from test_pipeline_support import CAPTION, WINDOW_CLASS, inet_cache

BAD_COMPANY = "The 'Company Name' parameter is not correctly formed."


def plant(folder, files):
    for name, data in files.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


def tree(folder) -> dict:
    """Every entry below folder with the bytes of its files (None for folders)."""
    return {str(p.relative_to(folder)): (p.read_bytes() if p.is_file() else None) for p in folder.rglob("*")}


def others(scenario):
    """Folders and files beside the download folders that belong to someone else."""
    cache = inet_cache(scenario)
    temp = cache.parents[2] / "Temp"
    plant(cache, {"_precious/sub/data.txt": b"precious", "keep_me": b"kept", "Talvoro_Backup/data.txt": b"backup",
                  "x_20261281115/data.txt": b"x", "Talvoro_2024/data.txt": b"a year"})
    plant(temp, {"_precious/sub/data.txt": b"temp", "Talvoro_20011231235/old.msi": b"old"})
    return cache, temp


@pytest.mark.parametrize("company", ["", "*"], ids=["empty", "wildcard"])
def test_a_company_name_that_could_reach_other_folders_is_one_box_and_touches_nothing(scenario, refusing_source,
                                                                                      company):
    cache, temp = others(scenario)
    (cache / "Talvoro_20011231235").mkdir()
    before = (tree(cache), tree(temp))
    watcher = scenario.watch(track=[WINDOW_CLASS])
    app = scenario.start_bootstrapper({"installationUrl": refusing_source, "companyName": company}, unchecked=True)
    assert app.wait(60) == 0  # the watcher answers the box
    [box] = watcher.dialogs()
    assert box["text"] == BAD_COMPANY
    assert box["caption"] == CAPTION and box["icon"] and box["owner"] == 0
    assert not watcher.saw_window(WINDOW_CLASS)
    assert (tree(cache), tree(temp)) == before


def test_the_purge_takes_only_stamped_folders_of_the_company(scenario, refusing_source):
    cache, _ = others(scenario)
    old = cache / "Talvoro_20011231235"
    plant(old, {"inner/old.msi": b"old"})
    kept = {name: data for name, data in tree(cache).items() if not name.startswith("Talvoro_20011231235")}
    watcher = scenario.watch(track=[WINDOW_CLASS])
    app = scenario.start_bootstrapper({"installationUrl": refusing_source})
    assert app.wait(60) == 0  # the watcher answers the download failure's box
    assert [d["text"] for d in watcher.dialogs()][0].endswith("Task name: DownloadVersionInfo.")
    assert not old.exists()
    assert tree(cache) == kept, "someone else's folders stay, and the run's own folder is gone at exit"
