"""Fixtures of the end-to-end scenarios; the harness module documents them."""

import os

import pytest

import harness


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.failed:
        item.e2e_failed = True


@pytest.fixture(scope="session")
def wine_session():
    session = harness.WineSession()
    try:
        session.start()
        yield session
    finally:
        session.stop()


@pytest.fixture
def scenario(wine_session, request):
    scenario = harness.Scenario(wine_session, request.node.name)
    try:
        yield scenario
    finally:
        scenario.stop()
        if getattr(request.node, "e2e_failed", False) or os.environ.get("E2E_KEEP") == "1":
            print(f"\nkept the scenario's files: {scenario.run_dir}")
        else:
            scenario.remove()


@pytest.fixture
def silent_source():
    source = harness.SilentSource()
    try:
        yield source.url
    finally:
        source.close()


@pytest.fixture
def refusing_source():
    source = harness.RefusingSource()
    try:
        yield source.url
    finally:
        source.close()
